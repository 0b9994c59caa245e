// Reading HEIF files (HEIC: the photos of phones), from bytes in memory, over libheif.
// Tavelix reads these pictures but never writes them.
#pragma once

#include <cstdint>
#include <span>

#include "raster/bitmap.h"

namespace tavelix {

// Reads the primary picture of a HEIF file into target, upright: the rotation, mirroring and
// cropping the file records are applied. 24-bit for a picture without alpha, 32-bit
// blue-green-red-alpha (TPixelLayout::Bgra) with; more than 8 bits a channel become 8. On
// failure (also for 0 bytes and for a file whose picture the library cannot decode) throws
// TPictureError (Kind::InvalidHeif; OutOfResources for a picture larger than a bitmap stores)
// and target is unchanged.
void LoadHeif(TBitmap& target, std::span<const std::uint8_t> file);

// The size of the primary picture, upright, from the file's headers alone. Throws as LoadHeif.
TPictureSize ReadHeifSize(std::span<const std::uint8_t> file);

}  // namespace tavelix
