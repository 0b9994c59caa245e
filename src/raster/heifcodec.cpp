#include "raster/heifcodec.h"

#include <libheif/heif.h>

#include <memory>
#include <new>
#include <string>

namespace tavelix {

namespace {

[[noreturn]] void Invalid(const std::string& why, int code = 0) {
    throw TPictureError(TPictureError::Kind::InvalidHeif, "HEIF: " + why, code);
}

void Check(const heif_error& error) {
    if (error.code == heif_error_Ok) return;
    const std::string message = error.message ? error.message : "cannot be decoded";
    // The library's own security limits (sizes, counts) report as memory errors.
    if (error.code == heif_error_Memory_allocation_error)
        throw TPictureError(TPictureError::Kind::OutOfResources, "HEIF: " + message, int(error.code));
    Invalid(message, int(error.code));
}

struct THeifFree {
    void operator()(heif_context* p) const { heif_context_free(p); }
    void operator()(heif_image_handle* p) const { heif_image_handle_release(p); }
    void operator()(heif_image* p) const { heif_image_release(p); }
    void operator()(heif_decoding_options* p) const { heif_decoding_options_free(p); }
};
template <class T>
using THeif = std::unique_ptr<T, THeifFree>;

// The library's one-time set-up, before its first use in the program (counted by the
// library, so other users in the same program may make their own calls).
void InitOnce() {
    static const bool ready = [] {
        Check(heif_init(nullptr));
        return true;
    }();
    (void)ready;
}

// A side longer than this is refused by the library while it reads the headers (its own
// default; the largest photos of phones are near 12000). A picture declared within it may still
// code a larger one, which the decoder then decodes before the sizes are found to differ: one
// declared 5 x 64279 coded 8192 x 3843 pixels, and took seconds under the sanitizers.
constexpr int MaxSide = 32768;

// The file's context and its primary picture: the headers read, no pixel decoded.
struct TPrimary {
    THeif<heif_context> Context;
    THeif<heif_image_handle> Handle;
};

TPrimary OpenPrimary(std::span<const std::uint8_t> file) {
    if (file.empty()) Invalid("empty file");
    InitOnce();
    TPrimary primary;
    primary.Context.reset(heif_context_alloc());
    if (!primary.Context) throw std::bad_alloc();
    heif_context_set_maximum_image_size_limit(primary.Context.get(), MaxSide);
    Check(heif_context_read_from_memory_without_copy(primary.Context.get(), file.data(), file.size(), nullptr));
    heif_image_handle* handle = nullptr;
    Check(heif_context_get_primary_image_handle(primary.Context.get(), &handle));
    primary.Handle.reset(handle);
    return primary;
}

TPictureSize SizeOf(const heif_image_handle* handle) {
    const int width = heif_image_handle_get_width(handle), height = heif_image_handle_get_height(handle);
    if (width <= 0 || height <= 0) Invalid("no picture");
    return {width, height};
}

}  // namespace

TPictureSize ReadHeifSize(std::span<const std::uint8_t> file) {
    const TPrimary primary = OpenPrimary(file);
    return SizeOf(primary.Handle.get());
}

void LoadHeif(TBitmap& target, std::span<const std::uint8_t> file) {
    const TPrimary primary = OpenPrimary(file);
    const TPictureSize declared = SizeOf(primary.Handle.get());
    const bool alpha = heif_image_handle_has_alpha_channel(primary.Handle.get()) != 0;
    TStoreFormat format;
    format.Layout = alpha ? TPixelLayout::Bgra() : TPixelLayout::Rgb(24);
    // The store of the declared size is had before the decoder spends memory on the picture;
    // the decoded one must then match it.
    TBitmap loaded;
    loaded.Allocate(declared.Width, declared.Height, format, false);

    const THeif<heif_decoding_options> options(heif_decoding_options_alloc());
    if (!options) throw std::bad_alloc();
    options->convert_hdr_to_8bit = 1;
    heif_image* decoded = nullptr;
    Check(heif_decode_image(primary.Handle.get(), &decoded, heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get()));
    const THeif<heif_image> image(decoded);
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (width != declared.Width || height != declared.Height)
        Invalid("the picture decoded is " + std::to_string(width) + " x " + std::to_string(height) +
                ", the file declares " + std::to_string(declared.Width) + " x " + std::to_string(declared.Height));
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || stride <= 0) Invalid("no pixels decoded");
    const int bits = heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
    const std::size_t step = alpha ? 4 : 3;
    if (bits != 8) Invalid("the decoder gave " + std::to_string(bits) + " bits a channel, not 8");

    for (std::int32_t y = 0; y < height; ++y) {
        const std::uint8_t* in = plane + std::size_t(y) * std::size_t(stride);
        std::uint8_t* out = loaded.ScanLine(y);
        for (std::int32_t x = 0; x < width; ++x, in += step, out += step) {
            out[0] = in[2], out[1] = in[1], out[2] = in[0];
            if (alpha) out[3] = in[3];
        }
    }
    target.CopyFrom(loaded);
}

}  // namespace tavelix
