// The seam smoothing and the fast reductions, over generated pictures.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "engine/guard.h"
#include "engine/seams.h"
#include "engine/tavelix.h"
#include "raster/jpegimage.h"
#include "testutil.h"

namespace tavelix {
namespace {

using namespace test;

const std::string Password = "correct horse battery";

TBitmap Scrambled(TBitmap picture, const std::string& password, bool scramble = true) {
    TTavelix::Scramble(&picture, password, scramble);
    return picture;
}

// Over the pixels that assembling restores (without the right and bottom edge strips).
double Psnr(const TBitmap& a, const TBitmap& b) {
    const std::int32_t columns = a.Width() / (a.Width() / 256 + 1) * (a.Width() / 256 + 1);
    const std::int32_t rows = a.Height() / (a.Height() / 256 + 1) * (a.Height() / 256 + 1);
    double squares = 0;
    for (std::int32_t y = 0; y < rows; ++y)
        for (std::int32_t i = 0; i < columns * 3; ++i) {
            const double d = double(a.ScanLine(y)[i]) - double(b.ScanLine(y)[i]);
            squares += d * d;
        }
    return 10 * std::log10(255.0 * 255.0 * columns * 3 * rows / squares);
}

TEST(Seams, SmoothingMendsColourAtTheSeamsOnly) {
    const TBitmap plain = ThroughJpeg(MakePhotoLike(1280, 1024, 8));
    const TBitmap assembled = Scrambled(ThroughJpeg(Scrambled(plain, Password)), Password, false);
    TBitmap smoothed = assembled;
    SmoothSeams(smoothed);
    EXPECT_GT(Psnr(smoothed, plain), Psnr(assembled, plain) + 0.5);
    EXPECT_EQ(LookOfArrangement(smoothed).Look(), TSeamLook::Assembled);
    // Strips are 6 x 5 pixels: only columns 5 and 6 of every 6, rows 4 and 5 of every 5 change.
    for (std::int32_t y = 0; y < 1020; ++y)
        for (std::int32_t x = 0; x < 1278; ++x)
            if (x % 6 != 0 && x % 6 != 5 && y % 5 != 0 && y % 5 != 4 && smoothed.RawPixel(x, y) != assembled.RawPixel(x, y))
                FAIL() << "pixel (" << x << ", " << y << ") changed away from the seams";
    // The edge strips, which assembling does not restore, stay as they are.
    for (std::int32_t y = 0; y < 1024; ++y) EXPECT_EQ(smoothed.RawPixel(1279, y), assembled.RawPixel(1279, y));

    TBitmap gray = MakeNoise(640, 480, 2, Gray8Format());
    const TBitmap before = gray;
    SmoothSeams(gray);
    EXPECT_TRUE(SamePixels(gray, before));
}

TEST(Seams, FullChromaKeepsColourEdgesOfAScrambledJpeg) {
    const TBitmap plain = MakePhotoLike(1280, 1024, 10);
    const TBitmap scrambled = Scrambled(plain, Password);
    const double subsampled = Psnr(Scrambled(ThroughJpeg(scrambled), Password, false), plain);
    const double full = Psnr(Scrambled(ThroughJpeg(scrambled, 90, true), Password, false), plain);
    EXPECT_GT(full, subsampled + 2);
}

struct TNoHost : TPictureHost {
    void ShowMessage(std::string_view) override {}
    void ProcessMessages() override {}
    TSize ScreenSize() const override { return {1280, 1024}; }
};

TEST(Seams, FastReductionsHaveTheSizesOfTheOthers) {
    TNoHost host;
    TTavelix view(host);
    char name[] = "/tmp/tavelix-reduce-XXXXXX";
    const int fd = ::mkstemp(name);
    ASSERT_GE(fd, 0);
    ::unlink(name);
    for (auto [w, h] : {std::pair{1280, 1024}, {333, 97}, {5, 3}, {1, 9}}) {
        const TBitmap photo = MakePhotoLike(w, h, 11);
        TJPEGImage jpeg;
        jpeg.Assign(photo);
        jpeg.Encode();
        for (const std::uint8_t factor : {2, 4, 8}) {
            SCOPED_TRACE(testing::Message() << w << "x" << h << " by " << int(factor));
            TBitmap sampled = ThroughJpeg(photo), averaged = photo, fast;
            const bool made = view.ReduceBy(sampled, factor);
            EXPECT_EQ(view.ReduceByAveraging(averaged, factor), made);
            ASSERT_EQ(::ftruncate(fd, 0), 0);
            ASSERT_EQ(::pwrite(fd, jpeg.Data().data(), jpeg.Data().size(), 0), ssize_t(jpeg.Data().size()));
            ASSERT_EQ(::lseek(fd, 0, SEEK_SET), 0);
            EXPECT_EQ(view.LoadReducedJpeg(fast, fd, factor), made);
            if (!made) continue;
            EXPECT_EQ(averaged.Width(), sampled.Width());
            EXPECT_EQ(averaged.Height(), sampled.Height());
            EXPECT_EQ(averaged.Layout(), sampled.Layout());
            EXPECT_EQ(fast.Width(), sampled.Width());
            EXPECT_EQ(fast.Height(), sampled.Height());
        }
    }
    ::close(fd);
}

TEST(Seams, AveragingGivesTheMeanOfEachBlock) {
    TBitmap picture;
    picture.Allocate(4, 2, Rgb24Format());
    const TColor colours[] = {RGB(0, 0, 0), RGB(100, 10, 1), RGB(200, 20, 3), RGB(255, 30, 5)};
    for (std::int32_t x = 0; x < 4; ++x) {
        picture.SetPixel(x, 0, colours[x]);
        picture.SetPixel(x, 1, colours[3 - x]);
    }
    TNoHost host;
    TTavelix view(host);
    ASSERT_TRUE(view.ReduceByAveraging(picture, 2));
    ASSERT_EQ(picture.Width(), 2);
    ASSERT_EQ(picture.Height(), 1);
    EXPECT_EQ(picture.Pixel(0, 0), RGB(139, 15, 2));  // (0 + 100 + 255 + 200) / 4, rounded
    EXPECT_EQ(picture.Pixel(1, 0), RGB(139, 15, 2));
}

}  // namespace
}  // namespace tavelix
