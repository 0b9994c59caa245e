// Any bytes as a JPEG file through TJPEGImage: the header, the colour decode, the gray
// decode, and a second trip through the encoder and decoder of what decoded.
#include <vector>

#include "fuzz_common.h"
#include "raster/jpegimage.h"

using namespace tavelix;

namespace {

// An 8-bit picture of gray levels whose every pixel names an entry of its table.
void CheckQuantized(const TBitmap& bitmap) {
    FUZZ_CHECK(bitmap.Layout() == TPixelLayout::Indexed(8));
    const std::vector<TRGBQuad>& table = bitmap.Palette();
    FUZZ_CHECK(!table.empty() && table.size() <= 236);
    for (const TRGBQuad& q : table) FUZZ_CHECK(q.Red == q.Green && q.Green == q.Blue);
    for (std::int32_t y = 0; y < bitmap.Height(); ++y) {
        const std::uint8_t* row = bitmap.ScanLine(y);
        for (std::int32_t x = 0; x < bitmap.Width(); ++x) FUZZ_CHECK(row[x] < table.size());
    }
}

void CheckDecoded(const TBitmap& bitmap, std::int32_t width, std::int32_t height) {
    FUZZ_CHECK(bitmap.Width() == width && bitmap.Height() == height);
    if (bitmap.Layout().BitCount == 8)
        CheckQuantized(bitmap);
    else
        FUZZ_CHECK(bitmap.Layout() == TPixelLayout::Rgb(24) && bitmap.Palette().empty());
}

// A decoded picture encodes, and the result decodes to a colour picture of its size.
void CheckReencode(const TBitmap& bitmap, int quality) {
    try {
        TJPEGImage jpeg;
        jpeg.Assign(bitmap);
        jpeg.SetQuality(quality);
        jpeg.Encode();
        TJPEGImage again;
        again.LoadFromBytes(jpeg.Data());
        FUZZ_CHECK(again.Width() == bitmap.Width() && again.Height() == bitmap.Height());
        const TBitmap& decoded = again.Bitmap();
        FUZZ_CHECK(decoded.Layout() == TPixelLayout::Rgb(24));
        FUZZ_CHECK(decoded.Width() == bitmap.Width() && decoded.Height() == bitmap.Height());
    } catch (const TPictureError& error) {
        std::fprintf(stderr, "our own encoding fails: %s\n", error.what());
        FUZZ_CHECK(!"a decoded picture survives encoding and decoding");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TJPEGImage jpeg;
    try {
        jpeg.LoadFromBytes(std::span<const std::uint8_t>(data, size));
    } catch (const TPictureError&) {
        FUZZ_CHECK(!jpeg.HasData() && !jpeg.HasBitmap());
        return 0;
    }
    const std::int32_t width = jpeg.Width(), height = jpeg.Height();
    FUZZ_CHECK(width >= 0 && height >= 0);
    FUZZ_CHECK(jpeg.HasData() == (size > 0));
    // Sizes the decoder refuses are tried (the refusal is cheap); big ones it would decode are
    // skipped for speed.
    const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
    const bool refused = PaddedRowBytes(width, 8) * std::uint64_t(height) > TBitmap::MaxStoreBytes;
    if (pixels > fuzz::MaxJpegPixels && !refused) return 0;

    const int quality = 1 + static_cast<int>(size % 100);
    try {
        const TBitmap& colour = jpeg.Bitmap();
        CheckDecoded(colour, width, height);
        if (pixels <= fuzz::MaxJpegPixels / 4) CheckReencode(colour, quality);
    } catch (const TPictureError&) {
        FUZZ_CHECK(!jpeg.HasBitmap());
    }

    jpeg.SetGrayOutput(true);
    FUZZ_CHECK(!jpeg.HasBitmap());  // dropped, also when there is no data to decode it again
    try {
        const TBitmap& gray = jpeg.Bitmap();
        FUZZ_CHECK(gray.Width() == width && gray.Height() == height);
        CheckQuantized(gray);
    } catch (const TPictureError&) {
        FUZZ_CHECK(!jpeg.HasBitmap());
    }
    return 0;
}
