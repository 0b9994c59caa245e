// Pixels of a bitmap in the layout screens and window systems take: 32 bits per pixel, the
// bytes blue, green, red and 255 (the value 0xFFRRGGBB on a little-endian machine), top row
// first. A window shows a bitmap from such a copy.
#pragma once

#include <cstddef>
#include <cstdint>

#include "raster/bitmap.h"

namespace tavelix {

// Writes the pixels of area of source into dest, whose first byte takes the area's top-left
// pixel; dest's rows are stride bytes apart. Only the part of area inside the bitmap is
// written (dest still corresponds to area's top-left corner). Every pixel format a bitmap can
// have is converted by its own colour rules; an empty bitmap writes nothing.
void CopyToScreenPixels(const TBitmap& source, const TRect& area, std::uint8_t* dest, std::size_t stride);

}  // namespace tavelix
