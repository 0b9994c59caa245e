// Reading and writing Windows bitmap files, from and to bytes in memory.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "raster/bitmap.h"

namespace tavelix {

// Reads a bitmap file's bytes into target. 0 bytes: target becomes empty (TBitmap::Clear()).
// Uncompressed files keep their own pixel format, colour table and row order; run-length
// encoded files (8 and 4 bits) become the device format. On failure throws TPictureError
// (Kind::InvalidBitmap; OutOfResources when a picture of a valid size cannot be had) and
// target is unchanged.
void LoadBmp(TBitmap& target, std::span<const std::uint8_t> file);

// The width and height a bitmap file declares, read from its headers alone and checked as
// LoadBmp checks them, so a caller can refuse a picture before it is decoded. Throws
// TPictureError (InvalidBitmap) for headers that LoadBmp refuses.
struct TBmpSize {
    std::int32_t Width = 0, Height = 0;
};
TBmpSize ReadBmpSize(std::span<const std::uint8_t> file);

// A bitmap file in two pieces: what precedes the pixels, and the pixel rows, which are the
// source's own store (valid while the source keeps it), so they are written without a copy.
struct TBmpFile {
    std::vector<std::uint8_t> Head;        // file header, info header, masks, colour table
    std::span<const std::uint8_t> Pixels;  // rows exactly as stored, in the store's order
};

// source as a bitmap file, in the picture's own format and row order (an OS/2 picture with
// the 12-byte core header); an empty bitmap gives no bytes at all (a 0-byte file).
TBmpFile EncodeBmp(const TBitmap& source);

// The same as one block of bytes.
std::vector<std::uint8_t> SaveBmp(const TBitmap& source);

}  // namespace tavelix
