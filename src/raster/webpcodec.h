// Reading WebP files, from bytes in memory, over libwebp. Tavelix reads these pictures but
// never writes them.
#pragma once

#include <cstdint>
#include <span>

#include "raster/bitmap.h"

namespace tavelix {

// Reads a still WebP picture (lossy or lossless) into target: 24-bit, or 32-bit
// blue-green-red-alpha (TPixelLayout::Bgra) for a picture with alpha. Animations are refused.
// On failure (also for 0 bytes, a damaged or truncated file) throws TPictureError
// (Kind::InvalidWebp; OutOfResources for a picture larger than a bitmap stores) and target is
// unchanged.
void LoadWebp(TBitmap& target, std::span<const std::uint8_t> file);

// The size a WebP file declares, checked as LoadWebp checks it. Throws as LoadWebp does.
TPictureSize ReadWebpSize(std::span<const std::uint8_t> file);

}  // namespace tavelix
