#include "engine/safesave.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <string_view>
#include <string>

#include "engine/tavelix.h"
#include "raster/fileio.h"
#include "raster/types.h"

namespace tavelix {

namespace {

[[noreturn]] void Fail(const std::string& fileName, const std::string& what, const std::string& why, int error) {
    throw TPictureError(TPictureError::Kind::Io, what + " " + fileName + ": " + why, error);
}
[[noreturn]] void Fail(const std::string& fileName, const std::string& what, int error) {
    Fail(fileName, what, std::strerror(error), error);
}

std::string FolderOf(const std::string& fileName) {
    const std::size_t slash = fileName.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return fileName.substr(0, slash);
}

// Tries for a free temporary name: a name can be taken by what a killed save of an earlier
// process with the same number left (such leftovers are only swept when that number is free).
constexpr unsigned TempAttempts = 100;

std::size_t NameMax(const std::string& folder) {
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? std::size_t(limit) : 255;
}

// What a killed save leaves: its temporary under a name TemporaryName made. A save can only be
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

// Moves the finished temporary named temp onto fileName, which must not exist.
void MoveToNewName(const std::string& temp, const std::string& fileName) {
    if (::renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, fileName.c_str(), RENAME_NOREPLACE) == 0) return;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) Fail(fileName, "cannot write", errno);
    // A file system without that kind of rename: a second link, which cannot replace either.
    if (::link(temp.c_str(), fileName.c_str()) != 0) Fail(fileName, "cannot write", errno);
    ::unlink(temp.c_str());
}

}  // namespace

std::string TemporaryName(const std::string& fileName, unsigned attempt, std::size_t nameMax) {
    const std::size_t slash = fileName.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : fileName.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    const std::string tail = ".tavelix-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    const std::size_t room = nameMax > tail.size() + 2 ? nameMax - tail.size() - 1 : 1;
    if (base.size() > room) {
        std::size_t cut = room;
        while (cut > 1 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80) --cut;  // not inside a character
        base.resize(cut);
    }
    return folder + "." + base + tail;
}

bool WriteFileAtomically(const std::string& fileName, std::span<const std::uint8_t> bytes, const TSaveOptions& options) {
    return WriteFileAtomically(fileName, {bytes}, options);
}

bool WriteFileAtomically(const std::string& fileName, std::initializer_list<std::span<const std::uint8_t>> pieces,
                         const TSaveOptions& options) {
    if (fileName.empty()) Fail(fileName, "cannot write", ENOENT);
    const bool mayReplace = options.Existing == TExisting::Replace;
    const std::string folder = FolderOf(fileName);
    struct stat old {};
    if (!mayReplace && ::lstat(fileName.c_str(), &old) == 0) Fail(fileName, "cannot write", EEXIST);
    const bool replacing = mayReplace && ::stat(fileName.c_str(), &old) == 0;
    if (replacing && !S_ISREG(old.st_mode))
        Fail(fileName, "cannot replace", "it is " + FileKindName(old.st_mode) + ", not a regular file",
             S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    const mode_t mode = replacing ? (old.st_mode & 07777) : 0666;  // the umask applies to new files

    SweepFolder(folder);
    const std::size_t nameMax = NameMax(folder);
    std::string named;  // the temporary's name, once it has one; removed on every failure
    int fd = -1;
    if (!options.NamedTemporary) {
        fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
        if (fd < 0 && errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) Fail(fileName, "cannot write", errno);
    }
    const bool unnamed = fd >= 0;
    for (unsigned attempt = 0; fd < 0; ++attempt) {
        const std::string temp = TemporaryName(fileName, attempt, nameMax);
        fd = ::open(temp.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
        if (fd >= 0) named = temp;
        else if (errno != EEXIST || attempt + 1 == TempAttempts) Fail(fileName, "cannot write", errno);
    }
    TFd file(fd);
    try {
        for (const std::span<const std::uint8_t> piece : pieces) WriteAll(file.Get(), piece, fileName);
        if (options.MayPlace && !options.MayPlace()) {
            if (!named.empty()) ::unlink(named.c_str());
            return false;
        }
        if (replacing) {
            // Keep the old file's permissions (and owner, where we may).
            ::fchmod(file.Get(), mode);
            if (::fchown(file.Get(), old.st_uid, old.st_gid) != 0) { /* not ours to give away */ }
        }
        // Only a replaced file has something to lose: a new file lost in a crash leaves what
        // it was made from untouched, so it is not waited for (as atomic writers commonly do).
        if (options.Flush && replacing && ::fsync(file.Get()) != 0) Fail(fileName, "cannot write", errno);
        if (unnamed) {
            const std::string self = "/proc/self/fd/" + std::to_string(file.Get());
            if (!mayReplace) {
                // A new file takes its own name at once; the link fails if the name is taken.
                if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, fileName.c_str(), AT_SYMLINK_FOLLOW) != 0)
                    Fail(fileName, "cannot write", errno);
                return true;
            }
            // Give the finished unnamed file a name beside the target, then move it over.
            for (unsigned attempt = 0; named.empty(); ++attempt) {
                const std::string temp = TemporaryName(fileName, attempt, nameMax);
                if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) named = temp;
                else if (errno != EEXIST || attempt + 1 == TempAttempts) Fail(fileName, "cannot write", errno);
            }
        }
        if (!mayReplace) {
            MoveToNewName(named, fileName);
        } else if (::rename(named.c_str(), fileName.c_str()) != 0) {
            Fail(fileName, "cannot replace", errno);
        }
        named.clear();
    } catch (...) {
        if (!named.empty()) ::unlink(named.c_str());
        throw;
    }
    if (options.Flush && replacing) SyncFolder(folder);
    return true;
}

std::string WriteTarget(const std::string& fileName) {
    namespace fs = std::filesystem;
    std::error_code error;
    if (!fs::is_symlink(fileName, error)) return fileName;
    const fs::path target = fs::canonical(fileName, error);
    if (error || PictureExtension(target.string()) != PictureExtension(fileName)) return fileName;
    return target.string();
}

namespace {

bool IsWriteProtected(const struct stat& info, const std::string& fileName) {
    // Root may write every file: only the permission bits tell that it is protected.
    const bool noWriteBits = (info.st_mode & 0222) == 0;
    return noWriteBits || (::faccessat(AT_FDCWD, fileName.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES);
}

TInPlaceCheck CheckInPlace(const struct stat& info, const std::string& fileName) {
    if (info.st_nlink > 1) return {TInPlaceObstacle::HardLinks, std::uint64_t(info.st_nlink - 1)};
    if (IsWriteProtected(info, fileName)) return {TInPlaceObstacle::WriteProtected, 0};
    return {};
}

}  // namespace

TInPlaceCheck CheckInPlace(int fd, const std::string& fileName) {
    struct stat info {};
    if (::fstat(fd, &info) != 0) return {};
    return CheckInPlace(info, fileName);
}

TInPlaceCheck CheckInPlace(const std::string& fileName) {
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return {};
    return CheckInPlace(info, fileName);
}

bool IsWriteProtected(const std::string& fileName) {
    struct stat info {};
    return ::stat(fileName.c_str(), &info) == 0 && S_ISREG(info.st_mode) && IsWriteProtected(info, fileName);
}

std::string InPlaceObstacleText(const TInPlaceCheck& check, bool scrambling) {
    switch (check.Obstacle) {
    case TInPlaceObstacle::None:
        return "";
    case TInPlaceObstacle::HardLinks:
        return "the file has " + std::to_string(check.OtherNames) + (check.OtherNames == 1 ? " other name" : " other names") +
               " (hard links), which would keep the " + (scrambling ? "clear" : "scrambled") + " picture";
    case TInPlaceObstacle::WriteProtected:
        return "the file is write-protected";
    }
    return "";
}

std::optional<TFileId> FileIdOf(const std::string& fileName) {
    struct stat info {};
    if (::stat(fileName.c_str(), &info) != 0) return std::nullopt;
    return TFileId{std::uint64_t(info.st_dev), std::uint64_t(info.st_ino)};
}

}  // namespace tavelix
