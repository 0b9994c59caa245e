// What the fuzz targets share: the entry point's declaration, property checks that abort
// (a violated property is a crash to the fuzzer), a host that stays silent, and guards
// that keep single inputs from costing seconds.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

#include "engine/host.h"
#include "raster/bitmap.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace tavelix::fuzz {

[[noreturn]] inline void Violated(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property violated: %s\n", file, line, what);
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(condition) \
    ((condition) ? (void)0 : ::tavelix::fuzz::Violated(#condition, __FILE__, __LINE__))

// For the checking loops of the targets: without coverage tracing (which would cost most
// of the time) and so without guiding the fuzzer, which they should not anyway.
#if defined(__clang__)
#define FUZZ_UNTRACED __attribute__((no_sanitize("coverage")))
#else
#define FUZZ_UNTRACED
#endif

// A host without a user: messages are counted, nothing is shown or waited for.
class TSilentHost : public TPictureHost {
public:
    void ShowMessage(std::string_view text) override {
        ++Messages;
        LastMessage = text;
    }
    void ProcessMessages() override {}
    TSize ScreenSize() const override { return {1280, 1024}; }
    void LoadFailed(std::string_view, const TPictureError&) override { ++Failures; }

    int Messages = 0, Failures = 0;
    std::string LastMessage;
};

// Pictures up to this many pixels are decoded; bigger ones cost seconds per input while
// testing nothing that small ones do not. Sizes the codecs refuse are still passed on, so
// the refusals stay under test.
constexpr std::uint64_t MaxJpegPixels = std::uint64_t{1} << 20;
constexpr std::uint64_t MaxBmpStoreBytes = std::uint64_t{16} << 20;

inline std::uint32_t Le16(const std::uint8_t* p) { return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8); }
inline std::uint32_t Le32(const std::uint8_t* p) { return Le16(p) | (Le16(p + 2) << 16); }

// Whether a bitmap file declares a picture big enough to be slow, yet small enough for the
// reader to allocate it. Reads the size fields the way the reader does, roughly: a guard,
// not a second reader.
inline bool BmpTooCostly(std::span<const std::uint8_t> file) {
    if (file.size() < 30 || file[0] != 'B' || file[1] != 'M') return false;
    const std::uint8_t* info = file.data() + 14;
    std::int64_t width, height;
    std::uint32_t bits, compression = 0;
    if (Le32(info) == 12) {
        width = Le16(info + 4);
        height = Le16(info + 6);
        bits = Le16(info + 10);
    } else {
        if (file.size() < 14 + 20) return false;
        width = static_cast<std::int32_t>(Le32(info + 4));
        height = static_cast<std::int32_t>(Le32(info + 8));
        bits = Le16(info + 14);
        compression = Le32(info + 16);
    }
    if (compression == 1 || compression == 2) bits = 32;  // run-length data becomes 32 bits
    if (width <= 0 || bits == 0 || bits > 32) return false;
    if (height < 0) height = -height;
    const std::uint64_t bytes = (std::uint64_t(width) * bits + 31) / 32 * 4 * std::uint64_t(height);
    return bytes > MaxBmpStoreBytes && bytes <= TBitmap::MaxStoreBytes;
}

// Same size, layout, palette, row order and stored bytes (rows with their padding).
inline bool SameStore(const TBitmap& a, const TBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    if (!(a.Layout() == b.Layout()) || a.Palette() != b.Palette() || a.TopDown() != b.TopDown()) return false;
    const auto x = a.StoreBytes(), y = b.StoreBytes();
    return x.size() == y.size() && (x.empty() || std::memcmp(x.data(), y.data(), x.size()) == 0);
}

// Reads an input front to back; past its end every read gives 0.
class TByteReader {
public:
    explicit TByteReader(std::span<const std::uint8_t> bytes) : FBytes(bytes) {}
    std::uint8_t U8() { return FPos < FBytes.size() ? FBytes[FPos++] : 0; }
    std::uint16_t U16() { return static_cast<std::uint16_t>(U8() | (U8() << 8)); }
    std::uint32_t U32() { return U16() | (std::uint32_t{U16()} << 16); }
    std::string Bytes(std::size_t n) {
        n = std::min(n, FBytes.size() - FPos);
        std::string s(reinterpret_cast<const char*>(FBytes.data() + FPos), n);
        FPos += n;
        return s;
    }
    std::span<const std::uint8_t> Rest() const { return FBytes.subspan(FPos); }

private:
    std::span<const std::uint8_t> FBytes;
    std::size_t FPos = 0;
};

// The check of a decoder that only reads (HEIF, WebP): a failed load leaves the target alone;
// what loads has the size readSize declares and is 24-bit, or 32-bit with alpha. Pictures
// that would take seconds to decode are passed over.
template <typename ReadSize, typename Load>
int CheckReadOnlyDecoder(std::span<const std::uint8_t> file, ReadSize readSize, Load load) {
    TPictureSize declared;
    try {
        declared = readSize(file);
        const std::uint64_t pixels = std::uint64_t(declared.Width) * std::uint64_t(declared.Height);
        if (pixels > MaxJpegPixels && pixels * 4 <= TBitmap::MaxStoreBytes) return 0;  // slow, no news
    } catch (const TPictureError&) {
        // The load must fail the same way.
    }

    TBitmap target;
    target.Allocate(2, 1, TStoreFormat{});
    const TBitmap before(target);
    try {
        load(target, file);
    } catch (const TPictureError&) {
        FUZZ_CHECK(target.SharesStoreWith(before) && target.Width() == 2 && target.Height() == 1);
        return 0;
    }
    FUZZ_CHECK(target.Width() == declared.Width && target.Height() == declared.Height);
    FUZZ_CHECK(target.Layout() == TPixelLayout::Rgb(24) || target.Layout() == TPixelLayout::Bgra());
    return 0;
}

}  // namespace tavelix::fuzz
