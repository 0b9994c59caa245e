// Reading and writing PNG files, from and to bytes in memory, over libspng.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "raster/bitmap.h"

namespace tavelix {

// Reads a PNG file's bytes into target. Every kind of PNG is read: 1 to 16 bits a channel,
// palette, gray, gray with alpha, RGB and RGBA, interlaced or not; 16-bit channels keep their
// high byte. Pictures with alpha (an alpha channel, or transparency in a tRNS chunk) become
// 32-bit blue-green-red-alpha (TPixelLayout::Bgra), gray ones of up to 8 bits 8-bit gray (a
// table of 256 levels), all others 24-bit. Text and other ancillary chunks are not kept.
// On failure (also for 0 bytes, a damaged or truncated file, a bad checksum) throws
// TPictureError (Kind::InvalidPng; OutOfResources for a picture larger than a bitmap stores)
// and target is unchanged.
void LoadPng(TBitmap& target, std::span<const std::uint8_t> file);

// The size a PNG file declares, checked as LoadPng checks it. Throws as LoadPng does.
TPictureSize ReadPngSize(std::span<const std::uint8_t> file);

// source as a PNG file: 8-bit RGB, RGBA for a picture with alpha, 8-bit gray for an indexed
// picture whose colours are all gray (what black and white gives). Not interlaced, no
// ancillary chunks; the same picture always gives the same bytes. An empty bitmap throws
// InvalidPng (a PNG file cannot hold 0 pixels).
std::vector<std::uint8_t> SavePng(const TBitmap& source);

}  // namespace tavelix
