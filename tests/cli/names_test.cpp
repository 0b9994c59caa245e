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

}  // namespace
}  // namespace tavelix::cli
