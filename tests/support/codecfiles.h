// Picture files of the newer formats made by their libraries alone: PNG of every kind by
// libspng, HEIC by libheif's HEVC encoder, WebP by libwebp. The references our readers are held
// against, and inputs for the engine's and the companion's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "raster/bitmap.h"

namespace tavelix::test {

TStoreFormat BgraFormat();  // 32-bit blue-green-red-alpha

// One kind of PNG file: colour type and bit depth as the format numbers them.
struct TPngKind {
    std::string Name;  // "gray4", "rgba16 interlaced" ...
    int ColourType = 2;
    int BitDepth = 8;
    bool Interlaced = false;
    bool Transparency = false;  // a tRNS chunk (palette: per entry; gray, RGB: the first pixel's colour)
};
// Every colour type at every bit depth the format allows, with tRNS where it applies, each
// plain and interlaced.
std::vector<TPngKind> AllPngKinds();

struct TPngSample {
    std::vector<std::uint8_t> File;
    TBitmap Expected;  // what the file must read as (see LoadPng), built from the same samples
};
// A PNG file of random samples, with a text chunk; palette files use all 2^depth entries.
TPngSample MakePng(const TPngKind& kind, std::int32_t width, std::int32_t height, std::uint32_t seed);

// picture (24-bit, or 32-bit with alpha) as a HEIC file, stored with the orientation given
// (1 to 8, numbered as in EXIF: 6 shows the stored pixels turned 90 degrees clockwise); empty
// when libheif has no HEVC encoder.
std::vector<std::uint8_t> MakeHeic(const TBitmap& picture, int orientation = 1, int quality = 90);
bool CanMakeHeic();

// picture (24-bit, or 32-bit with alpha) as a WebP file, lossless or lossy at quality 90.
std::vector<std::uint8_t> MakeWebp(const TBitmap& picture, bool lossless);

// The largest difference of any colour channel (and alpha, where both have it) between two
// pictures of the same size; 256 for pictures of different sizes.
int LargestDifference(const TBitmap& a, const TBitmap& b);

}  // namespace tavelix::test
