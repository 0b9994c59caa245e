#include "raster/pngcodec.h"

#include <spng.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "raster/pixels.h"

namespace tavelix {

namespace {

// A side longer than this is refused before the library sizes its row buffers by it; every
// picture a bitmap can store in a sensible shape is far below it.
constexpr std::uint32_t MaxSide = std::uint32_t{1} << 24;
// Ancillary chunks are not kept, but the library still reads and inflates the ones it knows
// (text among them): a bound on each chunk and on all it holds at once (the library wants the
// first no larger than the second), so that compressed text cannot inflate into gigabytes.
constexpr std::size_t MaxChunkBytes = std::size_t{1} << 26;
constexpr std::size_t MaxCachedChunkBytes = MaxChunkBytes;
// zlib's level for the pixels written. On photographs 4 gives files about 4 % larger than the
// library's default (6) in less than half its time; the rows' filters stay chosen row by row.
constexpr int CompressionLevel = 4;

struct TSpngFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};
using TSpng = std::unique_ptr<spng_ctx, TSpngFree>;

[[noreturn]] void Invalid(const std::string& why, int code = 0) {
    throw TPictureError(TPictureError::Kind::InvalidPng, "PNG: " + why, code);
}

void Check(int code) {
    if (code == SPNG_EMEM) throw std::bad_alloc();
    if (code != 0) Invalid(spng_strerror(code), code);
}

TSpng NewContext(int flags) {
    TSpng ctx(spng_ctx_new(flags));
    if (!ctx) throw std::bad_alloc();
    return ctx;
}

TSpng OpenDecoder(std::span<const std::uint8_t> file) {
    if (file.empty()) Invalid("empty file");
    TSpng ctx = NewContext(0);
    Check(spng_set_image_limits(ctx.get(), MaxSide, MaxSide));
    Check(spng_set_chunk_limits(ctx.get(), MaxChunkBytes, MaxCachedChunkBytes));
    Check(spng_set_png_buffer(ctx.get(), file.data(), file.size()));
    return ctx;
}

spng_ihdr ReadHeader(spng_ctx* ctx) {
    spng_ihdr ihdr{};
    Check(spng_get_ihdr(ctx, &ihdr));
    return ihdr;
}

// Red and blue change places in every pixel of the rows (the library gives red first, a
// bitmap stores blue first).
void SwapRedBlue(TBitmap& picture, std::size_t pixelBytes) {
    const std::size_t bytes = std::size_t(picture.Width()) * pixelBytes;
    for (std::int32_t y = 0; y < picture.Height(); ++y) {
        std::uint8_t* row = picture.ScanLine(y);
        for (std::size_t x = 0; x < bytes; x += pixelBytes) std::swap(row[x], row[x + 2]);
    }
}

TStoreFormat GrayFormat() {
    TStoreFormat format;
    format.Layout = TPixelLayout::Indexed(8);
    format.Palette.reserve(256);
    for (int v = 0; v < 256; ++v) {
        const auto level = std::uint8_t(v);
        format.Palette.push_back({level, level, level, 0});
    }
    return format;
}

}  // namespace

TPictureSize ReadPngSize(std::span<const std::uint8_t> file) {
    const TSpng ctx = OpenDecoder(file);
    const spng_ihdr ihdr = ReadHeader(ctx.get());
    return {std::int32_t(ihdr.width), std::int32_t(ihdr.height)};
}

void LoadPng(TBitmap& target, std::span<const std::uint8_t> file) {
    const TSpng ctx = OpenDecoder(file);
    const spng_ihdr ihdr = ReadHeader(ctx.get());
    spng_trns trns{};
    const int trnsResult = spng_get_trns(ctx.get(), &trns);
    if (trnsResult != SPNG_ECHUNKAVAIL) Check(trnsResult);
    const bool alpha = ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                       ihdr.color_type == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA || trnsResult == 0;
    const bool gray = !alpha && ihdr.color_type == SPNG_COLOR_TYPE_GRAYSCALE && ihdr.bit_depth <= 8;

    TStoreFormat format;
    int outputFormat = SPNG_FMT_RGB8;
    std::size_t pixelBytes = 3;
    if (alpha) {
        format.Layout = TPixelLayout::Bgra();
        outputFormat = SPNG_FMT_RGBA8;
        pixelBytes = 4;
    } else if (gray) {
        format = GrayFormat();
        outputFormat = SPNG_FMT_G8;
        pixelBytes = 1;
    } else {
        format.Layout = TPixelLayout::Rgb(24);
    }

    TBitmap loaded;
    // An interlaced picture arrives in passes of scattered pixels: the store starts zeroed so
    // that a pass the file lacks leaves no unset memory behind. (Allocate checks the size.)
    loaded.Allocate(std::int32_t(ihdr.width), std::int32_t(ihdr.height), format, ihdr.interlace_method != 0);
    Check(spng_decode_image(ctx.get(), nullptr, 0, outputFormat,
                            SPNG_DECODE_PROGRESSIVE | (alpha ? SPNG_DECODE_TRNS : 0)));
    const std::size_t rowBytes = std::size_t(ihdr.width) * pixelBytes;
    int status = 0;
    do {
        spng_row_info row{};
        status = spng_get_row_info(ctx.get(), &row);
        if (status == 0) status = spng_decode_row(ctx.get(), loaded.ScanLine(std::int32_t(row.row_num)), rowBytes);
    } while (status == 0);
    if (status != SPNG_EOI) Check(status);
    // The rest of the file up to its end marker: the last checksums are verified there, so a
    // damaged or cut file fails even when every row came through.
    Check(spng_decode_chunks(ctx.get()));
    if (!gray) SwapRedBlue(loaded, pixelBytes);
    target.CopyFrom(loaded);
}

namespace {

// Whether every colour of an indexed picture is a gray level.
bool GrayTable(const TStoreFormat& format) {
    if (!format.Layout.IsIndexed() || format.Palette.empty()) return false;
    return std::all_of(format.Palette.begin(), format.Palette.end(),
                       [](const TRGBQuad& q) { return q.Red == q.Green && q.Green == q.Blue; });
}

// Fills line with row y of source as the PNG file holds it: gray, red-green-blue or
// red-green-blue-alpha, one byte each.
class TRowWriter {
public:
    TRowWriter(const TBitmap& source, int colourType)
        : FSource(source), FColourType(colourType), FBits(source.Layout().BitCount), FCodec(source.Format()) {
        const TPixelLayout& layout = source.Layout();
        FPacked24 = FBits == 24 && !layout.Device;
        FPacked32 = FBits == 32 && layout.EffectiveRedMask() == 0xFF0000 && layout.EffectiveGreenMask() == 0xFF00 &&
                    layout.EffectiveBlueMask() == 0xFF;
        if (colourType == SPNG_COLOR_TYPE_GRAYSCALE)
            for (std::size_t i = 0; i < source.Palette().size(); ++i) FLevels[i] = source.Palette()[i].Red;
    }

    void Fill(std::int32_t y, std::uint8_t* line) const {
        const std::uint8_t* row = FSource.ScanLine(y);
        const std::int32_t width = FSource.Width();
        if (FColourType == SPNG_COLOR_TYPE_GRAYSCALE) {
            for (std::int32_t x = 0; x < width; ++x) line[x] = FLevels[pixels::ReadRaw(row, x, FBits) & 0xFF];
        } else if (FColourType == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA) {
            for (std::int32_t x = 0; x < width; ++x, row += 4, line += 4) {
                line[0] = row[2], line[1] = row[1], line[2] = row[0], line[3] = row[3];
            }
        } else if (FPacked24 || FPacked32) {
            const std::size_t step = FBits / 8;
            for (std::int32_t x = 0; x < width; ++x, row += step, line += 3) {
                line[0] = row[2], line[1] = row[1], line[2] = row[0];
            }
        } else {
            for (std::int32_t x = 0; x < width; ++x, line += 3) {
                const TColor c = FCodec.Decode(pixels::ReadRaw(row, x, FBits));
                line[0] = GetRValue(c), line[1] = GetGValue(c), line[2] = GetBValue(c);
            }
        }
    }

private:
    const TBitmap& FSource;
    int FColourType;
    unsigned FBits;
    pixels::TColorCodec FCodec;
    bool FPacked24 = false, FPacked32 = false;
    std::uint8_t FLevels[256] = {};  // gray: the level of each index (entries past the table black)
};

}  // namespace

std::vector<std::uint8_t> SavePng(const TBitmap& source) {
    if (source.Empty() || !source.HasStore()) Invalid("an empty picture cannot be written");
    const TStoreFormat& format = source.Format();
    const int colourType = format.Layout.HasAlpha() ? SPNG_COLOR_TYPE_TRUECOLOR_ALPHA
                           : GrayTable(format)      ? SPNG_COLOR_TYPE_GRAYSCALE
                                                    : SPNG_COLOR_TYPE_TRUECOLOR;
    const std::size_t channels = colourType == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA ? 4
                                 : colourType == SPNG_COLOR_TYPE_GRAYSCALE     ? 1
                                                                               : 3;

    const TSpng ctx = NewContext(SPNG_CTX_ENCODER);
    Check(spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1));
    Check(spng_set_option(ctx.get(), SPNG_IMG_COMPRESSION_LEVEL, CompressionLevel));
    spng_ihdr ihdr{};
    ihdr.width = std::uint32_t(source.Width());
    ihdr.height = std::uint32_t(source.Height());
    ihdr.bit_depth = 8;
    ihdr.color_type = std::uint8_t(colourType);
    Check(spng_set_ihdr(ctx.get(), &ihdr));
    Check(spng_encode_image(ctx.get(), nullptr, 0, SPNG_FMT_PNG, SPNG_ENCODE_PROGRESSIVE | SPNG_ENCODE_FINALIZE));

    const TRowWriter writer(source, colourType);
    std::vector<std::uint8_t> line(std::size_t(source.Width()) * channels);
    for (std::int32_t y = 0; y < source.Height(); ++y) {
        writer.Fill(y, line.data());
        const int status = spng_encode_row(ctx.get(), line.data(), line.size());
        if (status != 0 && !(status == SPNG_EOI && y + 1 == source.Height())) Check(status);
    }

    std::size_t length = 0;
    int error = 0;
    std::unique_ptr<std::uint8_t, decltype(&std::free)> png(
        static_cast<std::uint8_t*>(spng_get_png_buffer(ctx.get(), &length, &error)), &std::free);
    Check(error);
    if (!png) Invalid("the library gave no data");
    return {png.get(), png.get() + length};
}

}  // namespace tavelix
