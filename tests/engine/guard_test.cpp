// The guard of assemble and check's judgement, over generated pictures: photograph-like ones
// (which tell), and flat, noisy, tiny and thin ones (which often cannot).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "engine/guard.h"
#include "engine/tavelix.h"
#include "testutil.h"

namespace tavelix {
namespace {

using namespace test;

const std::string Password = "correct horse battery";

TBitmap Scrambled(TBitmap picture, const std::string& password, bool scramble = true) {
    TTavelix::Scramble(&picture, password, scramble);
    return picture;
}

TBitmap InFormat(const TBitmap& picture, const TStoreFormat& format) {
    TBitmap converted;
    converted.Allocate(picture.Width(), picture.Height(), format);
    TBitmap source(picture);
    const TRect all = Rect(0, 0, picture.Width(), picture.Height());
    converted.Canvas().CopyBlock(all, source.Canvas(), all);
    return converted;
}

// A picture that tells: every kind of wrong password is refused, the right one passes, in every
// pixel format a picture is loaded in, as a bitmap and through a JPEG. Through a JPEG at low
// quality this smooth picture keeps too few fitting edges to tell, but is never judged wrongly.
TEST(Guard, APictureThatTellsRefusesEveryWrongPassword) {
    const TBitmap plain = MakePhotoLike(1280, 1024, 13);
    const TBitmap once = Scrambled(plain, Password);
    const struct {
        const char* name;
        TBitmap read;
        bool tells;
    } reads[] = {{"bitmap", once, true},
                 {"JPEG q90", ThroughJpeg(once), true},
                 {"JPEG q30", ThroughJpeg(once, 30), false},
                 {"gray", InFormat(once, Gray8Format()), true},
                 {"device", InFormat(once, DeviceFormat()), true}};
    const struct {
        std::string password;
        TAssemblyVerdict expected;
    } cases[] = {{Password, TAssemblyVerdict::Assembled},
                 {"zebra crossing 42", TAssemblyVerdict::NotAssembled},
                 {"correct horse batterz", TAssemblyVerdict::NotAssembled},
                 {"correct hurse battery", TAssemblyVerdict::NotAssembled},
                 {"Correct horse battery", TAssemblyVerdict::NotAssembled}};
    for (const auto& read : reads)
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(read.name) + ", " + c.password);
            const TAssemblyVerdict verdict = JudgeAssembly(read.read, c.password);
            if (read.tells)
                EXPECT_EQ(verdict, c.expected);
            else
                EXPECT_TRUE(verdict == c.expected || verdict == TAssemblyVerdict::Unclear);
        }
    // Not scrambled, and scrambled twice.
    EXPECT_EQ(JudgeAssembly(plain, Password), TAssemblyVerdict::NotAssembled);
    EXPECT_EQ(JudgeAssembly(Scrambled(once, Password), Password), TAssemblyVerdict::ScrambledTwice);
    // check: the clear picture and the scrambled one are told apart.
    EXPECT_EQ(LookOfArrangement(plain).Look(), TSeamLook::Assembled);
    EXPECT_EQ(LookOfArrangement(once).Look(), TSeamLook::Scrambled);
}

// One character off can leave all but a few seams right: "staHle" breaks 9 of the 199 seams
// each way of an 800 x 600 picture. That is never taken for right.
TEST(Guard, APasswordThatBreaksFewSeamsIsNeverTakenForRight) {
    const TBitmap read = Scrambled(MakePhotoLike(800, 600, 17), "correct horse battery staple");
    for (const TBitmap& through : {read, ThroughJpeg(read)})
        EXPECT_NE(JudgeAssembly(through, "correct horse battery staHle"), TAssemblyVerdict::Assembled);
    EXPECT_EQ(JudgeAssembly(read, "correct horse battery staple"), TAssemblyVerdict::Assembled);
}

// Windows of flat colour on a flat background, with lines of one-pixel strokes in them.
TBitmap MakeScreenLike(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    std::mt19937 random(seed);
    TBitmap picture;
    picture.Allocate(width, height, Rgb24Format());
    auto fill = [&](std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1, TColor colour) {
        for (std::int32_t y = y0; y < y1; ++y)
            for (std::int32_t x = x0; x < x1; ++x) picture.SetPixel(x, y, colour);
    };
    fill(0, 0, width, height, RGB(90, 90, 100));
    for (int window = 0; window < 6; ++window) {
        const std::int32_t x0 = std::int32_t(random() % std::uint32_t(width * 2 / 3)),
                           y0 = std::int32_t(random() % std::uint32_t(height * 2 / 3));
        const std::int32_t x1 = std::min(width, x0 + width / 4 + std::int32_t(random() % std::uint32_t(width / 3))),
                           y1 = std::min(height, y0 + height / 5 + std::int32_t(random() % std::uint32_t(height / 3)));
        const bool dark = random() % 2 != 0;
        fill(x0, y0, x1, y1, dark ? RGB(20, 20, 30) : RGB(240, 240, 230));
        for (std::int32_t y = y0 + 4; y + 13 < y1; y += 13)  // lines of glyphs in cells of 7 x 13
            for (std::int32_t x = x0 + 4; x + 7 < x1 - std::int32_t(random() % 40); x += 7)
                for (int stroke = 0; stroke < 4; ++stroke) {
                    const bool across = random() % 2 != 0;
                    const std::int32_t sx = x + std::int32_t(random() % 5), sy = y + std::int32_t(random() % 8),
                                       length = 2 + std::int32_t(random() % 4);
                    for (std::int32_t i = 0; i < length; ++i)
                        picture.SetPixel(std::min(x + 5, across ? sx + i : sx), std::min(y + 8, across ? sy : sy + i),
                                         dark ? RGB(200, 220, 200) : RGB(30, 30, 30));
                }
    }
    return picture;
}

// A screenshot pairs few strip edges clearly, and its pairs mislead; its seams step where the
// strips do not.
TEST(Guard, APictureOfFlatAreasRefusesAWrongPasswordByItsSteps) {
    const TBitmap read = Scrambled(MakeScreenLike(1280, 1024, 1), Password);
    const TArrangementLook wrong = LookOfArrangement(read, "zebra crossing 42", 1);
    EXPECT_NE(wrong.Columns.Look(), TSeamLook::Scrambled);
    EXPECT_NE(wrong.Rows.Look(), TSeamLook::Scrambled);
    EXPECT_EQ(wrong.Look(), TSeamLook::Scrambled);
    EXPECT_EQ(JudgeAssembly(read, "zebra crossing 42"), TAssemblyVerdict::NotAssembled);
    EXPECT_NE(LookOfArrangement(read, Password, 1).Look(), TSeamLook::Scrambled);
    EXPECT_EQ(JudgeAssemblyLater(read, "correct horse batterz").get(), JudgeAssembly(read, "correct horse batterz"));
}

// Pictures that show too little never refuse the right password, never pass a wrong one
// silently, and never make check call them what they are not.
TEST(Guard, PicturesThatShowLittleNeverRefuseTheRightPassword) {
    TBitmap flat, checkerboard;
    flat.Allocate(800, 600, Rgb24Format());
    checkerboard.Allocate(1024, 768, Rgb24Format());  // cells of 8 pixels, strips of 4 lines
    for (std::int32_t y = 0; y < 600; ++y)
        for (std::int32_t x = 0; x < 800; ++x) flat.SetPixel(x, y, RGB(90, 120, 200));
    for (std::int32_t y = 0; y < 768; ++y)
        for (std::int32_t x = 0; x < 1024; ++x)
            checkerboard.SetPixel(x, y, (x / 8 + y / 8) % 2 != 0 ? RGB(70, 40, 220) : RGB(255, 255, 255));
    const struct {
        const char* name;
        TBitmap picture;
    } cases[] = {{"flat", flat},
                 {"checkerboard", checkerboard},
                 {"noise", MakeNoise(1280, 1024, 3, Rgb24Format())},
                 {"gray noise", MakeNoise(640, 480, 9, Gray8Format())},
                 {"tiny photo", MakePhotoLike(16, 12, 4)},
                 {"small photo", MakePhotoLike(200, 150, 4)},
                 {"noise 300 x 2", MakeNoise(300, 2, 5, Rgb24Format())},
                 {"noise 301 x 2", MakeNoise(301, 2, 6, Rgb24Format())},
                 {"noise 9 x 511", MakeNoise(9, 511, 7, Rgb24Format())},
                 {"noise 1 x 500", MakeNoise(1, 500, 8, Rgb24Format())}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TBitmap read = Scrambled(c.picture, Password);
        for (const TBitmap& through : {read, ThroughJpeg(read)}) {
            const TAssemblyVerdict right = JudgeAssembly(through, Password);
            EXPECT_TRUE(right == TAssemblyVerdict::Assembled || right == TAssemblyVerdict::Unclear);
            EXPECT_NE(JudgeAssembly(through, "correct horse batterz"), TAssemblyVerdict::Assembled);
            EXPECT_NE(JudgeAssembly(through, "zebra crossing 42"), TAssemblyVerdict::Assembled);
        }
        EXPECT_NE(LookOfArrangement(c.picture).Look(), TSeamLook::Scrambled);
    }
}

}  // namespace
}  // namespace tavelix
