#include "raster/pixels.h"

#include <algorithm>
#include <bit>
#include <limits>

namespace tavelix::pixels {

void CopyRaw(std::uint8_t* dst, std::int32_t dstX, const std::uint8_t* src, std::int32_t srcX,
             std::int32_t count, unsigned bits) {
    if (count <= 0) return;
    if (bits >= 8) {
        const std::size_t bytes = bits / 8;
        std::memmove(dst + std::size_t(dstX) * bytes, src + std::size_t(srcX) * bytes,
                     std::size_t(count) * bytes);
        return;
    }
    const unsigned perByte = 8 / bits;
    if (dstX % perByte == 0 && srcX % perByte == 0) {
        // Whole bytes first, the odd pixels at the end one by one.
        const std::int32_t whole = count / std::int32_t(perByte);
        std::memmove(dst + dstX / perByte, src + srcX / perByte, std::size_t(whole));
        for (std::int32_t i = whole * std::int32_t(perByte); i < count; ++i)
            WriteRaw(dst, dstX + i, bits, ReadRaw(src, srcX + i, bits));
        return;
    }
    for (std::int32_t i = 0; i < count; ++i) WriteRaw(dst, dstX + i, bits, ReadRaw(src, srcX + i, bits));
}

TColorCodec::Channel TColorCodec::MakeChannel(std::uint32_t mask) {
    if (mask == 0) return {};
    const unsigned shift = unsigned(std::countr_zero(mask));
    const unsigned top = 32 - unsigned(std::countl_zero(mask));
    return {shift, top - shift};
}

std::uint8_t TColorCodec::Expand(std::uint32_t value, Channel c) {
    if (c.Width == 0) return 0;
    if (c.Width >= 8) return std::uint8_t(value >> (c.Width - 8));
    const std::uint32_t max = (1u << c.Width) - 1;
    return std::uint8_t((value * 255 + max / 2) / max);
}

std::uint32_t TColorCodec::Reduce(std::uint8_t value, Channel c) {
    if (c.Width == 0) return 0;
    if (c.Width >= 8) {
        // Repeat the byte's top bits below it so that full intensity stays full.
        std::uint64_t v = std::uint64_t(value) << (c.Width - 8);
        v |= (std::uint64_t(value) << c.Width) >> 16 & ((std::uint64_t(1) << (c.Width - 8)) - 1);
        return std::uint32_t(v);
    }
    const std::uint32_t max = (1u << c.Width) - 1;
    return (std::uint32_t(value) * max + 127) / 255;
}

TColorCodec::TColorCodec(const TStoreFormat& format)
    : FBits(format.Layout.BitCount), FIndexed(format.Layout.IsIndexed()), FMasked(false) {
    if (FIndexed) {
        FTable.assign(std::size_t(1) << FBits, clBlack);
        FHeld = std::min(format.Palette.size(), FTable.size());
        for (std::size_t i = 0; i < FHeld; ++i) FTable[i] = ToColor(format.Palette[i]);
        return;
    }
    if (FBits == 16 || FBits == 32) {
        FMasked = true;
        FRed = MakeChannel(format.Layout.EffectiveRedMask());
        FGreen = MakeChannel(format.Layout.EffectiveGreenMask());
        FBlue = MakeChannel(format.Layout.EffectiveBlueMask());
        if (format.Layout.HasAlpha()) FOpaque = format.Layout.AlphaMask;
    }
}

TColor TColorCodec::Decode(std::uint32_t raw) const {
    if (FIndexed) return FTable[raw & RawMask(FBits)];
    if (FMasked) {
        return RGB(Expand((raw >> FRed.Shift) & RawMask(FRed.Width), FRed),
                   Expand((raw >> FGreen.Shift) & RawMask(FGreen.Width), FGreen),
                   Expand((raw >> FBlue.Shift) & RawMask(FBlue.Width), FBlue));
    }
    // 24 bits: blue, green, red in memory, so the little-endian value is 0x00RRGGBB.
    return RGB(std::uint8_t(raw >> 16), std::uint8_t(raw >> 8), std::uint8_t(raw));
}

std::uint32_t TColorCodec::Encode(TColor color) const {
    color &= 0xFFFFFF;
    if (FIndexed) return NearestIndex(color);
    if (FMasked) {
        return (Reduce(GetRValue(color), FRed) << FRed.Shift) |
               (Reduce(GetGValue(color), FGreen) << FGreen.Shift) |
               (Reduce(GetBValue(color), FBlue) << FBlue.Shift) | FOpaque;
    }
    return std::uint32_t(GetBValue(color)) | (std::uint32_t(GetGValue(color)) << 8) |
           (std::uint32_t(GetRValue(color)) << 16);
}

std::uint32_t TColorCodec::NearestIndex(TColor color) const {
    const std::size_t slot = ((color * 2654435761u) >> 22) & (FCache.size() - 1);
    const std::uint64_t cached = FCache[slot];
    if ((cached >> 32) != 0 && (cached & 0xFFFFFF) == color) return std::uint32_t(cached >> 24) & 0xFF;
    // Euclidean distance in red, green and blue; the first of equally near entries wins. A
    // picture without a table has only index 0.
    std::uint32_t best = 0;
    std::int64_t bestDistance = std::numeric_limits<std::int64_t>::max();
    for (std::size_t i = 0; i < FHeld; ++i) {
        const int dr = int(GetRValue(FTable[i])) - int(GetRValue(color));
        const int dg = int(GetGValue(FTable[i])) - int(GetGValue(color));
        const int db = int(GetBValue(FTable[i])) - int(GetBValue(color));
        const std::int64_t d = std::int64_t(dr) * dr + std::int64_t(dg) * dg + std::int64_t(db) * db;
        if (d < bestDistance) {
            bestDistance = d;
            best = std::uint32_t(i);
            if (d == 0) break;
        }
    }
    FCache[slot] = (std::uint64_t(1) << 32) | (std::uint64_t(best) << 24) | color;
    return best;
}

bool SameRawFormat(const TStoreFormat& a, const TStoreFormat& b) {
    const TPixelLayout& x = a.Layout;
    const TPixelLayout& y = b.Layout;
    if (x.BitCount != y.BitCount) return false;
    if (x.IsIndexed()) return a.Palette == b.Palette;
    if (x.BitCount == 16 || x.BitCount == 32)
        return x.EffectiveRedMask() == y.EffectiveRedMask() &&
               x.EffectiveGreenMask() == y.EffectiveGreenMask() &&
               x.EffectiveBlueMask() == y.EffectiveBlueMask() && x.AlphaMask == y.AlphaMask;
    return true;
}

}  // namespace tavelix::pixels
