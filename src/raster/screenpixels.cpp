#include "raster/screenpixels.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "raster/pixels.h"

namespace tavelix {

namespace {

constexpr std::uint32_t Opaque = 0xFF000000u;

std::uint32_t ScreenValue(TColor c) {
    return Opaque | (std::uint32_t{GetRValue(c)} << 16) | (std::uint32_t{GetGValue(c)} << 8) | GetBValue(c);
}

bool IsBgrx(const TPixelLayout& layout) {
    return layout.BitCount == 32 &&
           (layout.Device || (layout.EffectiveRedMask() == 0xFF0000 && layout.EffectiveGreenMask() == 0x00FF00 &&
                              layout.EffectiveBlueMask() == 0x0000FF));
}

}  // namespace

void CopyToScreenPixels(const TBitmap& source, const TRect& area, std::uint8_t* dest, std::size_t stride) {
    if (source.Empty() || !source.HasStore()) return;
    const std::int32_t left = std::max(area.Left, 0);
    const std::int32_t top = std::max(area.Top, 0);
    const std::int32_t right = std::min(area.Right, source.Width());
    const std::int32_t bottom = std::min(area.Bottom, source.Height());
    if (left >= right || top >= bottom) return;
    const auto count = static_cast<std::size_t>(right - left);

    const TPixelLayout& layout = source.Layout();
    const unsigned bits = layout.BitCount;
    const pixels::TColorCodec codec(source.Format());
    // Indexed pictures look every index up in a ready table.
    std::array<std::uint32_t, 256> table;
    const bool lookUp = layout.IsIndexed();
    if (lookUp)
        for (std::uint32_t v = 0; v <= pixels::RawMask(bits); ++v) table[v] = ScreenValue(codec.Decode(v));

    for (std::int32_t y = top; y < bottom; ++y) {
        const std::uint8_t* row = source.ScanLine(y);
        auto* out = reinterpret_cast<std::uint32_t*>(dest + std::size_t(y - area.Top) * stride) + (left - area.Left);
        if (bits == 24 && !layout.Device) {
            const std::uint8_t* p = row + std::size_t(left) * 3;
            for (std::size_t i = 0; i < count; ++i, p += 3)
                out[i] = Opaque | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
        } else if (IsBgrx(layout)) {
            const std::uint8_t* p = row + std::size_t(left) * 4;
            for (std::size_t i = 0; i < count; ++i, p += 4) {
                std::uint32_t v;
                std::memcpy(&v, p, 4);
                out[i] = Opaque | (v & 0xFFFFFFu);
            }
        } else if (lookUp) {
            for (std::size_t i = 0; i < count; ++i)
                out[i] = table[pixels::ReadRaw(row, left + std::int32_t(i), bits)];
        } else {
            for (std::size_t i = 0; i < count; ++i)
                out[i] = ScreenValue(codec.Decode(pixels::ReadRaw(row, left + std::int32_t(i), bits)));
        }
    }
}

}  // namespace tavelix
