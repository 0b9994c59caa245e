// Any bytes as a bitmap file. What loads must survive a save and a second load unchanged:
// same size, format, colour table, row order and stored pixels, and the second save must
// give the very bytes of the first.
#include <vector>

#include "fuzz_common.h"
#include "raster/bmpcodec.h"

using namespace tavelix;

namespace {

// Layouts as a written picture reads back: the device format is written as plain 32 bits.
TPixelLayout AsWritten(const TPixelLayout& layout) {
    return layout.Device ? TPixelLayout::Rgb(32) : layout;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    if (fuzz::BmpTooCostly(file)) return 0;

    // A failed load leaves the target's picture in place.
    TBitmap first;
    first.Allocate(2, 1, TStoreFormat{});
    first.SetRawPixel(1, 0, 0x123456);
    const TBitmap before(first);
    try {
        LoadBmp(first, file);
    } catch (const TPictureError&) {
        FUZZ_CHECK(first.SharesStoreWith(before) && first.Width() == 2 && first.Height() == 1);
        return 0;
    }
    if (size == 0) {
        FUZZ_CHECK(first.Empty() && !first.HasStore());
        return 0;
    }
    FUZZ_CHECK(!first.Empty() && first.HasStore());
    FUZZ_CHECK(first.StoreBytes().size() == std::size_t{first.RowBytes()} * std::size_t(first.Height()));

    const std::vector<std::uint8_t> saved = SaveBmp(first);
    FUZZ_CHECK(!saved.empty());
    TBitmap second;
    try {
        LoadBmp(second, saved);
    } catch (const TPictureError& error) {
        std::fprintf(stderr, "our own file does not load: %s\n", error.what());
        FUZZ_CHECK(!"a written bitmap loads again");
    }
    FUZZ_CHECK(second.Width() == first.Width() && second.Height() == first.Height());
    FUZZ_CHECK(second.Layout() == AsWritten(first.Layout()));
    FUZZ_CHECK(second.Palette() == first.Palette());
    FUZZ_CHECK(second.TopDown() == first.TopDown());
    FUZZ_CHECK(second.Format().File == first.Format().File);
    const auto a = first.StoreBytes(), b = second.StoreBytes();
    FUZZ_CHECK(a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0);
    FUZZ_CHECK(SaveBmp(second) == saved);
    return 0;
}
