// The built tavelix-cli guarding assemble against wrong passwords, telling scrambled pictures
// with check, and the opt-in remedies for assembled JPEGs, over generated photographs and
// flat or synthetic pictures.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "clifixture.h"
#include "engine/tavelix.h"
#include "testutil.h"

namespace tavelix {
namespace {

using namespace test;

TBitmap Scrambled(TBitmap picture, const std::string& password, bool scramble = true) {
    TTavelix::Scramble(&picture, password, scramble);
    return picture;
}

TBitmap Flat(std::int32_t width, std::int32_t height, TColor colour) {
    TBitmap picture;
    picture.Allocate(width, height, Rgb24Format());
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) picture.SetPixel(x, y, colour);
    return picture;
}

// A synthetic picture: a gentle left-to-right ramp, the same on every row.
TBitmap Ramp(std::int32_t width, std::int32_t height) {
    TBitmap picture;
    picture.Allocate(width, height, Rgb24Format());
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            const auto level = std::uint8_t(40 + x * 100 / width);
            picture.SetPixel(x, y, RGB(level, level, std::uint8_t(level / 2)));
        }
    return picture;
}

// Over the pixels that assembling restores (the right and bottom edge strips left out).
double Psnr(const TBitmap& a, const TBitmap& b) {
    const std::int32_t columns = a.Width() / (a.Width() / 256 + 1) * (a.Width() / 256 + 1);
    const std::int32_t rows = a.Height() / (a.Height() / 256 + 1) * (a.Height() / 256 + 1);
    double squares = 0;
    for (std::int32_t y = 0; y < rows; ++y)
        for (std::int32_t x = 0; x < columns; ++x) {
            const TColor p = a.Pixel(x, y), q = b.Pixel(x, y);
            for (int shift : {0, 8, 16}) {
                const double d = double((p >> shift) & 0xFF) - double((q >> shift) & 0xFF);
                squares += d * d;
            }
        }
    return 10 * std::log10(255.0 * 255.0 * columns * 3 * rows / squares);
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

const char* const Refused = "does not look assembled with this password (the password may be wrong, the picture may not "
                             "be scrambled, or it may be scrambled twice); left unchanged; --force assembles it anyway";

class GuardTest : public CliTest {
protected:
    GuardTest() {
        WriteAll(At("random.txt"), "zebra crossing 42\n");
        WriteAll(At("onechar.txt"), "correct horsf\n");  // the last character changed
    }
};

TEST_F(GuardTest, AssembleWritesOnlyWhatLooksAssembled) {
    const TBitmap photo = MakePhotoLike(1280, 1024, 21);
    struct Case {
        const char* name;
        const char* file;
        bool scrambled;
        std::vector<std::string> options;
        int status;
        bool changed;
    } cases[] = {
        {"right password, JPEG", "r.jpg", true, {"--password-file", "pw.txt"}, 0, true},
        {"right password, bitmap", "r.bmp", true, {"--password-file", "pw.txt"}, 0, true},
        {"random password, JPEG", "w.jpg", true, {"--password-file", "random.txt"}, 1, false},
        {"one character off, bitmap", "w.bmp", true, {"--password-file", "onechar.txt"}, 1, false},
        {"not scrambled, JPEG", "p.jpg", false, {"--password-file", "pw.txt"}, 1, false},
        {"not scrambled, bitmap", "p.bmp", false, {"--password-file", "pw.txt"}, 1, false},
        {"wrong password with --force", "f.jpg", true, {"--password-file", "random.txt", "--force"}, 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Save(c.scrambled ? Scrambled(photo, Password) : photo, c.file);
        const std::string bytes = ReadAll(At(c.file));
        std::vector<std::string> args{"assemble"};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back(c.file);
        const TRun run = Run(args);
        EXPECT_EQ(run.Status, c.status) << run.Err;
        EXPECT_EQ(ReadAll(At(c.file)) != bytes, c.changed);
        EXPECT_EQ(Contains(run.Err, Refused), !c.changed) << run.Err;
    }
    // The right password gives back the photograph: exactly for the bitmap.
    EXPECT_EQ(FirstDifference(Load("r.bmp"), Scrambled(Scrambled(photo, Password), Password, false)), "");
    EXPECT_GT(Psnr(Load("r.jpg"), photo), 25);
    // A refusal with -o writes nothing.
    const TRun run = Run({"assemble", "--password-file", "random.txt", "-o", "out.bmp", "w.jpg"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(Contains(run.Err, "scrambled twice); nothing written; --force assembles it anyway")) << run.Err;
    EXPECT_FALSE(fs::exists(At("out.bmp")));
}

TEST_F(GuardTest, PicturesWithoutDetailAreAssembledWithANote) {
    const struct Case {
        const char* name;
        TBitmap picture;
    } cases[] = {{"flat", Flat(800, 600, RGB(90, 120, 200))}, {"ramp", Ramp(1280, 300)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Save(Scrambled(c.picture, Password), "s.bmp");
        const TRun run = Run({"assemble", "--password-file", "pw.txt", "s.bmp"});
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_TRUE(Contains(run.Err, "note: the picture shows too little to tell whether this password assembles it "
                                      "rightly; assembled all the same"))
            << run.Err;
        EXPECT_EQ(FirstDifference(Load("s.bmp"), Scrambled(Scrambled(c.picture, Password), Password, false)), "");
    }
}

TEST_F(GuardTest, ScramblingAScrambledPictureGivesANoteAndCanBeUndone) {
    const TBitmap photo = MakePhotoLike(1275, 1020, 22);  // whole strips: every pixel comes back
    Save(photo, "a.bmp");
    TRun run = Run({"scramble", "--password-file", "pw.txt", "a.bmp"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Err, "");
    run = Run({"scramble", "--password-file", "pw.txt", "a.bmp"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(Contains(run.Err, "a.bmp: note: it looks scrambled already; scrambled once more "
                                  "(to undo: assemble it twice, the first time with --force)"))
        << run.Err;
    // The first assemble leaves a picture scrambled once: refused without --force, with the way out.
    run = Run({"assemble", "--password-file", "pw.txt", "a.bmp"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(Contains(run.Err, "a.bmp: looks scrambled twice with this password; left unchanged (to undo: assemble it "
                                  "twice, the first time with --force)"))
        << run.Err;
    EXPECT_EQ(Run({"assemble", "--password-file", "pw.txt", "--force", "a.bmp"}).Status, 0);
    EXPECT_EQ(Run({"assemble", "--password-file", "pw.txt", "a.bmp"}).Status, 0);
    EXPECT_EQ(FirstDifference(Load("a.bmp"), photo), "");
}

TEST_F(GuardTest, CheckTellsEachPictureInOrder) {
    const TBitmap photo = MakePhotoLike(1280, 1024, 23);
    Save(photo, "plain.jpg");
    Save(Scrambled(photo, Password), "scrambled.jpg");
    Save(Scrambled(photo, Password), "scrambled.bmp");
    Save(Flat(640, 480, RGB(10, 200, 30)), "flat.bmp");
    WriteAll(At("broken.jpg"), "not a picture");
    const std::vector<std::string> before{ReadAll(At("plain.jpg")), ReadAll(At("scrambled.jpg"))};

    TRun run = Run({"check", "-j", "2", "scrambled.jpg", "plain.jpg", "flat.bmp", "scrambled.bmp"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    const std::vector<std::string> lines = {"scrambled.jpg: scrambled (the strips keep ",
                                            "plain.jpg: not scrambled (the strips keep ",
                                            "flat.bmp: cannot tell (the strips keep 0 of 0 pairs of fitting edges)",
                                            "scrambled.bmp: scrambled (the strips keep "};
    std::size_t at = 0;
    for (const std::string& line : lines) {
        const std::size_t found = run.Out.find(line, at);
        EXPECT_NE(found, std::string::npos) << line << " in order in:\n" << run.Out;
        if (found != std::string::npos) at = found + line.size();
    }
    EXPECT_EQ(ReadAll(At("plain.jpg")), before[0]);
    EXPECT_EQ(ReadAll(At("scrambled.jpg")), before[1]);

    run = Run({"check", "plain.jpg", "broken.jpg"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(Contains(run.Out, "plain.jpg: not scrambled")) << run.Out;
    EXPECT_TRUE(Contains(run.Err, "broken.jpg")) << run.Err;
}

TEST_F(GuardTest, FullChromaAndSmoothImproveAnAssembledJpegOnlyWhenAsked) {
    const TBitmap photo = MakePhotoLike(1280, 1024, 24);
    Save(photo, "plain.bmp");
    for (const char* name : {"default.jpg", "full.jpg", "smooth.jpg"}) {
        std::vector<std::string> args{"convert", "plain.bmp", name};
        EXPECT_EQ(Run(args).Status, 0);
    }
    ASSERT_EQ(Run({"scramble", "--password-file", "pw.txt", "default.jpg", "smooth.jpg"}).Status, 0);
    ASSERT_EQ(Run({"scramble", "--full-chroma", "--password-file", "pw.txt", "full.jpg"}).Status, 0);
    EXPECT_GT(ReadAll(At("full.jpg")).size(), ReadAll(At("default.jpg")).size());
    // Without the options, the file the window would write.
    const TBitmap scrambled = Load("default.jpg");
    ASSERT_EQ(Run({"assemble", "--password-file", "pw.txt", "default.jpg", "full.jpg"}).Status, 0);
    ASSERT_EQ(Run({"assemble", "--smooth", "--password-file", "pw.txt", "smooth.jpg"}).Status, 0);
    Save(Scrambled(scrambled, Password, false), "window.jpg");
    EXPECT_TRUE(ReadAll(At("default.jpg")) == ReadAll(At("window.jpg")));

    const double plain = Psnr(Load("default.jpg"), photo);
    EXPECT_GT(Psnr(Load("full.jpg"), photo), plain + 1);
    EXPECT_GT(Psnr(Load("smooth.jpg"), photo), plain + 0.3);
}

}  // namespace
}  // namespace tavelix
