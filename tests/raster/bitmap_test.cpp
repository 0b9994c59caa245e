#include <gtest/gtest.h>

#include "raster/bitmap.h"
#include "raster/canvas.h"
#include "testutil.h"

namespace tavelix {
namespace {

using test::AllFormats;
using test::MakeNoise;
using test::SamePixels;

// The table entry a colour is drawn with: nearest by distance in red, green and blue.
TColor NearestTableColor(const TBitmap& bitmap, TColor color) {
    TColor best = 0;
    long bestDistance = -1;
    for (const TRGBQuad& q : bitmap.Palette()) {
        const long dr = long(q.Red) - GetRValue(color), dg = long(q.Green) - GetGValue(color),
                   db = long(q.Blue) - GetBValue(color);
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) bestDistance = d, best = ToColor(q);
    }
    return best;
}

TEST(Bitmap, ResizeKeepsTopLeftAndFillsWhite) {
    for (const auto& [name, format] : AllFormats()) {
        SCOPED_TRACE(name);
        const TBitmap original = MakeNoise(3, 2, 7, format);
        const TColor white = format.Layout.IsIndexed() ? NearestTableColor(original, clWhite) : clWhite;

        TBitmap grown(original);
        grown.SetWidth(5);
        grown.SetHeight(4);
        ASSERT_EQ(grown.Width(), 5);
        ASSERT_EQ(grown.Height(), 4);
        EXPECT_EQ(grown.Layout(), format.Layout);
        EXPECT_EQ(grown.Palette(), format.Palette);
        for (std::int32_t y = 0; y < 4; ++y)
            for (std::int32_t x = 0; x < 5; ++x) {
                SCOPED_TRACE(testing::Message() << x << "," << y);
                if (x < 3 && y < 2) EXPECT_EQ(grown.RawPixel(x, y), original.RawPixel(x, y));
                else EXPECT_EQ(grown.Pixel(x, y), white);
            }

        TBitmap shrunk(original);
        shrunk.SetWidth(2);
        shrunk.SetHeight(1);
        EXPECT_EQ(shrunk.RawPixel(0, 0), original.RawPixel(0, 0));
        EXPECT_EQ(shrunk.RawPixel(1, 0), original.RawPixel(1, 0));
    }
}

TEST(Bitmap, NewBitmapStaysEmptyUntilBothSidesAreSet) {
    TBitmap bitmap;
    EXPECT_TRUE(bitmap.Empty());
    bitmap.SetWidth(5);
    EXPECT_TRUE(bitmap.Empty());
    EXPECT_FALSE(bitmap.HasStore());
    EXPECT_EQ(bitmap.Width(), 5);
    bitmap.SetHeight(4);
    ASSERT_TRUE(bitmap.HasStore());
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pfDevice);
    EXPECT_TRUE(bitmap.Palette().empty());
    for (std::int32_t y = 0; y < 4; ++y)
        for (std::int32_t x = 0; x < 5; ++x) EXPECT_EQ(bitmap.Pixel(x, y), clWhite);
}

TEST(Bitmap, NotifiesOncePerChangeAndNeverForNoOps) {
    TBitmap bitmap;
    int changes = 0;
    bitmap.OnChange = [&] { ++changes; };
    bitmap.SetWidth(0);
    EXPECT_EQ(changes, 0);
    bitmap.SetWidth(4);
    bitmap.SetHeight(3);
    EXPECT_EQ(changes, 2);
    bitmap.SetWidth(4);
    EXPECT_EQ(changes, 2);
    bitmap.Canvas().CopyBlock(Rect(0, 0, 2, 2), bitmap.Canvas(), Rect(1, 1, 3, 3));
    EXPECT_EQ(changes, 3);
    // A copy made from the bitmap takes its pixels, not its owner.
    TBitmap copy;
    copy.CopyFrom(bitmap);
    copy.SetWidth(8);
    EXPECT_EQ(changes, 3);
}

TEST(Bitmap, CopiesAreIndependentValues) {
    const TBitmap pristine = MakeNoise(6, 5, 1);
    TBitmap a(pristine);
    TBitmap b;
    b.CopyFrom(a);
    EXPECT_TRUE(b.SharesStoreWith(a));

    const TBitmap other = MakeNoise(6, 5, 2);
    TBitmap source(other);
    b.Canvas().CopyBlock(Rect(0, 0, 6, 5), source.Canvas(), Rect(0, 0, 6, 5));
    EXPECT_TRUE(SamePixels(a, pristine)) << test::FirstDifference(a, pristine);
    EXPECT_TRUE(SamePixels(b, other));

    TBitmap c;
    c.CopyFrom(a);
    a.SetWidth(2);
    EXPECT_EQ(c.Width(), 6);
    EXPECT_TRUE(SamePixels(c, pristine));
}

TEST(Bitmap, BlockCopyFromASharedStoreReadsThePixelsFromBefore) {
    const TBitmap pristine = MakeNoise(8, 8, 3);
    TBitmap a(pristine), b;
    b.CopyFrom(a);
    // Overlapping shift of the same picture: every destination pixel must take the old value.
    b.Canvas().CopyBlock(Rect(1, 1, 8, 8), a.Canvas(), Rect(0, 0, 7, 7));
    EXPECT_TRUE(SamePixels(a, pristine));
    for (std::int32_t y = 1; y < 8; ++y)
        for (std::int32_t x = 1; x < 8; ++x) ASSERT_EQ(b.RawPixel(x, y), pristine.RawPixel(x - 1, y - 1));

    TBitmap self(pristine);
    self.Canvas().CopyBlock(Rect(1, 1, 8, 8), self.Canvas(), Rect(0, 0, 7, 7));
    for (std::int32_t y = 1; y < 8; ++y)
        for (std::int32_t x = 1; x < 8; ++x) ASSERT_EQ(self.RawPixel(x, y), pristine.RawPixel(x - 1, y - 1));
}

// Alpha moves with its pixel between stores that have it; colours from a store without it
// arrive opaque, and colours drawn are opaque.
TEST(Bitmap, AlphaGoesWithItsPixelAndWhatArrivesWithoutIsOpaque) {
    TStoreFormat bgra;
    bgra.Layout = TPixelLayout::Bgra();
    TBitmap translucent = MakeNoise(4, 3, 5, bgra);
    TBitmap copy;
    copy.Allocate(4, 3, bgra);
    copy.Canvas().CopyBlock(Rect(0, 0, 4, 3), translucent.Canvas(), Rect(0, 0, 4, 3));
    EXPECT_TRUE(SamePixels(copy, translucent));

    TStoreFormat rgb32;
    rgb32.Layout = TPixelLayout::Rgb(32);
    TBitmap plain32 = MakeNoise(4, 3, 6, rgb32);
    copy.Canvas().CopyBlock(Rect(0, 0, 4, 3), plain32.Canvas(), Rect(0, 0, 4, 3));
    for (std::int32_t y = 0; y < 3; ++y)
        for (std::int32_t x = 0; x < 4; ++x) {
            EXPECT_EQ(copy.RawPixel(x, y) >> 24, 0xFFu);
            EXPECT_EQ(copy.Pixel(x, y), plain32.Pixel(x, y));
        }
    copy.SetPixel(1, 1, RGB(1, 2, 3));
    EXPECT_EQ(copy.RawPixel(1, 1), 0xFF010203u);
}

TEST(Bitmap, TopDownRowsLastUntilTheHeightChanges) {
    TStoreFormat format = test::Rgb24Format();
    format.TopDown = true;
    TBitmap bitmap = MakeNoise(4, 3, 9, format);
    const TBitmap pristine(bitmap);
    EXPECT_TRUE(bitmap.TopDown());
    // Row 0 of the picture is the first row of the store.
    EXPECT_EQ(bitmap.StoreBytes()[0], bitmap.ScanLine(0)[0]);

    TBitmap copy;
    copy.CopyFrom(bitmap);
    copy.SetWidth(6);
    EXPECT_TRUE(copy.TopDown());
    copy.SetHeight(5);
    EXPECT_FALSE(copy.TopDown());
    for (std::int32_t y = 0; y < 3; ++y)
        for (std::int32_t x = 0; x < 4; ++x) ASSERT_EQ(copy.RawPixel(x, y), pristine.RawPixel(x, y));
}

TEST(Bitmap, StoresTooLargeFailAndLeaveTheBitmap) {
    TBitmap bitmap = MakeNoise(10, 10, 4);
    const TBitmap pristine(bitmap);
    try {
        bitmap.SetWidth(100000);
        bitmap.SetHeight(100000);
        FAIL() << "a 40 GB store was accepted";
    } catch (const TPictureError& error) {
        EXPECT_EQ(error.GetKind(), TPictureError::Kind::OutOfResources);
    }
    // The width went through (400 KB); the failed height left the bitmap as it was.
    EXPECT_EQ(bitmap.Width(), 100000);
    EXPECT_EQ(bitmap.Height(), 10);

    TBitmap fresh;
    EXPECT_THROW(fresh.Allocate(70000, 70000, test::DeviceFormat()), TPictureError);
    EXPECT_TRUE(fresh.Empty());
    EXPECT_FALSE(fresh.HasStore());
}

TEST(Bitmap, ClipboardBitmapsLoadOrFailCleanly) {
    TBitmap bitmap = MakeNoise(3, 3, 5);
    const TBitmap pristine(bitmap);
    int changes = 0;
    bitmap.OnChange = [&] { ++changes; };

    TClipboardBitmap clip;
    clip.Width = 2;
    clip.Height = 2;
    clip.Pixels = {1, 2, 3, 0, 4, 5, 6, 0, /* row 1 */ 7, 8, 9, 0, 10, 11, 12, 0};
    EXPECT_THROW(bitmap.LoadFromClipboard(1, &clip), TPictureError);
    EXPECT_THROW(bitmap.LoadFromClipboard(CF_BITMAP, nullptr), TPictureError);
    EXPECT_TRUE(SamePixels(bitmap, pristine));
    EXPECT_EQ(changes, 0);

    bitmap.LoadFromClipboard(CF_BITMAP, &clip);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pfDevice);
    EXPECT_EQ(bitmap.Pixel(0, 0), RGB(3, 2, 1));
    EXPECT_EQ(bitmap.Pixel(1, 1), RGB(12, 11, 10));
    EXPECT_FALSE(bitmap.Format().File.Os2Header);

    TClipboardBitmap dib;
    dib.Width = 3;
    dib.Height = 1;
    dib.DeviceIndependent = true;
    dib.Format = test::Gray8Format();
    dib.Pixels = {10, 20, 30, 0};
    bitmap.LoadFromClipboard(CF_BITMAP, &dib);
    EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf8bit);
    EXPECT_EQ(bitmap.Pixel(2, 0), RGB(30, 30, 30));
}

}  // namespace
}  // namespace tavelix
