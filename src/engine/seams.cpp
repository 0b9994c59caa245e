// The seam score and the seam smoothing.
//
// For a seam between columns x-1 and x, the step across it is |Y(x) - Y(x-1)| summed over the
// rows; the step inside the strips is the same for a pair of columns inside the strip on each
// side (see InsideStep). JPEG files step a little more at every 8th pixel, where their blocks
// meet, so a seam on such a line is left out (unless every seam lies on one), and so is a
// pair inside a strip that straddles one.
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


bool OnBlockEdge(std::int32_t boundary) { return boundary % 8 == 0; }

bool StandardMasks(const TPixelLayout& layout) {
    return layout.EffectiveRedMask() == 0xFF0000 && layout.EffectiveGreenMask() == 0x00FF00 &&
           layout.EffectiveBlueMask() == 0x0000FF;
}

bool IsBgr24(const TBitmap& picture) { return picture.Layout().BitCount == 24 && !picture.Layout().Device; }

// picture as 24 bits per pixel, blue-green-red: itself (sharing the store) when it is, else a
// converted copy.
TBitmap AsBgr24(const TBitmap& picture) {
    if (IsBgr24(picture)) return picture;
    TStoreFormat format;
    format.Layout = TPixelLayout::Rgb(24);
    TBitmap copy;
    copy.Allocate(picture.Width(), picture.Height(), format, false);
    TBitmap source(picture);
    copy.Canvas().CopyMode = SRCCOPY;
    const TRect all = Rect(0, 0, picture.Width(), picture.Height());
    copy.Canvas().CopyBlock(all, source.Canvas(), all);
    return copy;
}

// A seam tells something when the strips beside it have detail (a mean step of DetailLevels
// inside them), or when it jumps clearly (ClearJumpLevels across it) where they have none. In
// flat areas a JPEG's errors along the seam could pass for a jump, so other seams are left out.
// Half a level still counts as detail: photographs of a smooth sky or sand step that little
// almost everywhere, and a whole level would leave them with nothing to measure.
constexpr double DetailLevels = 0.5;
constexpr double ClearJumpLevels = 10;

// Adds the ratio of one seam's step to the steps inside its strips, from their sums over
// `samples` pixels (inside: two pairs), when the seam tells something; one level per pixel is
// added to both, so that nearly flat areas count as no jump.
void AddSeam(TSeamSide& side, std::uint64_t across, std::uint64_t inside, std::uint64_t samples) {
    ++side.Seams;
    const double a = double(across) / double(samples), i = double(inside) / double(2 * samples);
    if (i < DetailLevels && a < ClearJumpLevels) return;
    side.Ratios.push_back((a + 1) / (i + 1));
}

void Summarise(TSeamSide& side) {
    if (!side.Measured()) {
        side.Ratios.clear();
        return;
    }
    double logs = 0;
    std::size_t jumping = 0;
    for (const double r : side.Ratios) {
        logs += std::log(r);
        if (r > JumpRatio) ++jumping;
    }
    const double count = double(side.Ratios.size());
    side.Score = std::exp(logs / count);
    side.Jumping = double(jumping) / count;
}

// Which seams of a direction to measure: boundaries s*strip for s = 1 .. count-1, without those
// on block edges unless all are.
std::vector<std::int32_t> SeamsToMeasure(std::int32_t strip, std::int32_t count) {
    std::vector<std::int32_t> seams;
    if (strip < 2) return seams;
    for (std::int32_t s = 1; s < count; ++s)
        if (!OnBlockEdge(s * strip) || strip % 8 == 0) seams.push_back(s * strip);
    return seams;
}

// The steps inside the strips to compare a seam at boundary t with: those of the pairs right
// beside it, at boundaries t-1 and t+1. The pixels at the seam carry what compression did to
// the seam; comparing with pairs that hold one of them each keeps that from counting as a jump.
// A pair on a block edge is left out, unless both are.
template <class TStep>
std::uint64_t InsideStep(std::int32_t t, TStep step) {
    const bool left = !OnBlockEdge(t - 1), right = !OnBlockEdge(t + 1);
    if (left && !right) return 2 * step(t - 1);
    if (right && !left) return 2 * step(t + 1);
    return step(t - 1) + step(t + 1);
}

// Brightness of a blue-green-red pixel, 0 to 255: colour errors of a JPEG (which keeps colour
// coarser than brightness) do not show in it.
inline int Luma(const std::uint8_t* bgr) { return (29 * bgr[0] + 150 * bgr[1] + 77 * bgr[2]) >> 8; }

// Brightness of the pixels at columns t-2 .. t+1 of a row (blue-green-red).
inline void LumaAround(const std::uint8_t* row, std::int32_t t, int (&luma)[4]) {
    const std::uint8_t* p = row + 3 * std::size_t(t - 2);
    for (int k = 0; k < 4; ++k, p += 3) luma[k] = Luma(p);
}

// The sums of one seam: the step across it and the steps of the pairs beside it.
struct TSeamSums {
    std::uint64_t Before = 0, Across = 0, After = 0;  // steps at boundaries t-1, t, t+1
    void Add(const int (&luma)[4]) {
        Before += std::uint64_t(std::abs(luma[1] - luma[0]));
        Across += std::uint64_t(std::abs(luma[2] - luma[1]));
        After += std::uint64_t(std::abs(luma[3] - luma[2]));
    }
};

void AddSeam(TSeamSide& side, std::int32_t t, const TSeamSums& sums, std::uint64_t samples) {
    auto step = [&](std::int32_t at) { return at < t ? sums.Before : at > t ? sums.After : sums.Across; };
    AddSeam(side, sums.Across, InsideStep(t, step), samples);
}

// Runs of RowRun neighbours (96 bytes: two cache lines), at most MaxRowRuns of them, each in
// the middle of its share of the width.
constexpr std::int32_t RowRun = 32, MaxRowRuns = 16;

// Each seam is read at (about) `samples` pixels evenly spread along it, and only the four
// columns or rows around it: the cost grows with the number of seams, not with the picture.
TSeamScore Measure(const TBitmap& picture, std::int32_t samples) {
    TSeamScore score;
    const TGeometry g = GeometryOf(picture.Width(), picture.Height());
    const std::int32_t rows = g.M * g.C, columns = g.N * g.B;  // without the edge strips

    const std::vector<std::int32_t> xs = SeamsToMeasure(g.B, g.N);
    if (!xs.empty()) {
        const std::int32_t rowStep = std::max(1, rows / samples);
        std::vector<TSeamSums> sums(xs.size());
        std::uint64_t count = 0;
        int luma[4];
        for (std::int32_t y = 0; y < rows; y += rowStep, ++count) {
            const std::uint8_t* row = picture.ScanLine(y);
            for (std::size_t s = 0; s < xs.size(); ++s) {
                LumaAround(row, xs[s], luma);
                sums[s].Add(luma);
            }
        }
        for (std::size_t s = 0; s < xs.size(); ++s) AddSeam(score.Columns, xs[s], sums[s], count);
    }

    // Along a row seam the pixels are read in runs of neighbours spread over the width: pixels
    // spread one by one would touch every cache line of the four rows, and reading is what
    // costs (the picture is seldom in the cache).
    const std::vector<std::int32_t> ys = SeamsToMeasure(g.C, g.M);
    if (!ys.empty()) {
        const std::int32_t runs = std::clamp(samples / RowRun, 1, std::min(MaxRowRuns, columns));
        const std::int32_t run = std::clamp(samples / runs, 1, columns / runs);
        for (const std::int32_t t : ys) {
            const std::uint8_t* around[4];
            for (std::int32_t k = 0; k < 4; ++k) around[k] = picture.ScanLine(t - 2 + k);
            TSeamSums sums;
            std::uint64_t count = 0;
            int luma[4];
            for (std::int32_t r = 0; r < runs; ++r) {
                const std::int32_t start = std::int32_t(std::int64_t(columns) * (2 * r + 1) / (2 * runs)) - run / 2;
                for (std::int32_t x = start; x < start + run; ++x, ++count) {
                    for (int k = 0; k < 4; ++k) luma[k] = Luma(around[k] + 3 * std::size_t(x));
                    sums.Add(luma);
                }
            }
            AddSeam(score.Rows, t, sums, count);
        }
    }
    Summarise(score.Columns);
    Summarise(score.Rows);
    return score;
}

}  // namespace

double TSeamScore::Score() const { return std::max(Columns.Score, Rows.Score); }
double TSeamScore::Jumping() const { return std::max(Columns.Jumping, Rows.Jumping); }

TSeamScore MeasureSeams(const TBitmap& picture, std::int32_t samples) {
    if (picture.Empty() || samples < 1) return {};
    return Measure(AsBgr24(picture), samples);
}

// On the share of jumping seams, in the direction where it is larger. Measured on the 20
// photographs of bench/ (as JPEG and as BMP, 50 wrong passwords each): at most 1 % of the
// seams of a rightly assembled JPEG jump (artefacts of the compression along the seams), none
// of a plain photograph's; 80 % and more of a scrambled one's, and at least 30 % when a
// password is assembled with one character wrong (the permutations then still agree in runs).
namespace {
constexpr double AssembledAtMost = 0.05;
constexpr double ScrambledAtLeast = 0.3;
// Assembling must leave clearly fewer jumping seams than the picture read had.
constexpr double ScrambledBeforeAtLeast = 0.15;
}  // namespace

TSeamLook LookOf(const TSeamScore& score) {
    if (!score.Measured()) return TSeamLook::Unclear;
    const double jumping = score.Jumping();
    if (jumping <= AssembledAtMost) return TSeamLook::Assembled;
    if (jumping >= ScrambledAtLeast) return TSeamLook::Scrambled;
    return TSeamLook::Unclear;
}

TAssembly JudgeAssembly(const TSeamScore& before, const TSeamScore& after) {
    // A result whose seams jump is refused whatever the picture read showed: a plain picture
    // with little detail may measure nothing, but scrambled once more it jumps plainly.
    if (!after.Measured()) return TAssembly::Unclear;
    if (after.Jumping() > AssembledAtMost) return TAssembly::NotAssembled;
    if (!before.Measured()) return TAssembly::Unclear;
    return before.Jumping() >= ScrambledBeforeAtLeast ? TAssembly::Assembled : TAssembly::Unclear;
}

TAssembly GuardAssembly(const TSeamScore& before, const TBitmap& result, std::int32_t coarse, std::int32_t fine) {
    const TSeamScore quick = MeasureSeams(result, coarse);
    if (quick.Measured() && quick.Jumping() <= AssembledAtMost) return JudgeAssembly(before, quick);
    return JudgeAssembly(before, MeasureSeams(result, fine));
}

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
