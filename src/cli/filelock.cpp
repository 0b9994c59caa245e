#include "cli/filelock.h"

#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

namespace tavelix::cli {

namespace {

// A file replaced again and again while it is opened: the runs that do so hold it in turn,
// so after a few tries it counts as busy.
constexpr int OpenAttempts = 5;

}  // namespace

TLockResult LockNamedFile(int fd, const std::string& fileName) {
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return TLockResult::Busy;
        break;  // a file system without locks: nothing to take turns with
    }
    struct stat locked {}, named {};
    if (::fstat(fd, &locked) != 0 || ::stat(fileName.c_str(), &named) != 0 || locked.st_dev != named.st_dev ||
        locked.st_ino != named.st_ino) {
        ::flock(fd, LOCK_UN);
        return TLockResult::Replaced;
    }
    return TLockResult::Held;
}

TLockResult OpenLocked(const std::string& fileName, TReadableFile& file) {
    for (int attempt = 0; attempt < OpenAttempts; ++attempt) {
        file = OpenPictureFile(fileName);
        const TLockResult result = LockNamedFile(file.Fd(), fileName);
        if (result == TLockResult::Held) return result;
        file = TReadableFile();
        if (result == TLockResult::Busy) return result;
    }
    return TLockResult::Busy;
}

}  // namespace tavelix::cli
