// The seams of an assembled picture: where its strips meet again after assembling. Strips are
// those of TTavelix::Scramble (width W div 256 + 1, height H div 256 + 1); the right and bottom
// edge strips, which assembling never puts back in order, are left out.
#pragma once

#include "raster/bitmap.h"

namespace tavelix {

// Mends the colour along the seams of an assembled picture that was saved scrambled as a JPEG:
// each pixel beside a seam takes its colour (not its brightness) from the pixels within 3 of
// it that have about its brightness, so colour edges stay where brightness edges are. Pixels
// away from the seams and the edge strips are left as they are; so are pictures of other than
// 24 or 32 bits (gray ones have no colour to mend). Notifies when a pixel changed.
void SmoothSeams(TBitmap& picture);

}  // namespace tavelix
