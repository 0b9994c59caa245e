// The guard of assemble and check's judgement, over generated pictures: photograph-like ones
// (which tell), and flat, noisy, tiny and thin ones (which often cannot).
#include <gtest/gtest.h>

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

// Pictures that show too little never refuse the right password, never pass a wrong one
// silently, and never make check call them what they are not.
TEST(Guard, PicturesThatShowLittleNeverRefuseTheRightPassword) {
    TBitmap flat;
    flat.Allocate(800, 600, Rgb24Format());
    for (std::int32_t y = 0; y < 600; ++y)
        for (std::int32_t x = 0; x < 800; ++x) flat.SetPixel(x, y, RGB(90, 120, 200));
    const struct {
        const char* name;
        TBitmap picture;
    } cases[] = {{"flat", flat},
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
