#include "raster/fileio.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "raster/bitmap.h"
#include "raster/types.h"

namespace tavelix {

namespace {
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
[[noreturn]] void Fail(const std::string& fileName, const char* what, int error) {
    throw TPictureError(TPictureError::Kind::Io,
                        std::string(what) + " " + fileName + ": " + std::strerror(error), error);
}
}  // namespace

std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "rb"));
    if (!file) Fail(fileName, "cannot open", errno);
    std::vector<std::uint8_t> bytes;
    if (std::fseek(file.get(), 0, SEEK_END) == 0) {
        const long size = std::ftell(file.get());
        if (size > 0 && static_cast<std::uint64_t>(size) <= TBitmap::MaxStoreBytes)
            bytes.reserve(static_cast<std::size_t>(size));
        std::rewind(file.get());
    }
    std::uint8_t chunk[1 << 16];
    for (;;) {
        const std::size_t got = std::fread(chunk, 1, sizeof chunk, file.get());
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (bytes.size() > TBitmap::MaxStoreBytes)
            throw TPictureError(TPictureError::Kind::Io, "file too large: " + fileName);
        if (got < sizeof chunk) break;
    }
    if (std::ferror(file.get())) Fail(fileName, "cannot read", errno ? errno : EIO);
    return bytes;
}

}  // namespace tavelix
