#include "engine/safesave.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <set>
#include <string_view>
#include <string>

#include "raster/types.h"

namespace tavelix {

namespace {

[[noreturn]] void Fail(const std::string& fileName, const std::string& what, int error) {
    throw TPictureError(TPictureError::Kind::Io, what + " " + fileName + ": " + std::strerror(error), error);
}

std::string FolderOf(const std::string& fileName) {
    const std::size_t slash = fileName.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return fileName.substr(0, slash);
}

// A name beside the target that no other save of this or another process uses.
std::string TempName(const std::string& fileName) {
    static std::atomic<unsigned> counter{0};
    const std::size_t slash = fileName.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : fileName.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    return folder + "." + base + ".tavelix-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

// What a killed save leaves: its temporary under the name made above. A save can only be
// interrupted between naming its finished file and moving it over the target (the move itself
// waits for the file system and is cut short by a kill), so a killed batch run can leave a few.
// The first save into a folder removes those of processes that no longer run.
void SweepFolder(const std::string& folder) {
    static std::mutex lock;
    static std::set<std::string> swept;
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (!swept.insert(folder).second) return;
    }
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return;
    const pid_t self = ::getpid();
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        const std::size_t mark = name.rfind(".tavelix-");
        if (name.size() < 2 || name[0] != '.' || mark == std::string_view::npos || mark == 0) continue;
        const std::string_view tail = name.substr(mark + 9);  // "<pid>-<count>"
        const std::size_t dash = tail.find('-');
        if (dash == std::string_view::npos || dash == 0 || dash + 1 == tail.size() ||
            tail.find_first_not_of("0123456789-") != std::string_view::npos || tail.find('-', dash + 1) != std::string_view::npos)
            continue;
        long pid = 0;
        for (char c : tail.substr(0, dash)) pid = pid * 10 + (c - '0');
        if (pid <= 0 || pid == self || pid > 0x3FFFFFFF) continue;
        if (::kill(pid_t(pid), 0) == 0 || errno != ESRCH) continue;  // its saver may still run
        ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

class TFd {
public:
    explicit TFd(int fd) : FFd(fd) {}
    ~TFd() {
        if (FFd >= 0) ::close(FFd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }

private:
    int FFd;
};

void WriteAll(int fd, std::span<const std::uint8_t> bytes, const std::string& fileName) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail(fileName, "cannot write", errno);
        }
        if (n == 0) Fail(fileName, "cannot write", EIO);
        done += std::size_t(n);
    }
}

void SyncFolder(const std::string& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;  // the file is in place; a folder we cannot open we cannot flush either
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

void WriteFileAtomically(const std::string& fileName, std::span<const std::uint8_t> bytes, bool flush) {
    WriteFileAtomically(fileName, {bytes}, flush);
}

void WriteFileAtomically(const std::string& fileName, std::initializer_list<std::span<const std::uint8_t>> pieces,
                         bool flush) {
    if (fileName.empty()) Fail(fileName, "cannot write", ENOENT);
    const std::string folder = FolderOf(fileName);
    struct stat old {};
    const bool replacing = ::stat(fileName.c_str(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode)) Fail(fileName, "cannot replace", EISDIR);
    const mode_t mode = replacing ? (old.st_mode & 07777) : 0666;  // the umask applies to new files

    SweepFolder(folder);
    std::string named;  // the named temporary, when the file system has no unnamed ones
    int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
    if (fd < 0) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) Fail(fileName, "cannot write", errno);
        named = TempName(fileName);
        fd = ::open(named.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
        if (fd < 0) Fail(fileName, "cannot write", errno);
    }
    TFd file(fd);
    try {
        for (const std::span<const std::uint8_t> piece : pieces) WriteAll(file.Get(), piece, fileName);
        if (replacing) {
            // Keep the old file's permissions (and owner, where we may).
            ::fchmod(file.Get(), mode);
            if (::fchown(file.Get(), old.st_uid, old.st_gid) != 0) { /* not ours to give away */ }
        }
        // Only a replaced file has something to lose: a new file lost in a crash leaves what
        // it was made from untouched, so it is not waited for (as atomic writers commonly do).
        if (flush && replacing && ::fsync(file.Get()) != 0) Fail(fileName, "cannot write", errno);
        if (named.empty()) {
            // Give the finished unnamed file a name beside the target, then move it over.
            named = TempName(fileName);
            const std::string self = "/proc/self/fd/" + std::to_string(file.Get());
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, named.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                const int error = errno;
                named.clear();
                Fail(fileName, "cannot write", error);
            }
        }
        if (::rename(named.c_str(), fileName.c_str()) != 0) Fail(fileName, "cannot replace", errno);
        named.clear();
    } catch (...) {
        if (!named.empty()) ::unlink(named.c_str());
        throw;
    }
    if (flush && replacing) SyncFolder(folder);
}

}  // namespace tavelix
