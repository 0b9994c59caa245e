// Any bytes as a HEIF (HEIC) file. A failed load leaves the target alone; what loads has the
// size the headers declare, upright, and is 24-bit, or 32-bit with alpha.
#include "fuzz_common.h"
#include "raster/heifcodec.h"

using namespace tavelix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    TPictureSize declared;
    try {
        declared = ReadHeifSize(file);
        const std::uint64_t pixels = std::uint64_t(declared.Width) * std::uint64_t(declared.Height);
        if (pixels > fuzz::MaxJpegPixels && pixels * 4 <= TBitmap::MaxStoreBytes) return 0;  // slow, no news
    } catch (const TPictureError&) {
        // The load must fail the same way.
    }

    TBitmap target;
    target.Allocate(2, 1, TStoreFormat{});
    const TBitmap before(target);
    try {
        LoadHeif(target, file);
    } catch (const TPictureError&) {
        FUZZ_CHECK(target.SharesStoreWith(before) && target.Width() == 2 && target.Height() == 1);
        return 0;
    }
    FUZZ_CHECK(target.Width() == declared.Width && target.Height() == declared.Height);
    FUZZ_CHECK(target.Layout() == TPixelLayout::Rgb(24) || target.Layout() == TPixelLayout::Bgra());
    return 0;
}
