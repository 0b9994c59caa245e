// Resizing, fitting and clipping of the displayed picture, and the inverting clip frame.
// Each write of Width or Height either succeeds or leaves the bitmap as it was; enlarging,
// shrinking and fitting hold no second copy of the picture to undo the other one, since each
// of them draws the display afresh from the working copy.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "engine/rounding.h"
#include "engine/tavelix.h"
#include "raster/canvas.h"
#include "raster/jpegimage.h"

namespace tavelix {

namespace {

constexpr std::int32_t Tenths = 10;
constexpr std::int32_t EnlargeTenths = 11;
constexpr std::int32_t ShrinkTenths = 9;
// Shrinking stops while the control is narrower or lower than this.
constexpr std::int32_t ShrinkMinimum = 10;

// Picture becomes source drawn stretched to width x height. It is drawn into a store of its
// own, which the picture then takes (sharing it): neither the picture's old pixels nor the
// source are copied first, and a failed allocation leaves the picture as it was. The store
// keeps the picture's format and colour table, as a resize would; a new height means
// bottom-up rows.
void Redraw(TBitmap& picture, const TBitmap& source, std::int32_t width, std::int32_t height) {
    TStoreFormat format = picture.HasStore() ? picture.Format() : TStoreFormat{};
    if (picture.HasStore() && height != picture.Height()) format.TopDown = false;
    TBitmap drawn;
    drawn.Allocate(width, height, format);
    drawn.Canvas().CopyMode = SRCCOPY;
    drawn.Canvas().DrawStretched(Rect(0, 0, width, height), &source);
    picture.Canvas().CopyMode = SRCCOPY;
    picture.CopyFrom(drawn);
}

}  // namespace

void TTavelix::Enlarge(const TBitmap& source) {
    if (OverPixelLimit(Width(), Height())) return;
    TBitmap& picture = Picture();
    if (picture.Empty()) return;
    const std::int32_t w = ScaleSize(picture.Width(), EnlargeTenths, Tenths);
    const std::int32_t h = ScaleSize(picture.Height(), EnlargeTenths, Tenths);
    Redraw(picture, source, w, h);
}

void TTavelix::Shrink(const TBitmap& source) {
    if (Width() < ShrinkMinimum || Height() < ShrinkMinimum) return;
    TBitmap& picture = Picture();
    if (picture.Empty()) return;
    const std::int32_t w = ScaleSize(picture.Width(), ShrinkTenths, Tenths);
    const std::int32_t h = ScaleSize(picture.Height(), ShrinkTenths, Tenths);
    Redraw(picture, source, w, h);
}

bool TTavelix::ReduceBy(TBitmap& graphic, std::uint8_t factor) {
    if (factor == 0) return false;
    const std::int32_t w = ScaleSize(graphic.Width(), 1, factor);
    const std::int32_t h = ScaleSize(graphic.Height(), 1, factor);
    if (w <= 0 || h <= 0) return false;

    TBitmap reduced;  // a new bitmap given both sides: the device format
    reduced.SetSize(w, h);
    reduced.Canvas().CopyMode = SRCCOPY;
    reduced.Canvas().DrawStretched(Rect(0, 0, w, h), &graphic);
    graphic.CopyFrom(reduced);
    return true;
}

bool TTavelix::LoadReducedJpeg(TBitmap& target, int fd, std::uint8_t factor) {
    TPoint full;
    TBitmap scaled = DecodeJpegScaledFromFile(fd, factor, &full);
    // The library rounds the reduced sides up; ReduceBy rounds to the nearest (at most one less).
    const std::int32_t w = ScaleSize(full.X, 1, factor), h = ScaleSize(full.Y, 1, factor);
    if (w <= 0 || h <= 0) return false;
    if (w != scaled.Width() || h != scaled.Height()) scaled.SetSize(w, h);  // keeps the top-left pixels
    target.CopyFrom(scaled);
    return true;
}

namespace {

// picture as 24-bit blue-green-red rows, converted where it is stored otherwise.
TBitmap AsRgb24(const TBitmap& picture) {
    TBitmap source(picture);
    if (source.Layout().BitCount == 24 && !source.Layout().Device) return source;
    const std::int32_t W = picture.Width(), H = picture.Height();
    TStoreFormat format;
    format.Layout = TPixelLayout::Rgb(24);
    TBitmap converted;
    converted.Allocate(W, H, format, false);
    converted.Canvas().CopyMode = SRCCOPY;
    converted.Canvas().CopyBlock(Rect(0, 0, W, H), source.Canvas(), Rect(0, 0, W, H));
    return converted;
}

}  // namespace

bool TTavelix::ReduceByAveraging(TBitmap& graphic, std::uint8_t factor) {
    if (factor == 0) return false;
    const std::int32_t W = graphic.Width(), H = graphic.Height();
    const std::int32_t w = ScaleSize(W, 1, factor), h = ScaleSize(H, 1, factor);
    if (w <= 0 || h <= 0) return false;

    const TBitmap source = AsRgb24(graphic);

    TBitmap reduced;  // a new bitmap given both sides: the device format, as ReduceBy makes
    reduced.SetSize(w, h);
    // Output column i stands for source columns i*W/w up to (i+1)*W/w; rows the same.
    std::vector<std::int32_t> column(static_cast<std::size_t>(W));
    for (std::int32_t i = 0; i < w; ++i)
        for (std::int64_t x = std::int64_t(i) * W / w; x < std::int64_t(i + 1) * W / w; ++x) column[std::size_t(x)] = i;
    std::vector<std::uint32_t> sums(std::size_t(w) * 3);
    std::vector<std::uint32_t> counts(static_cast<std::size_t>(w));
    for (std::int32_t j = 0; j < h; ++j) {
        std::fill(sums.begin(), sums.end(), 0u);
        std::fill(counts.begin(), counts.end(), 0u);
        const std::int32_t y0 = std::int32_t(std::int64_t(j) * H / h), y1 = std::int32_t(std::int64_t(j + 1) * H / h);
        for (std::int32_t y = y0; y < y1; ++y) {
            const std::uint8_t* row = source.ScanLine(y);
            for (std::int32_t x = 0; x < W; ++x, row += 3) {
                std::uint32_t* sum = &sums[std::size_t(column[std::size_t(x)]) * 3];
                sum[0] += row[0];
                sum[1] += row[1];
                sum[2] += row[2];
                ++counts[std::size_t(column[std::size_t(x)])];
            }
        }
        std::uint8_t* out = reduced.ScanLine(j);
        for (std::int32_t i = 0; i < w; ++i, out += 4) {
            const std::uint32_t n = std::max(1u, counts[std::size_t(i)]);
            for (std::size_t k = 0; k < 3; ++k) out[k] = std::uint8_t((sums[std::size_t(i) * 3 + k] + n / 2) / n);
        }
    }
    reduced.Changed();
    graphic.CopyFrom(reduced);
    return true;
}

TSize FitSize(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0 || !OverPixelLimit(width, height)) return {width, height};
    const bool wide = width >= height;
    const std::int64_t longer = wide ? width : height, shorter = wide ? height : width;
    // Start where the area would just fit with real sides, then step down to whole ones.
    std::int64_t l = std::min<std::int64_t>(longer, std::int64_t(std::ceil(std::sqrt(double(PixelLimit) * double(longer) / double(shorter)))));
    auto across = [&](std::int64_t along) { return std::max<std::int64_t>(1, along * shorter / longer); };
    while (l > 1 && l * across(l) > PixelLimit) --l;
    // Where rounding the shorter side down leaves room (very long pictures), longer still.
    while (l < longer && (l + 1) * across(l + 1) <= PixelLimit) ++l;
    const std::int32_t a = std::int32_t(l), b = std::int32_t(across(l));
    return wide ? TSize{a, b} : TSize{b, a};
}

namespace {

// For each of count new pixels along a side of from pixels: the old pixels it covers and how
// much of each, the weights of a new pixel summing to one.
struct TCover {
    std::int32_t First = 0;
    std::vector<double> Weights;
};
std::vector<TCover> Covers(std::int32_t from, std::int32_t count) {
    std::vector<TCover> covers(static_cast<std::size_t>(count));
    const double step = double(from) / double(count);
    for (std::int32_t i = 0; i < count; ++i) {
        const double begin = i * step, end = (i + 1) * step;
        TCover& cover = covers[std::size_t(i)];
        cover.First = std::int32_t(std::floor(begin));
        for (std::int32_t x = cover.First; x < from && x < end; ++x)
            cover.Weights.push_back((std::min(end, x + 1.0) - std::max(begin, double(x))) / step);
    }
    return covers;
}

}  // namespace

bool TTavelix::ReduceToFit(TBitmap& graphic) {
    const std::int32_t W = graphic.Width(), H = graphic.Height();
    if (W <= 0 || H <= 0 || !OverPixelLimit(W, H)) return false;
    const TSize fit = FitSize(W, H);
    const std::int32_t w = fit.Width, h = fit.Height;

    // A picture with alpha keeps it: colours are averaged weighed by their opacity (a clear
    // pixel's colour counts for nothing), the opacity by area.
    const bool alpha = graphic.Layout() == TPixelLayout::Bgra();
    const TBitmap source = alpha ? graphic : AsRgb24(graphic);
    const std::size_t channels = alpha ? 4 : 3;
    const std::vector<TCover> across = Covers(W, w), down = Covers(H, h);
    TBitmap reduced;  // without alpha the device format, as ReduceBy makes
    if (alpha) {
        TStoreFormat format;
        format.Layout = TPixelLayout::Bgra();
        reduced.Allocate(w, h, format, false);
    } else {
        reduced.SetSize(w, h);
    }
    // Each new row: the old rows it covers summed by their weights, then each new pixel of it
    // from the old pixels it covers.
    std::vector<double> row(std::size_t(W) * channels);
    for (std::int32_t j = 0; j < h; ++j) {
        std::fill(row.begin(), row.end(), 0.0);
        const TCover& rows = down[std::size_t(j)];
        for (std::size_t k = 0; k < rows.Weights.size(); ++k) {
            const std::uint8_t* from = source.ScanLine(rows.First + std::int32_t(k));
            const double weight = rows.Weights[k];
            if (!alpha) {
                for (std::size_t x = 0; x < row.size(); ++x) row[x] += weight * from[x];
                continue;
            }
            for (std::size_t x = 0; x < row.size(); x += 4) {
                const double opacity = weight * from[x + 3];
                for (std::size_t c = 0; c < 3; ++c) row[x + c] += opacity * from[x + c];
                row[x + 3] += opacity;
            }
        }
        std::uint8_t* out = reduced.ScanLine(j);
        for (std::int32_t i = 0; i < w; ++i, out += 4) {
            const TCover& columns = across[std::size_t(i)];
            double sum[4] = {0, 0, 0, 0};
            for (std::size_t k = 0; k < columns.Weights.size(); ++k) {
                const double* pixel = &row[std::size_t(columns.First + std::int32_t(k)) * channels];
                for (std::size_t c = 0; c < channels; ++c) sum[c] += columns.Weights[k] * pixel[c];
            }
            if (alpha) {
                const double opacity = sum[3];
                for (int c = 0; c < 3; ++c) sum[c] = opacity > 0 ? sum[c] / opacity : 0;
                out[3] = std::uint8_t(std::clamp(std::lround(opacity), 0L, 255L));
            }
            for (int c = 0; c < 3; ++c) out[c] = std::uint8_t(std::clamp(std::lround(sum[c]), 0L, 255L));
        }
    }
    reduced.Changed();
    graphic.CopyFrom(reduced);
    return true;
}

// An empty source has no ratio to the screen (nor has a screen without size): the displayed
// picture is then left as it is. A very thin picture can scale to less than half a pixel
// across; it keeps one pixel there rather than vanishing.
void TTavelix::FitToScreen(const TBitmap& source) {
    const std::int32_t gw = source.Width();
    const std::int32_t gh = source.Height();
    const TSize screen = Host().ScreenSize();
    if (gw <= 0 || gh <= 0 || screen.Width <= 0 || screen.Height <= 0) return;

    const long double rx = ToReal48(DivideNearest(screen.Width, gw));
    const long double ry = ToReal48(DivideNearest(screen.Height, gh));
    const long double r = rx < ry ? rx : ry;
    const std::int32_t w = std::max(RoundHalfEven(MultiplyNearest(gw, r)), 1);
    const std::int32_t h = std::max(RoundHalfEven(MultiplyNearest(gh, r)), 1);

    Redraw(Picture(), source, w, h);
}

// A rectangle without area would empty the picture; it is refused like any other
// operation that cannot be done.
void TTavelix::ClipTo(const TRect& rect) {
    constexpr std::int64_t most = std::numeric_limits<std::int32_t>::max();
    const std::int64_t width = std::int64_t{rect.Right} - rect.Left;
    const std::int64_t height = std::int64_t{rect.Bottom} - rect.Top;
    if (width <= 0 || height <= 0 || width > most || height > most) return;

    TBitmap& picture = Picture();
    FClipSource = std::make_unique<TBitmap>();
    struct Release {
        std::unique_ptr<TBitmap>& Clip;
        ~Release() { Clip.reset(); }
    } release{FClipSource};
    FClipSource->CopyFrom(picture);

    try {
        picture.SetSize(static_cast<std::int32_t>(width), static_cast<std::int32_t>(height));
        TCanvas& canvas = picture.Canvas();
        canvas.CopyMode = SRCCOPY;
        canvas.CopyBlock(Rect(0, 0, picture.Width(), picture.Height()), FClipSource->Canvas(), rect);
    } catch (...) {
        picture.CopyFrom(*FClipSource);  // the whole picture as before the clip
        throw;
    }
}

// Each LineTo leaves out its end point, where the next one starts, so every outline pixel
// is inverted exactly once and the same call again restores it.
void TTavelix::DrawClipFrame(TCanvas& canvas, const TRect& rect) {
    canvas.Pen.Mode = TPenMode::pmNot;
    canvas.Pen.Width = 1;
    canvas.MoveTo(rect.Left, rect.Top);
    canvas.LineTo(rect.Right, rect.Top);
    canvas.LineTo(rect.Right, rect.Bottom);
    canvas.LineTo(rect.Left, rect.Bottom);
    canvas.LineTo(rect.Left, rect.Top);
}

}  // namespace tavelix
