// The orientation a JPEG file's EXIF data records, and pictures turned and mirrored by it.
// Orientations are numbered as EXIF numbers them: 1 as stored, 2 mirrored left to right, 3
// turned 180 degrees, 4 mirrored top to bottom, 5 mirrored along the main diagonal, 6 turned
// 90 degrees clockwise, 7 mirrored along the other diagonal, 8 turned 90 degrees anticlockwise.
#pragma once

#include <cstdint>
#include <span>

#include "raster/bitmap.h"

namespace tavelix {

// The orientation the first EXIF block of a JPEG file records in its first directory; 1 when
// there is none, or none that can be read (damaged, cut short, a value outside 1 to 8). Only the
// markers before the picture data are looked at: the head of a file is enough.
int JpegOrientation(std::span<const std::uint8_t> file);

// source as the orientation shows it (6: turned 90 degrees clockwise, width and height swapped),
// in source's store format. Pictures of 8, 24 or 32 bits a pixel; others, and orientation 1 or
// one outside 1 to 8, come back as they are (sharing source's store).
TBitmap Oriented(const TBitmap& source, int orientation);

// The orientation that brings a picture shown with orientation back to its stored pixels.
constexpr int UndoingOrientation(int orientation) {
    return orientation == 6 ? 8 : orientation == 8 ? 6 : orientation;
}

}  // namespace tavelix
