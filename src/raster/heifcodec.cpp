#include "raster/heifcodec.h"

#include <dlfcn.h>
#include <libheif/heif.h>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

namespace tavelix {

namespace {

[[noreturn]] void Invalid(const std::string& why, int code = 0) {
    throw TPictureError(TPictureError::Kind::InvalidHeif, "HEIF: " + why, code);
}

// The library is loaded when a HEIF file is first read, not when the program starts: with the
// decoders and encoders it brings (HEVC, AV1) it added some 5 ms to every start of the window
// and of each tavelix-cli, HEIF or not.
#define TAVELIX_HEIF_FUNCTIONS(X) \
    X(heif_context_alloc) \
    X(heif_context_free) \
    X(heif_context_get_primary_image_handle) \
    X(heif_context_read_from_memory_without_copy) \
    X(heif_context_set_maximum_image_size_limit) \
    X(heif_decode_image) \
    X(heif_decoding_options_alloc) \
    X(heif_decoding_options_free) \
    X(heif_image_get_bits_per_pixel_range) \
    X(heif_image_get_height) \
    X(heif_image_get_plane_readonly) \
    X(heif_image_get_width) \
    X(heif_image_handle_get_height) \
    X(heif_image_handle_get_width) \
    X(heif_image_handle_has_alpha_channel) \
    X(heif_image_handle_release) \
    X(heif_image_release) \
    X(heif_init)

struct THeifLibrary {
#define TAVELIX_HEIF_POINTER(name) decltype(&::name) name = nullptr;
    TAVELIX_HEIF_FUNCTIONS(TAVELIX_HEIF_POINTER)
#undef TAVELIX_HEIF_POINTER
};

// The library's functions; throws InvalidHeif when it cannot be loaded (and tries again at the
// next call).
const THeifLibrary& Heif() {
    static const THeifLibrary library = [] {
        constexpr const char* name = "libheif.so.1";
        void* handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL);
        if (!handle) Invalid(std::string("the HEIF library cannot be loaded: ") + ::dlerror());
        THeifLibrary loaded;
#define TAVELIX_HEIF_RESOLVE(function)                                                          \
    loaded.function = reinterpret_cast<decltype(loaded.function)>(::dlsym(handle, #function)); \
    if (!loaded.function) Invalid(std::string(name) + " lacks " #function);
        TAVELIX_HEIF_FUNCTIONS(TAVELIX_HEIF_RESOLVE)
#undef TAVELIX_HEIF_RESOLVE
        return loaded;  // the library stays loaded for the rest of the program
    }();
    return library;
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
    void operator()(heif_context* p) const { Heif().heif_context_free(p); }
    void operator()(heif_image_handle* p) const { Heif().heif_image_handle_release(p); }
    void operator()(heif_image* p) const { Heif().heif_image_release(p); }
    void operator()(heif_decoding_options* p) const { Heif().heif_decoding_options_free(p); }
};
template <class T>
using THeif = std::unique_ptr<T, THeifFree>;

// The library's one-time set-up, before its first use in the program (counted by the
// library, so other users in the same program may make their own calls).
void InitOnce() {
    static const bool ready = [] {
        Check(Heif().heif_init(nullptr));
        return true;
    }();
    (void)ready;
}

// A side longer than this is refused by the library while it reads the headers (its own
// default; the largest photos of phones are near 12000). A picture declared within it may still
// code a larger one, which the decoder then decodes before the sizes are found to differ: one
// declared 5 x 64279 coded 8192 x 3843 pixels, and took seconds under the sanitizers.
constexpr int MaxSide = 32768;

TPictureSize SizeOf(const heif_image_handle* handle) {
    const int width = Heif().heif_image_handle_get_width(handle), height = Heif().heif_image_handle_get_height(handle);
    if (width <= 0 || height <= 0) Invalid("no picture");
    return {width, height};
}

// --- The canvases of derived pictures ------------------------------------------------------
// A grid of tiles or an overlay declares the size of its canvas in its own item data, and the
// library (Debian 12's) allocates that canvas before it looks at anything else: a file that
// declares a small picture made of a grid of 25000 x 25000 pixels took 1.9 GB. The library
// tells neither the canvas nor the item data, so the few boxes that lead to them are read here:
// meta, its item list (iinf), item locations (iloc) and item data (idat). Nothing is decoded;
// what cannot be read is left to the library, which refuses it or reads it the same way.

// Bytes read big-endian from a span, every read checked; a failed read leaves Ok false.
class TBoxReader {
public:
    explicit TBoxReader(std::span<const std::uint8_t> bytes) : FBytes(bytes) {}
    bool Ok() const { return FOk; }
    bool AtEnd() const { return FAt >= FBytes.size(); }
    std::uint64_t Read(unsigned bytes) {
        if (bytes > 8 || FBytes.size() - FAt < bytes) {
            FOk = false;
            FAt = FBytes.size();
            return 0;
        }
        std::uint64_t value = 0;
        for (unsigned i = 0; i < bytes; ++i) value = value << 8 | FBytes[FAt++];
        return value;
    }
    // The next box: its type and content (after the size and type fields); false at the end or
    // for a box whose header does not fit. A box that claims more bytes than are left ends
    // where its parent ends: the library reads what is there, and so is it read here.
    bool NextBox(std::uint32_t& type, std::span<const std::uint8_t>& content) {
        if (AtEnd()) return false;
        const std::size_t start = FAt;
        std::uint64_t size = Read(4);
        type = std::uint32_t(Read(4));
        if (size == 1) size = Read(8);
        if (size == 0 || size > FBytes.size() - start) size = FBytes.size() - start;
        const std::size_t head = FAt - start;
        if (!FOk || size < head) {
            FOk = false;
            return false;
        }
        content = FBytes.subspan(FAt, std::size_t(size) - head);
        FAt = start + std::size_t(size);
        return true;
    }

private:
    std::span<const std::uint8_t> FBytes;
    std::size_t FAt = 0;
    bool FOk = true;
};

constexpr std::uint32_t FourCc(const char (&name)[5]) {
    return std::uint32_t(std::uint8_t(name[0])) << 24 | std::uint32_t(std::uint8_t(name[1])) << 16 |
           std::uint32_t(std::uint8_t(name[2])) << 8 | std::uint32_t(std::uint8_t(name[3]));
}

// The library reads an offset, length or index field of the location list only when it is 4 or
// 8 bytes wide (any other width stands for 0 and takes no bytes), and an extent's index only in
// version 2: read the same way, so that the same data is found.
std::uint64_t LocationField(TBoxReader& in, std::uint64_t width) {
    return width == 4 || width == 8 ? in.Read(unsigned(width)) : 0;
}

// What the derived pictures of a file (grids, overlays and identities of other items) lean on.
struct TDerived {
    // The canvas sizes (width times height, in pixels) of every grid and overlay item that can
    // be read; the rest are skipped.
    std::vector<std::uint64_t> Canvases;
    // An item that a derived picture is made from but that is no picture the library knows (or
    // no item at all): the library asserts on it, which ends the program.
    std::optional<std::uint32_t> NoPicture;
};

// Adds what the derived pictures of one meta box (its content after version and flags) lean on.
void AddDerivedItems(std::span<const std::uint8_t> file, std::span<const std::uint8_t> meta, TDerived& result) {
    struct TExtent {
        unsigned Method = 0;  // 0: in the file, 1: in idat
        std::uint64_t Offset = 0, Length = 0;
    };
    std::multimap<std::uint32_t, std::uint32_t> derived;        // items typed grid or iovl: id, type
    std::multimap<std::uint32_t, std::uint32_t> itemTypes;      // every item entry read: id, type
    std::vector<std::uint32_t> sources;                         // items a "dimg" reference names
    std::vector<std::pair<std::uint32_t, std::vector<TExtent>>> locations;  // every entry, in order
    std::span<const std::uint8_t> idat;
    TBoxReader boxes(meta);
    std::uint32_t type = 0;
    std::span<const std::uint8_t> content;
    while (boxes.NextBox(type, content)) {
        TBoxReader in(content);
        if (type == FourCc("idat")) {
            idat = content;
        } else if (type == FourCc("iinf")) {
            const auto version = in.Read(1);
            in.Read(3);
            const std::uint64_t count = in.Read(version == 0 ? 2 : 4);
            std::span<const std::uint8_t> entry;
            for (std::uint64_t i = 0; i < count && in.NextBox(type, entry); ++i) {
                TBoxReader infe(entry);
                const auto entryVersion = infe.Read(1);
                infe.Read(3);
                if (type != FourCc("infe") || entryVersion < 2) continue;
                const auto id = std::uint32_t(infe.Read(entryVersion == 2 ? 2 : 4));
                infe.Read(2);  // protection index
                const auto itemType = std::uint32_t(infe.Read(4));
                if (!infe.Ok()) continue;
                itemTypes.emplace(id, itemType);
                if (itemType == FourCc("grid") || itemType == FourCc("iovl")) derived.emplace(id, itemType);
            }
        } else if (type == FourCc("iref")) {
            const unsigned idBytes = in.Read(1) == 0 ? 2 : 4;
            in.Read(3);
            std::span<const std::uint8_t> reference;
            while (in.NextBox(type, reference)) {
                if (type != FourCc("dimg")) continue;
                TBoxReader refs(reference);
                refs.Read(idBytes);  // the derived item
                const std::uint64_t count = refs.Read(2);
                // An item the list is cut short of reads as item 0, which is none.
                for (std::uint64_t i = 0; i < count && refs.Ok(); ++i) sources.push_back(std::uint32_t(refs.Read(idBytes)));
            }
        } else if (type == FourCc("iloc")) {
            const auto version = in.Read(1);
            in.Read(3);
            const auto sizes = in.Read(1), more = in.Read(1);
            const std::uint64_t offsetSize = sizes >> 4, lengthSize = sizes & 15, baseSize = more >> 4;
            const std::uint64_t indexSize = version >= 2 ? more & 15 : 0;
            const std::uint64_t count = in.Read(version < 2 ? 2 : 4);
            for (std::uint64_t i = 0; i < count && in.Ok(); ++i) {
                const auto id = std::uint32_t(in.Read(version < 2 ? 2 : 4));
                const unsigned method = version >= 1 ? unsigned(in.Read(2) & 15) : 0;
                in.Read(2);  // data reference
                const std::uint64_t base = LocationField(in, baseSize);
                const std::uint64_t extentCount = in.Read(2);
                std::vector<TExtent> extents;
                for (std::uint64_t e = 0; e < extentCount && in.Ok(); ++e) {
                    LocationField(in, indexSize);
                    const std::uint64_t offset = LocationField(in, offsetSize);
                    extents.push_back({method, base + offset, LocationField(in, lengthSize)});
                }
                if (in.Ok()) locations.emplace_back(id, std::move(extents));
            }
        }
    }

    // Every item a picture is made from must be one the library takes for a picture, under
    // every entry that names it (a file may name an item twice, with two types).
    const auto picture = [&](std::uint32_t id) {
        const std::initializer_list<std::uint32_t> types = {FourCc("hvc1"), FourCc("av01"), FourCc("grid"),
                                                            FourCc("iovl"), FourCc("iden")};
        const auto [first, last] = itemTypes.equal_range(id);
        return first != last && std::all_of(first, last, [&](const auto& entry) {
                   return std::find(types.begin(), types.end(), entry.second) != types.end();
               });
    };
    for (const std::uint32_t source : sources)
        if (!picture(source) && !result.NoPicture) result.NoPicture = source;
    for (const auto& [id, extents] : locations) {
        const auto [first, last] = derived.equal_range(id);
        if (first == last) continue;
        // The first bytes of the item's data, its extents one after the other.
        std::vector<std::uint8_t> data;
        for (const TExtent& extent : extents) {
            const std::span<const std::uint8_t> source = extent.Method == 0 ? file : extent.Method == 1 ? idat : file.first(0);
            if (extent.Offset >= source.size()) break;
            const std::uint64_t left = source.size() - extent.Offset;
            const std::uint64_t length = std::min<std::uint64_t>({extent.Length == 0 ? left : extent.Length, left, 64});
            const auto from = source.begin() + std::ptrdiff_t(extent.Offset);
            data.insert(data.end(), from, from + std::ptrdiff_t(length));
            if (data.size() >= 64) break;
        }
        for (auto item = first; item != last; ++item) {
            // Version, flags; a grid's rows and columns, or an overlay's fill colour; the canvas.
            TBoxReader fields(data);
            fields.Read(1);
            const bool wide = fields.Read(1) & 1;
            fields.Read(item->second == FourCc("grid") ? 2 : 8);
            const std::uint64_t width = fields.Read(wide ? 4 : 2), height = fields.Read(wide ? 4 : 2);
            if (fields.Ok()) result.Canvases.push_back(width * height);
        }
    }
}

// A file may hold more than one meta box, and which one the library reads is not told: all
// of them are read.
TDerived DerivedItems(std::span<const std::uint8_t> file) {
    TDerived result;
    std::uint32_t type = 0;
    std::span<const std::uint8_t> content;
    for (TBoxReader top(file); top.NextBox(type, content);)
        if (type == FourCc("meta")) AddDerivedItems(file, content.subspan(std::min<std::size_t>(4, content.size())), result);
    return result;
}

// The file's context and its primary picture: the headers read, no pixel decoded.
struct TPrimary {
    THeif<heif_context> Context;
    THeif<heif_image_handle> Handle;
};

TPrimary OpenPrimary(std::span<const std::uint8_t> file) {
    if (file.empty()) Invalid("empty file");
    InitOnce();
    TPrimary primary;
    primary.Context.reset(Heif().heif_context_alloc());
    if (!primary.Context) throw std::bad_alloc();
    Heif().heif_context_set_maximum_image_size_limit(primary.Context.get(), MaxSide);
    Check(Heif().heif_context_read_from_memory_without_copy(primary.Context.get(), file.data(), file.size(), nullptr));
    heif_image_handle* handle = nullptr;
    Check(Heif().heif_context_get_primary_image_handle(primary.Context.get(), &handle));
    primary.Handle.reset(handle);
    // A canvas may be a little larger than the picture cut from it; one that is far larger is
    // refused before the library allocates it.
    const TPictureSize declared = SizeOf(handle);
    const std::uint64_t pixels = std::uint64_t(declared.Width) * std::uint64_t(declared.Height);
    const TDerived derived = DerivedItems(file);
    if (derived.NoPicture)
        Invalid("a derived picture is made from item " + std::to_string(*derived.NoPicture) + ", which is no picture");
    for (const std::uint64_t canvas : derived.Canvases)
        if (canvas > 2 * pixels)
            Invalid("a grid or overlay of " + std::to_string(canvas) + " pixels for a picture of " +
                    std::to_string(declared.Width) + " x " + std::to_string(declared.Height));
    return primary;
}

}  // namespace

TPictureSize ReadHeifSize(std::span<const std::uint8_t> file) {
    const TPrimary primary = OpenPrimary(file);
    return SizeOf(primary.Handle.get());
}

void LoadHeif(TBitmap& target, std::span<const std::uint8_t> file) {
    const TPrimary primary = OpenPrimary(file);
    const TPictureSize declared = SizeOf(primary.Handle.get());
    const bool alpha = Heif().heif_image_handle_has_alpha_channel(primary.Handle.get()) != 0;
    TStoreFormat format;
    format.Layout = alpha ? TPixelLayout::Bgra() : TPixelLayout::Rgb(24);
    // The store of the declared size is had before the decoder spends memory on the picture;
    // the decoded one must then match it.
    TBitmap loaded;
    loaded.Allocate(declared.Width, declared.Height, format, false);

    const THeif<heif_decoding_options> options(Heif().heif_decoding_options_alloc());
    if (!options) throw std::bad_alloc();
    options->convert_hdr_to_8bit = 1;
    heif_image* decoded = nullptr;
    Check(Heif().heif_decode_image(primary.Handle.get(), &decoded, heif_colorspace_RGB,
                            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get()));
    const THeif<heif_image> image(decoded);
    const int width = Heif().heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = Heif().heif_image_get_height(image.get(), heif_channel_interleaved);
    if (width != declared.Width || height != declared.Height)
        Invalid("the picture decoded is " + std::to_string(width) + " x " + std::to_string(height) +
                ", the file declares " + std::to_string(declared.Width) + " x " + std::to_string(declared.Height));
    int stride = 0;
    const std::uint8_t* plane = Heif().heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || stride <= 0) Invalid("no pixels decoded");
    const int bits = Heif().heif_image_get_bits_per_pixel_range(image.get(), heif_channel_interleaved);
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
