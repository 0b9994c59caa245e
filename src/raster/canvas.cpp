#include "raster/canvas.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "raster/bitmap.h"
#include "raster/pixels.h"

namespace tavelix {

namespace {

__extension__ typedef __int128 TWide;  // products of two sizes and an index never overflow it

[[noreturn]] void InvalidOperation(const char* what) {
    throw TPictureError(TPictureError::Kind::InvalidOperation, what);
}

void CheckRop(std::uint32_t rop) {
    switch (rop) {
        case SRCCOPY: case SRCPAINT: case SRCAND: case SRCINVERT:
        case NOTSRCCOPY: case DSTINVERT: case BLACKNESS: case WHITENESS: return;
        default: InvalidOperation("Unsupported copy mode");
    }
}

std::uint32_t ApplyRop(std::uint32_t rop, std::uint32_t dst, std::uint32_t src, std::uint32_t mask) {
    switch (rop) {
        case SRCPAINT: return dst | src;
        case SRCAND: return dst & src;
        case SRCINVERT: return dst ^ src;
        case NOTSRCCOPY: return ~src & mask;
        case DSTINVERT: return ~dst & mask;
        case BLACKNESS: return 0;
        case WHITENESS: return mask;
        default: return src;
    }
}

// Rows of a source store as the destination format stores them: the rows themselves when the
// formats agree, otherwise each row converted once (and kept while the same row is asked for).
class TRowSource {
public:
    TRowSource(const TPixelStore& source, const TStoreFormat& dstFormat)
        : FSource(source), FSame(pixels::SameRawFormat(source.Format(), dstFormat)),
          FSrcBits(source.Format().Layout.BitCount), FDstBits(dstFormat.Layout.BitCount) {
        if (FSame) return;
        const pixels::TColorCodec from(source.Format());
        const pixels::TColorCodec to(dstFormat);
        if (from.Bits() <= 8) {
            FLut.resize(std::size_t(1) << FSrcBits);
            for (std::uint32_t i = 0; i < FLut.size(); ++i) FLut[i] = to.Encode(from.Decode(i));
        } else {
            FFrom = std::make_unique<pixels::TColorCodec>(source.Format());
            FTo = std::make_unique<pixels::TColorCodec>(dstFormat);
        }
        FTemp.resize(PaddedRowBytes(source.Width(), FDstBits));
        FPlain24To32 = FLut.empty() && FSrcBits == 24 && FDstBits == 32 && FTo->Encode(0x010203) == 0x030201;
    }

    // Pixel x of a source row, as the destination stores it.
    std::uint32_t ConvertPixel(const std::uint8_t* src, std::int32_t x) const {
        if (FSame) return pixels::ReadRaw(src, x, FSrcBits);
        if (!FLut.empty()) return FLut[pixels::ReadRaw(src, x, FSrcBits)];
        if (FPlain24To32) return pixels::ReadRaw(src, x, 24);  // blue, green, red and a zero byte
        return FTo->Encode(FFrom->Decode(pixels::ReadRaw(src, x, FSrcBits)));
    }

    bool Same() const { return FSame; }

    const std::uint8_t* Row(std::int32_t y) {
        if (FSame) return FSource.Row(y);
        if (y != FCachedRow) {
            Convert(FSource.Row(y), FTemp.data());
            FCachedRow = y;
        }
        return FTemp.data();
    }

private:
    void Convert(const std::uint8_t* src, std::uint8_t* dst) const {
        const std::int32_t width = FSource.Width();
        if (!FLut.empty()) {
            for (std::int32_t x = 0; x < width; ++x)
                pixels::WriteRaw(dst, x, FDstBits, FLut[pixels::ReadRaw(src, x, FSrcBits)]);
        } else if (FPlain24To32) {
            for (std::int32_t x = 0; x < width; ++x) {  // blue, green, red, then an unused zero byte
                dst[4 * x] = src[3 * x];
                dst[4 * x + 1] = src[3 * x + 1];
                dst[4 * x + 2] = src[3 * x + 2];
                dst[4 * x + 3] = 0;
            }
        } else {
            for (std::int32_t x = 0; x < width; ++x)
                pixels::WriteRaw(dst, x, FDstBits, FTo->Encode(FFrom->Decode(pixels::ReadRaw(src, x, FSrcBits))));
        }
    }

    const TPixelStore& FSource;
    bool FSame;
    unsigned FSrcBits, FDstBits;
    std::vector<std::uint32_t> FLut;
    std::unique_ptr<pixels::TColorCodec> FFrom, FTo;
    std::vector<std::uint8_t> FTemp;
    std::int32_t FCachedRow = -1;
    bool FPlain24To32 = false;
};

// Writes count pixels of a row already in the destination format, combining by rop.
void PutPixels(std::uint8_t* dst, std::int32_t dstX, const std::uint8_t* src, std::int32_t srcX,
               std::int32_t count, unsigned bits, std::uint32_t rop) {
    if (rop == SRCCOPY) {
        pixels::CopyRaw(dst, dstX, src, srcX, count, bits);
        return;
    }
    const std::uint32_t mask = pixels::RawMask(bits);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::uint32_t d = pixels::ReadRaw(dst, dstX + i, bits);
        pixels::WriteRaw(dst, dstX + i, bits, ApplyRop(rop, d, pixels::ReadRaw(src, srcX + i, bits), mask));
    }
}

// A block copy of one size, clipped so that both rectangles lie inside their bitmaps.
struct TClippedMove {
    std::int32_t DstX, DstY, SrcX, SrcY, Width, Height;
};

bool ClipMove(const TRect& dest, const TRect& source, std::int32_t dstW, std::int32_t dstH,
              std::int32_t srcW, std::int32_t srcH, TClippedMove& out) {
    std::int64_t dx = dest.Left, dy = dest.Top, sx = source.Left, sy = source.Top;
    std::int64_t w = dest.Width(), h = dest.Height();
    const std::int64_t skipX = std::max<std::int64_t>({0, -dx, -sx});
    const std::int64_t skipY = std::max<std::int64_t>({0, -dy, -sy});
    dx += skipX; sx += skipX; w -= skipX;
    dy += skipY; sy += skipY; h -= skipY;
    w = std::min<std::int64_t>({w, dstW - dx, srcW - sx});
    h = std::min<std::int64_t>({h, dstH - dy, srcH - sy});
    if (w <= 0 || h <= 0) return false;
    out = {std::int32_t(dx), std::int32_t(dy), std::int32_t(sx), std::int32_t(sy), std::int32_t(w), std::int32_t(h)};
    return true;
}

// Copies of many equally wide pieces between two rows, by offsets: a fixed size per copy lets
// the compiler turn each into a few moves instead of a call.
struct TOffsets {
    std::uint32_t Dst, Src;
};
using TChunkCopier = void (*)(std::uint8_t*, const std::uint8_t*, const TOffsets*, std::size_t, std::size_t);

template <std::size_t N>
void CopyChunks(std::uint8_t* d, const std::uint8_t* s, const TOffsets* o, std::size_t count, std::size_t) {
    for (std::size_t i = 0; i < count; ++i) std::memcpy(d + o[i].Dst, s + o[i].Src, N);
}
void CopyChunksAnySize(std::uint8_t* d, const std::uint8_t* s, const TOffsets* o, std::size_t count,
                       std::size_t bytes) {
    for (std::size_t i = 0; i < count; ++i) std::memcpy(d + o[i].Dst, s + o[i].Src, bytes);
}

template <std::size_t... I>
constexpr std::array<TChunkCopier, sizeof...(I)> MakeCopiers(std::index_sequence<I...>) {
    return {&CopyChunks<I + 1>...};
}
constexpr auto kChunkCopiers = MakeCopiers(std::make_index_sequence<64>{});

TChunkCopier PickCopier(std::size_t bytes) {
    return bytes >= 1 && bytes <= kChunkCopiers.size() ? kChunkCopiers[bytes - 1] : &CopyChunksAnySize;
}

// Source column for each destination column of a stretch, -1 where it falls outside.
std::vector<std::int32_t> NearestMap(std::int32_t destStart, std::int32_t destSize, std::int32_t from,
                                     std::int32_t to, std::int32_t srcStart, std::int32_t srcSize,
                                     std::int32_t srcLimit) {
    std::vector<std::int32_t> map(std::size_t(std::max(to - from, 0)));
    for (std::int32_t d = from; d < to; ++d) {
        const TWide i = TWide(d) - destStart;
        const TWide s = srcStart + (2 * i + 1) * srcSize / (2 * TWide(destSize));
        map[std::size_t(d - from)] = s >= 0 && s < srcLimit ? std::int32_t(s) : -1;
    }
    return map;
}

// Gathers destination pixels from a row already in the destination format.
void GatherRow(std::uint8_t* dst, std::int32_t dstX, const std::uint8_t* src, const std::vector<std::int32_t>& xmap,
               unsigned bits, std::uint32_t rop) {
    const std::size_t n = xmap.size();
    if (rop == SRCCOPY && bits >= 8) {
        const std::int32_t* m = xmap.data();
        switch (bits) {
            case 32: {
                std::uint8_t* d = dst + std::size_t(dstX) * 4;
                for (std::size_t i = 0; i < n; ++i)
                    if (m[i] >= 0) std::memcpy(d + 4 * i, src + 4 * std::size_t(m[i]), 4);
                return;
            }
            case 24: {
                std::uint8_t* d = dst + std::size_t(dstX) * 3;
                for (std::size_t i = 0; i < n; ++i)
                    if (m[i] >= 0) std::memcpy(d + 3 * i, src + 3 * std::size_t(m[i]), 3);
                return;
            }
            case 16: {
                std::uint8_t* d = dst + std::size_t(dstX) * 2;
                for (std::size_t i = 0; i < n; ++i)
                    if (m[i] >= 0) std::memcpy(d + 2 * i, src + 2 * std::size_t(m[i]), 2);
                return;
            }
            default: {
                std::uint8_t* d = dst + dstX;
                for (std::size_t i = 0; i < n; ++i)
                    if (m[i] >= 0) d[i] = src[m[i]];
                return;
            }
        }
    }
    const std::uint32_t mask = pixels::RawMask(bits);
    for (std::size_t i = 0; i < n; ++i) {
        if (xmap[i] < 0) continue;
        const std::int32_t x = dstX + std::int32_t(i);
        const std::uint32_t s = pixels::ReadRaw(src, xmap[i], bits);
        const std::uint32_t v = rop == SRCCOPY ? s : ApplyRop(rop, pixels::ReadRaw(dst, x, bits), s, mask);
        pixels::WriteRaw(dst, x, bits, v);
    }
}

}  // namespace

void TCanvas::CopyBlock(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
    CheckRop(CopyMode);
    if (dest.Width() != sourceRect.Width() || dest.Height() != sourceRect.Height()) {
        if (dest.Width() <= 0 || dest.Height() <= 0 || sourceRect.Width() <= 0 || sourceRect.Height() <= 0) return;
        const TBitmap snapshot(source.Bitmap());  // reads the pixels as they were before the copy
        StretchFrom(dest, snapshot, sourceRect, false);
        return;
    }
    const TBlockMove move{dest, sourceRect};
    if (&source == this) {
        TBitmap snapshot(*FOwner);  // shares the store; our write detaches, the snapshot keeps the old
        CopyBlocks({&move, 1}, snapshot.Canvas());
        return;
    }
    CopyBlocks({&move, 1}, source);
}

void TCanvas::CopyBlocks(std::span<const TBlockMove> moves, TCanvas& source) {
    CheckRop(CopyMode);
    TBitmap& dst = *FOwner;
    const TBitmap& src = *source.FOwner;
    if (&src == &dst) InvalidOperation("Batched block copies need two bitmaps");
    if (dst.Empty() || src.Empty()) return;

    std::vector<TClippedMove> clipped;
    clipped.reserve(moves.size());
    for (const TBlockMove& m : moves) {
        if (m.Dest.Width() != m.Source.Width() || m.Dest.Height() != m.Source.Height())
            InvalidOperation("Batched block copies need rectangles of equal size");
        TClippedMove c;
        if (ClipMove(m.Dest, m.Source, dst.Width(), dst.Height(), src.Width(), src.Height(), c)) clipped.push_back(c);
    }
    if (clipped.empty()) return;

    const std::shared_ptr<TPixelStore> old = dst.FStore;
    const bool shared = old.use_count() > 2;  // held by dst and by `old` above
    TPixelStore& out = shared ? *(dst.FStore = TPixelStore::Uninitialised(old->Width(), old->Height(), old->Format()))
                              : *old;
    const TPixelStore& in = *src.FStore;
    TRowSource rows(in, out.Format());
    const unsigned bits = out.Format().Layout.BitCount;
    const bool chunked = CopyMode == SRCCOPY && bits >= 8;
    const std::size_t bytesPerPixel = bits / 8;

    // Walk the destination rows top to bottom with the set of moves that cover each row.
    std::sort(clipped.begin(), clipped.end(),
              [](const TClippedMove& a, const TClippedMove& b) { return a.DstY < b.DstY; });
    std::vector<const TClippedMove*> active;
    std::vector<TOffsets> offsets;
    std::size_t next = 0;
    bool uniformShift = false, fullRow = false;
    std::int32_t shift = 0;
    TChunkCopier copier = nullptr;
    std::size_t chunkBytes = 0;
    std::int32_t firstEnd = std::numeric_limits<std::int32_t>::max();  // first row no longer covered
    for (std::int32_t y = 0; y < out.Height(); ++y) {
        bool changed = false;
        if (y >= firstEnd) {
            std::erase_if(active, [y](const TClippedMove* m) { return m->DstY + m->Height <= y; });
            changed = true;
        }
        for (; next < clipped.size() && clipped[next].DstY == y; ++next) {
            active.push_back(&clipped[next]);
            changed = true;
        }
        if (changed) {
            firstEnd = std::numeric_limits<std::int32_t>::max();
            for (const TClippedMove* m : active) firstEnd = std::min(firstEnd, m->DstY + m->Height);
            uniformShift = !active.empty();
            fullRow = false;
            chunkBytes = active.empty() ? 0 : std::size_t(active.front()->Width) * bytesPerPixel;
            shift = active.empty() ? 0 : active.front()->SrcY - active.front()->DstY;
            offsets.clear();
            for (const TClippedMove* m : active) {
                uniformShift = uniformShift && m->SrcY - m->DstY == shift &&
                               std::size_t(m->Width) * bytesPerPixel == chunkBytes;
                fullRow = fullRow || (m->DstX == 0 && m->Width == out.Width());
                offsets.push_back({std::uint32_t(std::size_t(m->DstX) * bytesPerPixel),
                                   std::uint32_t(std::size_t(m->SrcX) * bytesPerPixel)});
            }
            copier = PickCopier(chunkBytes);
        }
        std::uint8_t* row = out.Row(y);
        if (shared && !(fullRow && CopyMode == SRCCOPY)) std::memcpy(row, old->Row(y), out.Stride());
        if (active.empty()) continue;
        if (chunked && uniformShift) {
            copier(row, rows.Row(y + shift), offsets.data(), offsets.size(), chunkBytes);
            continue;
        }
        for (const TClippedMove* m : active)
            PutPixels(row, m->DstX, rows.Row(m->SrcY + (y - m->DstY)), m->SrcX, m->Width, bits, CopyMode);
    }
    dst.Changed();
}

void TCanvas::DrawStretched(const TRect& dest, const TBitmap* source) {
    if (source == nullptr) return;
    CheckRop(CopyMode);
    if (source->Empty()) return;
    const TBitmap snapshot(*source);  // the source may be this very bitmap
    StretchFrom(dest, snapshot, Rect(0, 0, source->Width(), source->Height()), source->Layout().BitCount == 1);
}

void TCanvas::StretchFrom(const TRect& dest, const TBitmap& source, const TRect& sourceRect, bool andOnShrink) {
    TBitmap& dst = *FOwner;
    if (dst.Empty() || dest.Width() <= 0 || dest.Height() <= 0) return;
    const std::int32_t x0 = std::max(dest.Left, 0), x1 = std::min(dest.Right, dst.Width());
    const std::int32_t y0 = std::max(dest.Top, 0), y1 = std::min(dest.Bottom, dst.Height());
    if (x0 >= x1 || y0 >= y1) return;
    const std::vector<std::int32_t> xmap =
        NearestMap(dest.Left, dest.Width(), x0, x1, sourceRect.Left, sourceRect.Width(), source.Width());
    const std::vector<std::int32_t> ymap =
        NearestMap(dest.Top, dest.Height(), y0, y1, sourceRect.Top, sourceRect.Height(), source.Height());
    const bool whole = x0 == 0 && x1 == dst.Width() && y0 == 0 && y1 == dst.Height() && CopyMode == SRCCOPY &&
                       std::find(xmap.begin(), xmap.end(), -1) == xmap.end() &&
                       std::find(ymap.begin(), ymap.end(), -1) == ymap.end();
    TPixelStore& out = dst.MutableStore(/*preserve=*/!whole);
    const unsigned bits = out.Format().Layout.BitCount;
    TRowSource rows(*source.FStore, out.Format());

    const bool andX = andOnShrink && sourceRect.Width() > dest.Width();
    const bool andY = andOnShrink && sourceRect.Height() > dest.Height();
    if (andX || andY) {
        // A monochrome picture that shrinks keeps its thin black lines: the source pixels that
        // fall on one destination pixel are combined by AND.
        const pixels::TColorCodec from(source.Format());
        const pixels::TColorCodec to(out.Format());
        const bool same = rows.Same();
        const std::uint32_t mask = pixels::RawMask(bits);
        auto span = [](std::int32_t d, std::int32_t start, std::int32_t size, std::int32_t srcStart,
                       std::int32_t srcSize) {
            const TWide i = TWide(d) - start;
            return std::pair<std::int64_t, std::int64_t>{std::int64_t(srcStart + i * srcSize / size),
                                                         std::int64_t(srcStart + (i + 1) * srcSize / size)};
        };
        for (std::int32_t y = y0; y < y1; ++y) {
            auto [sy0, sy1] = andY ? span(y, dest.Top, dest.Height(), sourceRect.Top, sourceRect.Height())
                                   : std::pair<std::int64_t, std::int64_t>{ymap[y - y0], ymap[y - y0] + 1};
            std::uint8_t* row = out.Row(y);
            for (std::int32_t x = x0; x < x1; ++x) {
                auto [sx0, sx1] = andX ? span(x, dest.Left, dest.Width(), sourceRect.Left, sourceRect.Width())
                                       : std::pair<std::int64_t, std::int64_t>{xmap[x - x0], xmap[x - x0] + 1};
                std::uint32_t value = 1;
                bool any = false;
                for (std::int64_t sy = std::max<std::int64_t>(sy0, 0); sy < std::min<std::int64_t>(sy1, source.Height()); ++sy)
                    for (std::int64_t sx = std::max<std::int64_t>(sx0, 0); sx < std::min<std::int64_t>(sx1, source.Width()); ++sx) {
                        value &= pixels::ReadRaw(source.FStore->Row(std::int32_t(sy)), std::int32_t(sx), 1);
                        any = true;
                    }
                if (!any) continue;
                const std::uint32_t raw = same ? value : to.Encode(from.Decode(value));
                pixels::WriteRaw(row, x, bits, ApplyRop(CopyMode, pixels::ReadRaw(row, x, bits), raw, mask));
            }
        }
        dst.Changed();
        return;
    }

    // Enlarging repeats rows: a row drawn from the same source row as the one before is a copy
    // of it, when every destination pixel of the row takes a source pixel.
    const bool repeatRows = CopyMode == SRCCOPY && std::find(xmap.begin(), xmap.end(), -1) == xmap.end();
    const bool sparse = !rows.Same() && std::int64_t(xmap.size()) < source.Width();
    const std::uint32_t mask = pixels::RawMask(bits);
    std::int32_t lastSource = -1;
    std::uint8_t* lastRow = nullptr;
    for (std::int32_t y = y0; y < y1; ++y) {
        const std::int32_t sy = ymap[y - y0];
        if (sy < 0) continue;
        std::uint8_t* row = out.Row(y);
        if (sy == lastSource && repeatRows) {
            pixels::CopyRaw(row, x0, lastRow, x0, x1 - x0, bits);
            continue;
        }
        if (sparse) {
            // Fewer pixels drawn than the source row holds: convert just the ones sampled.
            const std::uint8_t* src = source.FStore->Row(sy);
            for (std::size_t i = 0; i < xmap.size(); ++i) {
                if (xmap[i] < 0) continue;
                const std::int32_t x = x0 + std::int32_t(i);
                const std::uint32_t s = rows.ConvertPixel(src, xmap[i]);
                pixels::WriteRaw(row, x, bits, CopyMode == SRCCOPY ? s : ApplyRop(CopyMode, pixels::ReadRaw(row, x, bits), s, mask));
            }
        } else {
            GatherRow(row, x0, rows.Row(sy), xmap, bits, CopyMode);
        }
        lastSource = sy;
        lastRow = row;
    }
    dst.Changed();
}

void TCanvas::LineTo(std::int32_t x, std::int32_t y) {
    const TPoint from = PenPos;
    PenPos = {x, y};
    if (Pen.Width > 1) InvalidOperation("Only one-pixel pens are drawn");
    if (Pen.Mode == TPenMode::pmNop || (from.X == x && from.Y == y)) return;
    TBitmap& dst = *FOwner;
    if (dst.Empty()) return;
    TPixelStore& out = dst.MutableStore();
    const unsigned bits = out.Format().Layout.BitCount;
    const std::uint32_t mask = pixels::RawMask(bits);
    const pixels::TColorCodec codec(out.Format());
    std::uint32_t pen = 0;
    switch (Pen.Mode) {
        case TPenMode::pmBlack: pen = codec.Encode(clBlack); break;
        case TPenMode::pmWhite: pen = codec.Encode(clWhite); break;
        case TPenMode::pmCopy: case TPenMode::pmXor: pen = codec.Encode(Pen.Color); break;
        case TPenMode::pmNotCopy: pen = codec.Encode(~Pen.Color & 0xFFFFFF); break;
        default: break;
    }
    auto plot = [&](std::int64_t px, std::int64_t py) {
        if (px < 0 || py < 0 || px >= dst.Width() || py >= dst.Height()) return;
        std::uint8_t* row = out.Row(std::int32_t(py));
        const std::uint32_t old = pixels::ReadRaw(row, std::int32_t(px), bits);
        std::uint32_t v = pen;
        if (Pen.Mode == TPenMode::pmNot) v = ~old & mask;
        else if (Pen.Mode == TPenMode::pmXor) v = old ^ pen;
        pixels::WriteRaw(row, std::int32_t(px), bits, v);
    };
    if (from.Y == y || from.X == x) {
        // Horizontal or vertical: only the part inside the bitmap is walked.
        const bool horizontal = from.Y == y;
        const std::int64_t a = horizontal ? from.X : from.Y, b = horizontal ? x : y;
        const std::int64_t limit = horizontal ? dst.Width() : dst.Height();
        const std::int64_t lo = a < b ? a : b + 1, hi = a < b ? b - 1 : a;  // the end is left out
        for (std::int64_t i = std::max<std::int64_t>(lo, 0); i <= std::min<std::int64_t>(hi, limit - 1); ++i)
            horizontal ? plot(i, y) : plot(x, i);
        dst.Changed();
        return;
    }
    // Bresenham from the start up to, not including, the end point.
    std::int64_t cx = from.X, cy = from.Y;
    const std::int64_t dx = std::llabs(std::int64_t(x) - cx), dy = -std::llabs(std::int64_t(y) - cy);
    const std::int64_t stepX = cx < x ? 1 : -1, stepY = cy < y ? 1 : -1;
    std::int64_t error = dx + dy;
    while (cx != x || cy != y) {
        plot(cx, cy);
        const std::int64_t e2 = 2 * error;
        if (e2 >= dy) { error += dy; cx += stepX; }
        if (e2 <= dx) { error += dx; cy += stepY; }
    }
    dst.Changed();
}

}  // namespace tavelix
