// Enlarging, shrinking, reducing, fitting to the screen, clipping and the clip frame, and the
// rounding of new sizes behind them.
#include <algorithm>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/rounding.h"
#include "engine/tavelix.h"
#include "testutil.h"

namespace tavelix {
namespace {

using test::FirstDifference;
using test::MakeNoise;
using test::SamePixels;

class TFakeHost : public TPictureHost {
public:
    explicit TFakeHost(TSize screen = {1024, 768}) : Screen(screen) {}
    void ShowMessage(std::string_view text) override { Messages.emplace_back(text); }
    void ProcessMessages() override {}
    TSize ScreenSize() const override { return Screen; }

    TSize Screen;
    std::vector<std::string> Messages;
};

// A view as the main window sets it up, showing a copy of picture.
struct TViewFixture {
    explicit TViewFixture(const TBitmap& picture, TSize screen = {1024, 768}) : Host(screen), View(Host) {
        View.SetAutoSize(true);
        View.Picture().CopyFrom(picture);
    }
    TFakeHost Host;
    TTavelix View;
};

// source drawn once, nearest neighbour, into a new device-format bitmap of w x h.
TBitmap StretchedOnce(const TBitmap& source, std::int32_t w, std::int32_t h) {
    TBitmap result;
    result.SetWidth(w);
    result.SetHeight(h);
    result.Canvas().DrawStretched(Rect(0, 0, w, h), &source);
    return result;
}

// Runs check under each rounding mode of the machine, restoring the mode afterwards.
template <class Check>
void UnderEveryRoundingMode(Check check) {
    const int saved = std::fegetround();
    for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        SCOPED_TRACE(testing::Message() << "rounding mode " << mode);
        ASSERT_EQ(std::fesetround(mode), 0);
        check();
    }
    std::fesetround(saved);
}

// size * numerator / denominator rounded half to even, in integers only.
std::int64_t ExactRounded(std::int64_t size, std::int64_t numerator, std::int64_t denominator) {
    const std::int64_t product = size * numerator;
    std::int64_t quotient = product / denominator;
    const std::int64_t twice = 2 * (product % denominator);
    if (twice > denominator || (twice == denominator && quotient % 2 != 0)) ++quotient;
    return quotient;
}

long double FromSignificand(std::uint64_t significand, int exponent) {
    return std::ldexp(static_cast<long double>(significand), exponent);
}

// ---- rounding ----

TEST(Rounding, HalfEvenInEveryMode) {
    struct Case {
        long double Value;
        std::int32_t Expected;
    };
    const Case cases[] = {
        {0.5L, 0},   {1.5L, 2},   {2.5L, 2},   {3.5L, 4},       {4.4L, 4},        {16.5L, 16},
        {27.5L, 28}, {49.5L, 50}, {-0.5L, 0},  {-1.5L, -2},     {-2.5L, -2},      {-2.6L, -3},
        {std::nextafter(2.5L, 0.0L), 2},       {std::nextafter(2.5L, 3.0L), 3},   {1e12L, INT32_MAX},
        {-1e12L, INT32_MIN},                   {NAN, 0},
    };
    UnderEveryRoundingMode([&] {
        for (const Case& c : cases) EXPECT_EQ(RoundHalfEven(c.Value), c.Expected) << static_cast<double>(c.Value);
    });
}

TEST(Rounding, ScaleSizeIsTheExactValueRoundedHalfToEven) {
    UnderEveryRoundingMode([] {
        for (std::int32_t size = 0; size <= 40000; ++size) {
            ASSERT_EQ(ScaleSize(size, 11, 10), ExactRounded(size, 11, 10)) << size;
            ASSERT_EQ(ScaleSize(size, 9, 10), ExactRounded(size, 9, 10)) << size;
        }
        for (std::int32_t factor = 1; factor <= 255; ++factor)
            for (std::int32_t size = 0; size <= 1100; ++size)
                ASSERT_EQ(ScaleSize(size, 1, factor), ExactRounded(size, 1, factor)) << size << " / " << factor;
    });
    EXPECT_EQ(ScaleSize(INT32_MAX, 11, 10), INT32_MAX);  // saturates rather than wrapping
    EXPECT_EQ(ScaleSize(100, 1, 0), 0);
}

TEST(Rounding, QuotientsAndProductsAreRoundedToNearestWhateverTheMode) {
    // The hardware itself rounds these differently upwards and downwards...
    volatile long double one = 1, three = 3;
    const int saved = std::fegetround();
    std::fesetround(FE_UPWARD);
    const long double up = one / three;
    std::fesetround(FE_DOWNWARD);
    const long double down = one / three;
    std::fesetround(saved);
    ASSERT_NE(up, down);

    // ...the helpers give the nearest in every mode.
    const long double pairs[][2] = {{1, 3}, {2, 3}, {480, 576}, {1024, 2100}, {768, 7}, {1920, 1281}, {-5, 7}};
    std::vector<long double> quotients, products;
    for (const auto& p : pairs) {
        quotients.push_back(DivideNearest(p[0], p[1]));
        products.push_back(MultiplyNearest(p[0], ToReal48(quotients.back())));
    }
    UnderEveryRoundingMode([&] {
        for (std::size_t i = 0; i < std::size(pairs); ++i) {
            EXPECT_EQ(DivideNearest(pairs[i][0], pairs[i][1]), quotients[i]) << i;
            EXPECT_EQ(MultiplyNearest(pairs[i][0], ToReal48(quotients[i])), products[i]) << i;
        }
        // (2^63 + 1) * 3 needs 65 bits and lies exactly between two extended values: to even.
        const long double odd = FromSignificand((std::uint64_t{1} << 63) + 1, 0);
        EXPECT_EQ(MultiplyNearest(odd, 3), FromSignificand((std::uint64_t{3} << 62) + 2, 1));
        EXPECT_EQ(MultiplyNearest(-odd, 3), -FromSignificand((std::uint64_t{3} << 62) + 2, 1));
    });
    EXPECT_EQ(quotients[0], 1.0L / 3.0L);  // default mode: the plain quotient
}

TEST(Rounding, Real48KeepsFortySignificantBits) {
    const std::uint64_t top = std::uint64_t{1} << 63;
    const std::uint64_t half = std::uint64_t{1} << 23;  // the first bit a 40-bit significand drops
    struct Case {
        const char* Name;
        long double Value, Expected;
    };
    const Case cases[] = {
        {"exact 0.75", 0.75L, 0.75L},
        {"exact 1024", 1024, 1024},
        {"5/6 truncates", DivideNearest(5, 6), FromSignificand(0xD555555555000000u, -64)},
        {"below half", FromSignificand(top + half - 1, -64), FromSignificand(top, -64)},
        {"half goes away from zero", FromSignificand(top + half, -64), FromSignificand(top + 2 * half, -64)},
        {"negative half", -FromSignificand(top + half, -64), -FromSignificand(top + 2 * half, -64)},
        {"carry into the next power", FromSignificand(~std::uint64_t{0}, -64), 1.0L},
        {"zero", 0.0L, 0.0L},
    };
    for (const Case& c : cases) EXPECT_EQ(ToReal48(c.Value), c.Expected) << c.Name;
    // 480/576 held this way lies just below 5/6, so 9 times it lies below 7.5.
    EXPECT_LT(ToReal48(DivideNearest(480, 576)), 5.0L / 6.0L);
}

// ---- Enlarge and Shrink ----

struct TSizeCase {
    std::int32_t Width, Height, ExpectedWidth, ExpectedHeight;
};

TEST(Enlarge, TenPercentRoundedHalfToEven) {
    const TSizeCase cases[] = {
        {1, 1, 1, 1},     {4, 3, 4, 3},     {5, 2, 6, 2},       {15, 25, 16, 28},
        {45, 100, 50, 110}, {100, 45, 110, 50}, {1280, 1024, 1408, 1126},
    };
    for (const TSizeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Width << "x" << c.Height);
        const TBitmap working = MakeNoise(c.Width, c.Height, c.Width * 7 + c.Height);
        TViewFixture f(working);
        f.View.Enlarge(working);
        EXPECT_EQ(f.View.Picture().Width(), c.ExpectedWidth);
        EXPECT_EQ(f.View.Picture().Height(), c.ExpectedHeight);
        EXPECT_EQ(f.View.Width(), c.ExpectedWidth);
        EXPECT_EQ(f.View.Height(), c.ExpectedHeight);
        EXPECT_EQ(FirstDifference(f.View.Picture(), StretchedOnce(working, c.ExpectedWidth, c.ExpectedHeight)), "");
        EXPECT_EQ(f.View.Picture().Canvas().CopyMode, SRCCOPY);
    }
}

TEST(Enlarge, StopsAboveThePixelLimit) {
    const TBitmap working = MakeNoise(1280, 1024, 3);
    TViewFixture f(working);
    f.View.Enlarge(working);  // exactly at the limit: still enlarged
    ASSERT_EQ(f.View.Width(), 1408);
    ASSERT_EQ(f.View.Height(), 1126);
    const TBitmap before = f.View.Picture();
    f.View.Enlarge(working);
    EXPECT_TRUE(f.View.Picture().SharesStoreWith(before));
    EXPECT_EQ(f.View.Picture().Width(), 1408);
    EXPECT_EQ(f.View.Picture().Height(), 1126);
}

TEST(Enlarge, TestsTheControlsSizeNotThePictures) {
    const TBitmap working = MakeNoise(20, 10, 4);
    TViewFixture f(working);
    f.View.SetAutoSize(false);
    f.View.SetBounds(1281, 1024);
    f.View.Enlarge(working);
    EXPECT_EQ(f.View.Picture().Width(), 20);

    f.View.SetBounds(10, 10);
    f.View.Picture().CopyFrom(MakeNoise(1400, 1000, 5));  // over the limit, the control is not
    f.View.Enlarge(working);
    EXPECT_EQ(f.View.Picture().Width(), 1540);
    EXPECT_EQ(f.View.Picture().Height(), 1100);
}

TEST(Shrink, TenPercentRoundedHalfToEven) {
    const TSizeCase cases[] = {
        {9, 100, 9, 100}, {100, 9, 100, 9}, {10, 10, 9, 9},     {15, 25, 14, 22},
        {35, 12, 32, 11}, {100, 35, 90, 32}, {1280, 1024, 1152, 922},
    };
    for (const TSizeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Width << "x" << c.Height);
        const TBitmap working = MakeNoise(c.Width, c.Height, c.Width * 5 + c.Height);
        TViewFixture f(working);
        f.View.Shrink(working);
        EXPECT_EQ(f.View.Picture().Width(), c.ExpectedWidth);
        EXPECT_EQ(f.View.Picture().Height(), c.ExpectedHeight);
        EXPECT_EQ(f.View.Width(), c.ExpectedWidth);
        EXPECT_EQ(f.View.Height(), c.ExpectedHeight);
        const bool refused = c.Width < 10 || c.Height < 10;
        if (refused) EXPECT_EQ(FirstDifference(f.View.Picture(), working), "");
        else EXPECT_EQ(FirstDifference(f.View.Picture(), StretchedOnce(working, c.ExpectedWidth, c.ExpectedHeight)), "");
    }
}

TEST(Shrink, TestsTheControlsSizeNotThePictures) {
    const TBitmap working = MakeNoise(100, 100, 6);
    TViewFixture f(working);
    f.View.SetAutoSize(false);
    f.View.SetBounds(100, 9);
    f.View.Shrink(working);
    EXPECT_EQ(f.View.Picture().Width(), 100);

    f.View.SetBounds(10, 10);
    f.View.Picture().CopyFrom(MakeNoise(9, 5, 7));  // too small itself, the control is not
    f.View.Shrink(working);
    EXPECT_EQ(f.View.Picture().Width(), 8);
    EXPECT_EQ(f.View.Picture().Height(), 4);
}

TEST(EnlargeShrink, EveryStepResamplesTheSourceOnce) {
    const TBitmap working = MakeNoise(40, 30, 8);
    TViewFixture f(working);
    f.View.Enlarge(working);
    f.View.Enlarge(working);
    ASSERT_EQ(f.View.Width(), 48);
    ASSERT_EQ(f.View.Height(), 36);
    EXPECT_EQ(FirstDifference(f.View.Picture(), StretchedOnce(working, 48, 36)), "");
    // A stretch of the first step's result would have lost more: that is what is avoided.
    EXPECT_FALSE(SamePixels(StretchedOnce(StretchedOnce(working, 44, 33), 48, 36), StretchedOnce(working, 48, 36)));

    f.View.Picture().CopyFrom(working);
    f.View.Shrink(working);  // 36 x 27
    f.View.Enlarge(working);  // back to 40 x 30: the working copy itself
    ASSERT_EQ(f.View.Width(), 40);
    ASSERT_EQ(f.View.Height(), 30);
    EXPECT_EQ(FirstDifference(f.View.Picture(), StretchedOnce(working, 40, 30)), "");
    EXPECT_FALSE(SamePixels(StretchedOnce(StretchedOnce(working, 36, 27), 40, 30), StretchedOnce(working, 40, 30)));
}

TEST(EnlargeShrink, TheDisplayedPictureMayBeItsOwnSource) {
    const TBitmap working = MakeNoise(30, 20, 9);
    TViewFixture f(working);
    f.View.Enlarge(f.View.Picture());
    EXPECT_EQ(FirstDifference(f.View.Picture(), StretchedOnce(working, 33, 22)), "");

    f.View.Picture().CopyFrom(working);
    f.View.Shrink(f.View.Picture());
    EXPECT_EQ(FirstDifference(f.View.Picture(), StretchedOnce(working, 27, 18)), "");

    f.View.Picture().CopyFrom(working);
    f.View.FitToScreen(f.View.Picture());
    EXPECT_EQ(FirstDifference(f.View.Picture(), StretchedOnce(working, 1024, 683)), "");
}

TEST(EnlargeShrink, KeepTheFormatOfTheDisplayedPicture) {
    const TBitmap working = MakeNoise(20, 20, 10, test::Rgb24Format());
    TViewFixture f(working);
    f.View.Enlarge(working);
    EXPECT_EQ(f.View.Picture().PixelFormat(), TPixelFormat::pf24bit);
    f.View.Shrink(working);
    EXPECT_EQ(f.View.Picture().PixelFormat(), TPixelFormat::pf24bit);
    for (std::int32_t y = 0; y < f.View.Picture().Height(); ++y)
        for (std::int32_t x = 0; x < f.View.Picture().Width(); ++x)
            ASSERT_EQ(f.View.Picture().Pixel(x, y), StretchedOnce(working, 20, 20).Pixel(x, y));
}

// ---- ReduceBy ----

TEST(ReduceBy, SizesAndRefusals) {
    struct Case {
        std::uint8_t Factor;
        std::int32_t Side, Expected;  // 0: refused
    };
    const Case cases[] = {
        {2, 1, 0}, {2, 3, 2}, {2, 5, 2}, {2, 7, 4},  {4, 2, 0},  {4, 6, 2}, {4, 10, 2},
        {8, 4, 0}, {8, 5, 1}, {8, 12, 2}, {8, 20, 2}, {1, 9, 9},  {0, 9, 0},
    };
    TFakeHost host;
    TTavelix view(host);
    for (const Case& c : cases) {
        // The side in question, first as width and then as height, the other side 16.
        for (bool asWidth : {true, false}) {
            SCOPED_TRACE(testing::Message() << "f=" << int(c.Factor) << " side " << c.Side << (asWidth ? " wide" : " high"));
            const std::int32_t w = asWidth ? c.Side : 16, h = asWidth ? 16 : c.Side;
            TBitmap graphic = MakeNoise(w, h, c.Side * 3 + c.Factor, test::Rgb24Format());
            const TBitmap before = graphic;
            const bool reduced = view.ReduceBy(graphic, c.Factor);
            if (c.Expected == 0) {
                EXPECT_FALSE(reduced);
                EXPECT_TRUE(graphic.SharesStoreWith(before));
                EXPECT_EQ(graphic.Width(), w);
                EXPECT_EQ(graphic.Height(), h);
                continue;
            }
            const std::int32_t other = c.Factor ? ExactRounded(16, 1, c.Factor) : 16;
            const std::int32_t ew = asWidth ? c.Expected : other, eh = asWidth ? other : c.Expected;
            EXPECT_TRUE(reduced);
            EXPECT_EQ(graphic.PixelFormat(), TPixelFormat::pfDevice);
            EXPECT_EQ(FirstDifference(graphic, StretchedOnce(before, ew, eh)), "");
        }
    }
    EXPECT_TRUE(view.Picture().Empty());  // the display plays no part
}

TEST(ReduceBy, EmptyGraphicIsRefused) {
    TFakeHost host;
    TTavelix view(host);
    TBitmap empty;
    EXPECT_FALSE(view.ReduceBy(empty, 2));
    EXPECT_TRUE(empty.Empty());
}

// ---- ReduceToFit ----

TEST(ReduceToFit, LargestSizeWithinTheLimitWithTheShape) {
    const struct {
        std::int32_t Width, Height, FitWidth, FitHeight;
    } cases[] = {{4032, 3024, 1322, 991}, {3024, 4032, 991, 1322}, {2000, 1000, 1619, 809},
                 {1280, 1024, 1280, 1024}, {100000, 20, 81920, 16},  {1310721, 1, 1310720, 1}};
    for (const auto& c : cases) {
        const TSize fit = FitSize(c.Width, c.Height);
        EXPECT_EQ(fit.Width, c.FitWidth) << c.Width << " x " << c.Height;
        EXPECT_EQ(fit.Height, c.FitHeight) << c.Width << " x " << c.Height;
    }
}

// Each new pixel is the mean of the area it covers: one-pixel stripes of black and white
// become an even gray where taking every other pixel would keep one of the two.
TEST(ReduceToFit, AveragesTheAreaEachPixelCovers) {
    TFakeHost host;
    TTavelix view(host);
    TBitmap stripes;
    stripes.Allocate(2560, 2048, test::Rgb24Format());  // fits as 1280 x 1024
    for (std::int32_t y = 0; y < 2048; ++y)
        for (std::int32_t x = 0; x < 2560; ++x) stripes.SetPixel(x, y, x % 2 ? RGB(255, 255, 255) : RGB(0, 0, 0));
    ASSERT_TRUE(view.ReduceToFit(stripes));
    ASSERT_EQ(stripes.Width(), 1280);
    ASSERT_EQ(stripes.Height(), 1024);
    for (std::int32_t y = 0; y < 1024; y += 101)
        for (std::int32_t x = 0; x < 1280; x += 97) ASSERT_EQ(stripes.Pixel(x, y), RGB(128, 128, 128)) << x << ", " << y;
    TBitmap small = MakeNoise(640, 480, 5, test::Rgb24Format());
    EXPECT_FALSE(view.ReduceToFit(small));
    EXPECT_EQ(small.Width(), 640);
}

// A picture with alpha keeps it; a clear pixel's colour counts for nothing: opaque red beside
// clear green becomes half-opaque red, not a half-opaque brown.
TEST(ReduceToFit, KeepsAlphaAndWeighsColoursByIt) {
    TFakeHost host;
    TTavelix view(host);
    TStoreFormat format;
    format.Layout = TPixelLayout::Bgra();
    TBitmap stripes;
    stripes.Allocate(2560, 2048, format);
    for (std::int32_t y = 0; y < 2048; ++y) {
        std::uint8_t* row = stripes.ScanLine(y);
        for (std::int32_t x = 0; x < 2560; ++x, row += 4) {
            const bool red = x % 2 == 0;
            row[0] = 0, row[1] = red ? 0 : 255, row[2] = red ? 255 : 0, row[3] = red ? 255 : 0;
        }
    }
    ASSERT_TRUE(view.ReduceToFit(stripes));
    ASSERT_EQ(stripes.Layout(), TPixelLayout::Bgra());
    for (std::int32_t y = 0; y < 1024; y += 101)
        for (std::int32_t x = 0; x < 1280; x += 97) {
            const std::uint8_t* pixel = stripes.ScanLine(y) + std::size_t(x) * 4;
            ASSERT_EQ(std::vector<int>(pixel, pixel + 4), (std::vector<int>{0, 0, 255, 128})) << x << ", " << y;
        }
}

// ---- FitToScreen ----

TEST(FitToScreen, ScalesToTheScreenKeepingTheAspect) {
    struct Case {
        TSize Screen;
        std::int32_t Width, Height, ExpectedWidth, ExpectedHeight;
    };
    const Case cases[] = {
        {{1024, 768}, 2048, 1536, 1024, 768}, {{1024, 768}, 1000, 500, 1024, 512},
        {{1024, 768}, 1280, 1024, 960, 768},  {{1024, 768}, 1, 1, 768, 768},
        {{1024, 768}, 5000, 10, 1024, 2},     {{640, 480}, 9, 576, 7, 480},
        {{1920, 1080}, 1280, 1024, 1350, 1080},
        // Less than half a pixel high at this scale: one pixel rather than nothing.
        {{1024, 768}, 2100, 1, 1024, 1},      {{1024, 768}, 1, 3000, 1, 768},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Width << "x" << c.Height << " on " << c.Screen.Width << "x" << c.Screen.Height);
        const TBitmap working = MakeNoise(c.Width, c.Height, c.Width + c.Height);
        TViewFixture f(MakeNoise(300, 200, 11), c.Screen);  // the former display plays no part
        f.View.FitToScreen(working);
        EXPECT_EQ(f.View.Picture().Width(), c.ExpectedWidth);
        EXPECT_EQ(f.View.Picture().Height(), c.ExpectedHeight);
        EXPECT_EQ(f.View.Width(), c.ExpectedWidth);
        EXPECT_EQ(f.View.Height(), c.ExpectedHeight);
        EXPECT_EQ(FirstDifference(f.View.Picture(), StretchedOnce(working, c.ExpectedWidth, c.ExpectedHeight)), "");
    }
}

TEST(FitToScreen, WithoutSourceOrScreenLeavesTheDisplayAlone) {
    TBitmap wideButEmpty;
    wideButEmpty.SetWidth(50);  // a width but no height: still empty
    const TBitmap sources[] = {TBitmap(), wideButEmpty, MakeNoise(8, 8, 12)};
    const TSize screens[] = {{1024, 768}, {1024, 768}, {0, 768}};
    for (std::size_t i = 0; i < std::size(sources); ++i) {
        SCOPED_TRACE(i);
        const TBitmap shown = MakeNoise(30, 20, 13);
        TViewFixture f(shown, screens[i]);
        int changes = 0;
        f.View.OnPictureChange = [&] { ++changes; };
        f.View.FitToScreen(sources[i]);
        EXPECT_TRUE(f.View.Picture().SharesStoreWith(shown));
        EXPECT_EQ(f.View.Width(), 30);
        EXPECT_EQ(changes, 0);
        EXPECT_TRUE(f.Host.Messages.empty());
    }
}

// ---- ClipTo ----

TEST(ClipTo, KeepsTheRectangle) {
    for (const auto& format : {test::DeviceFormat(), test::Rgb24Format(), test::Gray8Format()}) {
        SCOPED_TRACE(format.Layout.BitCount);
        const TBitmap original = MakeNoise(200, 100, 14, format);
        TViewFixture f(original);
        f.View.ClipTo(Rect(10, 20, 110, 70));
        const TBitmap& clip = f.View.Picture();
        ASSERT_EQ(clip.Width(), 100);
        ASSERT_EQ(clip.Height(), 50);
        EXPECT_EQ(f.View.Width(), 100);
        EXPECT_EQ(f.View.Height(), 50);
        EXPECT_EQ(clip.Layout(), original.Layout());
        for (std::int32_t y = 0; y < 50; ++y)
            for (std::int32_t x = 0; x < 100; ++x)
                ASSERT_EQ(clip.RawPixel(x, y), original.RawPixel(x + 10, y + 20)) << x << "," << y;
    }
}

TEST(ClipTo, RectangleWithoutAreaChangesNothing) {
    const TBitmap original = MakeNoise(40, 30, 15);
    for (const TRect& rect : {Rect(5, 5, 5, 20), Rect(5, 5, 20, 5), Rect(20, 5, 5, 20), Rect(INT32_MIN, 0, INT32_MAX, 10)}) {
        TViewFixture f(original);
        f.View.ClipTo(rect);
        EXPECT_TRUE(f.View.Picture().SharesStoreWith(original));
        EXPECT_EQ(f.View.Width(), 40);
    }
}

TEST(ClipTo, FailureLeavesThePictureWhole) {
    const TBitmap original = MakeNoise(200, 100, 16);
    TViewFixture f(original);
    // 100000 x 100000 pixels cannot be had: the width is set, the height fails.
    EXPECT_THROW(f.View.ClipTo(Rect(0, 0, 100000, 100000)), TPictureError);
    EXPECT_EQ(FirstDifference(f.View.Picture(), original), "");
    EXPECT_EQ(f.View.Width(), 200);
    EXPECT_EQ(f.View.Height(), 100);
}

// ---- DrawClipFrame ----

TEST(DrawClipFrame, InvertsTheOutlineOnceAndRestoresItTheSecondTime) {
    const TRect rects[] = {
        Rect(2, 3, 6, 8),    Rect(6, 8, 2, 3),  Rect(6, 3, 2, 8),   Rect(-3, -2, 5, 4),
        Rect(5, 5, 15, 12),  Rect(-5, -5, 20, 20), Rect(4, 2, 4, 9), Rect(3, 3, 3, 3),
    };
    TFakeHost host;
    TTavelix view(host);
    for (const auto& named : test::AllFormats()) {
        for (const TRect& r : rects) {
            SCOPED_TRACE(testing::Message() << named.Name << " (" << r.Left << "," << r.Top << "," << r.Right << "," << r.Bottom << ")");
            const TBitmap original = MakeNoise(10, 10, 17, named.Format);
            TBitmap target = original;
            view.DrawClipFrame(target.Canvas(), r);
            EXPECT_EQ(target.Canvas().Pen.Mode, TPenMode::pmNot);
            EXPECT_EQ(target.Canvas().Pen.Width, 1);
            if (r.Left != r.Right && r.Top != r.Bottom) {
                const std::int32_t x0 = std::min(r.Left, r.Right), x1 = std::max(r.Left, r.Right);
                const std::int32_t y0 = std::min(r.Top, r.Bottom), y1 = std::max(r.Top, r.Bottom);
                const std::uint32_t mask = named.Format.Layout.BitCount == 32
                                               ? 0xFFFFFFFFu
                                               : (std::uint32_t{1} << named.Format.Layout.BitCount) - 1;
                for (std::int32_t y = 0; y < 10; ++y)
                    for (std::int32_t x = 0; x < 10; ++x) {
                        const bool inside = x >= x0 && x <= x1 && y >= y0 && y <= y1;
                        const bool outline = inside && (x == x0 || x == x1 || y == y0 || y == y1);
                        const std::uint32_t was = original.RawPixel(x, y);
                        ASSERT_EQ(target.RawPixel(x, y), outline ? (~was & mask) : was) << x << "," << y;
                    }
            }
            view.DrawClipFrame(target.Canvas(), r);
            EXPECT_EQ(FirstDifference(target, original), "");
        }
    }
}

}  // namespace
}  // namespace tavelix
