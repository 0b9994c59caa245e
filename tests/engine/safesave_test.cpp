#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine/safesave.h"
#include "raster/types.h"
#include "tempfolder.h"

namespace tavelix {
namespace {

namespace fs = std::filesystem;

class SafeSave : public testing::Test {
protected:
    static std::vector<std::uint8_t> Read(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    static void Write(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(FFolder.Path())) names.push_back(entry.path().filename().string());
        return names;
    }

    test::TTempFolder FFolder{"tavelix-safesave"};
};

TEST_F(SafeSave, WritesNewFilesAndReplacesOldOnesKeepingPermissions) {
    const fs::path target = FFolder.Path() / "photo.bmp";
    const std::vector<std::uint8_t> first(1000, 1), second(300, 2);
    for (bool flush : {true, false}) {
        WriteFileAtomically(target.string(), first, {.Flush = flush});
        EXPECT_EQ(Read(target), first);
        ::chmod(target.c_str(), 0640);
        WriteFileAtomically(target.string(), second, {.Flush = flush});
        EXPECT_EQ(Read(target), second);
        struct stat st {};
        ASSERT_EQ(::stat(target.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u);
        EXPECT_EQ(Names(), std::vector<std::string>{"photo.bmp"});
        fs::remove(target);
    }
}

TEST_F(SafeSave, FailuresLeaveTheOldFileAndNoTemporary) {
    const std::vector<std::uint8_t> bytes(10, 3);
    EXPECT_THROW(WriteFileAtomically((FFolder.Path() / "missing" / "a.jpg").string(), bytes), TPictureError);
    fs::create_directory(FFolder.Path() / "folder.jpg");
    EXPECT_THROW(WriteFileAtomically((FFolder.Path() / "folder.jpg").string(), bytes), TPictureError);
    EXPECT_TRUE(fs::is_directory(FFolder.Path() / "folder.jpg"));
    EXPECT_EQ(Names(), std::vector<std::string>{"folder.jpg"});
}

TEST_F(SafeSave, FileSizeLimitLeavesTheOriginalIntact) {
    const fs::path target = FFolder.Path() / "photo.jpg";
    const std::vector<std::uint8_t> original(2000, 7);
    Write(target, original);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            WriteFileAtomically(target.string(), std::vector<std::uint8_t>(100000, 9));
        } catch (const TPictureError&) {
            ::_exit(0);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save past the limit did not fail";
    EXPECT_EQ(Read(target), original);
    EXPECT_EQ(Names(), std::vector<std::string>{"photo.jpg"});
}

TEST_F(SafeSave, LeftoversOfKilledSavesAreSweptOnce) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);  // a process that no longer runs
    const std::string dead = ".a.jpg.tavelix-" + std::to_string(child) + "-3";
    const std::string alive = ".b.jpg.tavelix-1-0";  // init runs as long as we do
    const std::string lookalike = ".c.jpg.tavelix-" + std::to_string(child) + "-x";
    for (const std::string& name : {dead, alive, lookalike}) Write(FFolder.Path() / name, {1, 2, 3});
    WriteFileAtomically((FFolder.Path() / "d.jpg").string(), std::vector<std::uint8_t>(5, 1));
    auto names = Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{alive, lookalike, "d.jpg"}));
}

// Both ways a save writes: the unnamed temporary, and the named one of file systems without.
const TSaveOptions Unnamed{}, Named{.NamedTemporary = true};

TEST_F(SafeSave, NamesOfEveryLengthCanBeSaved) {
    // The temporary adds about 20 bytes to the name; names near the limit must still fit.
    for (const TSaveOptions& way : {Unnamed, Named}) {
        for (std::size_t length : {200u, 240u, 247u, 254u, 255u}) {
            SCOPED_TRACE(testing::Message() << length << (way.NamedTemporary ? " named" : " unnamed"));
            const std::string name = std::string(length - 4, 'n') + ".jpg";
            const fs::path target = FFolder.Path() / name;
            WriteFileAtomically(target.string(), std::vector<std::uint8_t>(50, 1), way);  // new
            WriteFileAtomically(target.string(), std::vector<std::uint8_t>(60, 2), way);  // replacing
            EXPECT_EQ(Read(target), std::vector<std::uint8_t>(60, 2));
            EXPECT_EQ(Names(), std::vector<std::string>{name});
            fs::remove(target);
        }
    }
    // A cut never splits a character of several bytes.
    std::string name;
    for (int i = 0; i < 126; ++i) name += "\xC3\xA9";  // 252 bytes of "é"
    name += ".bm";
    const std::string temp = TemporaryName("dir/" + name, 7, 255);
    EXPECT_LE(temp.size() - 4, 255u);
    EXPECT_TRUE(temp.starts_with("dir/.\xC3\xA9"));
    EXPECT_TRUE(temp.ends_with(".tavelix-" + std::to_string(::getpid()) + "-7"));
    const std::size_t tail = temp.rfind(".tavelix-");
    EXPECT_EQ(static_cast<unsigned char>(temp[tail - 1]), 0xA9) << "cut inside a character";
}

TEST_F(SafeSave, TakenTemporaryNamesAreSkipped) {
    // Leftovers of an earlier process that had our number hold the first names tried.
    const fs::path target = FFolder.Path() / "photo.jpg";
    for (const TSaveOptions& way : {Unnamed, Named}) {
        SCOPED_TRACE(way.NamedTemporary ? "named" : "unnamed");
        std::vector<std::string> expected{"photo.jpg"};
        for (unsigned attempt = 0; attempt < 5; ++attempt) {
            const fs::path taken = TemporaryName(target.string(), attempt, 255);
            Write(taken, {9, 9});
            expected.push_back(taken.filename().string());
        }
        Write(target, {1});
        WriteFileAtomically(target.string(), std::vector<std::uint8_t>(10, 4), way);
        EXPECT_EQ(Read(target), std::vector<std::uint8_t>(10, 4));
        auto names = Names();
        std::sort(names.begin(), names.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected);
        for (const auto& entry : fs::directory_iterator(FFolder.Path())) fs::remove(entry.path());
    }
}

TEST_F(SafeSave, TargetsThatAreNoRegularFilesAreNamedForWhatTheyAre) {
    fs::create_directory(FFolder.Path() / "folder.jpg");
    ASSERT_EQ(::mkfifo((FFolder.Path() / "fifo.jpg").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", FFolder.Path() / "null.bmp");
    const std::pair<const char*, const char*> cases[] = {
        {"folder.jpg", "it is a folder, not a regular file"},
        {"fifo.jpg", "it is a FIFO, not a regular file"},
        {"null.bmp", "it is a character device, not a regular file"},
    };
    for (const auto& [name, says] : cases) {
        SCOPED_TRACE(name);
        try {
            WriteFileAtomically((FFolder.Path() / name).string(), std::vector<std::uint8_t>(4, 1));
            ADD_FAILURE() << "saved";
        } catch (const TPictureError& error) {
            EXPECT_NE(std::string(error.what()).find(says), std::string::npos) << error.what();
        }
    }
    EXPECT_TRUE(fs::is_fifo(FFolder.Path() / "fifo.jpg"));
    EXPECT_EQ(Names().size(), 3u);
}

// A save asked whether it may take the file's place, and told no, leaves everything as it was.
TEST_F(SafeSave, ASaveNotAllowedToTakeThePlaceLeavesTheFileAndNoTemporary) {
    const fs::path old = FFolder.Path() / "old.jpg";
    Write(old, {1, 2, 3});
    for (TSaveOptions way : {Unnamed, Named}) {
        bool asked = false;
        way.MayPlace = [&] {
            asked = true;
            return false;
        };
        EXPECT_FALSE(WriteFileAtomically(old.string(), std::vector<std::uint8_t>(5, 7), way));
        EXPECT_FALSE(WriteFileAtomically((FFolder.Path() / "new.jpg").string(), std::vector<std::uint8_t>(5, 7), way));
        EXPECT_TRUE(asked);
        EXPECT_EQ(Read(old), (std::vector<std::uint8_t>{1, 2, 3}));
        EXPECT_EQ(Names(), std::vector<std::string>{"old.jpg"});
    }
}

TEST_F(SafeSave, RefusingSavesLeaveWhatIsThereAlone) {
    const TSaveOptions refuse{.Existing = TExisting::Refuse};
    const fs::path old = FFolder.Path() / "old.jpg", dangling = FFolder.Path() / "dangling.jpg";
    Write(old, {1, 2, 3});
    fs::create_symlink("nowhere.jpg", dangling);
    for (const TSaveOptions& way : {refuse, TSaveOptions{.Existing = TExisting::Refuse, .NamedTemporary = true}}) {
        EXPECT_THROW(WriteFileAtomically(old.string(), std::vector<std::uint8_t>(5, 7), way), TPictureError);
        EXPECT_THROW(WriteFileAtomically(dangling.string(), std::vector<std::uint8_t>(5, 7), way), TPictureError);
        EXPECT_EQ(Read(old), (std::vector<std::uint8_t>{1, 2, 3}));
        EXPECT_TRUE(fs::is_symlink(dangling));
        EXPECT_FALSE(fs::exists(FFolder.Path() / "nowhere.jpg"));
        const fs::path fresh = FFolder.Path() / (way.NamedTemporary ? "new-named.jpg" : "new.jpg");
        WriteFileAtomically(fresh.string(), std::vector<std::uint8_t>(5, 7), way);
        EXPECT_EQ(Read(fresh), std::vector<std::uint8_t>(5, 7));
    }
    auto names = Names();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"dangling.jpg", "new-named.jpg", "new.jpg", "old.jpg"}));
}

TEST_F(SafeSave, SavesGoThroughLinksToPicturesOfTheSameKind) {
    const fs::path dir = FFolder.Path();
    Write(dir / "a.jpg", {1});
    fs::create_symlink(dir / "a.jpg", dir / "link.jpg");
    fs::create_symlink(dir / "a.jpg", dir / "link.bmp");
    fs::create_symlink(dir / "missing.jpg", dir / "dangling.jpg");
    EXPECT_EQ(WriteTarget((dir / "link.jpg").string()), fs::canonical(dir / "a.jpg").string());
    EXPECT_EQ(WriteTarget((dir / "link.bmp").string()), (dir / "link.bmp").string());  // would change the file's kind
    EXPECT_EQ(WriteTarget((dir / "dangling.jpg").string()), (dir / "dangling.jpg").string());
    EXPECT_EQ(WriteTarget((dir / "a.jpg").string()), (dir / "a.jpg").string());
}

// What scramble and assemble on disk refuse to replace, by the open file and by its name.
TEST_F(SafeSave, FilesWithOtherNamesOrWriteProtectedAreNotForReplacingInPlace) {
    const fs::path dir = FFolder.Path();
    for (const char* name : {"plain.bmp", "linked.bmp", "ro.bmp"}) Write(dir / name, {1});
    fs::create_hard_link(dir / "linked.bmp", dir / "second.bmp");
    fs::create_hard_link(dir / "linked.bmp", dir / "third.bmp");
    ::chmod((dir / "ro.bmp").c_str(), 0444);
    fs::create_symlink(dir / "ro.bmp", dir / "to-ro.bmp");  // looked at through the link
    struct Case {
        const char* name;
        TInPlaceObstacle obstacle;
        std::uint64_t others;
        const char* text;  // scrambling
    } cases[] = {
        {"plain.bmp", TInPlaceObstacle::None, 0, ""},
        {"linked.bmp", TInPlaceObstacle::HardLinks, 2,
         "the file has 2 other names (hard links), which would keep the clear picture"},
        {"ro.bmp", TInPlaceObstacle::WriteProtected, 0, "the file is write-protected"},
        {"to-ro.bmp", TInPlaceObstacle::WriteProtected, 0, "the file is write-protected"},
        {"missing.bmp", TInPlaceObstacle::None, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = (dir / c.name).string();
        const TInPlaceCheck byName = CheckInPlace(name);
        EXPECT_EQ(byName.Obstacle, c.obstacle);
        EXPECT_EQ(byName.OtherNames, c.others);
        EXPECT_EQ(InPlaceObstacleText(byName, true), c.text);
        const int fd = ::open(name.c_str(), O_RDONLY);
        if (fd < 0) continue;
        EXPECT_EQ(CheckInPlace(fd, name).Obstacle, c.obstacle);
        ::close(fd);
    }
    EXPECT_TRUE(IsWriteProtected((dir / "to-ro.bmp").string()));
    EXPECT_FALSE(IsWriteProtected((dir / "linked.bmp").string()));
    EXPECT_EQ(InPlaceObstacleText({TInPlaceObstacle::HardLinks, 1}, false),
              "the file has 1 other name (hard links), which would keep the scrambled picture");
    EXPECT_EQ(FileIdOf((dir / "linked.bmp").string()), FileIdOf((dir / "third.bmp").string()));
    EXPECT_EQ(FileIdOf((dir / "to-ro.bmp").string()), FileIdOf((dir / "ro.bmp").string()));
    EXPECT_NE(FileIdOf((dir / "plain.bmp").string()), FileIdOf((dir / "ro.bmp").string()));
    EXPECT_EQ(FileIdOf((dir / "missing.bmp").string()), std::nullopt);
}

TEST_F(SafeSave, AFailureAfterTheTemporaryGotANameRemovesIt) {
    // A target name one byte over the limit: the temporary's name (cut) is made, and only the
    // last step, the move onto the target's name, fails.
    const std::string tooLong = (FFolder.Path() / (std::string(252, 'x') + ".jpg")).string();
    for (const TExisting existing : {TExisting::Replace, TExisting::Refuse})
        for (const TSaveOptions& way : {Unnamed, Named}) {
            SCOPED_TRACE(testing::Message() << (way.NamedTemporary ? "named" : "unnamed")
                                            << (existing == TExisting::Replace ? ", replacing" : ", refusing"));
            TSaveOptions options = way;
            options.Existing = existing;
            EXPECT_THROW(WriteFileAtomically(tooLong, std::vector<std::uint8_t>(10, 1), options), TPictureError);
            EXPECT_EQ(Names(), std::vector<std::string>{});
        }
}

TEST_F(SafeSave, ARenameRefusedInAStickyFolderLeavesNoTemporary) {
    // A shared folder with the sticky bit: another user may write beside our file but not
    // replace it. Needs two users, so root, whose child takes user 65534.
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
    const fs::path shared = FFolder.Path() / "shared";
    fs::create_directory(shared);
    ::chmod(FFolder.Path().c_str(), 0755);
    ::chmod(shared.c_str(), 01777);
    const fs::path target = shared / "theirs.jpg";
    Write(target, {5, 5, 5});
    ::chmod(target.c_str(), 0666);  // writable by all, but the folder protects its name
    for (const TSaveOptions& way : {Unnamed, Named}) {
        SCOPED_TRACE(way.NamedTemporary ? "named" : "unnamed");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
            try {
                WriteFileAtomically(target.string(), std::vector<std::uint8_t>(8, 6), way);
            } catch (const TPictureError&) {
                ::_exit(0);
            }
            ::_exit(1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        ASSERT_NE(WEXITSTATUS(status), 3) << "cannot become user 65534";
        EXPECT_EQ(WEXITSTATUS(status), 0) << "the save did not fail";
        EXPECT_EQ(Read(target), (std::vector<std::uint8_t>{5, 5, 5}));
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(shared)) names.push_back(entry.path().filename().string());
        EXPECT_EQ(names, std::vector<std::string>{"theirs.jpg"});
    }
}

}  // namespace
}  // namespace tavelix
