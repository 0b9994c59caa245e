#include "raster/screenpixels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "testutil.h"

namespace tavelix {
namespace {

std::uint32_t Expected(const TBitmap& b, std::int32_t x, std::int32_t y) {
    const TColor c = b.Pixel(x, y);
    return 0xFF000000u | (std::uint32_t{GetRValue(c)} << 16) | (std::uint32_t{GetGValue(c)} << 8) | GetBValue(c);
}

// Every format, both row orders, the whole picture: each value is the pixel's colour, opaque.
TEST(ScreenPixels, EveryFormatGivesItsColoursOpaque) {
    for (const test::TNamedFormat& f : test::AllFormats())
        for (bool topDown : {false, true}) {
            SCOPED_TRACE(f.Name + (topDown ? " top-down" : ""));
            TStoreFormat format = f.Format;
            format.TopDown = topDown;
            const TBitmap b = test::MakeNoise(13, 7, 41, format);
            std::vector<std::uint32_t> out(13 * 7, 0);
            CopyToScreenPixels(b, Rect(0, 0, 13, 7), reinterpret_cast<std::uint8_t*>(out.data()), 13 * 4);
            for (std::int32_t y = 0; y < 7; ++y)
                for (std::int32_t x = 0; x < 13; ++x)
                    ASSERT_EQ(out[std::size_t(y) * 13 + x], Expected(b, x, y)) << x << ", " << y;
        }
}

// An area reaching past the picture writes only its inside part, at the area's offsets, and
// nothing of the padding beyond each row.
TEST(ScreenPixels, AreaIsClippedToThePictureAndKeepsItsOffsets) {
    const TBitmap b = test::MakeNoise(10, 6, 7, test::Rgb24Format());
    const TRect area = Rect(-2, 3, 12, 9);  // 14 x 6, of which columns 0-9 and rows 3-5 exist
    const std::size_t stride = 16 * 4;      // wider than the area
    constexpr std::uint32_t Untouched = 0x12345678;
    std::vector<std::uint32_t> out(16 * 6, Untouched);
    CopyToScreenPixels(b, area, reinterpret_cast<std::uint8_t*>(out.data()), stride);
    for (std::int32_t row = 0; row < 6; ++row)
        for (std::int32_t col = 0; col < 16; ++col) {
            const std::int32_t x = area.Left + col, y = area.Top + row;
            const bool inside = col < 14 && x >= 0 && x < 10 && y < 6;
            const std::uint32_t want = inside ? Expected(b, x, y) : Untouched;
            ASSERT_EQ(out[std::size_t(row) * 16 + col], want) << col << ", " << row;
        }
}

TEST(ScreenPixels, EmptyPictureOrAreaWritesNothing) {
    std::uint32_t out[4] = {1, 2, 3, 4};
    CopyToScreenPixels(TBitmap(), Rect(0, 0, 2, 2), reinterpret_cast<std::uint8_t*>(out), 8);
    const TBitmap b = test::MakeNoise(4, 4, 3);
    CopyToScreenPixels(b, Rect(2, 2, 2, 5), reinterpret_cast<std::uint8_t*>(out), 8);
    CopyToScreenPixels(b, Rect(5, 0, 9, 2), reinterpret_cast<std::uint8_t*>(out), 8);
    EXPECT_EQ(out[0], 1u);
    EXPECT_EQ(out[3], 4u);
}

}  // namespace
}  // namespace tavelix
