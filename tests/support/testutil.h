// Helpers shared by the tests: pictures with known content in every format.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "raster/bitmap.h"

namespace tavelix::test {

struct TNamedFormat {
    std::string Name;
    TStoreFormat Format;
};

// One of each pixel format a bitmap can have: 1, 4, 8 indexed (colourful tables), 16-bit
// 5-5-5 and 5-6-5 bit fields, 24, 32 plain, 32 with unusual masks, and the device format.
std::vector<TNamedFormat> AllFormats();
TStoreFormat DeviceFormat();
TStoreFormat Rgb24Format();
TStoreFormat Gray8Format();  // 8-bit indexed, 256 gray entries

// A picture of random stored values (indices within the table for indexed formats).
TBitmap MakeNoise(std::int32_t width, std::int32_t height, std::uint32_t seed,
                  const TStoreFormat& format = DeviceFormat());

// A 24-bit picture with the statistics of a photograph: smooth areas, soft edges
// and texture at every scale (random values on grids of 256, 128 ... 2 pixels, each
// interpolated and 0.7 times as strong as the one before) and a grain of +-4 levels, in colour.
TBitmap MakePhotoLike(std::int32_t width, std::int32_t height, std::uint32_t seed);

// picture through a JPEG file at quality and back (colour at every pixel with fullChroma), as
// a picture saved and read again goes.
TBitmap ThroughJpeg(const TBitmap& picture, int quality = 90, bool fullChroma = false);

// Same size, same format and the same stored value at every pixel.
bool SamePixels(const TBitmap& a, const TBitmap& b);
// Where two pictures first differ, for failure messages ("" when they agree).
std::string FirstDifference(const TBitmap& a, const TBitmap& b);

}  // namespace tavelix::test
