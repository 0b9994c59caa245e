#include "raster/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "raster/types.h"

namespace tavelix {

namespace {

[[noreturn]] void Fail(const std::string& fileName, const char* what, const std::string& why, int error) {
    throw TPictureError(TPictureError::Kind::Io, std::string(what) + " " + fileName + ": " + why, error);
}
[[noreturn]] void Fail(const std::string& fileName, const char* what, int error) {
    Fail(fileName, what, std::strerror(error), error);
}

// size 0: not known.
std::string TooLarge(std::uint64_t size) {
    const std::string limit = std::to_string(MaxPictureFileBytes);
    if (size == 0) return "too large for a picture file (more than " + limit + " bytes)";
    return "too large for a picture file (" + std::to_string(size) + " bytes; at most " + limit + ")";
}

}  // namespace

std::string FileKindName(mode_t mode) {
    if (S_ISREG(mode)) return "";
    if (S_ISDIR(mode)) return "a folder";
    if (S_ISFIFO(mode)) return "a FIFO";
    if (S_ISCHR(mode)) return "a character device";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISLNK(mode)) return "a symbolic link";
    return "not a regular file";
}

TReadableFile::~TReadableFile() {
    if (FFd >= 0) ::close(FFd);
}

TReadableFile& TReadableFile::operator=(TReadableFile&& other) noexcept {
    if (this != &other) {
        if (FFd >= 0) ::close(FFd);
        FFd = other.FFd;
        FSize = other.FSize;
        other.FFd = -1;
    }
    return *this;
}

TReadableFile OpenPictureFile(const std::string& fileName) {
    // O_NONBLOCK: opening a FIFO that has no writer, or a device, must not wait. O_NOCTTY: a
    // terminal given as a picture does not become ours.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) Fail(fileName, "cannot open", errno);
    TReadableFile file(fd);  // closes fd on the ways out below
    struct stat info {};
    if (::fstat(fd, &info) != 0) Fail(fileName, "cannot read", errno);
    if (!S_ISREG(info.st_mode))
        Fail(fileName, "cannot read", "not a regular file but " + FileKindName(info.st_mode), EINVAL);
    const auto size = static_cast<std::uint64_t>(info.st_size);
    if (size > MaxPictureFileBytes) Fail(fileName, "cannot read", TooLarge(size), EFBIG);
    // Reads of a regular file never wait anyway; the flag goes so that nothing else sees it.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    file.FSize = size;
    return file;
}

std::vector<std::uint8_t> ReadFileBytes(const TReadableFile& file, const std::string& fileName) {
    // One byte more than the size known, so that the end is seen in the same pass; files whose
    // size is not known beforehand (some system files tell 0) grow the buffer as they are read.
    std::vector<std::uint8_t> bytes;
    std::size_t used = 0;
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(file.Size(), MaxPictureFileBytes) + 1));
    for (;;) {
        if (used == bytes.size()) {
            if (used > MaxPictureFileBytes) Fail(fileName, "cannot read", TooLarge(0), EFBIG);
            bytes.resize(static_cast<std::size_t>(
                std::min<std::uint64_t>(std::max<std::uint64_t>(2 * used, 1 << 16), MaxPictureFileBytes + 1)));
        }
        const ssize_t n = ::read(file.Fd(), bytes.data() + used, bytes.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            Fail(fileName, "cannot read", errno);
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    if (used > MaxPictureFileBytes) Fail(fileName, "cannot read", TooLarge(0), EFBIG);
    bytes.resize(used);
    return bytes;
}

std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName) {
    return ReadFileBytes(OpenPictureFile(fileName), fileName);
}

}  // namespace tavelix
