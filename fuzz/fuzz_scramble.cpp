// Scrambling then assembling pictures of random sizes, pixel formats and passwords (0 to 60
// bytes, control codes included). Checked exactly: where scrambling puts every pixel, where
// assembling takes every pixel from, and so that assembling gives back every pixel outside
// the edge strips plus the bottom-right corner; size and format never change. Pictures over
// the pixel limit and empty passwords change nothing.
//
// Input: layout kind, flags (bit 0 row order, bits 1-4 size mode), width, height (16 bits
// each), password length and bytes, then a seed for the pixels, colour table and masks.
#include <array>
#include <string>
#include <vector>

#include "engine/tavelix.h"
#include "fuzz_common.h"

using namespace tavelix;

namespace {

std::uint64_t Next(std::uint64_t& state) {  // xorshift64
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
}

TStoreFormat MakeFormat(std::uint8_t kind, bool topDown, std::uint64_t& random) {
    TStoreFormat format;
    switch (kind % 9) {
        case 0: format.Layout = TPixelLayout::Indexed(1); break;
        case 1: format.Layout = TPixelLayout::Indexed(4); break;
        case 2: format.Layout = TPixelLayout::Indexed(8); break;
        case 3: format.Layout = TPixelLayout::Rgb(16); break;
        case 4: format.Layout = TPixelLayout::Masks(16, 0xF800, 0x07E0, 0x001F); break;
        case 5: format.Layout = TPixelLayout::Rgb(24); break;
        case 6: format.Layout = TPixelLayout::Rgb(32); break;
        case 7: {
            const auto r = std::uint32_t(Next(random)), g = std::uint32_t(Next(random)), b = std::uint32_t(Next(random));
            format.Layout = TPixelLayout::Masks(32, r, g, b);
            break;
        }
        default: format.Layout = TPixelLayout::DeviceFormat(); break;
    }
    if (format.Layout.IsIndexed()) {
        const std::size_t entries = 1 + Next(random) % (std::size_t{1} << format.Layout.BitCount);
        for (std::size_t k = 0; k < entries; ++k) {
            const std::uint64_t v = Next(random);
            format.Palette.push_back({std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), 0});
        }
    }
    format.TopDown = topDown && !format.Layout.Device;
    return format;
}

struct TSize2 {
    std::int32_t Width, Height;
};

TSize2 PickSize(std::uint8_t mode, std::uint16_t w, std::uint16_t h) {
    static constexpr std::array<std::int32_t, 14> edges = {1, 2, 3, 255, 256, 257, 299, 300, 301, 511, 512, 513, 767, 768};
    // Around the pixel limit of 1280 x 1024: the first three are scrambled, the rest are not.
    static constexpr std::array<TSize2, 8> large = {{{1280, 1024}, {1281, 1023}, {1310720, 1}, {1281, 1024},
                                                     {1280, 1025}, {2048, 641}, {1310721, 1}, {1, 1310721}}};
    // Mostly small pictures: they run fastest, and every strip count up to 255 is among them.
    mode &= 15;
    if (mode < 8) return {1 + w % 64, 1 + h % 64};
    if (mode < 13) return {1 + w % 300, 1 + h % 300};
    if (mode < 15) return {edges[w % edges.size()], edges[h % edges.size()]};
    return large[w % large.size()];
}

// Every stored byte random, padding included.
void FillNoise(TBitmap& bitmap, std::uint64_t& random) {
    for (std::int32_t y = 0; y < bitmap.Height(); ++y) {
        std::uint8_t* row = bitmap.ScanLine(y);
        for (std::uint32_t i = 0; i < bitmap.RowBytes(); i += 8) {
            const std::uint64_t v = Next(random);
            std::memcpy(row + i, &v, std::min<std::uint32_t>(8, bitmap.RowBytes() - i));
        }
    }
}

// Stored values of one picture, read without the checks of TBitmap::RawPixel.
class TRawPixels {
public:
    explicit TRawPixels(const TBitmap& bitmap) : FBits(bitmap.Layout().BitCount) {
        for (std::int32_t y = 0; y < bitmap.Height(); ++y) FRows.push_back(bitmap.ScanLine(y));
    }
    FUZZ_UNTRACED std::uint32_t operator()(std::int32_t x, std::int32_t y) const {
        const std::uint8_t* row = FRows[std::size_t(y)];
        switch (FBits) {
            case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
            case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
            case 8: return row[x];
            case 16: return fuzz::Le16(row + 2 * std::size_t(x));
            case 24: return fuzz::Le16(row + 3 * std::size_t(x)) | std::uint32_t{row[3 * std::size_t(x) + 2]} << 16;
            default: return fuzz::Le32(row + 4 * std::size_t(x));
        }
    }

private:
    unsigned FBits;
    std::vector<const std::uint8_t*> FRows;
};

bool SameFormat(const TBitmap& a, const TBitmap& b) {
    return a.Width() == b.Width() && a.Height() == b.Height() && a.Layout() == b.Layout() &&
           a.Palette() == b.Palette() && a.TopDown() == b.TopDown();
}

std::vector<std::int32_t> Permutation(std::int32_t n, const std::string& password) {
    std::vector<std::int32_t> index(std::size_t(n), -1);
    TTavelix::MakePermutation(n, index, password);
    std::vector<bool> seen(std::size_t(n), false);
    for (const std::int32_t v : index) {
        FUZZ_CHECK(v >= 0 && v < n && !seen[std::size_t(v)]);
        seen[std::size_t(v)] = true;
    }
    return index;
}

// The strips of a picture and where a password sends them.
struct TStrips {
    TStrips(std::int32_t width, std::int32_t height, const std::string& password)
        : W(width), H(height), b(W / 256 + 1), n(W / b), c(H / 256 + 1), m(H / c),
          p(Permutation(n, password)), q(Permutation(m, password)) {}

    // Where the column strip holding column x goes (the right edge strip stays), and the same
    // for rows.
    FUZZ_UNTRACED std::int32_t Column(std::int32_t x) const { return x < n * b ? p[std::size_t(x / b)] * b + x % b : x; }
    FUZZ_UNTRACED std::int32_t Row(std::int32_t y) const { return y < m * c ? q[std::size_t(y / c)] * c + y % c : y; }

    std::int32_t W, H, b, n, c, m;
    std::vector<std::int32_t> p, q;
};

// Scrambling: strips move to their places; the right edge strip takes part in the row
// shuffle only, the bottom edge strip in neither.
FUZZ_UNTRACED void CheckScrambled(const TStrips& s, const TRawPixels& original, const TRawPixels& scrambled) {
    for (std::int32_t y = 0; y < s.H; ++y) {
        const bool stripRow = y < s.m * s.c;
        const std::int32_t toY = s.Row(y);
        for (std::int32_t x = 0; x < s.W; ++x)
            FUZZ_CHECK(scrambled(stripRow ? s.Column(x) : x, toY) == original(x, y));
    }
}

// Assembling takes each pixel from where scrambling put it; the right edge strip comes over
// unchanged, the bottom one is gathered by the column permutation alone. And the round trip:
// every pixel outside the edge strips, and the bottom-right corner, come back.
FUZZ_UNTRACED void CheckAssembled(const TStrips& s, const TRawPixels& original, const TRawPixels& scrambled,
                                  const TRawPixels& assembled) {
    for (std::int32_t y = 0; y < s.H; ++y) {
        const bool stripRow = y < s.m * s.c;
        const std::int32_t fromY = s.Row(y);
        for (std::int32_t x = 0; x < s.W; ++x) {
            const bool stripColumn = x < s.n * s.b;
            FUZZ_CHECK(assembled(x, y) == scrambled(s.Column(x), stripColumn ? fromY : y));
            if (stripColumn == stripRow) FUZZ_CHECK(assembled(x, y) == original(x, y));
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::TByteReader in(std::span<const std::uint8_t>(data, size));
    const std::uint8_t kind = in.U8(), flags = in.U8();
    const std::uint16_t w = in.U16(), h = in.U16();
    const std::string password = in.Bytes(in.U8() % 61);
    std::uint64_t random = (std::uint64_t{in.U32()} << 32 | in.U32()) | 1;  // never 0

    const TSize2 picked = PickSize(flags >> 1, w, h);
    TBitmap bitmap;
    bitmap.Allocate(picked.Width, picked.Height, MakeFormat(kind, flags & 1, random));
    FillNoise(bitmap, random);
    const TBitmap original(bitmap);  // shares the store until the scrambler writes
    const std::int32_t W = bitmap.Width(), H = bitmap.Height();

    TTavelix::Scramble(&bitmap, password, true);
    FUZZ_CHECK(SameFormat(bitmap, original));
    if (password.empty() || std::int64_t(W) * H > PixelLimit) {
        FUZZ_CHECK(fuzz::SameStore(bitmap, original));
        TTavelix::Scramble(&bitmap, password, false);
        FUZZ_CHECK(fuzz::SameStore(bitmap, original));
        return 0;
    }
    const TBitmap scrambled(bitmap);

    const std::string used = password.substr(0, MaxPasswordLength);
    const TStrips strips(W, H, used);
    const TRawPixels P(original), S(scrambled);
    CheckScrambled(strips, P, S);

    TTavelix::Scramble(&bitmap, password, false);
    FUZZ_CHECK(SameFormat(bitmap, original));
    CheckAssembled(strips, P, S, TRawPixels(bitmap));

    // Only the first 50 password bytes count.
    if (password.size() > MaxPasswordLength) {
        TBitmap shorter(original);
        TTavelix::Scramble(&shorter, used, true);
        FUZZ_CHECK(fuzz::SameStore(shorter, scrambled));
    }
    return 0;
}
