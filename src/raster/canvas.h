// TCanvas: the drawing surface of one bitmap.
#pragma once

#include <cstdint>
#include <span>

#include "raster/types.h"

namespace tavelix {

class TBitmap;

// Raster operations of the block copy and the stretched draw.
constexpr std::uint32_t SRCCOPY = 0x00CC0020;     // destination := source
constexpr std::uint32_t SRCPAINT = 0x00EE0086;    // destination := destination OR source
constexpr std::uint32_t SRCAND = 0x008800C6;      // destination := destination AND source
constexpr std::uint32_t SRCINVERT = 0x00660046;   // destination := destination XOR source
constexpr std::uint32_t NOTSRCCOPY = 0x00330008;  // destination := NOT source
constexpr std::uint32_t DSTINVERT = 0x00550009;   // destination := NOT destination
constexpr std::uint32_t BLACKNESS = 0x00000042;   // every bit 0
constexpr std::uint32_t WHITENESS = 0x00FF0062;   // every bit 1

enum class TPenMode { pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmXor };
enum class TPenStyle { psSolid };
enum class TBrushStyle { bsSolid };

struct TPen {
    TColor Color = clBlack;
    TPenMode Mode = TPenMode::pmCopy;
    TPenStyle Style = TPenStyle::psSolid;
    std::int32_t Width = 1;
};

struct TBrush {
    TColor Color = clWhite;
    TBrushStyle Style = TBrushStyle::bsSolid;
};

// One block of a batched copy: Dest on this canvas takes Source of the source canvas.
struct TBlockMove {
    TRect Dest, Source;
};

class TCanvas {
public:
    explicit TCanvas(TBitmap& owner) : FOwner(&owner) {}
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;

    std::uint32_t CopyMode = SRCCOPY;
    TPen Pen;
    TBrush Brush;
    TPoint PenPos;

    // Copies rectangle source of the source canvas into dest of this one, converting colours
    // to this bitmap's format. Equal sizes copy one to one; other sizes sample the nearest
    // source pixel. Pixels outside either bitmap are left out. Notifies the owner.
    void CopyBlock(const TRect& dest, TCanvas& source, const TRect& sourceRect);

    // Several block copies of equal-sized rectangles from one source canvas, with distinct
    // destinations: the same result as CopyBlock for each, in one pass over the rows (the
    // cache-friendly order). The source must be another bitmap. Notifies once.
    void CopyBlocks(std::span<const TBlockMove> moves, TCanvas& source);

    // Draws the whole source bitmap scaled into dest, each destination pixel taking one source
    // pixel (nearest neighbour). A monochrome source that shrinks ANDs the pixels that fall
    // together. Nothing happens without a source. Notifies the owner.
    void DrawStretched(const TRect& dest, const TBitmap* source);

    void MoveTo(std::int32_t x, std::int32_t y) { PenPos = {x, y}; }
    // Draws from the pen position up to, not including, (x, y) with the pen, then moves the pen
    // there. Pixels outside the bitmap are left alone. Only one-pixel pens are drawn.
    void LineTo(std::int32_t x, std::int32_t y);

    TBitmap& Bitmap() { return *FOwner; }

private:
    friend class TBitmap;
    // Nearest-neighbour draw of sourceRect of source into dest (clipped to this bitmap).
    void StretchFrom(const TRect& dest, const TBitmap& source, const TRect& sourceRect, bool andOnShrink);

    TBitmap* FOwner;
};

}  // namespace tavelix
