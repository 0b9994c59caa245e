#include <gtest/gtest.h>

#include <map>
#include <set>
#include <utility>

#include "raster/bitmap.h"
#include "raster/canvas.h"
#include "testutil.h"

namespace tavelix {
namespace {

using test::AllFormats;
using test::MakeNoise;
using test::SamePixels;

TBitmap Solid(std::int32_t w, std::int32_t h, const TStoreFormat& format, TColor color) {
    TBitmap b;
    b.Allocate(w, h, format);
    for (std::int32_t y = 0; y < h; ++y)
        for (std::int32_t x = 0; x < w; ++x) b.SetPixel(x, y, color);
    return b;
}

TEST(CopyBlock, EqualFormatsCopyExactlyInEveryFormat) {
    for (const auto& [name, format] : AllFormats()) {
        SCOPED_TRACE(name);
        TBitmap source = MakeNoise(37, 11, 21, format);
        TBitmap dest = MakeNoise(40, 13, 22, format);
        const TBitmap before(dest);
        dest.Canvas().CopyBlock(Rect(3, 2, 3 + 29, 2 + 9), source.Canvas(), Rect(5, 1, 5 + 29, 1 + 9));
        for (std::int32_t y = 0; y < dest.Height(); ++y)
            for (std::int32_t x = 0; x < dest.Width(); ++x) {
                const bool inside = x >= 3 && x < 32 && y >= 2 && y < 11;
                const std::uint32_t expected = inside ? source.RawPixel(x + 2, y - 1) : before.RawPixel(x, y);
                ASSERT_EQ(dest.RawPixel(x, y), expected) << x << "," << y;
            }
    }
}

TEST(CopyBlock, ConvertsColoursBetweenFormats) {
    TStoreFormat four;
    four.Layout = TPixelLayout::Indexed(4);
    four.Palette.assign(16, TRGBQuad{0, 0, 0, 0});
    four.Palette[3] = ToQuad(RGB(200, 0, 0));
    four.Palette[7] = ToQuad(RGB(0, 0, 250));
    TStoreFormat rgb555;
    rgb555.Layout = TPixelLayout::Rgb(16);

    struct Case {
        const char* name;
        TStoreFormat from, to;
        TColor color, expected;
    } cases[] = {
        {"index to colour", four, test::Rgb24Format(), RGB(200, 0, 0), RGB(200, 0, 0)},
        {"colour to nearest entry", test::Rgb24Format(), four, RGB(190, 30, 20), RGB(200, 0, 0)},
        {"colour to nearest entry, blue", test::DeviceFormat(), four, RGB(20, 20, 230), RGB(0, 0, 250)},
        {"colour to 5-5-5", test::Rgb24Format(), rgb555, RGB(255, 132, 3), RGB(255, 132, 0)},
        {"colour to 5-6-5", test::DeviceFormat(), AllFormats()[4].Format, RGB(255, 129, 8), RGB(255, 130, 8)},
        {"gray to device", test::Gray8Format(), test::DeviceFormat(), RGB(77, 77, 77), RGB(77, 77, 77)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TBitmap source = Solid(2, 2, c.from, c.color);
        TBitmap dest = Solid(2, 2, c.to, clBlack);
        dest.Canvas().CopyBlock(Rect(0, 0, 2, 2), source.Canvas(), Rect(0, 0, 2, 2));
        EXPECT_EQ(dest.Pixel(1, 1), c.expected);
    }
}

TEST(CopyBlock, ColoursIntoAShortTableTakeAnEntryItHas) {
    // Black is nearer to none of the entries than to red: the indices past the table, which
    // a saved file would not have, are never chosen.
    for (const std::uint16_t bits : {1, 4, 8}) {
        SCOPED_TRACE(testing::Message() << bits << " bits");
        TStoreFormat shortTable;
        shortTable.Layout = TPixelLayout::Indexed(bits);
        shortTable.Palette = {ToQuad(clWhite), ToQuad(RGB(200, 0, 0))};
        TBitmap dest = Solid(2, 2, shortTable, clWhite);
        dest.SetPixel(0, 0, clBlack);
        EXPECT_EQ(dest.RawPixel(0, 0), 1u);
        TBitmap source = Solid(2, 2, test::Rgb24Format(), RGB(10, 10, 10));
        dest.Canvas().CopyBlock(Rect(0, 0, 2, 2), source.Canvas(), Rect(0, 0, 2, 2));
        EXPECT_EQ(dest.RawPixel(1, 1), 1u);
    }
}

TEST(CopyBlocks, SameAsOneCopyAfterTheOther) {
    for (const auto& [name, format] : AllFormats()) {
        SCOPED_TRACE(name);
        TBitmap source = MakeNoise(30, 20, 31, format);
        std::vector<TBlockMove> moves;
        for (std::int32_t s = 0; s < 10; ++s)  // columns 3 wide, in reverse order
            moves.push_back({Rect(3 * (9 - s), 0, 3 * (9 - s) + 3, 20), Rect(3 * s, 0, 3 * s + 3, 20)});
        moves.push_back({Rect(0, 18, 30, 20), Rect(0, 0, 30, 2)});  // rows overwrite some columns

        TBitmap batched(MakeNoise(30, 20, 32, format)), single(batched);
        const TBitmap sharer(batched);  // the batched copy must also work from a shared store
        batched.Canvas().CopyBlocks(moves, source.Canvas());
        for (const TBlockMove& m : moves) single.Canvas().CopyBlock(m.Dest, source.Canvas(), m.Source);
        EXPECT_TRUE(SamePixels(batched, single)) << test::FirstDifference(batched, single);
        EXPECT_FALSE(SamePixels(sharer, batched));
    }
}

// Whether every bit after the last pixel of every row is zero.
bool RowPaddingIsZero(const TBitmap& bitmap) {
    const std::uint64_t usedBits = std::uint64_t(bitmap.Width()) * bitmap.Layout().BitCount;
    const std::size_t full = std::size_t(usedBits / 8);
    const unsigned rest = unsigned(usedBits % 8);
    for (std::int32_t y = 0; y < bitmap.Height(); ++y) {
        const std::uint8_t* row = bitmap.ScanLine(y);
        if (rest && (row[full] & (0xFF >> rest))) return false;
        for (std::size_t i = full + (rest ? 1 : 0); i < bitmap.RowBytes(); ++i)
            if (row[i]) return false;
    }
    return true;
}

// Leaves freed blocks of this size full of 0xA5 for the next allocations to pick up.
void DirtyTheHeap(std::size_t size) {
    std::vector<std::vector<std::uint8_t>> blocks(16, std::vector<std::uint8_t>(size, 0xA5));
}

// The row padding goes to bitmap files as it is, so copies that build a new store must not
// leave it as whatever the heap held (a scramble writes its row strips this way).
TEST(CopyBlocks, NewStoresGetZeroRowPadding) {
    for (const auto& [name, format] : AllFormats()) {
        SCOPED_TRACE(name);
        TBitmap source = MakeNoise(13, 40, 41, format);  // a width that leaves padding
        TBitmap rows = MakeNoise(13, 40, 42, format), stretched(rows);
        const TBitmap sharer(rows);  // shared: the copy makes a new store
        std::vector<TBlockMove> moves;
        for (std::int32_t s = 0; s < 20; ++s) moves.push_back({Rect(0, 2 * s, 13, 2 * s + 2), Rect(0, 38 - 2 * s, 13, 40 - 2 * s)});
        DirtyTheHeap(rows.StoreBytes().size());
        rows.Canvas().CopyBlocks(moves, source.Canvas());
        EXPECT_FALSE(rows.SharesStoreWith(sharer));
        EXPECT_TRUE(RowPaddingIsZero(rows));

        DirtyTheHeap(stretched.StoreBytes().size());
        stretched.Canvas().DrawStretched(Rect(0, 0, 13, 40), &source);  // every pixel drawn anew
        EXPECT_TRUE(RowPaddingIsZero(stretched));
    }
}

TEST(DrawStretched, NearestNeighbourWithoutBlending) {
    for (const auto& [name, format] : AllFormats()) {
        SCOPED_TRACE(name);
        const TBitmap source = MakeNoise(4, 4, 41, format);

        TBitmap same = Solid(4, 4, format, clBlack);
        same.Canvas().DrawStretched(Rect(0, 0, 4, 4), &source);
        EXPECT_TRUE(SamePixels(same, source)) << test::FirstDifference(same, source);

        TBitmap big = Solid(8, 8, format, clBlack);
        big.Canvas().DrawStretched(Rect(0, 0, 8, 8), &source);
        for (std::int32_t y = 0; y < 8; ++y)
            for (std::int32_t x = 0; x < 8; ++x) ASSERT_EQ(big.RawPixel(x, y), source.RawPixel(x / 2, y / 2));

        if (format.Layout.BitCount == 1) continue;  // monochrome shrinking has its own rule
        TBitmap small = Solid(2, 2, format, clBlack);
        small.Canvas().DrawStretched(Rect(0, 0, 2, 2), &source);
        for (std::int32_t y = 0; y < 2; ++y)
            for (std::int32_t x = 0; x < 2; ++x) {
                std::set<std::uint32_t> block;
                for (std::int32_t j = 0; j < 2; ++j)
                    for (std::int32_t i = 0; i < 2; ++i) block.insert(source.RawPixel(2 * x + i, 2 * y + j));
                EXPECT_TRUE(block.count(small.RawPixel(x, y))) << "pixel " << x << "," << y << " is no source pixel";
            }
    }
}

TEST(DrawStretched, ConvertsAndClipsToTheDestination) {
    const TBitmap source = Solid(3, 3, test::Gray8Format(), RGB(90, 90, 90));
    TBitmap dest = Solid(4, 4, test::DeviceFormat(), RGB(1, 2, 3));
    dest.Canvas().DrawStretched(Rect(2, 2, 8, 8), &source);
    EXPECT_EQ(dest.Pixel(1, 1), RGB(1, 2, 3));
    EXPECT_EQ(dest.Pixel(2, 2), RGB(90, 90, 90));
    EXPECT_EQ(dest.Pixel(3, 3), RGB(90, 90, 90));
    dest.Canvas().DrawStretched(Rect(0, 0, 4, 4), nullptr);  // no source: nothing happens
    EXPECT_EQ(dest.Pixel(0, 0), RGB(1, 2, 3));
}

TEST(DrawStretched, MonochromeShrinkKeepsBlack) {
    const TStoreFormat mono = AllFormats()[0].Format;  // entry 0 black, entry 1 white
    TBitmap source = Solid(4, 4, mono, clWhite);
    source.SetPixel(1, 0, clBlack);  // one thin black dot in the top-left 2x2 block
    source.SetPixel(3, 3, clBlack);
    TBitmap dest = Solid(2, 2, mono, clWhite);
    dest.Canvas().DrawStretched(Rect(0, 0, 2, 2), &source);
    EXPECT_EQ(dest.Pixel(0, 0), clBlack);
    EXPECT_EQ(dest.Pixel(1, 0), clWhite);
    EXPECT_EQ(dest.Pixel(0, 1), clWhite);
    EXPECT_EQ(dest.Pixel(1, 1), clBlack);
}

// Pixels a frame from (l, t) to (r, b) inverts, counting each segment's pixels separately.
std::set<std::pair<int, int>> OddlyCovered(int l, int t, int r, int b) {
    std::map<std::pair<int, int>, int> count;
    auto segment = [&](int x0, int y0, int x1, int y1) {
        while (x0 != x1 || y0 != y1) {
            ++count[{x0, y0}];
            x0 += (x1 > x0) - (x1 < x0);
            y0 += (y1 > y0) - (y1 < y0);
        }
    };
    segment(l, t, r, t);
    segment(r, t, r, b);
    segment(r, b, l, b);
    segment(l, b, l, t);
    std::set<std::pair<int, int>> odd;
    for (auto [p, n] : count)
        if (n % 2) odd.insert(p);
    return odd;
}

TEST(InvertingLine, FrameCoversTheOutlineOnceAndUndoesItself) {
    const TRect frames[] = {Rect(2, 3, 6, 8),  Rect(6, 8, 2, 3), Rect(-3, -2, 4, 5), Rect(5, 1, 12, 9),
                            Rect(3, 3, 3, 7), Rect(1, 4, 6, 4), Rect(4, 4, 4, 4)};
    for (const auto& [name, format] : AllFormats()) {
        for (const TRect& r : frames) {
            SCOPED_TRACE(testing::Message() << name << " " << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom);
            const TBitmap pristine = MakeNoise(10, 10, 51, format);
            TBitmap b(pristine);
            TCanvas& c = b.Canvas();
            c.Pen.Mode = TPenMode::pmNot;
            c.Pen.Width = 1;
            auto frame = [&] {
                c.MoveTo(r.Left, r.Top);
                c.LineTo(r.Right, r.Top);
                c.LineTo(r.Right, r.Bottom);
                c.LineTo(r.Left, r.Bottom);
                c.LineTo(r.Left, r.Top);
            };
            frame();
            const auto expected = OddlyCovered(r.Left, r.Top, r.Right, r.Bottom);
            const std::uint32_t mask = format.Layout.BitCount == 32 ? 0xFFFFFFFF : (1u << format.Layout.BitCount) - 1;
            for (int y = 0; y < 10; ++y)
                for (int x = 0; x < 10; ++x) {
                    const std::uint32_t want = expected.count({x, y}) ? ~pristine.RawPixel(x, y) & mask
                                                                      : pristine.RawPixel(x, y);
                    ASSERT_EQ(b.RawPixel(x, y), want) << x << "," << y;
                }
            frame();
            EXPECT_TRUE(SamePixels(b, pristine)) << test::FirstDifference(b, pristine);
        }
    }
}

TEST(InvertingLine, NormalFrameInvertsBothCornersOnce) {
    EXPECT_EQ(OddlyCovered(2, 3, 6, 8).size(), 2u * 5 + 2u * 6 - 4);  // the test's own model
    EXPECT_TRUE(OddlyCovered(2, 3, 6, 8).count({6, 8}));
    EXPECT_TRUE(OddlyCovered(2, 3, 6, 8).count({2, 3}));
}

}  // namespace
}  // namespace tavelix
