#include <gtest/gtest.h>

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
        WriteFileAtomically(target.string(), first, flush);
        EXPECT_EQ(Read(target), first);
        ::chmod(target.c_str(), 0640);
        WriteFileAtomically(target.string(), second, flush);
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

}  // namespace
}  // namespace tavelix
