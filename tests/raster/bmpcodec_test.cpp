#include "raster/bmpcodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "raster/bitmap.h"
#include "raster/types.h"

namespace tavelix {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The fields of a bitmap file, put together one by one so that every header value can be chosen.
struct TBmpFileFields {
    char Signature[2] = {'B', 'M'};
    std::uint32_t HeaderSize = 40;  // 12: OS/2 core header with 3-byte colour entries
    std::int32_t Width = 1, Height = 1;
    std::uint16_t Planes = 1, BitCount = 24;
    std::uint32_t Compression = 0, SizeImage = 0;
    std::int32_t XPels = 0, YPels = 0;
    std::uint32_t ClrUsed = 0, ClrImportant = 0;
    std::vector<std::uint32_t> Masks;      // after a 40-byte header, inside a larger one
    std::vector<TRGBQuad> Table;
    std::uint32_t Gap = 0;                 // bytes of 0xEE between the table and the pixels
    std::optional<std::uint32_t> OffBits;  // else where the pixels really start
    Bytes Pixels;
};

class TByteSink {
public:
    void U8(std::uint32_t v) { Out.push_back(static_cast<std::uint8_t>(v)); }
    void U16(std::uint32_t v) { U8(v); U8(v >> 8); }
    void U32(std::uint32_t v) { U16(v & 0xFFFF); U16(v >> 16); }
    Bytes Out;
};

Bytes MakeBmp(const TBmpFileFields& s) {
    const bool core = s.HeaderSize == 12;
    const bool masksAfter = s.HeaderSize < 52 && !core;
    const std::uint32_t entry = core ? 3 : 4;
    const std::uint32_t pixelStart = 14 + s.HeaderSize + (masksAfter ? 4 * std::uint32_t(s.Masks.size()) : 0) +
                                     entry * std::uint32_t(s.Table.size()) + s.Gap;
    TByteSink b;
    b.U8(s.Signature[0]);
    b.U8(s.Signature[1]);
    b.U32(pixelStart + std::uint32_t(s.Pixels.size()));
    b.U32(0);
    b.U32(s.OffBits.value_or(pixelStart));
    b.U32(s.HeaderSize);
    if (core) {
        b.U16(std::uint32_t(s.Width));
        b.U16(std::uint32_t(s.Height));
        b.U16(s.Planes);
        b.U16(s.BitCount);
    } else {
        b.U32(std::uint32_t(s.Width));
        b.U32(std::uint32_t(s.Height));
        b.U16(s.Planes);
        b.U16(s.BitCount);
        b.U32(s.Compression);
        b.U32(s.SizeImage);
        b.U32(std::uint32_t(s.XPels));
        b.U32(std::uint32_t(s.YPels));
        b.U32(s.ClrUsed);
        b.U32(s.ClrImportant);
        std::uint32_t written = 40;
        if (!masksAfter) {
            for (std::uint32_t m : s.Masks) { b.U32(m); written += 4; }
        }
        while (written < s.HeaderSize) { b.U8(0); ++written; }
        if (masksAfter)
            for (std::uint32_t m : s.Masks) b.U32(m);
    }
    for (const TRGBQuad& q : s.Table) {
        b.U8(q.Blue);
        b.U8(q.Green);
        b.U8(q.Red);
        if (!core) b.U8(0x77);  // the reserved byte is not part of the colour
    }
    for (std::uint32_t k = 0; k < s.Gap; ++k) b.U8(0xEE);
    b.Out.insert(b.Out.end(), s.Pixels.begin(), s.Pixels.end());
    return b.Out;
}

std::uint32_t Field32(const Bytes& f, std::size_t at) {
    return std::uint32_t(f.at(at)) | std::uint32_t(f.at(at + 1)) << 8 | std::uint32_t(f.at(at + 2)) << 16 |
           std::uint32_t(f.at(at + 3)) << 24;
}
std::uint32_t Field16(const Bytes& f, std::size_t at) { return f.at(at) | f.at(at + 1) << 8; }

std::vector<TRGBQuad> Ramp(std::size_t n) {
    std::vector<TRGBQuad> table(n);
    for (std::size_t k = 0; k < n; ++k)
        table[k] = {std::uint8_t(k * 7), std::uint8_t(255 - k), std::uint8_t(k * 3 + 1), 0};
    return table;
}

// Fills the significant bytes of every row with a fixed pseudo-random pattern.
void Scribble(TBitmap& b, std::uint32_t seed) {
    const std::size_t used = (std::size_t(b.Width()) * b.Layout().BitCount + 7) / 8;
    for (std::int32_t y = 0; y < b.Height(); ++y) {
        std::uint8_t* row = b.ScanLine(y);
        for (std::size_t i = 0; i < used; ++i) {
            seed = seed * 1664525u + 1013904223u;
            row[i] = std::uint8_t(seed >> 24);
        }
    }
}

// A bitmap that a failed load must leave as it is.
TBitmap Sentinel() {
    TStoreFormat format;
    format.Layout = TPixelLayout::Rgb(24);
    TBitmap b;
    b.Allocate(3, 2, format);
    Scribble(b, 99);
    return b;
}

void ExpectRejected(const Bytes& file) {
    TBitmap target = Sentinel();
    const TBitmap before = target;
    try {
        LoadBmp(target, file);
        ADD_FAILURE() << "load succeeded";
    } catch (const TPictureError& e) {
        EXPECT_EQ(e.GetKind(), TPictureError::Kind::InvalidBitmap) << e.what();
    }
    EXPECT_EQ(target.Width(), 3);
    EXPECT_EQ(target.Height(), 2);
    EXPECT_TRUE(target.SharesStoreWith(before));
}

TBitmap Load(const Bytes& file) {
    TBitmap b;
    LoadBmp(b, file);
    return b;
}

// --- Round trips through the writer -------------------------------------------------------

struct TRoundTrip {
    const char* Name;
    TPixelLayout Layout;
    std::size_t PaletteSize;
    std::uint32_t OffBits, Compression, ClrUsed;
};

// Its name, for the test listing (not a dump of its bytes).
void PrintTo(const TRoundTrip& c, std::ostream* out) { *out << c.Name; }

class BmpRoundTrip : public ::testing::TestWithParam<std::tuple<TRoundTrip, bool>> {};

TEST_P(BmpRoundTrip, ReadsBackWhatWasWritten) {
    const auto& [c, topDown] = GetParam();
    TStoreFormat format;
    format.Layout = c.Layout;
    format.Palette = Ramp(c.PaletteSize);
    format.TopDown = topDown;
    format.File = {false, 2835, 1417, std::uint32_t(c.PaletteSize), 3};
    TBitmap picture;
    picture.Allocate(13, 7, format);
    Scribble(picture, 1);

    const Bytes file = SaveBmp(picture);
    ASSERT_GE(file.size(), 54u);
    EXPECT_EQ(Field32(file, 2), file.size());
    EXPECT_EQ(Field32(file, 10), c.OffBits);
    EXPECT_EQ(Field32(file, 14), 40u);
    EXPECT_EQ(std::int32_t(Field32(file, 22)), topDown ? -7 : 7);
    EXPECT_EQ(Field32(file, 30), c.Compression);
    EXPECT_EQ(Field32(file, 34), file.size() - c.OffBits);
    EXPECT_EQ(Field32(file, 46), c.ClrUsed);

    const TBitmap back = Load(file);
    EXPECT_EQ(back.Width(), 13);
    EXPECT_EQ(back.Height(), 7);
    EXPECT_EQ(back.TopDown(), topDown);
    EXPECT_EQ(back.Palette(), format.Palette);
    const auto stored = picture.StoreBytes();
    const auto reread = back.StoreBytes();
    EXPECT_TRUE(std::equal(stored.begin(), stored.end(), reread.begin(), reread.end()));
    if (c.Layout.Device) {
        // The device format is written as plain 32 bits and comes back as such.
        EXPECT_EQ(back.Layout(), TPixelLayout::Rgb(32));
        EXPECT_EQ(back.Format().File.XPelsPerMeter, 2835);
    } else {
        EXPECT_EQ(back.Layout(), c.Layout);
        EXPECT_EQ(back.Format().File, format.File);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormat, BmpRoundTrip,
    ::testing::Combine(
        ::testing::Values(
            TRoundTrip{"Indexed1", TPixelLayout::Indexed(1), 2, 62, 0, 2},
            TRoundTrip{"Indexed4", TPixelLayout::Indexed(4), 16, 118, 0, 16},
            TRoundTrip{"Indexed8", TPixelLayout::Indexed(8), 256, 1078, 0, 256},
            TRoundTrip{"Rgb555", TPixelLayout::Rgb(16), 0, 54, 0, 0},
            TRoundTrip{"Fields565", TPixelLayout::Masks(16, 0xF800, 0x07E0, 0x001F), 0, 66, 3, 0},
            TRoundTrip{"Rgb24", TPixelLayout::Rgb(24), 0, 54, 0, 0},
            TRoundTrip{"Rgb32", TPixelLayout::Rgb(32), 0, 54, 0, 0},
            TRoundTrip{"Fields10", TPixelLayout::Masks(32, 0x3FF00000, 0x000FFC00, 0x000003FF), 0, 66, 3, 0},
            TRoundTrip{"Device", TPixelLayout::DeviceFormat(), 0, 54, 0, 0},
            TRoundTrip{"Rgb24WithPalette", TPixelLayout::Rgb(24), 5, 74, 0, 5}),
        ::testing::Bool()),
    [](const auto& row) {
        return std::string(std::get<0>(row.param).Name) + (std::get<1>(row.param) ? "TopDown" : "BottomUp");
    });

TEST(BmpCodec, EmptyBitmapSavesNoBytesAndEmptyFileEmptiesTarget) {
    EXPECT_TRUE(SaveBmp(TBitmap()).empty());
    TBitmap target = Sentinel();
    LoadBmp(target, {});
    EXPECT_TRUE(target.Empty());
    EXPECT_EQ(target.Width(), 0);
    EXPECT_EQ(target.Height(), 0);
}

// --- Reading files put together by hand ----------------------------------------------------

// 2 x 2, 24 bits: the first row of the file is red, green; the second blue, white.
TBmpFileFields TwoByTwo() {
    TBmpFileFields s;
    s.Width = 2;
    s.Height = 2;
    s.Pixels = {0, 0, 255, 0, 255, 0, 0, 0,  255, 0, 0, 255, 255, 255, 0, 0};
    return s;
}

TEST(BmpCodec, RowOrderFollowsTheSignOfTheHeightAndIsWrittenBack) {
    for (const bool topDown : {false, true}) {
        TBmpFileFields s = TwoByTwo();
        s.Height = topDown ? -2 : 2;
        const Bytes file = MakeBmp(s);
        const TBitmap b = Load(file);
        EXPECT_EQ(b.TopDown(), topDown);
        const std::int32_t firstRow = topDown ? 0 : 1, secondRow = 1 - firstRow;
        EXPECT_EQ(b.Pixel(0, firstRow), RGB(255, 0, 0));
        EXPECT_EQ(b.Pixel(1, firstRow), RGB(0, 255, 0));
        EXPECT_EQ(b.Pixel(0, secondRow), RGB(0, 0, 255));
        EXPECT_EQ(b.Pixel(1, secondRow), clWhite);
        const Bytes saved = SaveBmp(b);
        EXPECT_EQ(std::int32_t(Field32(saved, 22)), s.Height);
        EXPECT_TRUE(std::equal(saved.begin() + 54, saved.end(), s.Pixels.begin(), s.Pixels.end()));
    }
}

TEST(BmpCodec, Os2CoreHeaderIsWrittenBackInItsOwnForm) {
    TBmpFileFields s;
    s.HeaderSize = 12;
    s.Width = 3;
    s.Height = 2;
    s.BitCount = 4;
    s.Table = Ramp(16);
    s.Pixels = {0x12, 0x30, 0, 0, 0xAB, 0xC0, 0, 0};
    const Bytes file = MakeBmp(s);
    TBitmap b = Load(file);
    EXPECT_EQ(b.Layout(), TPixelLayout::Indexed(4));
    EXPECT_TRUE(b.Format().File.Os2Header);
    EXPECT_EQ(b.Palette(), Ramp(16));
    EXPECT_EQ(b.RawPixel(0, 1), 1u);
    EXPECT_EQ(b.RawPixel(2, 0), 0xCu);
    EXPECT_EQ(SaveBmp(b), file);

    b.SetWidth(5);
    b.SetHeight(4);
    const Bytes resized = SaveBmp(b);
    EXPECT_EQ(Field32(resized, 14), 12u);
    EXPECT_EQ(Field16(resized, 18), 5u);
    EXPECT_EQ(Field16(resized, 20), 4u);
    EXPECT_EQ(Field32(resized, 10), 14u + 12 + 16 * 3);
    EXPECT_EQ(Field32(resized, 2), resized.size());
    const TBitmap back = Load(resized);
    EXPECT_TRUE(back.Format().File.Os2Header);
    EXPECT_EQ(back.Width(), 5);
    EXPECT_EQ(back.Palette(), Ramp(16));
    EXPECT_EQ(back.RawPixel(0, 0), 0xAu);
}

TEST(BmpCodec, Os2PicturesTheCoreHeaderCannotDescribeGetTheInfoHeader) {
    struct TCase {
        const char* Name;
        std::int32_t Width;
        TPixelLayout Layout;
        bool TopDown;
    };
    for (const TCase& c : {TCase{"wider than 16 bits", 70000, TPixelLayout::Indexed(1), false},
                           TCase{"top-down", 4, TPixelLayout::Indexed(8), true},
                           TCase{"bit fields", 4, TPixelLayout::Masks(16, 0xF800, 0x07E0, 0x001F), false},
                           TCase{"device", 4, TPixelLayout::DeviceFormat(), false}}) {
        SCOPED_TRACE(c.Name);
        TStoreFormat format;
        format.Layout = c.Layout;
        format.Palette = Ramp(c.Layout.IsIndexed() && !c.Layout.Device ? 2 : 0);
        format.TopDown = c.TopDown;
        format.File.Os2Header = true;
        TBitmap b;
        b.Allocate(c.Width, 2, format);
        Scribble(b, 5);
        const Bytes file = SaveBmp(b);
        EXPECT_EQ(Field32(file, 14), 40u);
        const TBitmap back = Load(file);
        EXPECT_EQ(back.Width(), c.Width);
        EXPECT_EQ(back.TopDown(), c.TopDown);
        const auto a = b.StoreBytes(), z = back.StoreBytes();
        EXPECT_TRUE(std::equal(a.begin(), a.end(), z.begin(), z.end()));
    }
}

TEST(BmpCodec, ClrUsedCountsOnlyTheEntriesWritten) {
    // A count held without a table would make a reader take the pixels for colours.
    TStoreFormat format;
    format.Layout = TPixelLayout::Rgb(24);
    format.File.ClrUsed = 7;
    TBitmap b;
    b.Allocate(2, 2, format);
    Scribble(b, 3);
    const Bytes file = SaveBmp(b);
    EXPECT_EQ(Field32(file, 46), 0u);
    EXPECT_EQ(Field32(file, 10), 54u);
    const TBitmap back = Load(file);
    const auto a = b.StoreBytes(), z = back.StoreBytes();
    EXPECT_TRUE(std::equal(a.begin(), a.end(), z.begin(), z.end()));
}

TEST(BmpCodec, FourBitsWithoutClrUsedHaveSixteenColours) {
    TBmpFileFields s;
    s.BitCount = 4;
    s.Width = 2;
    s.Table = Ramp(16);
    s.Pixels = {0xF1, 0, 0, 0};
    const TBitmap b = Load(MakeBmp(s));
    ASSERT_EQ(b.Palette().size(), 16u);
    EXPECT_EQ(b.Pixel(0, 0), ToColor(Ramp(16)[15]));
    const Bytes saved = SaveBmp(b);
    EXPECT_EQ(Field32(saved, 46), 16u);
    EXPECT_EQ(Field32(saved, 10), 14u + 40 + 64);
}

TEST(BmpCodec, TablesMadeByTheProgramAreWrittenWholeAndReadTablesAsRead) {
    // A decoded gray JPEG holds 236 entries; its file gets all 256, the rest zero. A table read
    // from a file keeps the count the file gave it.
    for (const std::uint16_t bits : {1, 4, 8}) {
        const std::size_t whole = std::size_t{1} << bits, held = whole == 256 ? 236 : whole - 1;
        SCOPED_TRACE(testing::Message() << bits << " bits, " << held << " entries");
        TStoreFormat format;
        format.Layout = TPixelLayout::Indexed(bits);
        format.Palette = Ramp(held);
        TBitmap made;
        made.Allocate(5, 3, format);
        Scribble(made, 4);
        const Bytes file = SaveBmp(made);
        EXPECT_EQ(Field32(file, 46), whole);
        EXPECT_EQ(Field32(file, 10), 14 + 40 + 4 * whole);
        for (std::size_t k = held; k < whole; ++k) EXPECT_EQ(Field32(file, 54 + 4 * k), 0u) << k;

        const TBitmap read = Load(file);
        ASSERT_EQ(read.Palette().size(), whole);
        EXPECT_TRUE(std::equal(format.Palette.begin(), format.Palette.end(), read.Palette().begin()));
        const auto a = made.StoreBytes(), z = read.StoreBytes();
        EXPECT_TRUE(std::equal(a.begin(), a.end(), z.begin(), z.end()));

        TBmpFileFields s;
        s.BitCount = bits;
        s.Width = 1;
        s.ClrUsed = std::uint32_t(held);
        s.Table = Ramp(held);
        s.Pixels = {0, 0, 0, 0};
        const Bytes again = SaveBmp(Load(MakeBmp(s)));
        EXPECT_EQ(Field32(again, 46), held);
        EXPECT_EQ(Field32(again, 10), 14 + 40 + 4 * held);
    }
}

TEST(BmpCodec, MissingPixelDataReadsAsZero) {
    TBmpFileFields s = TwoByTwo();
    s.Pixels.resize(11);  // the second row loses its second pixel and padding
    TBitmap b = Load(MakeBmp(s));
    EXPECT_EQ(b.Pixel(0, 1), RGB(255, 0, 0));
    EXPECT_EQ(b.Pixel(0, 0), RGB(0, 0, 255));
    EXPECT_EQ(b.Pixel(1, 0), clBlack);

    s.Pixels.clear();
    b = Load(MakeBmp(s));
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(b.Pixel(1, 1), clBlack);
}

TEST(BmpCodec, SizeImageNeverCutsOrLengthensTheRows) {
    for (const std::uint32_t sizeImage : {1u, 8u, 4000u}) {
        TBmpFileFields s = TwoByTwo();
        s.SizeImage = sizeImage;
        s.Pixels.resize(s.Pixels.size() + 8, 0x55);  // bytes after the rows are not pixels
        const TBitmap b = Load(MakeBmp(s));
        EXPECT_EQ(b.Pixel(1, 0), clWhite) << sizeImage;
        EXPECT_EQ(b.StoreBytes().size(), 16u);
    }
}

TEST(BmpCodec, PixelDataStartsAtBfOffBitsWhenItIsUsable) {
    struct TCase {
        const char* Name;
        std::uint32_t Gap;
        std::optional<std::uint32_t> OffBits;
        std::uint32_t First;  // the first index read
    };
    const std::uint32_t tableEnd = 14 + 40 + 8;
    // Gap bytes are 0xEE: reading them as pixels shows.
    for (const TCase& c : {TCase{"gap", 6, std::nullopt, 1},
                           TCase{"no gap", 0, std::nullopt, 1},
                           TCase{"offset inside the table", 0, tableEnd - 4, 1},
                           TCase{"offset past the end", 0, 5000, 1},
                           TCase{"offset inside the gap", 6, tableEnd + 2, 0xEE}}) {
        TBmpFileFields s;
        s.BitCount = 8;
        s.Width = 4;
        s.Table = Ramp(2);
        s.ClrUsed = 2;
        s.Gap = c.Gap;
        s.OffBits = c.OffBits;
        s.Pixels = {1, 0, 1, 1};
        const TBitmap b = Load(MakeBmp(s));
        EXPECT_EQ(b.RawPixel(0, 0), c.First) << c.Name;
        if (c.First == 1) {
            EXPECT_EQ(b.RawPixel(3, 0), 1u) << c.Name;
        }
    }
}

TEST(BmpCodec, MasksAreTakenFromEveryHeaderSize) {
    for (const std::uint32_t headerSize : {40u, 52u, 56u, 108u, 124u}) {
        TBmpFileFields s;
        s.HeaderSize = headerSize;
        s.BitCount = 16;
        s.Compression = 3;
        s.Width = 2;
        s.Masks = {0x7C00, 0x03E0, 0x001F};
        if (headerSize >= 56) s.Masks.push_back(0x8000);  // alpha, ignored
        s.Pixels = {0x00, 0x7C, 0x1F, 0x00};
        const TBitmap b = Load(MakeBmp(s));
        EXPECT_EQ(b.Layout(), TPixelLayout::Masks(16, 0x7C00, 0x03E0, 0x001F)) << headerSize;
        EXPECT_EQ(b.RawPixel(0, 0), 0x7C00u) << headerSize;
        EXPECT_EQ(b.RawPixel(1, 0), 0x001Fu) << headerSize;
        // Masks of a newer header mean nothing without bit fields: plain 5-5-5.
        s.Compression = 0;
        EXPECT_EQ(Load(MakeBmp(s)).Layout(), TPixelLayout::Rgb(16)) << headerSize;
    }
}

TEST(BmpCodec, NewerHeaderIsFollowedByItsColourTable) {
    TBmpFileFields s;
    s.HeaderSize = 124;
    s.BitCount = 8;
    s.Width = 1;
    s.ClrUsed = 3;
    s.Table = Ramp(3);
    s.Pixels = {2, 0, 0, 0};
    const TBitmap b = Load(MakeBmp(s));
    EXPECT_EQ(b.Palette(), Ramp(3));
    EXPECT_EQ(b.Pixel(0, 0), ToColor(Ramp(3)[2]));
}

TEST(BmpCodec, BitFieldsWithoutMasksUseTheDefaults) {
    for (const std::uint16_t bits : {16, 32}) {
        TBmpFileFields s;
        s.BitCount = bits;
        s.Compression = 3;
        s.Masks = {0, 0, 0};
        s.Pixels = bits == 16 ? Bytes{0x1F, 0xF8, 0, 0} : Bytes{0, 0, 0xFF, 0};
        const TBitmap b = Load(MakeBmp(s));
        EXPECT_EQ(b.Layout().RedMask, bits == 16 ? 0xF800u : 0xFF0000u);
        EXPECT_EQ(b.Layout().GreenMask, bits == 16 ? 0x07E0u : 0x00FF00u);
        EXPECT_EQ(b.Layout().BlueMask, bits == 16 ? 0x001Fu : 0x0000FFu);
        if (bits == 32) {
            EXPECT_EQ(b.Pixel(0, 0), RGB(255, 0, 0));
        }
    }
}

TEST(BmpCodec, PaletteAboveEightBitsIsKeptAndWrittenBack) {
    TBmpFileFields s = TwoByTwo();
    s.ClrUsed = 2;
    s.Table = Ramp(2);
    const TBitmap b = Load(MakeBmp(s));
    EXPECT_EQ(b.Layout(), TPixelLayout::Rgb(24));
    EXPECT_EQ(b.Palette(), Ramp(2));
    EXPECT_EQ(b.Pixel(1, 0), clWhite);
    const Bytes saved = SaveBmp(b);
    EXPECT_EQ(Field32(saved, 10), 14u + 40 + 8);
    EXPECT_EQ(Field32(saved, 46), 2u);
}

// --- Run-length encoded files ---------------------------------------------------------------

TBmpFileFields Rle(std::uint16_t bits, std::int32_t width, std::int32_t height, std::vector<TRGBQuad> table, Bytes data) {
    TBmpFileFields s;
    s.BitCount = bits;
    s.Compression = bits == 8 ? 1 : 2;
    s.Width = width;
    s.Height = height;
    s.ClrUsed = std::uint32_t(table.size());
    s.Table = std::move(table);
    s.SizeImage = std::uint32_t(data.size());
    s.Pixels = std::move(data);
    return s;
}

void ExpectRows(const TBitmap& b, const std::vector<TRGBQuad>& table, const std::vector<std::vector<int>>& rows) {
    ASSERT_EQ(b.Height(), std::int32_t(rows.size()));
    for (std::int32_t y = 0; y < b.Height(); ++y) {
        ASSERT_EQ(b.Width(), std::int32_t(rows[y].size()));
        for (std::int32_t x = 0; x < b.Width(); ++x)
            EXPECT_EQ(b.Pixel(x, y), ToColor(table[rows[y][x]])) << "(" << x << ", " << y << ")";
    }
}

TEST(BmpCodec, Rle8DecodesRunsDeltaEndOfLineAndAbsoluteRuns) {
    const std::vector<TRGBQuad> table = {{30, 20, 10, 0}, {0, 0, 255, 0}, {0, 255, 0, 0}, {255, 0, 0, 0}};
    const Bytes data = {
        3, 1,              // bottom row: three of 1
        0, 3, 2, 3, 2, 0,  // absolute 2 3 2, padded to an even length
        0, 0,              // end of line
        0, 2, 2, 1,        // two right, one up: the top row, x 2
        2, 3,              // two of 3
        0, 1,              // end of bitmap
    };
    const TBitmap b = Load(MakeBmp(Rle(8, 6, 3, table, data)));
    EXPECT_TRUE(b.Layout().Device);
    EXPECT_TRUE(b.Palette().empty());
    EXPECT_FALSE(b.TopDown());
    // Pixels no run reaches keep colour 0.
    ExpectRows(b, table, {{0, 0, 3, 3, 0, 0}, {0, 0, 0, 0, 0, 0}, {1, 1, 1, 2, 3, 2}});
}

TEST(BmpCodec, Rle4DecodesAlternatingNibblesAndOddAbsoluteRuns) {
    const std::vector<TRGBQuad> table = Ramp(16);
    const Bytes data = {
        5, 0x12,                   // 1 2 1 2 1
        0, 0,                      // end of line
        0, 2, 1, 0,                // one right
        0, 5, 0x34, 0x56, 0x70, 0, // absolute 3 4 5 6 7, three bytes padded to four
        1, 0xF0,                   // one of F
        0, 1,
    };
    const TBitmap b = Load(MakeBmp(Rle(4, 7, 2, table, data)));
    EXPECT_TRUE(b.Layout().Device);
    ExpectRows(b, table, {{0, 3, 4, 5, 6, 7, 15}, {1, 2, 1, 2, 1, 0, 0}});
}

TEST(BmpCodec, RleDataEndingEarlyLeavesTheRestAtColourZero) {
    const std::vector<TRGBQuad> table = Ramp(4);
    // Ends after a run; and inside an absolute run, whose present pixels count.
    ExpectRows(Load(MakeBmp(Rle(8, 4, 2, table, {2, 1}))), table, {{0, 0, 0, 0}, {1, 1, 0, 0}});
    ExpectRows(Load(MakeBmp(Rle(8, 4, 2, table, {0, 4, 3, 2}))), table, {{0, 0, 0, 0}, {3, 2, 0, 0}});
    ExpectRows(Load(MakeBmp(Rle(8, 4, 2, table, {0, 0, 0}))), table, {{0, 0, 0, 0}, {0, 0, 0, 0}});
}

TEST(BmpCodec, MalformedRleIsRejected) {
    struct TCase {
        const char* Name;
        std::uint16_t Bits;
        Bytes Data;
    };
    const std::vector<TCase> cases = {
        {"run past the row", 8, {5, 1}},
        {"run after a full row", 8, {4, 1, 1, 1}},
        {"absolute past the row", 8, {2, 1, 0, 3, 1, 1, 1, 0}},
        {"delta past the right", 8, {0, 2, 5, 0}},
        {"delta past the top", 8, {0, 2, 0, 3}},
        {"run above the picture", 8, {0, 0, 0, 0, 1, 1}},
        {"end of line above the picture", 8, {0, 0, 0, 0, 0, 0}},
        {"rle4 run past the row", 4, {5, 0x11}},
        {"rle4 absolute past the row", 4, {0, 5, 0x11, 0x11, 0x10, 0}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ExpectRejected(MakeBmp(Rle(c.Bits, 4, 2, Ramp(2), c.Data)));
    }
}

// --- Files that must not load ----------------------------------------------------------------

TEST(BmpCodec, BadHeadersAreRejectedAndLeaveTheTarget) {
    struct TCase {
        const char* Name;
        void (*Change)(TBmpFileFields&);
        std::size_t Size = 200;  // the file is cut or padded to this size: only the headers decide
    };
    const std::vector<TCase> cases = {
        {"signature", [](TBmpFileFields& s) { s.Signature[1] = 'A'; }},
        {"planes 0", [](TBmpFileFields& s) { s.Planes = 0; }},
        {"planes 2", [](TBmpFileFields& s) { s.Planes = 2; }},
        {"bit count 2", [](TBmpFileFields& s) { s.BitCount = 2; }},
        {"bit count 0", [](TBmpFileFields& s) { s.BitCount = 0; }},
        {"bit count 64", [](TBmpFileFields& s) { s.BitCount = 64; }},
        {"compression 4", [](TBmpFileFields& s) { s.Compression = 4; }},
        {"compression 6", [](TBmpFileFields& s) { s.Compression = 6; }},
        {"bit fields at 24 bits", [](TBmpFileFields& s) { s.Compression = 3; s.Masks = {1, 2, 4}; }},
        {"rle8 at 24 bits", [](TBmpFileFields& s) { s.Compression = 1; }},
        {"rle4 at 8 bits", [](TBmpFileFields& s) { s.Compression = 2; s.BitCount = 8; }},
        {"top-down rle", [](TBmpFileFields& s) { s.Compression = 1; s.BitCount = 8; s.Height = -2; }},
        {"header size 20", [](TBmpFileFields& s) { s.HeaderSize = 20; }},
        {"header past the end", [](TBmpFileFields& s) { s.HeaderSize = 4000; }, 100},
        {"masks past the end", [](TBmpFileFields& s) { s.BitCount = 32; s.Compression = 3; }, 60},
        {"table past the end", [](TBmpFileFields& s) { s.BitCount = 8; s.Table = Ramp(256); }, 54 + 1020},
        {"width 0", [](TBmpFileFields& s) { s.Width = 0; }},
        {"width negative", [](TBmpFileFields& s) { s.Width = -2; }},
        {"height 0", [](TBmpFileFields& s) { s.Height = 0; }},
        {"height INT32_MIN", [](TBmpFileFields& s) { s.Height = INT32_MIN; }},
        {"huge", [](TBmpFileFields& s) { s.Width = 100000; s.Height = 100000; }},
        {"huge top-down", [](TBmpFileFields& s) { s.Width = 100000; s.Height = -100000; }},
        // Its 8-bit rows would fit a store; the device-format picture it decodes into does not.
        {"huge rle", [](TBmpFileFields& s) { s.Compression = 1; s.BitCount = 8; s.Width = 16384; s.Height = 16384; }},
        {"widest", [](TBmpFileFields& s) { s.Width = INT32_MAX; s.BitCount = 32; }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TBmpFileFields s = TwoByTwo();
        c.Change(s);
        Bytes file = MakeBmp(s);
        file.resize(c.Size);
        ExpectRejected(file);
    }
    ExpectRejected({'B', 'M', 0, 0, 0});
    ExpectRejected({'B'});
}

TEST(BmpCodec, SizeIsReadFromTheHeadersAlone) {
    struct TCase {
        const char* Name;
        TBmpFileFields Fields;
        std::int32_t Width, Height;
    };
    TBmpFileFields bottomUp;
    bottomUp.Width = 300;
    bottomUp.Height = 200;  // no pixel data at all: the headers decide
    TBmpFileFields topDown = bottomUp;
    topDown.Height = -200;
    TBmpFileFields core;
    core.HeaderSize = 12;
    core.Width = 7;
    core.Height = 5;
    TBmpFileFields rle;
    rle.Compression = 1;
    rle.BitCount = 8;
    rle.Table = Ramp(256);
    rle.Width = 4000;
    rle.Height = 3000;
    for (const TCase& c : {TCase{"bottom-up", bottomUp, 300, 200}, TCase{"top-down", topDown, 300, 200},
                           TCase{"core header", core, 7, 5}, TCase{"rle", rle, 4000, 3000}}) {
        SCOPED_TRACE(c.Name);
        const TBmpSize size = ReadBmpSize(MakeBmp(c.Fields));
        EXPECT_EQ(size.Width, c.Width);
        EXPECT_EQ(size.Height, c.Height);
    }
    TBmpFileFields huge;
    huge.Width = 100000;
    huge.Height = 100000;
    EXPECT_THROW(ReadBmpSize(MakeBmp(huge)), TPictureError);
    EXPECT_THROW(ReadBmpSize(Bytes{'B', 'M', 0}), TPictureError);
}

TEST(BmpCodec, LargestPictureWithinTheStoreLimitIsNotRefusedForItsSize) {
    // A 1-bit row of 65536 pixels is 8 KiB; 2048 such rows are far inside the limit but the
    // file holds none of them: the picture loads as zeros.
    TBmpFileFields s;
    s.BitCount = 1;
    s.Width = 65536;
    s.Height = 2048;
    s.Table = Ramp(2);
    const TBitmap b = Load(MakeBmp(s));
    EXPECT_EQ(b.Width(), 65536);
    EXPECT_EQ(b.RawPixel(65535, 2047), 0u);
}

}  // namespace
}  // namespace tavelix
