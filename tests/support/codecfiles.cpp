#include "codecfiles.h"

#include <libheif/heif.h>
#include <spng.h>
#include <webp/encode.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>

#include "testutil.h"

namespace tavelix::test {

TStoreFormat BgraFormat() {
    TStoreFormat format;
    format.Layout = TPixelLayout::Bgra();
    return format;
}

std::vector<TPngKind> AllPngKinds() {
    struct TBase {
        const char* Name;
        int ColourType;
        std::vector<int> Depths;
        bool Transparency;
    };
    const TBase bases[] = {
        {"gray", SPNG_COLOR_TYPE_GRAYSCALE, {1, 2, 4, 8, 16}, false},
        {"gray+trns", SPNG_COLOR_TYPE_GRAYSCALE, {1, 8, 16}, true},
        {"rgb", SPNG_COLOR_TYPE_TRUECOLOR, {8, 16}, false},
        {"rgb+trns", SPNG_COLOR_TYPE_TRUECOLOR, {8, 16}, true},
        {"palette", SPNG_COLOR_TYPE_INDEXED, {1, 2, 4, 8}, false},
        {"palette+trns", SPNG_COLOR_TYPE_INDEXED, {2, 8}, true},
        {"gray-alpha", SPNG_COLOR_TYPE_GRAYSCALE_ALPHA, {8, 16}, false},
        {"rgba", SPNG_COLOR_TYPE_TRUECOLOR_ALPHA, {8, 16}, false},
    };
    std::vector<TPngKind> kinds;
    for (bool interlaced : {false, true})
        for (const TBase& base : bases)
            for (int depth : base.Depths)
                kinds.push_back({std::string(base.Name) + std::to_string(depth) + (interlaced ? " interlaced" : ""),
                                 base.ColourType, depth, interlaced, base.Transparency});
    return kinds;
}

namespace {

int Channels(int colourType) {
    switch (colourType) {
    case SPNG_COLOR_TYPE_TRUECOLOR: return 3;
    case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA: return 2;
    case SPNG_COLOR_TYPE_TRUECOLOR_ALPHA: return 4;
    default: return 1;
    }
}

// A sample of depth bits as 8 bits: low depths spread over 0 .. 255, 16 bits its high byte.
std::uint8_t To8(std::uint32_t sample, int depth) {
    if (depth == 16) return std::uint8_t(sample >> 8);
    return std::uint8_t(sample * 255 / ((1u << depth) - 1));
}

struct TSpngFree {
    void operator()(spng_ctx* ctx) const { spng_ctx_free(ctx); }
};

void Must(int error) {
    if (error) throw std::runtime_error(std::string("libspng: ") + spng_strerror(error));
}

}  // namespace

TPngSample MakePng(const TPngKind& kind, std::int32_t width, std::int32_t height, std::uint32_t seed) {
    std::mt19937 random(seed);
    const int channels = Channels(kind.ColourType);
    const std::uint32_t top = kind.BitDepth == 16 ? 0xFFFF : (1u << kind.BitDepth) - 1;
    std::vector<std::uint32_t> samples(std::size_t(width) * std::size_t(height) * std::size_t(channels));
    for (auto& s : samples) s = random() & top;
    // A few more pixels of the first pixel's colour, which tRNS makes transparent.
    for (std::size_t at : {std::size_t(1), std::size_t(width) + 2})
        if (at < samples.size() / std::size_t(channels))
            std::copy_n(samples.begin(), channels, samples.begin() + std::ptrdiff_t(at) * channels);

    spng_plte plte{};
    spng_trns trns{};
    if (kind.ColourType == SPNG_COLOR_TYPE_INDEXED) {
        plte.n_entries = 1u << kind.BitDepth;
        for (std::uint32_t i = 0; i < plte.n_entries; ++i)
            plte.entries[i] = {std::uint8_t(random()), std::uint8_t(random()), std::uint8_t(random()), 255};
        trns.n_type3_entries = plte.n_entries;
        for (std::uint32_t i = 0; i < plte.n_entries; ++i) trns.type3_alpha[i] = std::uint8_t(random());
    } else if (kind.ColourType == SPNG_COLOR_TYPE_GRAYSCALE) {
        trns.gray = std::uint16_t(samples[0]);
    } else {
        trns.red = std::uint16_t(samples[0]), trns.green = std::uint16_t(samples[1]), trns.blue = std::uint16_t(samples[2]);
    }

    // The file: rows packed as the format stores them (high bits first), 16-bit samples in the
    // machine's order, as the library takes them.
    const std::size_t rowBytes = (std::size_t(width) * std::size_t(channels) * std::size_t(kind.BitDepth) + 7) / 8;
    std::vector<std::uint8_t> packed(rowBytes * std::size_t(height), 0);
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = packed.data() + std::size_t(y) * rowBytes;
        for (std::size_t i = 0; i < std::size_t(width) * std::size_t(channels); ++i) {
            const std::uint32_t s = samples[std::size_t(y) * std::size_t(width) * std::size_t(channels) + i];
            if (kind.BitDepth == 16) {
                const auto sample = std::uint16_t(s);
                std::memcpy(row + 2 * i, &sample, 2);
            } else if (kind.BitDepth == 8) {
                row[i] = std::uint8_t(s);
            } else {
                const std::size_t bit = i * std::size_t(kind.BitDepth);
                row[bit / 8] |= std::uint8_t(s << (8 - kind.BitDepth - bit % 8));
            }
        }
    }
    std::unique_ptr<spng_ctx, TSpngFree> ctx(spng_ctx_new(SPNG_CTX_ENCODER));
    Must(spng_set_option(ctx.get(), SPNG_ENCODE_TO_BUFFER, 1));
    spng_ihdr ihdr{};
    ihdr.width = std::uint32_t(width), ihdr.height = std::uint32_t(height);
    ihdr.bit_depth = std::uint8_t(kind.BitDepth), ihdr.color_type = std::uint8_t(kind.ColourType);
    ihdr.interlace_method = kind.Interlaced ? SPNG_INTERLACE_ADAM7 : SPNG_INTERLACE_NONE;
    Must(spng_set_ihdr(ctx.get(), &ihdr));
    if (kind.ColourType == SPNG_COLOR_TYPE_INDEXED) Must(spng_set_plte(ctx.get(), &plte));
    if (kind.Transparency) Must(spng_set_trns(ctx.get(), &trns));
    spng_text text{};
    std::strcpy(text.keyword, "Comment");
    char words[] = "made for a test";
    text.type = SPNG_TEXT, text.length = sizeof words - 1, text.text = words;
    Must(spng_set_text(ctx.get(), &text, 1));
    Must(spng_encode_image(ctx.get(), packed.data(), packed.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE));
    std::size_t length = 0;
    int error = 0;
    void* png = spng_get_png_buffer(ctx.get(), &length, &error);
    Must(error);
    TPngSample sample;
    sample.File.assign(static_cast<std::uint8_t*>(png), static_cast<std::uint8_t*>(png) + length);
    std::free(png);

    // What it reads as.
    const bool alpha = kind.Transparency || kind.ColourType == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA ||
                       kind.ColourType == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA;
    const bool gray = !alpha && kind.ColourType == SPNG_COLOR_TYPE_GRAYSCALE && kind.BitDepth <= 8;
    sample.Expected.Allocate(width, height, alpha ? BgraFormat() : gray ? Gray8Format() : Rgb24Format());
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            const std::uint32_t* s = &samples[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * std::size_t(channels)];
            std::uint8_t r, g, b, a = 255;
            switch (kind.ColourType) {
            case SPNG_COLOR_TYPE_INDEXED:
                r = plte.entries[s[0]].red, g = plte.entries[s[0]].green, b = plte.entries[s[0]].blue;
                if (kind.Transparency) a = trns.type3_alpha[s[0]];
                break;
            case SPNG_COLOR_TYPE_GRAYSCALE:
            case SPNG_COLOR_TYPE_GRAYSCALE_ALPHA:
                r = g = b = To8(s[0], kind.BitDepth);
                if (kind.ColourType == SPNG_COLOR_TYPE_GRAYSCALE_ALPHA) a = To8(s[1], kind.BitDepth);
                else if (kind.Transparency && s[0] == trns.gray) a = 0;
                break;
            default:
                r = To8(s[0], kind.BitDepth), g = To8(s[1], kind.BitDepth), b = To8(s[2], kind.BitDepth);
                if (kind.ColourType == SPNG_COLOR_TYPE_TRUECOLOR_ALPHA) a = To8(s[3], kind.BitDepth);
                else if (kind.Transparency && s[0] == trns.red && s[1] == trns.green && s[2] == trns.blue) a = 0;
                break;
            }
            if (alpha)
                sample.Expected.SetRawPixel(x, y, std::uint32_t(b) | std::uint32_t(g) << 8 | std::uint32_t(r) << 16 |
                                                      std::uint32_t(a) << 24);
            else if (gray)
                sample.Expected.SetRawPixel(x, y, r);
            else
                sample.Expected.SetRawPixel(x, y, std::uint32_t(b) | std::uint32_t(g) << 8 | std::uint32_t(r) << 16);
        }
    return sample;
}

namespace {

// picture's pixels as red, green, blue (and alpha) bytes, rows top-down without padding.
std::vector<std::uint8_t> Interleaved(const TBitmap& picture, bool alpha) {
    const std::size_t step = alpha ? 4 : 3;
    std::vector<std::uint8_t> bytes(std::size_t(picture.Width()) * std::size_t(picture.Height()) * step);
    std::uint8_t* out = bytes.data();
    for (std::int32_t y = 0; y < picture.Height(); ++y)
        for (std::int32_t x = 0; x < picture.Width(); ++x, out += step) {
            const TColor c = picture.Pixel(x, y);
            out[0] = GetRValue(c), out[1] = GetGValue(c), out[2] = GetBValue(c);
            if (alpha) out[3] = std::uint8_t(picture.RawPixel(x, y) >> 24);
        }
    return bytes;
}

struct THeifFree {
    void operator()(heif_context* p) const { heif_context_free(p); }
    void operator()(heif_encoder* p) const { heif_encoder_release(p); }
    void operator()(heif_image* p) const { heif_image_release(p); }
    void operator()(heif_encoding_options* p) const { heif_encoding_options_free(p); }
};

void Must(const heif_error& error) {
    if (error.code != heif_error_Ok) throw std::runtime_error(std::string("libheif: ") + error.message);
}

heif_error Append(heif_context*, const void* data, size_t size, void* userdata) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(userdata);
    bytes->insert(bytes->end(), static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size);
    return {heif_error_Ok, heif_suberror_Unspecified, ""};
}

}  // namespace

bool CanMakeHeic() {
    static const bool can = [] {
        heif_init(nullptr);
        std::unique_ptr<heif_context, THeifFree> ctx(heif_context_alloc());
        heif_encoder* encoder = nullptr;
        const heif_error error = heif_context_get_encoder_for_format(ctx.get(), heif_compression_HEVC, &encoder);
        if (encoder) heif_encoder_release(encoder);
        return error.code == heif_error_Ok;
    }();
    return can;
}

std::vector<std::uint8_t> MakeHeic(const TBitmap& picture, int orientation, int quality) {
    if (!CanMakeHeic()) return {};
    const bool alpha = picture.Layout().HasAlpha();
    std::unique_ptr<heif_context, THeifFree> ctx(heif_context_alloc());
    heif_encoder* rawEncoder = nullptr;
    Must(heif_context_get_encoder_for_format(ctx.get(), heif_compression_HEVC, &rawEncoder));
    std::unique_ptr<heif_encoder, THeifFree> encoder(rawEncoder);
    Must(heif_encoder_set_lossy_quality(encoder.get(), quality));
    heif_image* rawImage = nullptr;
    Must(heif_image_create(picture.Width(), picture.Height(), heif_colorspace_RGB,
                           alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, &rawImage));
    std::unique_ptr<heif_image, THeifFree> image(rawImage);
    Must(heif_image_add_plane(image.get(), heif_channel_interleaved, picture.Width(), picture.Height(), 8));
    int stride = 0;
    std::uint8_t* plane = heif_image_get_plane(image.get(), heif_channel_interleaved, &stride);
    const std::vector<std::uint8_t> pixels = Interleaved(picture, alpha);
    const std::size_t rowBytes = std::size_t(picture.Width()) * (alpha ? 4 : 3);
    for (std::int32_t y = 0; y < picture.Height(); ++y)
        std::memcpy(plane + std::size_t(y) * std::size_t(stride), pixels.data() + std::size_t(y) * rowBytes, rowBytes);
    std::unique_ptr<heif_encoding_options, THeifFree> options(heif_encoding_options_alloc());
    options->image_orientation = heif_orientation(orientation);
    Must(heif_context_encode_image(ctx.get(), image.get(), encoder.get(), options.get(), nullptr));
    std::vector<std::uint8_t> file;
    heif_writer writer{};
    writer.writer_api_version = 1;
    writer.write = Append;
    Must(heif_context_write(ctx.get(), &writer, &file));
    return file;
}

std::vector<std::uint8_t> MakeWebp(const TBitmap& picture, bool lossless) {
    const bool alpha = picture.Layout().HasAlpha();
    const std::vector<std::uint8_t> pixels = Interleaved(picture, alpha);
    const int stride = picture.Width() * (alpha ? 4 : 3);
    WebPConfig config;
    if (!WebPConfigInit(&config)) throw std::runtime_error("libwebp: version mismatch");
    config.lossless = lossless;
    config.quality = 90;
    config.exact = 1;  // lossless: the colour of transparent pixels too
    WebPPicture input;
    if (!WebPPictureInit(&input)) throw std::runtime_error("libwebp: version mismatch");
    input.use_argb = lossless;
    input.width = picture.Width(), input.height = picture.Height();
    WebPMemoryWriter writer;
    WebPMemoryWriterInit(&writer);
    input.writer = WebPMemoryWrite;
    input.custom_ptr = &writer;
    const bool ok = (alpha ? WebPPictureImportRGBA(&input, pixels.data(), stride)
                           : WebPPictureImportRGB(&input, pixels.data(), stride)) &&
                    WebPEncode(&config, &input);
    WebPPictureFree(&input);
    std::vector<std::uint8_t> file(writer.mem, writer.mem + writer.size);
    WebPMemoryWriterClear(&writer);
    if (!ok) throw std::runtime_error("libwebp could not encode the picture");
    return file;
}

int LargestDifference(const TBitmap& a, const TBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return 256;
    const bool alpha = a.Layout().HasAlpha() && b.Layout().HasAlpha();
    int largest = 0;
    for (std::int32_t y = 0; y < a.Height(); ++y)
        for (std::int32_t x = 0; x < a.Width(); ++x) {
            const TColor p = a.Pixel(x, y), q = b.Pixel(x, y);
            for (int shift : {0, 8, 16}) largest = std::max(largest, std::abs(int((p >> shift) & 255) - int((q >> shift) & 255)));
            if (alpha) largest = std::max(largest, std::abs(int(a.RawPixel(x, y) >> 24) - int(b.RawPixel(x, y) >> 24)));
        }
    return largest;
}

}  // namespace tavelix::test
