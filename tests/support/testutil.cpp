#include "testutil.h"

#include "raster/jpegimage.h"

#include <algorithm>
#include <random>
#include <sstream>

namespace tavelix::test {

namespace {
std::vector<TRGBQuad> ColourTable(unsigned entries, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<TRGBQuad> table(entries);
    for (auto& q : table) q = {std::uint8_t(random()), std::uint8_t(random()), std::uint8_t(random()), 0};
    return table;
}
TStoreFormat Make(TPixelLayout layout, std::vector<TRGBQuad> palette = {}) {
    TStoreFormat f;
    f.Layout = layout;
    f.Palette = std::move(palette);
    return f;
}
}  // namespace

TStoreFormat DeviceFormat() { return Make(TPixelLayout::DeviceFormat()); }
TStoreFormat Rgb24Format() { return Make(TPixelLayout::Rgb(24)); }
TStoreFormat Gray8Format() {
    std::vector<TRGBQuad> gray(256);
    for (unsigned i = 0; i < 256; ++i) gray[i] = {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0};
    return Make(TPixelLayout::Indexed(8), gray);
}

std::vector<TNamedFormat> AllFormats() {
    return {
        {"1bit", Make(TPixelLayout::Indexed(1), {{0, 0, 0, 0}, {255, 255, 255, 0}})},
        {"4bit", Make(TPixelLayout::Indexed(4), ColourTable(16, 4))},
        {"8bit", Make(TPixelLayout::Indexed(8), ColourTable(256, 8))},
        {"15bit", Make(TPixelLayout::Rgb(16))},
        {"16bit565", Make(TPixelLayout::Masks(16, 0xF800, 0x07E0, 0x001F))},
        {"24bit", Rgb24Format()},
        {"32bit", Make(TPixelLayout::Rgb(32))},
        {"32bitBGR", Make(TPixelLayout::Masks(32, 0x000000FF, 0x0000FF00, 0x00FF0000))},
        {"device", DeviceFormat()},
    };
}

TBitmap MakeNoise(std::int32_t width, std::int32_t height, std::uint32_t seed, const TStoreFormat& format) {
    TBitmap bitmap;
    bitmap.Allocate(width, height, format);
    std::mt19937 random(seed);
    const unsigned bits = format.Layout.BitCount;
    const std::uint32_t limit = bits <= 8 ? std::uint32_t(format.Palette.empty() ? 1u << bits : format.Palette.size())
                                          : 0;
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint32_t v = random();
            if (bits <= 8) v %= limit;
            else if (bits < 32) v &= (1u << bits) - 1;
            bitmap.SetRawPixel(x, y, v);
        }
    return bitmap;
}

TBitmap MakePhotoLike(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<float> planes(std::size_t(width) * std::size_t(height) * 3, 0.0f);
    float amplitude = 70;
    for (std::int32_t cell = 256; cell >= 2; cell /= 2, amplitude *= 0.7f) {
        const std::int32_t gw = width / cell + 2, gh = height / cell + 2;
        std::vector<float> grid(std::size_t(gw) * std::size_t(gh) * 3);
        std::uniform_real_distribution<float> value(-1, 1);
        for (float& v : grid) v = value(random);
        for (std::int32_t y = 0; y < height; ++y)
            for (std::int32_t x = 0; x < width; ++x) {
                const float fx = float(x) / float(cell), fy = float(y) / float(cell);
                const auto gx = std::int32_t(fx), gy = std::int32_t(fy);
                const float tx = fx - float(gx), ty = fy - float(gy);
                for (std::size_t k = 0; k < 3; ++k) {
                    auto at = [&](std::int32_t u, std::int32_t v) { return grid[(std::size_t(v) * gw + u) * 3 + k]; };
                    const float top = at(gx, gy) * (1 - tx) + at(gx + 1, gy) * tx;
                    const float bottom = at(gx, gy + 1) * (1 - tx) + at(gx + 1, gy + 1) * tx;
                    planes[(std::size_t(y) * width + x) * 3 + k] += amplitude * (top * (1 - ty) + bottom * ty);
                }
            }
    }
    TBitmap bitmap;
    bitmap.Allocate(width, height, Rgb24Format());
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.ScanLine(y);
        for (std::int32_t x = 0; x < width; ++x)
            for (std::size_t k = 0; k < 3; ++k) {
                const float grain = float(random() % 9) - 4;  // the noise of a sensor
                const float v = 128 + grain + planes[(std::size_t(y) * width + x) * 3 + k];
                row[std::size_t(x) * 3 + k] = std::uint8_t(std::clamp(v, 0.0f, 255.0f));
            }
    }
    bitmap.Changed();
    return bitmap;
}

std::string FirstDifference(const TBitmap& a, const TBitmap& b) {
    std::ostringstream out;
    if (a.Width() != b.Width() || a.Height() != b.Height()) {
        out << "size " << a.Width() << "x" << a.Height() << " vs " << b.Width() << "x" << b.Height();
        return out.str();
    }
    if (!(a.Layout() == b.Layout()) || a.Palette() != b.Palette()) return "pixel format differs";
    for (std::int32_t y = 0; y < a.Height(); ++y)
        for (std::int32_t x = 0; x < a.Width(); ++x)
            if (a.RawPixel(x, y) != b.RawPixel(x, y)) {
                out << "pixel (" << x << ", " << y << "): " << a.RawPixel(x, y) << " vs " << b.RawPixel(x, y);
                return out.str();
            }
    return "";
}

bool SamePixels(const TBitmap& a, const TBitmap& b) { return FirstDifference(a, b).empty(); }

TBitmap ThroughJpeg(const TBitmap& picture, int quality, bool fullChroma) {
    TJPEGImage jpeg;
    jpeg.Assign(picture);
    jpeg.SetQuality(quality);
    jpeg.SetFullChroma(fullChroma);
    jpeg.Encode();
    TJPEGImage back;
    back.LoadFromBytes(jpeg.Data());
    TBitmap decoded;
    decoded.CopyFrom(back);
    return decoded;
}

}  // namespace tavelix::test
