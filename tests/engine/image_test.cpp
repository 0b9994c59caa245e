// TImage: the picture control model, its automatic size and its change notification.
#include <cstdint>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "engine/image.h"
#include "raster/canvas.h"
#include "testutil.h"

namespace tavelix {
namespace {

using test::MakeNoise;
using TSizes = std::vector<std::pair<std::int32_t, std::int32_t>>;

TEST(Image, FreshControl) {
    TImage image;
    EXPECT_TRUE(image.Picture().Empty());
    EXPECT_FALSE(image.AutoSize());
    EXPECT_FALSE(image.Stretch());
    EXPECT_EQ(image.Width(), 105);
    EXPECT_EQ(image.Height(), 105);
}

TEST(Image, AutoSizeFollowsEveryChangeOfThePictureBeforeTellingTheListener) {
    TImage image;
    image.SetAutoSize(true);
    TSizes seen;
    image.OnPictureChange = [&] { seen.emplace_back(image.Width(), image.Height()); };

    TBitmap& picture = image.Picture();
    picture.CopyFrom(MakeNoise(30, 20, 1));
    picture.SetHeight(25);
    picture.SetWidth(12);
    picture.Clear();
    picture.SetWidth(7);   // no height yet: still empty, but the width is recorded
    picture.SetHeight(3);
    EXPECT_EQ(seen, (TSizes{{30, 20}, {30, 25}, {12, 25}, {0, 0}, {7, 0}, {7, 3}}));
}

TEST(Image, PixelChangesAreReportedToo) {
    TImage image;
    image.Picture().CopyFrom(MakeNoise(10, 10, 2));
    int changes = 0;
    image.OnPictureChange = [&] { ++changes; };

    const TBitmap other = MakeNoise(10, 10, 3);
    TCanvas& canvas = image.Picture().Canvas();
    canvas.DrawStretched(Rect(0, 0, 5, 5), &other);
    canvas.Pen.Mode = TPenMode::pmNot;
    canvas.MoveTo(0, 0);
    canvas.LineTo(9, 0);
    EXPECT_EQ(changes, 2);
}

TEST(Image, AssigningThePictureKeepsItConnected) {
    TImage image;
    image.SetAutoSize(true);
    int changes = 0;
    image.OnPictureChange = [&] { ++changes; };

    image.Picture() = MakeNoise(8, 6, 4);  // a value copy never takes over another's hook
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(image.Width(), 8);
    const TBitmap other = MakeNoise(7, 3, 5);
    image.Picture() = other;
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(image.Height(), 3);
    image.Picture().SetWidth(5);
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(image.Width(), 5);
    EXPECT_EQ(image.Height(), 3);
}

TEST(Image, WithoutAutoSizeTheBoundsStayAsSet) {
    TImage image;
    int changes = 0;
    image.OnPictureChange = [&] { ++changes; };
    image.SetBounds(40, 30);
    image.Picture().CopyFrom(MakeNoise(300, 200, 5));
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(image.Width(), 40);
    EXPECT_EQ(image.Height(), 30);

    image.SetBounds(-4, 9);
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 9);
}

TEST(Image, SwitchingAutoSizeOnAdoptsThePictureSize) {
    TImage image;
    image.Picture().CopyFrom(MakeNoise(64, 48, 6));
    EXPECT_EQ(image.Width(), 105);
    image.SetAutoSize(true);
    EXPECT_EQ(image.Width(), 64);
    EXPECT_EQ(image.Height(), 48);

    // While on, the control keeps to its picture; switched off, it keeps the size it had.
    image.SetBounds(10, 10);
    EXPECT_EQ(image.Width(), 64);
    image.SetAutoSize(false);
    EXPECT_EQ(image.Width(), 64);
    image.Picture().SetWidth(20);
    EXPECT_EQ(image.Width(), 64);
    image.SetBounds(10, 12);
    EXPECT_EQ(image.Width(), 10);
    EXPECT_EQ(image.Height(), 12);
}

TEST(Image, StretchIsOnlyRecorded) {
    TImage image;
    image.SetAutoSize(true);
    image.Picture().CopyFrom(MakeNoise(16, 9, 7));
    image.SetStretch(true);
    EXPECT_TRUE(image.Stretch());
    EXPECT_EQ(image.Width(), 16);
    EXPECT_EQ(image.Height(), 9);
    image.SetStretch(false);
    EXPECT_FALSE(image.Stretch());
}

}  // namespace
}  // namespace tavelix
