#include "cli/filelock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "tempfolder.h"

namespace tavelix::cli {
namespace {

class FileLock : public testing::Test {
protected:
    FileLock() {
        std::ofstream(FFolder.At("a.jpg")) << "first";
        std::ofstream(FFolder.At("b.jpg")) << "second";
    }
    int Open(const char* name) const { return ::open(FFolder.At(name).c_str(), O_RDONLY | O_CLOEXEC); }

    test::TTempFolder FFolder{"tavelix-lock"};
};

TEST_F(FileLock, OneHolderAtATime) {
    const int first = Open("a.jpg"), second = Open("a.jpg");
    EXPECT_EQ(LockNamedFile(first, FFolder.At("a.jpg")), TLockResult::Held);
    EXPECT_EQ(LockNamedFile(second, FFolder.At("a.jpg")), TLockResult::Busy);
    ::close(first);  // closing releases
    EXPECT_EQ(LockNamedFile(second, FFolder.At("a.jpg")), TLockResult::Held);
    ::close(second);
}

TEST_F(FileLock, ALockOnAFileNoLongerUnderItsNameGuardsNothing) {
    // Opened, then replaced by another run before the lock was taken: the name now names
    // another file, which is not locked.
    const int old = Open("a.jpg");
    ASSERT_EQ(std::rename(FFolder.At("b.jpg").c_str(), FFolder.At("a.jpg").c_str()), 0);
    EXPECT_EQ(LockNamedFile(old, FFolder.At("a.jpg")), TLockResult::Replaced);
    const int now = Open("a.jpg");
    EXPECT_EQ(LockNamedFile(now, FFolder.At("a.jpg")), TLockResult::Held);
    // The old file was left unlocked: another opening of it (not by name) can take the lock.
    const int reopened = ::open(("/proc/self/fd/" + std::to_string(old)).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(reopened, 0);
    EXPECT_EQ(::flock(reopened, LOCK_EX | LOCK_NB), 0);
    ::close(reopened);
    // A name that names nothing any more guards nothing either.
    EXPECT_EQ(LockNamedFile(old, FFolder.At("b.jpg")), TLockResult::Replaced);
    ::close(old);
    ::close(now);
}

TEST_F(FileLock, OpenLockedFollowsReplacementsAndReportsHolders) {
    TReadableFile file;
    EXPECT_EQ(OpenLocked(FFolder.At("a.jpg"), file), TLockResult::Held);
    TReadableFile other;
    EXPECT_EQ(OpenLocked(FFolder.At("a.jpg"), other), TLockResult::Busy);
    EXPECT_LT(other.Fd(), 0);
    EXPECT_THROW(OpenLocked(FFolder.At("missing.jpg"), other), TPictureError);
}

}  // namespace
}  // namespace tavelix::cli
