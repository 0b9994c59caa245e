// The built tavelix-cli over folders (-r, --out-dir, -n), as a filter between standard input
// and output (- with --format), and reduce --fast.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "clifixture.h"
#include "engine/tavelix.h"
#include "testutil.h"

namespace tavelix {
namespace {

using namespace test;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The name of the copy reduce writes of a picture: "d/a.bmp" by 4 gives "d/as4.bmp".
std::string Reduced(const std::string& name, const std::string& factor) {
    return name.substr(0, name.size() - 4) + "s" + factor + name.substr(name.size() - 4);
}

class FoldersTest : public CliTest {
protected:
    // d/a.bmp, d/b.jpg, d/sub/c.JPG, d/notes.txt, d/link -> ../elsewhere (which holds e.jpg),
    // x.jpg beside d.
    FoldersTest() {
        fs::create_directories(FDir / "d" / "sub");
        fs::create_directories(FDir / "elsewhere");
        Save(MakePhotoLike(300, 200, 1), "d/a.bmp");
        Save(MakePhotoLike(300, 200, 2), "d/b.jpg");
        Save(MakePhotoLike(300, 200, 3), "d/sub/c.JPG");
        Save(MakePhotoLike(300, 200, 4), "elsewhere/e.jpg");
        Save(MakePhotoLike(300, 200, 5), "x.jpg");
        WriteAll(At("d/notes.txt"), "not a picture");
        fs::create_directory_symlink("../elsewhere", FDir / "d" / "link");
    }

    // Every file under the folder with its bytes.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(FDir))
            if (entry.is_regular_file() && !entry.is_symlink())
                files[entry.path().lexically_relative(FDir).string()] = ReadAll(entry.path());
        return files;
    }
};

TEST_F(FoldersTest, RecursiveTakesPicturesSortedAndFollowsNoLinkedFolder) {
    const TRun run = Run({"check", "-r", "d", "x.jpg"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    std::vector<std::string> names;
    for (std::size_t at = 0, end; (end = run.Out.find('\n', at)) != std::string::npos; at = end + 1)
        names.push_back(run.Out.substr(at, run.Out.find(':', at) - at));
    EXPECT_EQ(names, (std::vector<std::string>{"d/a.bmp", "d/b.jpg", "d/sub/c.JPG", "x.jpg"})) << run.Out;

    // Without -r a folder is no picture.
    EXPECT_EQ(Run({"check", "d"}).Status, 1);
}

TEST_F(FoldersTest, OutDirKeepsTheLayoutAndLeavesTheOriginals) {
    const auto before = Snapshot();
    TRun run = Run({"scramble", "--password-file", "pw.txt", "-r", "--out-dir", "out", "d", "x.jpg"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    for (const char* name : {"out/d/a.bmp", "out/d/b.jpg", "out/d/sub/c.JPG", "out/x.jpg"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(fs::exists(At(name)));
        const std::string original = std::string(name).substr(4);
        EXPECT_NE(ReadAll(At(name)), before.at(original));
    }
    EXPECT_FALSE(fs::exists(At("out/d/link")));
    auto after = Snapshot();
    std::erase_if(after, [](const auto& file) { return file.first.starts_with("out/"); });
    EXPECT_TRUE(after == before) << "an original changed";

    // The scrambled copies assemble back into a folder of their own ("out/d/" named as "out/d").
    run = Run({"assemble", "--password-file", "pw.txt", "-r", "--out-dir", "back", "out/d/"});
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(FirstDifference(Load("back/d/a.bmp"), Load("d/a.bmp")), "");

    // reduce names its copies as beside the originals; an --out-dir inside the folder walked
    // is not walked itself, so a second run finds the same pictures.
    for (int round = 0; round < 2; ++round) {
        run = Run({"reduce", "--factor", "2", "--force", "-r", "--out-dir", "d/small", "d"});
        EXPECT_EQ(run.Status, 0) << run.Err;
    }
    for (const char* name : {"d/small/d/as2.bmp", "d/small/d/bs2.jpg", "d/small/d/sub/cs2.JPG"}) EXPECT_TRUE(fs::exists(At(name))) << name;
    EXPECT_FALSE(fs::exists(At("d/small/d/small")));

    // gray and convert put OUT inside the folder.
    EXPECT_EQ(Run({"gray", "--out-dir", "g", "x.jpg", "sub/x.bmp"}).Status, 0);
    EXPECT_TRUE(fs::exists(At("g/sub/x.bmp")));
}

TEST_F(FoldersTest, DryRunTellsAndTouchesNothing) {
    WriteAll(At("exists.jpg"), "");
    const auto before = Snapshot();
    const struct Case {
        std::vector<std::string> args;
        std::vector<std::string> says;
    } cases[] = {
        // No password is asked: none is needed to tell.
        {{"scramble", "-n", "-r", "d"},
         {"scramble d/a.bmp (in place)\n", "scramble d/b.jpg (in place)\n", "scramble d/sub/c.JPG (in place)\n"}},
        {{"assemble", "-n", "--out-dir", "o", "-r", "d"}, {"assemble d/a.bmp -> o/d/a.bmp\n"}},
        {{"assemble", "-n", "-o", "exists.jpg", "x.jpg"},
         {"assemble x.jpg -> exists.jpg (refused: exists.jpg exists already; --force replaces it)\n"}},
        {{"reduce", "-n", "--factor", "8", "x.jpg", "d/notes.txt"},
         {"reduce x.jpg -> xs8.jpg\n", "reduce d/notes.txt -> d/notess8.txt (skipped: not a .jpg, .bmp, .png, .heic, .heif or .webp file)\n"}},
        {{"convert", "-n", "x.jpg", "x.bmp"}, {"convert x.jpg -> x.bmp\n"}},
        {{"reduce", "-n", "--factor", "2", "p.heic", "w.WEBP"},
         {"reduce p.heic -> p.s2heic (refused: .heic pictures are read, never written)\n",
          "reduce w.WEBP -> w.s2WEBP (refused: .webp pictures are read, never written)\n"}},
        {{"scramble", "-n", "p.heic"}, {"scramble p.heic (in place) (refused: .heic pictures are read, never written)\n"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[0]);
        const TRun run = Run(c.args);
        EXPECT_EQ(run.Status, 0) << run.Err;
        for (const std::string& line : c.says) EXPECT_TRUE(Contains(run.Out, line)) << line << " not in:\n" << run.Out;
    }
    EXPECT_TRUE(Snapshot() == before) << "a file changed";
    EXPECT_FALSE(fs::exists(At("o")));
}

TEST_F(FoldersTest, StandardStreamsGiveTheBytesOfFiles) {
    for (const char* name : {"x.jpg", "d/a.bmp"}) {
        SCOPED_TRACE(name);
        const std::string format = std::string(name).ends_with(".jpg") ? "jpg" : "bmp";
        const std::string original = ReadAll(At(name));
        const struct Case {
            std::vector<std::string> piped, file;  // the same work through - and through files
            std::string result;                    // the file the second one writes
        } cases[] = {
            {{"scramble", "--password-file", "pw.txt", "--format", format, "-"},
             {"scramble", "--password-file", "pw.txt", "-o", "s." + format, name}, "s." + format},
            {{"reduce", "--factor", "4", "--format", format, "-"}, {"reduce", "--factor", "4", name}, Reduced(name, "4")},
            {{"reduce", "--fast", "--factor", "2", "--format", format, "-"},
             {"reduce", "--fast", "--factor", "2", name}, Reduced(name, "2")},
            {{"convert", "--format", format, "-", "-"}, {"convert", name, "c." + format}, "c." + format},
        };
        for (const Case& c : cases) {
            SCOPED_TRACE(c.piped[0] + (c.piped[1] == "--fast" ? " --fast" : ""));
            const TRun piped = Run(c.piped, WithStdin(original));
            ASSERT_EQ(piped.Status, 0) << piped.Err;
            const TRun file = Run(c.file);
            ASSERT_EQ(file.Status, 0) << file.Err;
            EXPECT_TRUE(piped.Out == ReadAll(At(c.result))) << "not the bytes of the file";
        }
        // The result of a reduction from standard input is a picture of the reduced size.
        const TRun reduced = Run({"reduce", "--fast", "--factor", "4", "--format", format, "-"}, WithStdin(original));
        WriteAll(At("piped." + format), reduced.Out);
        const TBitmap copy = Load("piped." + format);
        EXPECT_EQ(copy.Width(), 75);
        EXPECT_EQ(copy.Height(), 50);
    }
    // A file to standard output, and standard input to a file; nothing else is left.
    const TRun out = Run({"assemble", "--password-file", "pw.txt", "--force", "-o", "-", "--format", "bmp", "x.jpg"});
    EXPECT_EQ(out.Status, 0) << out.Err;
    EXPECT_TRUE(out.Out.starts_with("BM"));
    // Not onto a terminal, where the bytes would show as garbage: nothing is read or done.
    std::string seen;
    EXPECT_EQ(RunOnTerminal({"convert", "--format", "bmp", "x.jpg", "-"}, {}, seen), 2);
    EXPECT_TRUE(Contains(seen, "standard output is a terminal")) << seen;
    const TRun check = Run({"check", "--format", "jpg", "-"}, WithStdin(ReadAll(At("x.jpg"))));
    EXPECT_EQ(check.Status, 0) << check.Err;
    EXPECT_TRUE(Contains(check.Out, "standard input: ")) << check.Out;
}

TEST_F(FoldersTest, FastReductionsHaveTheSizesOfTheOthers) {
    Save(MakePhotoLike(333, 97, 6), "odd.jpg");
    Save(MakePhotoLike(333, 97, 6), "odd.bmp");
    for (const char* factor : {"2", "4", "8"}) {
        for (const char* name : {"odd.jpg", "odd.bmp"}) {
            SCOPED_TRACE(std::string(name) + " by " + factor);
            const std::string reduced = std::string("odds") + factor + (std::string(name).ends_with(".jpg") ? ".jpg" : ".bmp");
            ASSERT_EQ(Run({"reduce", "--factor", factor, "--force", name}).Status, 0);
            const TBitmap sampled = Load(reduced);
            const TRun fast = Run({"reduce", "--fast", "--factor", factor, "--force", name});
            ASSERT_EQ(fast.Status, 0) << fast.Err;
            const TBitmap averaged = Load(reduced);
            EXPECT_EQ(averaged.Width(), sampled.Width());
            EXPECT_EQ(averaged.Height(), sampled.Height());
        }
    }
    // Too small to reduce: told, and counted as without --fast.
    Save(MakePhotoLike(5, 3, 7), "tiny.jpg");
    for (const bool fast : {false, true}) {
        std::vector<std::string> args{"reduce", "--factor", "8", "tiny.jpg"};
        if (fast) args.insert(args.begin() + 1, "--fast");
        const TRun run = Run(args);
        EXPECT_EQ(run.Status, 0) << fast;
        EXPECT_TRUE(Contains(run.Err, "no reduced copy: a side would become 0 pixels")) << run.Err;
    }
}

}  // namespace
}  // namespace tavelix
