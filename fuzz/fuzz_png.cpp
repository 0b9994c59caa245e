// Any bytes as a PNG file. A failed load leaves the target alone; what loads is 24-bit, 8-bit
// gray or 32-bit with alpha, saves as PNG, loads again with the same colours and alpha, and
// the second save gives the very bytes of the first.
#include <vector>

#include "fuzz_common.h"
#include "raster/pngcodec.h"

using namespace tavelix;

namespace {

// Whether a PNG file declares a picture big enough to be slow, yet small enough to be stored.
bool TooCostly(std::span<const std::uint8_t> file) {
    if (file.size() < 24) return false;
    const auto be32 = [&](std::size_t at) {
        return std::uint64_t{file[at]} << 24 | std::uint64_t{file[at + 1]} << 16 | std::uint64_t{file[at + 2]} << 8 |
               file[at + 3];
    };
    const std::uint64_t pixels = be32(16) * be32(20);
    return pixels > fuzz::MaxJpegPixels && pixels * 4 <= TBitmap::MaxStoreBytes;
}

FUZZ_UNTRACED bool SameColours(const TBitmap& a, const TBitmap& b) {
    const bool alpha = a.Layout().HasAlpha();
    for (std::int32_t y = 0; y < a.Height(); ++y)
        for (std::int32_t x = 0; x < a.Width(); ++x) {
            if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
            if (alpha && (a.RawPixel(x, y) >> 24) != (b.RawPixel(x, y) >> 24)) return false;
        }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    if (TooCostly(file)) return 0;

    TBitmap first;
    first.Allocate(2, 1, TStoreFormat{});
    const TBitmap before(first);
    try {
        LoadPng(first, file);
    } catch (const TPictureError&) {
        FUZZ_CHECK(first.SharesStoreWith(before) && first.Width() == 2 && first.Height() == 1);
        return 0;
    }
    FUZZ_CHECK(!first.Empty());
    const TPixelLayout& layout = first.Layout();
    FUZZ_CHECK(layout == TPixelLayout::Rgb(24) || layout == TPixelLayout::Bgra() || layout == TPixelLayout::Indexed(8));
    const TPictureSize declared = ReadPngSize(file);
    FUZZ_CHECK(declared.Width == first.Width() && declared.Height == first.Height());

    const std::vector<std::uint8_t> saved = SavePng(first);
    TBitmap second;
    try {
        LoadPng(second, saved);
    } catch (const TPictureError& error) {
        std::fprintf(stderr, "our own file does not load: %s\n", error.what());
        FUZZ_CHECK(!"a written PNG loads again");
    }
    FUZZ_CHECK(second.Width() == first.Width() && second.Height() == first.Height());
    FUZZ_CHECK(second.Layout().HasAlpha() == layout.HasAlpha());
    FUZZ_CHECK(SameColours(first, second));
    FUZZ_CHECK(SavePng(second) == saved);
    return 0;
}
