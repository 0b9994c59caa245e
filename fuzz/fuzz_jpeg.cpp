// Any bytes as a JPEG file through TJPEGImage: the header, the colour decode, the gray
// decode, and a second trip through the encoder and decoder of what decoded; and the scaled
// decode from a file descriptor that reduce --fast uses; and the EXIF orientation the window
// reads from the file's head.
#include <sys/mman.h>
#include <unistd.h>

#include <optional>
#include <vector>

#include "fuzz_common.h"
#include "raster/jpegimage.h"
#include "raster/orientation.h"
#include "testutil.h"

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

// The bytes read from a file descriptor at 1/2 and 1/8 (at 1/8 a progressive file only as far
// as its DC coefficients go): the picture's own size is told, the scaled size follows from it,
// and at 1/2 the pixels are those of the decode in memory.
void CheckFromFile(std::span<const std::uint8_t> data, std::int32_t width, std::int32_t height) {
    const int fd = ::memfd_create("fuzz_jpeg", 0);
    if (fd < 0) return;
    if (::write(fd, data.data(), data.size()) == ssize_t(data.size())) {
        for (const unsigned scale : {2u, 8u}) {
            ::lseek(fd, 0, SEEK_SET);
            std::optional<TBitmap> fromFile, inMemory;
            TPoint full;
            try {
                fromFile = DecodeJpegScaledFromFile(fd, scale, &full);
            } catch (const TPictureError&) {
            }
            try {
                inMemory = DecodeJpegScaled(data, scale);
            } catch (const TPictureError&) {
            }
            if (!fromFile) continue;  // a file cut short may fail later in memory than from a file
            FUZZ_CHECK(full.X == width && full.Y == height);
            FUZZ_CHECK(fromFile->Width() == std::int32_t((std::uint32_t(width) + scale - 1) / scale));
            FUZZ_CHECK(fromFile->Height() == std::int32_t((std::uint32_t(height) + scale - 1) / scale));
            if (scale == 2 && inMemory) FUZZ_CHECK(test::SamePixels(*fromFile, *inMemory));
        }
    }
    ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int orientation = JpegOrientation(std::span<const std::uint8_t>(data, size));
    FUZZ_CHECK(orientation >= 1 && orientation <= 8);
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
        CheckFromFile(std::span<const std::uint8_t>(data, size), width, height);
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
