// The built tavelix-cli on PNG files, which it reads and writes, and on HEIC and WebP files,
// which it reads but never writes.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "clifixture.h"
#include "codecfiles.h"
#include "engine/tavelix.h"
#include "testutil.h"

namespace tavelix {
namespace {

using namespace test;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

std::string Text(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

class FormatsTest : public CliTest {
protected:
    FormatsTest() {
        WriteAll(At("pw.txt"), Password + "\n");
        // 300 x 260 stored turned on its side: upright it is 260 x 300, every pixel in a strip.
        WriteAll(At("phone.heic"), Text(MakeHeic(Photo(300, 260, 3), 6)));
        WriteAll(At("web.webp"), Text(MakeWebp(Photo(200, 120, 4), true)));
    }
};

TEST_F(FormatsTest, HeicIsReadUprightAndScramblesToPngThatAssemblesExactly) {
    if (!CanMakeHeic()) GTEST_SKIP() << "libheif has no HEVC encoder here: no HEIC file can be made";
    TRun run = Run({"convert", "phone.heic", "upright.png"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    const TBitmap upright = Load("upright.png");
    EXPECT_EQ(upright.Width(), 260);
    EXPECT_EQ(upright.Height(), 300);

    run = Run({"scramble", "--password-file", "pw.txt", "-o", "s.png", "phone.heic"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_FALSE(SamePixels(Load("s.png"), upright));
    run = Run({"assemble", "--password-file", "pw.txt", "-o", "a.png", "s.png"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_TRUE(SamePixels(Load("a.png"), upright)) << FirstDifference(Load("a.png"), upright);
    // In place, a PNG stays a PNG and comes back whole.
    run = Run({"scramble", "--password-file", "pw.txt", "s.png"});
    ASSERT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadAll(At("s.png")).substr(1, 3), "PNG");
}

TEST_F(FormatsTest, WhatWouldWriteAReadOnlyKindIsRefusedSayingWhy) {
    const std::string webp = ReadAll(At("web.webp"));
    const struct Case {
        std::vector<std::string> Args;
        int Status;
        std::string Says;
    } cases[] = {
        {{"scramble", "--password-file", "pw.txt", "web.webp"}, 1,
         "web.webp: not scrambled: .webp pictures are read, never written; give -o a .jpg, .bmp or .png name"},
        {{"scramble", "--password-file", "pw.txt", "-o", "out.webp", "web.webp"}, 2,
         "-o out.webp: the output must be a .jpg, .bmp or .png file (.webp pictures are read, never written)"},
        {{"convert", "web.webp", "out.HEIC"}, 2,
         "out.HEIC: the output must be a .jpg, .bmp or .png file (.heic pictures are read, never written)"},
        {{"reduce", "--factor", "2", "web.webp"}, 1,
         "web.webp: no reduced copy: .webp pictures are read, never written; convert it to .jpg, .bmp or .png first"},
        {{"convert", "--format", "webp", "web.webp", "-"}, 1,
         "web.webp: not converted: .webp pictures are read, never written; write .jpg, .bmp or .png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Args[0] + " " + c.Args.back());
        const TRun run = Run(c.Args);
        EXPECT_EQ(run.Status, c.Status);
        EXPECT_TRUE(Contains(run.Err, c.Says)) << run.Err;
        EXPECT_TRUE(run.Out.empty());
    }
    EXPECT_EQ(ReadAll(At("web.webp")), webp);
    EXPECT_EQ(Others({"pw.txt", "phone.heic", "web.webp"}), std::vector<std::string>{});
}

TEST_F(FormatsTest, EveryCommandReadsWebpAndPngOnesWritePng) {
    const TBitmap picture = Load("web.webp");
    ASSERT_EQ(picture.Width(), 200);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"convert", "web.webp", "c.png"},
             {"gray", "web.webp", "g.png"},
             {"scramble", "--password-file", "pw.txt", "-o", "s.jpg", "web.webp"},
             {"check", "web.webp"},
             {"reduce", "--factor", "2", "c.png"}}) {
        SCOPED_TRACE(args[0]);
        const TRun run = Run(args);
        EXPECT_EQ(run.Status, 0) << run.Err;
    }
    EXPECT_TRUE(SamePixels(Load("c.png"), picture));
    EXPECT_EQ(ReadAll(At("g.png"))[25], '\0') << "black and white is written as gray";
    EXPECT_EQ(Load("cs2.png").Width(), 100);
    EXPECT_EQ(Load("s.jpg").Height(), 120);

    // Through standard input and output, the bytes of the file.
    const TRun piped = Run({"scramble", "--password-file", "pw.txt", "--format", "png", "-", "-o", "-"},
                           WithStdin(ReadAll(At("c.png"))));
    ASSERT_EQ(piped.Status, 0) << piped.Err;
    ASSERT_EQ(Run({"scramble", "--password-file", "pw.txt", "-o", "s.png", "c.png"}).Status, 0);
    EXPECT_TRUE(piped.Out == ReadAll(At("s.png")));
}

}  // namespace
}  // namespace tavelix
