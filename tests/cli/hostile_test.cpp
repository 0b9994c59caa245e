// tavelix-cli against files that are not what they seem, names at the limits, files it must
// not change, and other runs working on the same files.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "clifixture.h"
#include "engine/tavelix.h"
#include "testutil.h"

namespace tavelix {
namespace {

using namespace test;

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST_F(CliTest, WhatIsNoPictureFileIsRefusedWithoutWaitingOrReading) {
    // None of these may be waited for or read: a FIFO without a writer, endless bytes behind a
    // link, a folder, and a file whose size alone rules it out (sparse: it takes no disk).
    ASSERT_EQ(::mkfifo(At("fifo.jpg").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", At("zero.bmp"));
    fs::create_directory(At("folder.jpg"));
    std::ofstream{At("huge.bmp")};
    fs::resize_file(At("huge.bmp"), std::uintmax_t{2} << 30);
    const TBitmap original = MakeNoise(64, 48, 31, Rgb24Format());
    Save(original, "good.bmp");
    const std::pair<const char*, const char*> kinds[] = {
        {"fifo.jpg", "not a regular file but a FIFO"},
        {"zero.bmp", "not a regular file but a character device"},
        {"folder.jpg", "not a regular file but a folder"},
        {"huge.bmp", "too large for a picture file (2147483648 bytes"},
    };
    TRunSetup setup;
    setup.KillAfterMs = 20000;
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"scramble", "--password-file", "pw.txt", "-j", "2"},
          std::vector<std::string>{"reduce", "--factor", "2", "-j", "2"}}) {
        SCOPED_TRACE(command[0]);
        std::vector<std::string> args = command;
        for (const auto& [name, says] : kinds) args.push_back(name);
        args.push_back("good.bmp");
        const TRun run = Run(args, setup);
        EXPECT_EQ(run.Status, 1) << run.Err;
        for (const auto& [name, says] : kinds) {
            SCOPED_TRACE(name);
            EXPECT_TRUE(Contains(run.Err, std::string(name) + ": not loaded: cannot read " + name + ": " + says))
                << run.Err;
        }
        EXPECT_TRUE(Contains(run.Err, "4 of 5 files failed")) << run.Err;
    }
    TBitmap expected = original;
    TTavelix::Scramble(&expected, Password, true);
    EXPECT_EQ(FirstDifference(Load("good.bmp"), expected), "");
    EXPECT_TRUE(fs::is_fifo(At("fifo.jpg")));
    EXPECT_EQ(fs::file_size(At("huge.bmp")), std::uintmax_t{2} << 30);
    EXPECT_TRUE(Others({"fifo.jpg", "zero.bmp", "folder.jpg", "huge.bmp", "good.bmp", "goods2.bmp", "pw.txt"}).empty());

    // The same as the input of convert, on its own.
    const TRun run = Run({"convert", "fifo.jpg", "out.bmp"}, setup);
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(Contains(run.Err, "a FIFO")) << run.Err;
}

TEST_F(CliTest, FilesItWasNotAskedToChangeAreRefusedUnlessForced) {
    const TBitmap clear = MakeNoise(96, 64, 32, Rgb24Format());
    const auto picture = [&](const std::string& name) { Save(clear, name); };
    struct Case {
        const char* Name;
        std::function<void()> Setup;
        std::vector<std::string> Args;  // --force goes right after the command
        std::string Says;               // on standard error
        std::vector<std::string> Kept;  // files whose bytes must not change
        std::string Forced;             // with --force the run is done and this file changes
    } cases[] = {
        {"reduce over an existing photograph",
         [&] { Save(Photo(200, 160, 1), "cat.jpg"), Save(Photo(50, 40, 2), "cats4.jpg"); },
         {"reduce", "--factor", "4", "cat.jpg"},
         "cats4.jpg: exists already, so the reduced copy of cat.jpg was not written; --force replaces it",
         {"cat.jpg", "cats4.jpg"}, "cats4.jpg"},
        {"convert over an existing file", [&] { picture("c-in.bmp"), Save(Photo(20, 20, 3), "c-out.jpg"); },
         {"convert", "c-in.bmp", "c-out.jpg"}, "c-out.jpg: exists already, so the converted copy of c-in.bmp",
         {"c-out.jpg"}, "c-out.jpg"},
        {"gray over an existing file", [&] { picture("g-in.bmp"), Save(Photo(20, 20, 4), "g-out.bmp"); },
         {"gray", "g-in.bmp", "g-out.bmp"}, "g-out.bmp: exists already, so the black-and-white copy of g-in.bmp",
         {"g-out.bmp"}, "g-out.bmp"},
        {"-o over an existing file", [&] { picture("o-in.bmp"), Save(Photo(20, 20, 5), "o-out.bmp"); },
         {"scramble", "--password-file", "pw.txt", "-o", "o-out.bmp", "o-in.bmp"},
         "o-out.bmp: exists already, so the scrambled copy of o-in.bmp", {"o-in.bmp", "o-out.bmp"}, "o-out.bmp"},
        {"-o over a dangling link", [&] { picture("d-in.bmp"), fs::create_symlink("nowhere.bmp", At("d-out.bmp")); },
         {"assemble", "--password-file", "pw.txt", "-o", "d-out.bmp", "d-in.bmp"},
         "d-out.bmp: exists already, so the assembled copy of d-in.bmp", {"d-in.bmp"}, "d-out.bmp"},
        {"scramble a file with another name",
         [&] { picture("linked.bmp"), fs::create_hard_link(At("linked.bmp"), At("other-name.bmp")); },
         {"scramble", "--password-file", "pw.txt", "linked.bmp"},
         "linked.bmp: not scrambled: the file has 1 other name (hard links), which would keep the clear picture",
         {"linked.bmp", "other-name.bmp"}, "linked.bmp"},
        {"assemble a file with other names",
         [&] {
             picture("linked2.bmp");
             fs::create_hard_link(At("linked2.bmp"), At("name2.bmp"));
             fs::create_hard_link(At("linked2.bmp"), At("name3.bmp"));
         },
         {"assemble", "--password-file", "pw.txt", "linked2.bmp"},
         "linked2.bmp: not assembled: the file has 2 other names (hard links), which would keep the scrambled picture",
         {"linked2.bmp", "name2.bmp", "name3.bmp"}, "linked2.bmp"},
        {"scramble a write-protected file", [&] { picture("ro.bmp"), ::chmod(At("ro.bmp").c_str(), 0444); },
         {"scramble", "--password-file", "pw.txt", "ro.bmp"}, "ro.bmp: not scrambled: the file is write-protected",
         {"ro.bmp"}, "ro.bmp"},
        {"-o.jpg among the files of a glob", [&] { picture("glob.bmp"); },
         {"scramble", "--password-file", "pw.txt", "-o.jpg", "glob.bmp"},
         "-o .jpg: the output name has nothing before its extension", {"glob.bmp"}, ""},
        {"an output named only by its extension", [&] { picture("e-in.bmp"); },
         {"convert", "e-in.bmp", "sub/.BMP"}, "sub/.BMP: the output name has nothing before its extension",
         {"e-in.bmp"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        c.Setup();
        std::vector<std::string> kept;
        for (const std::string& name : c.Kept) kept.push_back(ReadAll(At(name)));
        const TRun run = Run(c.Args);
        EXPECT_EQ(run.Status, c.Forced.empty() ? 2 : 1) << run.Err;
        EXPECT_TRUE(Contains(run.Err, c.Says)) << run.Err;
        for (std::size_t i = 0; i < c.Kept.size(); ++i) EXPECT_TRUE(ReadAll(At(c.Kept[i])) == kept[i]) << c.Kept[i];
        if (c.Forced.empty()) continue;
        std::vector<std::string> forced = c.Args;
        forced.insert(forced.begin() + 1, "--force");
        const std::string before = ReadAll(At(c.Forced));
        const TRun again = Run(forced);
        EXPECT_EQ(again.Status, 0) << again.Err;
        EXPECT_TRUE(ReadAll(At(c.Forced)) != before) << c.Forced;
    }
    EXPECT_FALSE(fs::exists(At(".jpg")));
    // Forced through its other names, the picture keeps them clear; the protection stays.
    EXPECT_EQ(FirstDifference(Load("other-name.bmp"), clear), "");
    EXPECT_EQ(fs::status(At("ro.bmp")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
}

TEST_F(CliTest, NamesUpToTheLimitAreSaved) {
    // The temporary file's name adds some 20 bytes to the target's: it must fit all the same.
    const TBitmap original = MakeNoise(40, 30, 33, Rgb24Format());
    TBitmap expected = original;
    TTavelix::Scramble(&expected, Password, true);
    for (std::size_t length : {240u, 249u, 255u}) {
        SCOPED_TRACE(length);
        const std::string name = std::string(length - 4, 'p') + ".bmp";
        Save(original, name);
        const TRun run = Run({"scramble", "--password-file", "pw.txt", name});
        EXPECT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(FirstDifference(Load(name), expected), "");
        if (length + 2 <= 255) {  // its reduced copy's name still fits
            EXPECT_EQ(Run({"reduce", "--factor", "2", name}).Status, 0);
            EXPECT_EQ(Load(std::string(length - 4, 'p') + "s2.bmp").Width(), 20);
        }
        for (const auto& entry : fs::directory_iterator(FDir))
            if (entry.path().filename() != "pw.txt") fs::remove(entry.path());
    }
}

TEST_F(CliTest, OutputsThatAreNoRegularFilesAreNamedForWhatTheyAre) {
    Save(MakeNoise(20, 20, 34, Rgb24Format()), "in.bmp");
    ASSERT_EQ(::mkfifo(At("fifo.jpg").c_str(), 0600), 0);
    fs::create_symlink("/dev/null", At("null.bmp"));
    fs::create_directory(At("folder.bmp"));
    const std::pair<const char*, const char*> cases[] = {
        {"fifo.jpg", "it is a FIFO, not a regular file"},
        {"null.bmp", "it is a character device, not a regular file"},
        {"folder.bmp", "it is a folder, not a regular file"},
    };
    for (const auto& [name, says] : cases) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(Contains(Run({"convert", "in.bmp", name}).Err, "exists already"));
        const TRun run = Run({"convert", "--force", "in.bmp", name});
        EXPECT_EQ(run.Status, 1);
        EXPECT_TRUE(Contains(run.Err, std::string(name) + ": not saved: cannot replace " + name + ": " + says))
            << run.Err;
    }
    EXPECT_TRUE(fs::is_fifo(At("fifo.jpg")));
    EXPECT_TRUE(Others({"in.bmp", "fifo.jpg", "null.bmp", "folder.bmp", "pw.txt"}).empty());
}

TEST_F(CliTest, AReplacementRefusedInAStickyFolderLeavesNoTemporary) {
    // A shared folder with the sticky bit: another user may write there, but not replace our
    // file. The rename fails after the temporary got its name; it must go again.
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to act as a second user";
    fs::permissions(FDir, fs::perms::all | fs::perms::sticky_bit);
    Save(MakeNoise(30, 30, 35, Rgb24Format()), "theirs.bmp");
    ::chmod(At("theirs.bmp").c_str(), 0666);  // writable by all; only the folder protects it
    const std::string before = ReadAll(At("theirs.bmp"));
    const TRun run = Run({"scramble", "--password-stdin", "theirs.bmp"}, [] {
        TRunSetup setup = AsUnprivileged();
        setup.Stdin = Password + "\n";
        return setup;
    }());
    if (run.Status == 126 || run.Status == 127) GTEST_SKIP() << "user 65534 (nobody) cannot run the program from here: a folder above the build "
                                                            "is closed to other users (a clone in /root is)";
    EXPECT_EQ(run.Status, 1);
    EXPECT_TRUE(Contains(run.Err, "theirs.bmp: not saved: cannot replace theirs.bmp: Operation not permitted"))
        << run.Err;
    EXPECT_TRUE(ReadAll(At("theirs.bmp")) == before);
    EXPECT_TRUE(Others({"theirs.bmp", "pw.txt"}).empty());
}

// --- other runs on the same files -------------------------------------------------------------

// Holds an exclusive lock on a file as another run of tavelix-cli would.
class THeldLock {
public:
    explicit THeldLock(const std::string& fileName) : FFd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC)) {
        EXPECT_GE(FFd, 0);
        EXPECT_EQ(::flock(FFd, LOCK_EX | LOCK_NB), 0);
    }
    ~THeldLock() { ::close(FFd); }

private:
    int FFd;
};

TEST_F(CliTest, AFileAnotherRunHoldsIsReportedBusy) {
    const TBitmap original = MakeNoise(80, 60, 36, Rgb24Format());
    std::vector<std::string> args = {"scramble", "--password-file", "pw.txt", "-j", "2"};
    for (std::size_t i = 0; i < 6; ++i) {
        Save(original, Numbered("f", i, ".bmp"));
        args.push_back(Numbered("f", i, ".bmp"));
    }
    Save(original, "out.bmp");
    const std::string before = ReadAll(At("f3.bmp")), outBefore = ReadAll(At("out.bmp"));
    TBitmap expected = original;
    TTavelix::Scramble(&expected, Password, true);
    {
        const THeldLock held(At("f3.bmp")), heldOutput(At("out.bmp"));
        const TRun run = Run(args);
        EXPECT_EQ(run.Status, 1);
        EXPECT_TRUE(Contains(run.Err, "f3.bmp: busy: another run of tavelix-cli is changing it; left unchanged"))
            << run.Err;
        EXPECT_TRUE(ReadAll(At("f3.bmp")) == before);
        for (std::size_t i : {0u, 1u, 2u, 4u, 5u}) EXPECT_EQ(FirstDifference(Load(Numbered("f", i, ".bmp")), expected), "");
        // An output that --force would replace is held as well.
        const TRun forced = Run({"convert", "--force", "f0.bmp", "out.bmp"});
        EXPECT_EQ(forced.Status, 1);
        EXPECT_TRUE(Contains(forced.Err, "out.bmp: busy")) << forced.Err;
        EXPECT_TRUE(ReadAll(At("out.bmp")) == outBefore);
    }
    EXPECT_EQ(Run({"scramble", "--password-file", "pw.txt", "f3.bmp"}).Status, 0);  // released: its turn
    EXPECT_EQ(FirstDifference(Load("f3.bmp"), expected), "");
}

TEST_F(CliTest, TwoRunsOverTheSameFilesLoseNoChange) {
    // Each run changes a file only while no other does: every file ends up scrambled once for
    // each run that reports it done, and a run reports every other file busy.
    const int count = 20;
    std::vector<TBitmap> originals;
    std::vector<std::string> args = {"scramble", "-v", "--password-file", "pw.txt", "-j", "2"};
    for (int i = 0; i < count; ++i) {
        originals.push_back(MakeNoise(512, 384, std::uint32_t(40 + i), Rgb24Format()));
        Save(originals.back(), Numbered("f", std::size_t(i), ".bmp"));
        args.push_back(Numbered("f", std::size_t(i), ".bmp"));
    }
    const std::vector<TRun> runs = RunTogether({args, args});
    int busy = 0;
    for (int i = 0; i < count; ++i) {
        const std::string name = Numbered("f", std::size_t(i), ".bmp");
        SCOPED_TRACE(name);
        TBitmap expected = originals[std::size_t(i)];
        for (const TRun& run : runs) {
            const bool done = Contains(run.Out, name + ": scrambled");
            EXPECT_NE(done, Contains(run.Err, name + ": busy")) << run.Out << run.Err;
            if (done) TTavelix::Scramble(&expected, Password, true);
            busy += !done;
        }
        EXPECT_EQ(FirstDifference(Load(name), expected), "");
    }
    for (const TRun& run : runs) EXPECT_EQ(run.Status, Contains(run.Err, ": busy") ? 1 : 0) << run.Err;
    std::cout << "[          ] " << busy << " of " << 2 * count << " changes found their file busy\n";
}

}  // namespace
}  // namespace tavelix
