#include "raster/webpcodec.h"

#include <webp/decode.h>

#include <new>
#include <string>

namespace tavelix {

namespace {

[[noreturn]] void Invalid(const std::string& why, int code = 0) {
    throw TPictureError(TPictureError::Kind::InvalidWebp, "WebP: " + why, code);
}

std::string StatusText(VP8StatusCode status) {
    switch (status) {
    case VP8_STATUS_OUT_OF_MEMORY: return "out of memory";
    case VP8_STATUS_INVALID_PARAM: return "invalid parameter";
    case VP8_STATUS_BITSTREAM_ERROR: return "damaged data";
    case VP8_STATUS_UNSUPPORTED_FEATURE: return "a feature that is not supported";
    case VP8_STATUS_NOT_ENOUGH_DATA: return "the file ends too soon";
    default: return "cannot be decoded (status " + std::to_string(int(status)) + ")";
    }
}

void Check(VP8StatusCode status) {
    if (status == VP8_STATUS_OUT_OF_MEMORY) throw std::bad_alloc();
    if (status != VP8_STATUS_OK) Invalid(StatusText(status), int(status));
}

WebPBitstreamFeatures ReadFeatures(std::span<const std::uint8_t> file) {
    if (file.empty()) Invalid("empty file");
    WebPBitstreamFeatures features{};
    Check(WebPGetFeatures(file.data(), file.size(), &features));
    if (features.has_animation) Invalid("animated pictures are not read");
    if (features.width <= 0 || features.height <= 0) Invalid("no picture");
    return features;
}

// The decoder's output buffer, released however the decoding ends (it holds nothing of its
// own while it writes into the bitmap, but the library asks for the call all the same).
struct TConfig {
    WebPDecoderConfig Config{};
    TConfig() {
        if (!WebPInitDecoderConfig(&Config)) Invalid("library version mismatch");
    }
    ~TConfig() { WebPFreeDecBuffer(&Config.output); }
    TConfig(const TConfig&) = delete;
    TConfig& operator=(const TConfig&) = delete;
};

}  // namespace

TPictureSize ReadWebpSize(std::span<const std::uint8_t> file) {
    const WebPBitstreamFeatures features = ReadFeatures(file);
    return {features.width, features.height};
}

void LoadWebp(TBitmap& target, std::span<const std::uint8_t> file) {
    const WebPBitstreamFeatures features = ReadFeatures(file);
    const bool alpha = features.has_alpha != 0;
    TStoreFormat format;
    format.Layout = alpha ? TPixelLayout::Bgra() : TPixelLayout::Rgb(24);
    TBitmap loaded;
    loaded.Allocate(features.width, features.height, format, false);  // checks the size

    // Decoded straight into the store. Its rows are kept bottom row first (the store begins
    // with the last row), so the decoder writes them flipped: its first row lands at the
    // store's end, which is row 0.
    TConfig decoder;
    WebPDecoderConfig& config = decoder.Config;
    config.options.flip = 1;
    config.output.colorspace = alpha ? MODE_BGRA : MODE_BGR;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = loaded.ScanLine(loaded.Height() - 1);
    config.output.u.RGBA.stride = int(loaded.RowBytes());
    config.output.u.RGBA.size = loaded.StoreBytes().size();
    Check(WebPDecode(file.data(), file.size(), &config));
    target.CopyFrom(loaded);
}

}  // namespace tavelix
