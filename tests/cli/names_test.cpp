#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "cli/names.h"
#include "tempfolder.h"

namespace tavelix::cli {
namespace {

namespace fs = std::filesystem;

TEST(ReducedName, InsertsBeforeTheLastFourCharacters) {
    struct Case {
        std::string name;
        int factor;
        std::string expected;
    } cases[] = {
        {"/pics/photo.jpg", 2, "/pics/photos2.jpg"},
        {"/pics/photo.jpg", 4, "/pics/photos4.jpg"},
        {"/pics/photo.jpg", 8, "/pics/photos8.jpg"},
        {"PHOTO.JPG", 2, "PHOTOs2.JPG"},     // the letter case of the extension stays
        {"a.bmp", 4, "as4.bmp"},             // five characters: the shortest that gets a name
        {".jpg", 2, ""},                     // four characters or fewer: none
        {"abc", 2, ""},
        {"", 8, ""},
        {"photo.jpeg", 2, "photo.s2jpeg"},   // always four characters, whatever the extension
        {"dir.jpg/x", 2, "dir.js2pg/x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReducedName(c.name, c.factor), c.expected);
    }
}

TEST(ReducedName, ShortNamesAreTakenAsFullNames) {
    // The window names its copies from full path names; a file given as ".jpg" is such a
    // file in the current folder.
    EXPECT_EQ(ReducedCopyName(".jpg", 2), (fs::current_path() / "s2.jpg").string());
    EXPECT_EQ(ReducedCopyName("photo.jpg", 2), "photos2.jpg");
}

// A fresh folder for one test, removed afterwards.
class NamesOnDisk : public testing::Test {
protected:
    NamesOnDisk() {
        fs::create_directories(FDir / "sub");
        std::ofstream(FDir / "a.jpg") << "x";
    }
    std::string At(const std::string& name) const { return FFolder.At(name); }

    static bool ShareAKey(const std::string& a, const std::string& b) {
        const auto ka = FileKeys(a), kb = FileKeys(b);
        return std::any_of(ka.begin(), ka.end(), [&](const std::string& k) {
            return std::find(kb.begin(), kb.end(), k) != kb.end();
        });
    }

    test::TTempFolder FFolder{"tavelix-names"};
    const fs::path& FDir = FFolder.Path();
};

TEST_F(NamesOnDisk, SpellingsOfOneFileShareAKey) {
    fs::create_hard_link(At("a.jpg"), At("hard.jpg"));
    fs::create_symlink(At("a.jpg"), At("soft.jpg"));
    EXPECT_TRUE(ShareAKey(At("a.jpg"), At("sub/../a.jpg")));
    EXPECT_TRUE(ShareAKey(At("a.jpg"), At("./a.jpg")));
    EXPECT_TRUE(ShareAKey(At("a.jpg"), At("hard.jpg")));
    EXPECT_TRUE(ShareAKey(At("a.jpg"), At("soft.jpg")));
    EXPECT_TRUE(ShareAKey(At("new.jpg"), At("sub/../new.jpg")));  // not there yet
    EXPECT_FALSE(ShareAKey(At("a.jpg"), At("b.jpg")));
    EXPECT_FALSE(ShareAKey(At("a.jpg"), At("sub/a.jpg")));
}

TEST(IsPictureName, FollowsTheEnginesExtensionRule) {
    struct Case {
        const char* name;
        bool picture;
    } cases[] = {
        {"photo.jpg", true},   {"PHOTO.JPG", true},  {"a.Bmp", true},   {"/x/y.z/p.bmp", true},
        {".jpg", true},        {"photo.jpeg", false}, {"photo.jpe", false}, {"photo", false},
        {"photo.png", false},  {"photo.jpg.txt", false}, {"pics.jpg\\photo", false},
        {"c:photo.jpg:x", false}, {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsPictureName(c.name), c.picture);
    }
}

}  // namespace
}  // namespace tavelix::cli
