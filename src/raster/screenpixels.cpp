#include "raster/screenpixels.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "raster/pixels.h"

#if (defined(__GNUC__) || defined(__clang__)) && defined(__x86_64__)
#include <tmmintrin.h>
#define TAVELIX_SSSE3_ROWS 1
#endif

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

// Blue, green, red bytes to opaque 32-bit values.
void Bgr24ToScreenPlain(const std::uint8_t* p, std::uint32_t* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i, p += 3)
        out[i] = Opaque | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
}

#ifdef TAVELIX_SSSE3_ROWS
// The same, four pixels per step: one byte shuffle spreads 12 bytes over 16. It reads 16
// bytes at a time, so it stops while at least 6 pixels (18 bytes) are left.
__attribute__((target("ssse3"))) void Bgr24ToScreenSsse3(const std::uint8_t* p, std::uint32_t* out,
                                                         std::size_t count) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(Opaque));
    std::size_t i = 0;
    for (; i + 6 <= count; i += 4, p += 12) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_or_si128(_mm_shuffle_epi8(bytes, spread), opaque));
    }
    Bgr24ToScreenPlain(p, out + i, count - i);
}
#endif

void Bgr24ToScreen(const std::uint8_t* p, std::uint32_t* out, std::size_t count) {
#ifdef TAVELIX_SSSE3_ROWS
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    if (ssse3) return Bgr24ToScreenSsse3(p, out, count);
#endif
    Bgr24ToScreenPlain(p, out, count);
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
            Bgr24ToScreen(row + std::size_t(left) * 3, out, count);
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
