// The built tavelix-cli run on real files in a fresh folder, as a script would run it.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "clifixture.h"
#include "engine/tavelix.h"
#include "testutil.h"
#include "version.h"

namespace tavelix {
namespace {

using namespace test;

// --- scramble and assemble -------------------------------------------------------------

TEST_F(CliTest, ScrambleThenAssembleRestoresABitmapExactly) {
    // Widths that are multiples of their strip width come back whole.
    const TBitmap original = MakeNoise(300, 200, 1, Rgb24Format());
    Save(original, "a.bmp");
    const std::string bytes = ReadAll(At("a.bmp"));
    TBitmap expected = original;
    TTavelix::Scramble(&expected, Password, true);

    TRun run = Run({"scramble", "--password-file", "pw.txt", "a.bmp"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out + run.Err, "");  // quiet on success
    EXPECT_EQ(FirstDifference(Load("a.bmp"), expected), "");

    run = Run({"assemble", "--password-file", "pw.txt", "a.bmp"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(FirstDifference(Load("a.bmp"), original), "");
    EXPECT_TRUE(ReadAll(At("a.bmp")) == bytes) << "not byte for byte";
    EXPECT_TRUE(Others({"a.bmp", "pw.txt"}).empty());
}

TEST_F(CliTest, PasswordFromFileStdinAndCrLfAgree) {
    const TBitmap original = MakeNoise(64, 48, 2, Rgb24Format());
    for (const char* name : {"f.bmp", "s.bmp", "c.bmp"}) Save(original, name);
    WriteAll(At("crlf.txt"), Password + "\r\nsecond line\r\n");
    EXPECT_EQ(Run({"scramble", "--password-file", "pw.txt", "f.bmp"}).Status, 0);
    EXPECT_EQ(Run({"scramble", "--password-stdin", "s.bmp"}, WithStdin(Password + "\nignored\n")).Status, 0);
    EXPECT_EQ(Run({"scramble", "--password-file", "crlf.txt", "c.bmp"}).Status, 0);
    TBitmap expected = original;
    TTavelix::Scramble(&expected, Password, true);
    for (const char* name : {"f.bmp", "s.bmp", "c.bmp"}) EXPECT_EQ(FirstDifference(Load(name), expected), "") << name;
}

TEST_F(CliTest, AccentedPasswordsAreTakenAsWindows1252Bytes) {
    const TBitmap original = MakeNoise(256, 64, 3, Rgb24Format());
    Save(original, "a.bmp");
    WriteAll(At("accent.txt"), "caf\xC3\xA9 cr\xC3\xA8me \xE2\x82\xAC\n");  // "café crème €" in UTF-8
    const TRun run = Run({"scramble", "--password-file", "accent.txt", "a.bmp"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    TBitmap expected = original;
    TTavelix::Scramble(&expected, "caf\xE9 cr\xE8me \x80", true);
    EXPECT_EQ(FirstDifference(Load("a.bmp"), expected), "");
}

TEST_F(CliTest, PasswordsThatBreakTheRulesTouchNothing) {
    struct Case {
        const char* name;
        std::string line;
        std::string says;
    } cases[] = {
        {"7 characters", "abcdefg", "8 to 50 characters"},
        {"51 characters", std::string(51, 'a'), "8 to 50 characters"},
        {"tab inside", "abcd\tefgh", "control character"},
        {"Latin-1 byte, not UTF-8", "caf\xE9 noir", "not valid UTF-8"},
        {"Cyrillic letter", "abcdefg\xD0\x96", "Windows Western code page (1252)"},
        {"empty file", "", "8 to 50 characters"},
    };
    const TBitmap original = MakeNoise(32, 32, 4, Rgb24Format());
    Save(original, "a.bmp");
    const std::string before = ReadAll(At("a.bmp"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteAll(At("bad.txt"), c.line);
        for (const TRun& run : {Run({"scramble", "--password-file", "bad.txt", "a.bmp"}),
                                Run({"assemble", "--password-stdin", "a.bmp"}, WithStdin(c.line + "\n"))}) {
            EXPECT_EQ(run.Status, 2);
            EXPECT_NE(run.Err.find(c.says), std::string::npos) << run.Err;
            if (!c.line.empty()) {
                EXPECT_EQ(run.Err.find(c.line), std::string::npos) << "the password was printed";
            }
        }
        EXPECT_EQ(ReadAll(At("a.bmp")), before);
    }
}

TEST_F(CliTest, WithoutAPasswordSourceOrTerminalItIsAUsageError) {
    Save(MakeNoise(8, 8, 5, Rgb24Format()), "a.bmp");
    const std::string before = ReadAll(At("a.bmp"));
    const TRun run = Run({"scramble", "a.bmp"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("no terminal"), std::string::npos) << run.Err;
    EXPECT_EQ(ReadAll(At("a.bmp")), before);
    EXPECT_EQ(Run({"scramble", "--password-file", "missing.txt", "a.bmp"}).Status, 2);
    EXPECT_EQ(ReadAll(At("a.bmp")), before);
}

TEST_F(CliTest, TheTerminalIsAskedTwiceWithoutEcho) {
    const TBitmap original = MakeNoise(40, 30, 6, Rgb24Format());
    Save(original, "a.bmp");
    std::string seen;
    EXPECT_EQ(RunOnTerminal({"scramble", "a.bmp"}, {{"Password", Password}, {"again", Password}}, seen), 0) << seen;
    EXPECT_EQ(seen.find(Password), std::string::npos) << "echoed: " << seen;
    TBitmap expected = original;
    TTavelix::Scramble(&expected, Password, true);
    EXPECT_EQ(FirstDifference(Load("a.bmp"), expected), "");

    const std::string before = ReadAll(At("a.bmp"));
    EXPECT_EQ(RunOnTerminal({"scramble", "a.bmp"}, {{"Password", Password}, {"again", Password + "!"}}, seen), 2)
        << seen;
    EXPECT_NE(seen.find("differ"), std::string::npos) << seen;
    EXPECT_EQ(ReadAll(At("a.bmp")), before);
}

TEST_F(CliTest, ProgressShowsOnATerminalForMoreThanOneFile) {
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) Save(MakeNoise(40, 30, 20, Rgb24Format()), name);
    std::string seen;
    EXPECT_EQ(RunOnTerminal({"scramble", "--password-file", "pw.txt", "a.bmp", "b.bmp", "c.bmp"}, {}, seen), 0);
    EXPECT_NE(seen.find("[3/3] "), std::string::npos) << seen;
    EXPECT_TRUE(seen.ends_with("\r\x1b[K")) << "the line is cleared at the end: " << seen;
    EXPECT_EQ(RunOnTerminal({"scramble", "--password-file", "pw.txt", "a.bmp"}, {}, seen), 0);
    EXPECT_EQ(seen, "");
}

TEST_F(CliTest, OutputOptionWritesElsewhereByItsExtension) {
    const TBitmap original = Photo(200, 120, 1);
    Save(original, "in.jpg");
    const std::string before = ReadAll(At("in.jpg"));
    TRun run = Run({"scramble", "--password-file", "pw.txt", "-o", "out.bmp", "in.jpg"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(ReadAll(At("in.jpg")), before);
    EXPECT_EQ(ReadAll(At("out.bmp")).substr(0, 2), "BM");
    TBitmap expected = Load("in.jpg");
    TTavelix::Scramble(&expected, Password, true);
    EXPECT_EQ(FirstDifference(Load("out.bmp"), expected), "");

    // -o needs exactly one FILE and a picture name; nothing is touched otherwise.
    Save(original, "two.jpg");
    EXPECT_EQ(Run({"scramble", "--password-file", "pw.txt", "-o", "x.jpg", "in.jpg", "two.jpg"}).Status, 2);
    EXPECT_EQ(Run({"assemble", "--password-file", "pw.txt", "-o", "x.gif", "in.jpg"}).Status, 2);
    EXPECT_FALSE(fs::exists(At("x.jpg")));
    EXPECT_FALSE(fs::exists(At("x.gif")));
    EXPECT_EQ(ReadAll(At("in.jpg")), before);
}

TEST_F(CliTest, BadFilesAreReportedAndTheOthersDone) {
    const TBitmap original = MakeNoise(50, 40, 7, Rgb24Format());
    Save(original, "good.bmp");
    WriteAll(At("text.jpg"), "this is not a picture");
    WriteAll(At("empty.jpg"), "");
    Save(Photo(30, 20, 2), "jpeg.jpg");
    fs::copy_file(At("jpeg.jpg"), At("jpeg-in.bmp"));  // a JPEG under a bitmap's name
    WriteAll(At("notes.txt"), "a text file");
    const std::vector<std::string> bad = {"text.jpg", "empty.jpg", "jpeg-in.bmp", "missing.jpg", "notes.txt"};
    std::vector<std::string> before;
    for (const std::string& name : bad) before.push_back(fs::exists(At(name)) ? ReadAll(At(name)) : "");

    std::vector<std::string> args = {"scramble", "--password-file", "pw.txt", "-j", "2"};
    args.insert(args.end(), bad.begin(), bad.end());
    args.push_back("good.bmp");
    const TRun run = Run(args);
    EXPECT_EQ(run.Status, 1);
    TBitmap expected = original;
    TTavelix::Scramble(&expected, Password, true);
    EXPECT_EQ(FirstDifference(Load("good.bmp"), expected), "");
    for (std::size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(bad[i]);
        // One line names the file and says why.
        const std::size_t line = run.Err.find("tavelix-cli: " + bad[i] + ": ");
        ASSERT_NE(line, std::string::npos) << run.Err;
        const std::string text = run.Err.substr(line, run.Err.find('\n', line) - line);
        EXPECT_GT(text.size(), ("tavelix-cli: " + bad[i] + ": ").size() + 5) << text;
        EXPECT_EQ(fs::exists(At(bad[i])) ? ReadAll(At(bad[i])) : "", before[i]);
    }
    EXPECT_NE(run.Err.find("notes.txt: skipped"), std::string::npos) << run.Err;
    EXPECT_NE(run.Err.find("5 of 6 files failed"), std::string::npos) << run.Err;
    EXPECT_FALSE(fs::exists(At("missing.jpg")));
    EXPECT_TRUE(Others({"good.bmp", "text.jpg", "empty.jpg", "jpeg.jpg", "jpeg-in.bmp", "notes.txt", "pw.txt"})
                    .empty());
}

TEST_F(CliTest, AnUnwritableFolderOrUnreadableFilesChangeNothing) {
    const TRunSetup unprivileged = AsUnprivileged();
    std::vector<std::string> names, before;
    for (std::size_t i = 0; i < 3; ++i) {
        names.push_back(Numbered("f", i, i % 2 ? ".jpg" : ".bmp"));
        Save(Photo(40, 30, std::uint32_t(i)), names.back());
        fs::permissions(At(names.back()), fs::perms::all & ~fs::perms::owner_exec & ~fs::perms::group_exec &
                                              ~fs::perms::others_exec);  // 0666: only the folder stands in the way
        before.push_back(ReadAll(At(names.back())));
    }
    // The folder is closed to writing (for user 65534 it never was open).
    fs::permissions(FDir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                              fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    std::vector<std::string> args = {"scramble", "--password-file", "pw.txt"};
    args.insert(args.end(), names.begin(), names.end());
    TRun run = Run(args, unprivileged);
    fs::permissions(FDir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    if (run.Status == 126 || run.Status == 127) GTEST_SKIP() << "user 65534 (nobody) cannot run the program from here: a folder above the build "
                                                            "is closed to other users (a clone in /root is)";
    EXPECT_EQ(run.Status, 1);
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_NE(run.Err.find(names[i] + ": not saved"), std::string::npos) << run.Err;
        EXPECT_EQ(ReadAll(At(names[i])), before[i]);
    }

    // Files that cannot be read: each reported, none written.
    for (const std::string& name : names) fs::permissions(At(name), fs::perms::none);
    if (!unprivileged.AsNobody && ::geteuid() == 0) GTEST_SKIP() << "root reads every file";
    run = Run(args, unprivileged);
    for (const std::string& name : names) fs::permissions(At(name), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(run.Status, 1);
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_NE(run.Err.find(names[i] + ": "), std::string::npos) << run.Err;
        EXPECT_EQ(ReadAll(At(names[i])), before[i]);
    }
    EXPECT_TRUE(Others({"f0.bmp", "f1.jpg", "f2.bmp", "pw.txt"}).empty());
}

TEST_F(CliTest, AKilledRunLeavesEveryFileWholeOrUntouched) {
    // 50 files, half bitmaps and half JPEGs; the run is killed outright in the middle.
    const int count = 50;
    std::vector<TBitmap> originals;
    std::vector<std::string> names, before;
    std::vector<std::string> args = {"scramble", "--password-file", "pw.txt", "-j", "2"};
    for (int i = 0; i < count; ++i) {
        names.push_back(Numbered("f", std::size_t(i), i % 2 ? ".jpg" : ".bmp"));
        originals.push_back(Photo(768, 480, std::uint32_t(i)));  // no edge strips: comes back exactly
        Save(originals.back(), names.back());
        before.push_back(ReadAll(At(names.back())));
        args.push_back(names.back());
    }
    // Killed as soon as the third file has been replaced, so the run is caught in its middle.
    const TRun run = Run(args, KilledWhen([&] { return ReadAll(At(names[2])) != before[2]; }));
    EXPECT_EQ(run.Status, 128 + SIGKILL) << "the run ended before it was killed; " << run.Err;
    int scrambled = 0;
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(names[std::size_t(i)]);
        if (ReadAll(At(names[std::size_t(i)])) == before[std::size_t(i)]) continue;  // untouched
        ++scrambled;
        TBitmap back = Load(names[std::size_t(i)]);  // a whole picture, not a torn one
        TTavelix::Scramble(&back, Password, false);
        const TBitmap& original = originals[std::size_t(i)];
        ASSERT_EQ(back.Width(), original.Width());
        ASSERT_EQ(back.Height(), original.Height());
        if (i % 2 == 0) {
            EXPECT_EQ(FirstDifference(back, original), "");
        } else {  // two JPEG encodings away from the original
            long total = 0;
            for (std::int32_t y = 0; y < back.Height(); y += 7)
                for (std::int32_t x = 0; x < back.Width(); x += 7)
                    total += std::abs(int(GetGValue(back.Pixel(x, y))) - int(GetGValue(original.Pixel(x, y))));
            EXPECT_LT(double(total) / ((back.Width() / 7 + 1) * (back.Height() / 7 + 1)), 12.0);
        }
    }
    std::cout << "[          ] " << scrambled << " of " << count << " files were scrambled before the kill\n";
    // The next run into the folder clears what the killed one may have left half-named.
    EXPECT_EQ(Run({"convert", names[0], "after.bmp"}).Status, 0);
    names.push_back("after.bmp");
    std::vector<std::string> known(names);
    known.push_back("pw.txt");
    for (const auto& entry : fs::directory_iterator(FDir))
        EXPECT_TRUE(std::find(known.begin(), known.end(), entry.path().filename().string()) != known.end())
            << "left behind: " << entry.path().filename();
}

TEST_F(CliTest, AnOutputUnderARegularFileFails) {
    // Works for root too: no folder can exist under a regular file.
    Save(MakeNoise(20, 20, 9, Rgb24Format()), "a.bmp");
    const std::string before = ReadAll(At("a.bmp"));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"scramble", "--password-file", "pw.txt", "-o", "pw.txt/out.bmp", "a.bmp"},
          std::vector<std::string>{"convert", "a.bmp", "pw.txt/out.jpg"},
          std::vector<std::string>{"gray", "a.bmp", "pw.txt/out.bmp"}}) {
        SCOPED_TRACE(args[0]);
        const TRun run = Run(args);
        EXPECT_EQ(run.Status, 1);
        EXPECT_NE(run.Err.find("not saved"), std::string::npos) << run.Err;
    }
    EXPECT_EQ(ReadAll(At("a.bmp")), before);
}

TEST_F(CliTest, AFileSizeLimitFailsTheSaveAndKeepsTheOriginal) {
    Save(MakeNoise(200, 200, 10, Rgb24Format()), "a.bmp");  // 120 KB
    const std::string before = ReadAll(At("a.bmp"));
    const TRun run = Run({"scramble", "--password-file", "pw.txt", "a.bmp"}, WithFileSizeLimit(64 * 1024));
    EXPECT_EQ(run.Status, 1) << run.Err;  // not killed by SIGXFSZ
    EXPECT_NE(run.Err.find("a.bmp: not saved"), std::string::npos) << run.Err;
    EXPECT_EQ(ReadAll(At("a.bmp")), before);
    EXPECT_TRUE(Others({"a.bmp", "pw.txt"}).empty());
}

TEST_F(CliTest, OneOrTwoJobsGiveTheSameBytes) {
    const std::vector<std::pair<int, int>> sizes = {{640, 480}, {100, 70}, {333, 257}, {512, 512}, {31, 900}, {1, 1}};
    fs::create_directories(At("one"));
    fs::create_directories(At("two"));
    std::vector<std::string> one = {"--password-file", "pw.txt", "-j", "1"}, two = {"--password-file", "pw.txt", "-j", "2"};
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::string name = Numbered("p", i, i % 2 ? ".bmp" : ".jpg");
        Save(i % 2 ? MakeNoise(sizes[i].first, sizes[i].second, std::uint32_t(i), Rgb24Format())
                   : Photo(sizes[i].first, sizes[i].second, std::uint32_t(i)),
             "one/" + name);
        fs::copy_file(At("one/" + name), At("two/" + name));
        one.push_back("one/" + name);
        two.push_back("two/" + name);
    }
    for (const char* command : {"scramble", "assemble"}) {
        std::vector<std::string> a = one, b = two;
        a.insert(a.begin(), command);
        b.insert(b.begin(), command);
        const TRun runA = Run(a);
        EXPECT_EQ(runA.Status, 0) << runA.Err;
        EXPECT_EQ(Run(b).Status, 0);
    }
    EXPECT_EQ(Run({"reduce", "--factor", "4", "-j", "1", "one/p0.jpg", "one/p1.bmp", "one/p2.jpg", "one/p3.bmp"}).Status, 0);
    EXPECT_EQ(Run({"reduce", "--factor", "4", "-j", "2", "two/p0.jpg", "two/p1.bmp", "two/p2.jpg", "two/p3.bmp"}).Status, 0);
    std::size_t compared = 0;
    for (const auto& entry : fs::directory_iterator(At("one"))) {
        const std::string name = entry.path().filename().string();
        SCOPED_TRACE(name);
        EXPECT_EQ(ReadAll(entry.path()), ReadAll(At("two/" + name)));
        ++compared;
    }
    EXPECT_EQ(compared, sizes.size() + 4);
}

TEST_F(CliTest, AFileGivenTwiceIsDoneTwiceInOrder) {
    const TBitmap original = MakeNoise(64, 64, 11, Rgb24Format());
    Save(original, "a.bmp");
    EXPECT_EQ(Run({"scramble", "--password-file", "pw.txt", "-j", "2", "a.bmp", "./a.bmp"}).Status, 0);
    TBitmap expected = original;
    TTavelix::Scramble(&expected, Password, true);
    TTavelix::Scramble(&expected, Password, true);
    EXPECT_EQ(FirstDifference(Load("a.bmp"), expected), "");
}

TEST_F(CliTest, ThroughASymbolicLinkTheLinkedFileIsReplaced) {
    const TBitmap original = MakeNoise(48, 32, 21, Rgb24Format());
    Save(original, "a.bmp");
    fs::create_symlink("a.bmp", At("link.bmp"));
    EXPECT_EQ(Run({"scramble", "--password-file", "pw.txt", "link.bmp"}).Status, 0);
    EXPECT_TRUE(fs::is_symlink(At("link.bmp")));
    TBitmap expected = original;
    TTavelix::Scramble(&expected, Password, true);
    EXPECT_EQ(FirstDifference(Load("a.bmp"), expected), "");
}

TEST_F(CliTest, PicturesOverThePixelLimitAreLeftUnchangedAndNotCounted) {
    // Scrambling leaves such a picture as it is: rewriting it would report as hidden a picture
    // anyone can see (and cost a JPEG quality).
    Save(MakeNoise(1281, 1024, 12, Rgb24Format()), "big.bmp");
    Save(Photo(1024, 1281, 12), "big.jpg");
    Save(MakeNoise(1280, 1024, 13, Rgb24Format()), "limit.bmp");
    const std::string bigBmp = ReadAll(At("big.bmp")), bigJpg = ReadAll(At("big.jpg"));
    const std::string limitBefore = ReadAll(At("limit.bmp"));
    for (const char* command : {"scramble", "assemble"}) {
        SCOPED_TRACE(command);
        const std::string done = std::string(command) + "d";
        const TRun run = Run({command, "-v", "--password-file", "pw.txt", "big.bmp", "big.jpg", "limit.bmp"});
        EXPECT_EQ(run.Status, 1) << run.Err;
        EXPECT_NE(run.Err.find("big.bmp: not " + done + " (1281 \u00D7 1024): over the pixel limit of 1280 \u00D7 1024, "
                               "left unchanged"),
                  std::string::npos)
            << run.Err;
        EXPECT_NE(run.Err.find("big.jpg: not " + done + " (1024 \u00D7 1281)"), std::string::npos) << run.Err;
        EXPECT_EQ(run.Out.find("big."), std::string::npos) << run.Out;
        EXPECT_NE(run.Out.find("limit.bmp: " + done), std::string::npos) << run.Out;
        EXPECT_NE(run.Out.find("1 of 3 files done"), std::string::npos) << run.Out;
        EXPECT_TRUE(ReadAll(At("big.bmp")) == bigBmp);
        EXPECT_TRUE(ReadAll(At("big.jpg")) == bigJpg);
    }
    EXPECT_TRUE(ReadAll(At("limit.bmp")) != limitBefore);  // exactly at the limit: changed
    // Into another file: nothing is written.
    const TRun run = Run({"scramble", "--password-file", "pw.txt", "-o", "out.bmp", "big.bmp"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("nothing written"), std::string::npos) << run.Err;
    EXPECT_FALSE(fs::exists(At("out.bmp")));
}

// --fit reduces such a picture to fit the limit, into a new file; in place only with --force.
TEST_F(CliTest, FitReducesAPictureOverTheLimitIntoANewFile) {
    Save(MakeNoise(2000, 1000, 14, Rgb24Format()), "wide.bmp");
    const std::string before = ReadAll(At("wide.bmp"));
    TRun run = Run({"scramble", "--fit", "--password-file", "pw.txt", "wide.bmp"});
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("--fit would reduce it to 1619 \u00D7 809 in place"), std::string::npos) << run.Err;
    EXPECT_TRUE(ReadAll(At("wide.bmp")) == before);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"scramble", "--fit", "--password-file", "pw.txt", "-o", "fit.bmp", "wide.bmp"},
          std::vector<std::string>{"convert", "--fit", "wide.bmp", "fit.bmp"},
          std::vector<std::string>{"scramble", "--fit", "--force", "--password-file", "pw.txt", "wide.bmp"}}) {
        fs::remove(At("fit.bmp"));
        run = Run(args);
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_NE(run.Err.find("reduced from 2000 \u00D7 1000 to 1619 \u00D7 809"), std::string::npos) << run.Err;
        const TBitmap written = Load(args.back() == "wide.bmp" && args.size() == 6 ? "wide.bmp" : "fit.bmp");
        EXPECT_EQ(written.Width(), 1619);
        EXPECT_EQ(written.Height(), 809);
    }
}

TEST_F(CliTest, AnInterruptFinishesTheFileInHandAndLeavesTheRestWhole) {
    const TBitmap original = MakeNoise(600, 400, 14, Rgb24Format());
    TBitmap scrambled = original;
    TTavelix::Scramble(&scrambled, Password, true);
    std::vector<std::string> args = {"scramble", "--password-file", "pw.txt", "-j", "1"};
    const int count = 40;
    for (int i = 0; i < count; ++i) {
        Save(original, Numbered("f", std::size_t(i), ".bmp"));
        args.push_back(Numbered("f", std::size_t(i), ".bmp"));
    }
    const TRun run = Run(args, InterruptedAfter(150));
    int done = 0;
    for (int i = 0; i < count; ++i) {
        const TBitmap now = Load(Numbered("f", std::size_t(i), ".bmp"));
        const bool isScrambled = FirstDifference(now, scrambled).empty();
        EXPECT_TRUE(isScrambled || FirstDifference(now, original).empty()) << "f" << i << " is half done";
        done += isScrambled;
    }
    if (done < count) {
        EXPECT_EQ(run.Status, 1) << run.Err;
        EXPECT_NE(run.Err.find("interrupted: " + std::to_string(count - done) + " of 40 files left untouched"),
                  std::string::npos)
            << run.Err;
    } else {
        EXPECT_EQ(run.Status, 0) << run.Err;  // the machine was quicker than the signal
    }
}

// --- reduce, gray, convert ---------------------------------------------------------------

TEST_F(CliTest, ReduceWritesCopiesUnderDerivedNames) {
    Save(Photo(200, 100, 3), "photo.jpg");
    Save(Photo(96, 64, 4), "PIC.JPG");
    Save(MakeNoise(64, 40, 15, Rgb24Format()), "b.bmp");
    Save(MakeNoise(1, 5, 16, Rgb24Format()), "thin.bmp");
    const std::string photoBefore = ReadAll(At("photo.jpg"));
    struct Case {
        int factor;
        std::string copy;
        int width, height;
        std::string magic;
    } cases[] = {
        {2, "photos2.jpg", 100, 50, "\xFF\xD8"}, {4, "photos4.jpg", 50, 25, "\xFF\xD8"},
        {8, "photos8.jpg", 25, 12, "\xFF\xD8"},  {2, "PICs2.JPG", 48, 32, "\xFF\xD8"},
        {8, "bs8.bmp", 8, 5, "BM"},
    };
    for (int factor : {2, 4, 8}) {
        const TRun run = Run({"reduce", "--factor", std::to_string(factor), "photo.jpg", "PIC.JPG", "b.bmp", "thin.bmp"});
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_NE(run.Err.find("thin.bmp: no reduced copy"), std::string::npos) << run.Err;
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.copy);
        const TBitmap copy = Load(c.copy);
        EXPECT_EQ(copy.Width(), c.width);
        EXPECT_EQ(copy.Height(), c.height);
        EXPECT_EQ(ReadAll(At(c.copy)).substr(0, 2), c.magic);
    }
    EXPECT_EQ(ReadAll(At("photo.jpg")), photoBefore);
    for (const char* none : {"thins2.bmp", "thins4.bmp", "thins8.bmp"}) EXPECT_FALSE(fs::exists(At(none))) << none;
    // A failed load writes no copy.
    WriteAll(At("bad.jpg"), "no picture");
    EXPECT_EQ(Run({"reduce", "--factor", "2", "bad.jpg"}).Status, 1);
    EXPECT_FALSE(fs::exists(At("bads2.jpg")));
}

TEST_F(CliTest, GrayAndConvertSaveByTheOutputsExtension) {
    Save(Photo(120, 80, 5), "in.jpg");
    Save(MakeNoise(120, 80, 17, Rgb24Format()), "in.bmp");

    EXPECT_EQ(Run({"gray", "in.jpg", "gray.bmp"}).Status, 0);
    const std::string grayBmp = ReadAll(At("gray.bmp"));
    ASSERT_GT(grayBmp.size(), 30u);
    EXPECT_EQ(grayBmp.substr(0, 2), "BM");
    EXPECT_EQ(std::uint8_t(grayBmp[28]), 8);  // an 8-bit bitmap with a gray table
    EXPECT_EQ(Run({"gray", "-q", "95", "in.bmp", "gray.jpg"}).Status, 0);
    const TBitmap gray = Load("gray.jpg");
    for (std::int32_t y = 0; y < gray.Height(); y += 7)
        for (std::int32_t x = 0; x < gray.Width(); x += 7) {
            const TColor c = gray.Pixel(x, y);
            EXPECT_LE(std::abs(int(GetRValue(c)) - int(GetGValue(c))), 2);
            EXPECT_LE(std::abs(int(GetBValue(c)) - int(GetGValue(c))), 2);
        }

    EXPECT_EQ(Run({"convert", "in.jpg", "out.bmp"}).Status, 0);
    EXPECT_EQ(FirstDifference(Load("out.bmp"), Load("in.jpg")), "");
    EXPECT_EQ(Run({"convert", "-q", "50", "in.bmp", "out.jpg"}).Status, 0);
    EXPECT_EQ(ReadAll(At("out.jpg")).substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(Load("out.jpg").Width(), 120);

    // A quality changes the bytes written; the default is 90.
    EXPECT_EQ(Run({"convert", "in.bmp", "q90.jpg"}).Status, 0);
    EXPECT_EQ(Run({"convert", "-q", "90", "in.bmp", "q90b.jpg"}).Status, 0);
    EXPECT_EQ(ReadAll(At("q90.jpg")), ReadAll(At("q90b.jpg")));
    EXPECT_NE(ReadAll(At("q90.jpg")), ReadAll(At("out.jpg")));

    EXPECT_EQ(Run({"convert", "in.jpg", "out.gif"}).Status, 2);
    EXPECT_FALSE(fs::exists(At("out.gif")));
    EXPECT_EQ(Run({"convert", "in.txt", "out2.jpg"}).Status, 1);
    EXPECT_EQ(Run({"gray", "missing.jpg", "out3.jpg"}).Status, 1);
    EXPECT_FALSE(fs::exists(At("out3.jpg")));
}

// --- the command line itself (read in-process: commandline_test.cpp) ----------------------

TEST_F(CliTest, WhatTheCommandLineAnswersReachesTheShell) {
    TRun run = Run({"--version"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Out, std::string("tavelix-cli ") + TAVELIX_VERSION + "\n");
    Save(MakeNoise(8, 8, 18, Rgb24Format()), "a.bmp");
    const std::string before = ReadAll(At("a.bmp"));
    run = Run({"scramble", "--password-file", "pw.txt", "-q", "0", "a.bmp"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_EQ(run.Out, "");
    EXPECT_EQ(run.Err, "--quality: Value 0 not in range 1 to 100\nRun with --help for more information.\n");
    EXPECT_EQ(ReadAll(At("a.bmp")), before);
    EXPECT_TRUE(Others({"a.bmp", "pw.txt"}).empty());
}

TEST_F(CliTest, VerboseTellsWhatWasDone) {
    Save(MakeNoise(30, 20, 19, Rgb24Format()), "a.bmp");
    const TRun run = Run({"scramble", "-v", "--password-file", "pw.txt", "a.bmp"});
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Out.find("a.bmp: scrambled (30 x 20)"), std::string::npos) << run.Out;
    EXPECT_EQ(run.Err, "");
}

}  // namespace
}  // namespace tavelix
