// The seam smoothing.
#include "engine/seams.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

#include "engine/tavelix.h"
#include "raster/canvas.h"

namespace tavelix {

namespace {

struct TGeometry {
    std::int32_t B, C, N, M;  // strip width and height, column and row strips
};

TGeometry GeometryOf(std::int32_t width, std::int32_t height) {
    const std::int32_t b = width / 256 + 1, c = height / 256 + 1;
    return {b, c, width / b, height / c};
}


bool StandardMasks(const TPixelLayout& layout) {
    return layout.EffectiveRedMask() == 0xFF0000 && layout.EffectiveGreenMask() == 0x00FF00 &&
           layout.EffectiveBlueMask() == 0x0000FF;
}

}  // namespace

namespace {

// Colour of a pixel as brightness and two colour differences (JPEG's YCbCr, unscaled floats).
struct TYcc {
    float Y, Cb, Cr;
};

TYcc ToYcc(const std::uint8_t* bgr) {
    const float b = bgr[0], g = bgr[1], r = bgr[2];
    return {0.299f * r + 0.587f * g + 0.114f * b, -0.168736f * r - 0.331264f * g + 0.5f * b,
            0.5f * r - 0.418688f * g - 0.081312f * b};
}

std::uint8_t Channel(float value) { return std::uint8_t(std::clamp(std::lround(value), 0L, 255L)); }

// The colour differences are taken from the pixels within this many pixels whose brightness is
// close (a Gaussian weight of the brightness difference with this spread, in levels).
constexpr int SmoothRadius = 3;
constexpr float SmoothSpread = 8;

}  // namespace

// A JPEG keeps colour at half the resolution of brightness and rounds it coarsely in blocks of
// 16 pixels, so where a scrambled picture's strips met, each strip took on colour of the
// unrelated strip beside it. After assembling, those pixels sit at the seams, beside their real
// neighbours: their colour is taken anew from the pixels around them of about the same
// brightness, which keeps colour edges where brightness edges are. Brightness is left as it is.
void SmoothSeams(TBitmap& picture) {
    const TPixelLayout& layout = picture.Layout();
    const bool packed24 = layout.BitCount == 24 && !layout.Device;
    const bool packed32 = layout.BitCount == 32 && (layout.Device || StandardMasks(layout));
    if (picture.Empty() || (!packed24 && !packed32)) return;
    const std::size_t bytes = packed24 ? 3 : 4;
    const std::int32_t width = picture.Width(), height = picture.Height();
    const TGeometry g = GeometryOf(width, height);
    const std::int32_t rows = g.M * g.C, columns = g.N * g.B;
    auto atSeam = [&](std::int32_t at, std::int32_t strip) {
        const std::int32_t offset = at % strip;
        return strip >= 2 && (offset == 0 || offset == strip - 1);
    };

    std::vector<TYcc> ycc(std::size_t(width) * std::size_t(height));
    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* row = picture.ScanLine(y);
        for (std::int32_t x = 0; x < width; ++x) ycc[std::size_t(y) * width + x] = ToYcc(row + x * bytes);
    }
    std::array<float, 256> weight{};
    for (std::size_t d = 0; d < weight.size(); ++d)
        weight[d] = std::exp(-float(d * d) / (2 * SmoothSpread * SmoothSpread));

    bool changed = false;
    for (std::int32_t y = 0; y < rows; ++y) {
        const bool rowAtSeam = atSeam(y, g.C) && y != 0 && y != rows - 1;
        std::uint8_t* row = nullptr;
        for (std::int32_t x = 0; x < columns; ++x) {
            if (!rowAtSeam && !(atSeam(x, g.B) && x != 0 && x != columns - 1)) continue;
            const TYcc& here = ycc[std::size_t(y) * width + x];
            float cb = 0, cr = 0, sum = 0;
            for (std::int32_t v = std::max(0, y - SmoothRadius); v <= std::min(rows - 1, y + SmoothRadius); ++v)
                for (std::int32_t u = std::max(0, x - SmoothRadius); u <= std::min(columns - 1, x + SmoothRadius); ++u) {
                    const TYcc& there = ycc[std::size_t(v) * width + u];
                    const float w = weight[std::min<std::size_t>(255, std::size_t(std::fabs(there.Y - here.Y)))];
                    cb += w * there.Cb;
                    cr += w * there.Cr;
                    sum += w;
                }
            cb /= sum;
            cr /= sum;
            if (std::fabs(cb - here.Cb) < 0.5f && std::fabs(cr - here.Cr) < 0.5f) continue;
            if (row == nullptr) row = picture.ScanLine(y);
            std::uint8_t* p = row + x * bytes;
            p[0] = Channel(here.Y + 1.772f * cb);
            p[1] = Channel(here.Y - 0.344136f * cb - 0.714136f * cr);
            p[2] = Channel(here.Y + 1.402f * cr);
            changed = true;
        }
    }
    if (changed) picture.Changed();
}

}  // namespace tavelix
