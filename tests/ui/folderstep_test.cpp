// Stepping through a folder's pictures: the order a file manager shows, the wrap at the ends,
// and only the files the window opens.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tempfolder.h"
#include "ui/folderstep.h"

namespace tavelix::ui {
namespace {

TEST(FolderStep, NamesInTheOrderAFileManagerShows) {
    const std::vector<std::string> inOrder = {"a.jpg", "B.jpg", "photo 2.jpg", "photo 9.bmp",
                                              "photo 10.jpg", "photo010b.jpg", "z.bmp"};
    for (std::size_t i = 0; i + 1 < inOrder.size(); ++i) {
        EXPECT_TRUE(NameBefore(inOrder[i], inOrder[i + 1])) << inOrder[i] << " < " << inOrder[i + 1];
        EXPECT_FALSE(NameBefore(inOrder[i + 1], inOrder[i])) << inOrder[i + 1] << " < " << inOrder[i];
    }
    const std::vector<std::string> shuffled = {"photo 10.jpg", "z.bmp", "a.jpg", "photo 2.jpg"};
    const struct {
        std::string From;
        int Step;
        std::string To;
    } steps[] = {{"a.jpg", 1, "photo 2.jpg"},      {"photo 2.jpg", 1, "photo 10.jpg"}, {"z.bmp", 1, "a.jpg"},
                 {"a.jpg", -1, "z.bmp"},           {"photo 10.jpg", -1, "photo 2.jpg"},
                 {"photo 3.jpg", 1, "photo 10.jpg"}, {"photo 3.jpg", -1, "photo 2.jpg"}};  // gone meanwhile
    for (const auto& s : steps) EXPECT_EQ(StepAmong(shuffled, s.From, s.Step), s.To) << s.From << " " << s.Step;
    EXPECT_EQ(StepAmong({}, "a.jpg", 1), "");
}

TEST(FolderStep, OnlyThePicturesOfTheFolder) {
    test::TTempFolder folder;
    for (const char* name : {"b.jpg", "a.bmp", "notes.txt", "c.JPG", "e.png", "f.HEIC", "g.webp", "h.gif"})
        std::ofstream((folder.Path() / name).string()) << "x";
    std::filesystem::create_directory(folder.Path() / "d.jpg");  // a folder, not a picture
    const auto path = [&](const char* name) { return (folder.Path() / name).string(); };
    // every type the engine reads, in name order, wrapping at the ends
    const char* const order[] = {"a.bmp", "b.jpg", "c.JPG", "e.png", "f.HEIC", "g.webp"};
    for (std::size_t i = 0; i < std::size(order); ++i)
        EXPECT_EQ(StepInFolder(path(order[i]), 1), path(order[(i + 1) % std::size(order)])) << order[i];
    EXPECT_EQ(StepInFolder(path("a.bmp"), -1), path("g.webp"));
    EXPECT_EQ(StepInFolder((folder.Path() / "gone" / "x.jpg").string(), 1), "");
}

}  // namespace
}  // namespace tavelix::ui
