// The seam score, the judgement of an assembly, the seam smoothing and the fast reductions,
// over generated pictures: photograph-like ones, and flat, noisy and small ones that show no
// seams at all.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

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

// Through a JPEG file at quality 90 and back, as a scrambled file on disk goes.
TBitmap ThroughJpeg(const TBitmap& picture, bool fullChroma = false) {
    TJPEGImage jpeg;
    jpeg.Assign(picture);
    jpeg.SetQuality(90);
    jpeg.SetFullChroma(fullChroma);
    jpeg.Encode();
    TJPEGImage back;
    back.LoadFromBytes(jpeg.Data());
    TBitmap decoded;
    decoded.CopyFrom(back);
    return decoded;
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

TEST(Seams, PhotographsLookAssembledAndScrambledAsTheyAre) {
    for (auto [w, h] : {std::pair{1280, 1024}, {640, 480}, {300, 1000}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        const TBitmap plain = MakePhotoLike(w, h, std::uint32_t(w + h));
        const TSeamScore before = MeasureSeams(plain);
        EXPECT_EQ(LookOf(before), TSeamLook::Assembled) << before.Jumping();
        EXPECT_NEAR(before.Score(), 1.0, 0.1);
        for (const bool jpeg : {false, true}) {
            SCOPED_TRACE(jpeg ? "JPEG" : "bitmap");
            const TBitmap scrambled = jpeg ? ThroughJpeg(Scrambled(plain, Password)) : Scrambled(plain, Password);
            const TSeamScore score = MeasureSeams(scrambled);
            EXPECT_EQ(LookOf(score), TSeamLook::Scrambled) << score.Jumping();
            EXPECT_GT(score.Score(), 1.5);
            EXPECT_EQ(JudgeAssembly(score, MeasureSeams(Scrambled(scrambled, Password, false))), TAssembly::Assembled);
        }
    }
}

TEST(Seams, WrongPasswordsAndPlainPicturesAreNotAssembled) {
    const TBitmap plain = MakePhotoLike(1280, 1024, 5);
    const TBitmap scrambled = ThroughJpeg(Scrambled(plain, Password));
    const TSeamScore before = MeasureSeams(scrambled, 64);
    // A random one, and ones a character off (their permutations agree with the right ones
    // in long runs; the last character changes the rows only).
    for (const std::string wrong : {"zebra crossing 42", "correct horse batterx", "correct hurse battery",
                                    "Correct horse battery", "correct horse battery "}) {
        SCOPED_TRACE(wrong);
        EXPECT_EQ(JudgeAssembly(before, MeasureSeams(Scrambled(scrambled, wrong, false))), TAssembly::NotAssembled);
    }
    EXPECT_EQ(JudgeAssembly(MeasureSeams(plain, 64), MeasureSeams(Scrambled(plain, Password, false))),
              TAssembly::NotAssembled);
}

// The guard judges by a coarse measure where that shows clean seams, and refuses only on a
// fine one: the right password passes, wrong ones and plain pictures do not, a flat picture
// cannot tell.
TEST(Seams, TheGuardAgreesWithTheFineJudgement) {
    const TBitmap plain = MakePhotoLike(1280, 1024, 13);
    const TBitmap scrambled = ThroughJpeg(Scrambled(plain, Password));
    TBitmap flat;
    flat.Allocate(640, 480, Rgb24Format(), true);
    const struct {
        const char* name;
        const TBitmap& read;
        std::string password;
        TAssembly expected;
    } cases[] = {{"right password", scrambled, Password, TAssembly::Assembled},
                 {"random password", scrambled, "zebra crossing 42", TAssembly::NotAssembled},
                 {"one character off", scrambled, "correct horse batterz", TAssembly::NotAssembled},
                 {"first character off", scrambled, "Correct horse battery", TAssembly::NotAssembled},
                 {"not scrambled", plain, Password, TAssembly::NotAssembled},
                 {"flat", flat, Password, TAssembly::Unclear}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TSeamScore before = MeasureSeams(c.read, 32);
        const TBitmap result = Scrambled(c.read, c.password, false);
        EXPECT_EQ(GuardAssembly(before, result, 32, 128), c.expected);
        EXPECT_EQ(JudgeAssembly(before, MeasureSeams(result, 128)), c.expected);
    }
}

// picture with its contrast divided by divisor, around the middle gray: a photograph of a
// smooth sky or of sand, that steps by a level or less from pixel to pixel.
TBitmap Dimmed(TBitmap picture, int divisor) {
    for (std::int32_t y = 0; y < picture.Height(); ++y) {
        std::uint8_t* row = picture.ScanLine(y);
        for (std::int32_t i = 0; i < picture.Width() * 3; ++i) row[i] = std::uint8_t(128 + (row[i] - 128) / divisor);
    }
    picture.Changed();
    return picture;
}

TEST(Seams, SmoothPhotographsAreToldAndGuarded) {
    const TBitmap plain = Dimmed(MakePhotoLike(1280, 1024, 12), 4);
    EXPECT_EQ(LookOf(MeasureSeams(plain)), TSeamLook::Assembled);
    const TBitmap scrambled = ThroughJpeg(Scrambled(plain, Password));
    EXPECT_EQ(LookOf(MeasureSeams(scrambled)), TSeamLook::Scrambled);
    EXPECT_EQ(JudgeAssembly(MeasureSeams(scrambled, 64), MeasureSeams(Scrambled(scrambled, Password, false))),
              TAssembly::Assembled);
    EXPECT_EQ(JudgeAssembly(MeasureSeams(scrambled, 64), MeasureSeams(Scrambled(scrambled, "correct horse batterz", false))),
              TAssembly::NotAssembled);
    // Not scrambled: assembling scrambles it once more, which shows whatever the plain one showed.
    EXPECT_EQ(JudgeAssembly(MeasureSeams(plain, 64), MeasureSeams(Scrambled(plain, Password, false))),
              TAssembly::NotAssembled);
}

TEST(Seams, PicturesWithoutDetailCannotTell) {
    TBitmap flat;
    flat.Allocate(800, 600, Rgb24Format());
    for (std::int32_t y = 0; y < 600; ++y)
        for (std::int32_t x = 0; x < 800; ++x) flat.SetPixel(x, y, RGB(90, 120, 200));
    const TBitmap noise = MakeNoise(800, 600, 3, Rgb24Format());
    const struct Case {
        const char* name;
        TBitmap picture;
    } cases[] = {{"flat", flat}, {"noise", noise}, {"small photo", MakePhotoLike(200, 150, 4)},
                 {"gray noise", MakeNoise(640, 480, 9, Gray8Format())}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TSeamScore before = MeasureSeams(c.picture);
        const TSeamScore after = MeasureSeams(Scrambled(c.picture, Password, false));
        EXPECT_EQ(JudgeAssembly(before, after), TAssembly::Unclear);
        EXPECT_NE(LookOf(after), TSeamLook::Scrambled);
    }
}

TEST(Seams, EveryPixelFormatIsMeasuredAlike) {
    const TBitmap photo = Scrambled(MakePhotoLike(640, 480, 6), Password);
    const double expected = MeasureSeams(photo).Score();
    for (const TNamedFormat& f : AllFormats()) {
        if (f.Format.Layout.BitCount < 24) continue;  // fewer colours: another picture
        SCOPED_TRACE(f.Name);
        TBitmap converted;
        converted.Allocate(640, 480, f.Format);
        TBitmap source(photo);
        converted.Canvas().CopyBlock(Rect(0, 0, 640, 480), source.Canvas(), Rect(0, 0, 640, 480));
        EXPECT_NEAR(MeasureSeams(converted).Score(), expected, 1e-9);
    }
}

TEST(Seams, SmoothingMendsColourAtTheSeamsOnly) {
    const TBitmap plain = ThroughJpeg(MakePhotoLike(1280, 1024, 8));
    const TBitmap assembled = Scrambled(ThroughJpeg(Scrambled(plain, Password)), Password, false);
    TBitmap smoothed = assembled;
    SmoothSeams(smoothed);
    EXPECT_GT(Psnr(smoothed, plain), Psnr(assembled, plain) + 0.5);
    EXPECT_NEAR(MeasureSeams(smoothed).Score(), MeasureSeams(plain).Score(), 0.1 * MeasureSeams(plain).Score());
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
    const double full = Psnr(Scrambled(ThroughJpeg(scrambled, true), Password, false), plain);
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
