// Whole-file reading for the codecs, which work on bytes in memory.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "raster/bitmap.h"

namespace tavelix {

// The largest head of a bitmap file: the file header, the largest info header (version 5,
// 124 bytes), three colour masks and a colour table of 256 entries.
constexpr std::uint64_t MaxBmpHeadBytes = 14 + 124 + 3 * 4 + 256 * 4;

// The largest picture file the codecs accept, and so the most any picture read takes in:
// an uncompressed bitmap file whose rows fill the largest store a bitmap allocates, behind
// the largest head. JPEG data is held whole in memory under the same bound (it is smaller than
// the pixels it decodes to but for noise saved at the highest qualities).
constexpr std::uint64_t MaxPictureFileBytes = TBitmap::MaxStoreBytes + MaxBmpHeadBytes;

// What a file that is not a regular one is, for messages: "a folder", "a FIFO", "a character
// device" ...; "" for a regular file.
std::string FileKindName(mode_t mode);

// A file opened for reading, closed when this goes.
class TReadableFile {
public:
    TReadableFile() = default;
    ~TReadableFile();
    TReadableFile(TReadableFile&& other) noexcept : FFd(other.FFd), FSize(other.FSize) { other.FFd = -1; }
    TReadableFile& operator=(TReadableFile&& other) noexcept;
    TReadableFile(const TReadableFile&) = delete;
    TReadableFile& operator=(const TReadableFile&) = delete;

    int Fd() const { return FFd; }
    // The size the file had when it was opened.
    std::uint64_t Size() const { return FSize; }

private:
    friend TReadableFile OpenPictureFile(const std::string& fileName);
    explicit TReadableFile(int fd) : FFd(fd) {}
    int FFd = -1;
    std::uint64_t FSize = 0;
};

// Opens fileName for reading a picture. Nothing waits: a FIFO without a writer or a device is
// opened without blocking, and anything but a regular file (a FIFO, a device, a folder) is
// refused before a byte is read, as is a file larger than MaxPictureFileBytes. Throws
// TPictureError (Io) naming the file and the reason.
TReadableFile OpenPictureFile(const std::string& fileName);

// The whole content of a file opened by OpenPictureFile (fileName for messages). Never reads
// more than MaxPictureFileBytes: a file that grew beyond since it was opened is refused.
std::vector<std::uint8_t> ReadFileBytes(const TReadableFile& file, const std::string& fileName);

// Both steps. Throws TPictureError (Io) when the file cannot be opened or read, is not a
// regular file, or is larger than any picture file the codecs accept.
std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName);

}  // namespace tavelix
