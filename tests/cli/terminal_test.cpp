// The password asked on a terminal: a pseudo-terminal of the test's own, with a small shell
// that stops and continues the program as a shell's job control does.
#include <gtest/gtest.h>

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "clifixture.h"
#include "engine/tavelix.h"
#include "testutil.h"

namespace tavelix {
namespace {

using namespace test;

constexpr const char* FirstPrompt = "Password (8 to 50 characters): ";

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

// The program on a new pseudo-terminal. With a shell, it runs as a job of a shell of our own:
// in a process group of its own in the terminal's foreground. When the job stops, the shell
// writes "[stopped: echo on]" or "[stopped: echo off]" (the terminal as the program left it),
// turns echo on as a shell does for its own prompt, gives the terminal back, continues the job
// and writes "[continued]".
class TTerminalRun {
public:
    TTerminalRun(const std::vector<std::string>& args, const fs::path& dir, bool withShell) {
        std::vector<std::string> all{CliPath()};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& a : all) argv.push_back(a.data());
        argv.push_back(nullptr);
        FPid = ::forkpty(&FMaster, nullptr, nullptr, nullptr);
        if (FPid != 0) return;
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        if (!withShell) {
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::signal(SIGTTOU, SIG_IGN);  // the shell sets the terminal from the background
        const pid_t job = ::fork();
        if (job == 0) {
            ::setpgid(0, 0);
            ::tcsetpgrp(STDIN_FILENO, ::getpid());
            ::signal(SIGTTOU, SIG_DFL);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
        ::setpgid(job, job);
        ::tcsetpgrp(STDIN_FILENO, job);
        for (;;) {
            int status = 0;
            if (::waitpid(job, &status, WUNTRACED) != job) ::_exit(125);
            if (!WIFSTOPPED(status)) ::_exit(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
            ::tcsetpgrp(STDIN_FILENO, ::getpgrp());
            termios mode{};
            ::tcgetattr(STDIN_FILENO, &mode);
            std::printf("[stopped: echo %s]\n", (mode.c_lflag & ECHO) ? "on" : "off");
            mode.c_lflag |= ECHO | ICANON;
            ::tcsetattr(STDIN_FILENO, TCSANOW, &mode);
            ::tcsetpgrp(STDIN_FILENO, job);
            ::kill(-job, SIGCONT);
            std::printf("[continued]\n");
            std::fflush(stdout);
        }
    }
    ~TTerminalRun() {
        if (FPid > 0 && !FEnded) {
            ::kill(FPid, SIGKILL);
            ::waitpid(FPid, nullptr, 0);
        }
        if (FMaster >= 0) ::close(FMaster);
    }

    // Reads what shows until part has shown `times` times in all, or 10 s have passed;
    // whether it has.
    bool WaitFor(const std::string& part, std::size_t times = 1) {
        for (int waited = 0; Count(FSeen, part) < times && waited < 100; ++waited) {
            pollfd p{FMaster, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char buffer[256];
            const ssize_t n = ::read(FMaster, buffer, sizeof buffer);
            if (n <= 0) break;  // the program has ended
            FSeen.append(buffer, std::size_t(n));
        }
        return Count(FSeen, part) >= times;
    }
    void Type(const std::string& text) { ASSERT_EQ(::write(FMaster, text.data(), text.size()), ssize_t(text.size())); }
    // Waits for the end; the exit status.
    int Status() {
        WaitFor(std::string(1, '\0'));  // everything, to the end
        int status = 0;
        ::waitpid(FPid, &status, 0);
        FEnded = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    const std::string& Seen() const { return FSeen; }

private:
    pid_t FPid = -1;
    int FMaster = -1;
    bool FEnded = false;
    std::string FSeen;
};

TEST_F(CliTest, EchoComesBackWhenStoppedAndGoesAgainWhenContinued) {
    const TBitmap original = MakeNoise(40, 30, 50, Rgb24Format());
    Save(original, "a.bmp");
    TTerminalRun run({"scramble", "a.bmp"}, FDir, /*withShell=*/true);
    ASSERT_TRUE(run.WaitFor(FirstPrompt)) << run.Seen();
    run.Type("half typ\x1A");  // Ctrl-Z in the middle of the password
    ASSERT_TRUE(run.WaitFor("[continued]")) << run.Seen();
    EXPECT_TRUE(run.Seen().find("[stopped: echo on]") != std::string::npos) << run.Seen();
    // The prompt shows anew once echo is off again; what was typed before the stop is gone.
    ASSERT_TRUE(run.WaitFor(FirstPrompt, 2)) << run.Seen();
    run.Type(Password + "\n");
    ASSERT_TRUE(run.WaitFor("again")) << run.Seen();
    run.Type(Password + "\n");
    EXPECT_EQ(run.Status(), 0) << run.Seen();
    EXPECT_EQ(run.Seen().find("correct"), std::string::npos) << "echoed: " << run.Seen();
    TBitmap expected = original;
    TTavelix::Scramble(&expected, Password, true);
    EXPECT_EQ(FirstDifference(Load("a.bmp"), expected), "");
}

TEST_F(CliTest, PasswordStdinOnATerminalAsksWithoutEcho) {
    const TBitmap original = MakeNoise(40, 30, 51, Rgb24Format());
    Save(original, "a.bmp");
    TTerminalRun run({"assemble", "--password-stdin", "a.bmp"}, FDir, /*withShell=*/false);
    ASSERT_TRUE(run.WaitFor(FirstPrompt)) << run.Seen();
    run.Type(Password + "\n");
    ASSERT_TRUE(run.WaitFor("again")) << run.Seen();
    run.Type(Password + "\n");
    EXPECT_EQ(run.Status(), 0) << run.Seen();
    EXPECT_EQ(run.Seen().find("correct"), std::string::npos) << "echoed: " << run.Seen();
    TBitmap expected = original;
    TTavelix::Scramble(&expected, Password, false);
    EXPECT_EQ(FirstDifference(Load("a.bmp"), expected), "");
}

TEST_F(CliTest, TheFirstEntryIsCheckedBeforeTheSecondIsAskedFor) {
    Save(MakeNoise(24, 24, 52, Rgb24Format()), "a.bmp");
    const std::string before = ReadAll(At("a.bmp"));
    {
        TTerminalRun run({"scramble", "a.bmp"}, FDir, /*withShell=*/false);
        ASSERT_TRUE(run.WaitFor(FirstPrompt)) << run.Seen();
        run.Type("short\n");
        ASSERT_TRUE(run.WaitFor("8 to 50 characters long, not 5; try again")) << run.Seen();
        EXPECT_EQ(run.Seen().find("again:"), std::string::npos) << "asked to repeat a password that breaks the rules";
        ASSERT_TRUE(run.WaitFor(FirstPrompt, 2)) << run.Seen();
        run.Type("tab\there!\n");
        ASSERT_TRUE(run.WaitFor("control character")) << run.Seen();
        ASSERT_TRUE(run.WaitFor(FirstPrompt, 3)) << run.Seen();
        run.Type(Password + "\n");
        ASSERT_TRUE(run.WaitFor("again:")) << run.Seen();
        run.Type(Password + "\n");
        EXPECT_EQ(run.Status(), 0) << run.Seen();
    }
    EXPECT_TRUE(ReadAll(At("a.bmp")) != before);
    // Three entries that break the rules: nothing is changed.
    const std::string scrambled = ReadAll(At("a.bmp"));
    TTerminalRun run({"scramble", "a.bmp"}, FDir, /*withShell=*/false);
    for (std::size_t i = 1; i <= 3; ++i) {
        ASSERT_TRUE(run.WaitFor(FirstPrompt, i)) << run.Seen();
        run.Type("short\n");
    }
    EXPECT_EQ(run.Status(), 2) << run.Seen();
    EXPECT_NE(run.Seen().find("not 5; nothing was changed"), std::string::npos) << run.Seen();
    EXPECT_TRUE(ReadAll(At("a.bmp")) == scrambled);
}

TEST_F(CliTest, AByteOrderMarkBeforeThePasswordIsNoPartOfIt) {
    const TBitmap original = MakeNoise(48, 32, 53, Rgb24Format());
    Save(original, "f.bmp");
    Save(original, "s.bmp");
    WriteAll(At("bom.txt"), "\xEF\xBB\xBF" + Password + "\r\n");
    EXPECT_EQ(Run({"scramble", "--password-file", "bom.txt", "f.bmp"}).Status, 0);
    EXPECT_EQ(Run({"scramble", "--password-stdin", "s.bmp"}, WithStdin("\xEF\xBB\xBF" + Password + "\n")).Status, 0);
    TBitmap expected = original;
    TTavelix::Scramble(&expected, Password, true);
    EXPECT_EQ(FirstDifference(Load("f.bmp"), expected), "");
    EXPECT_EQ(FirstDifference(Load("s.bmp"), expected), "");
    // Only at the start: inside, it is a character the code page cannot hold.
    WriteAll(At("inside.txt"), Password + "\xEF\xBB\xBF\n");
    const TRun run = Run({"scramble", "--password-file", "inside.txt", "f.bmp"});
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("Windows Western code page"), std::string::npos) << run.Err;
}

}  // namespace
}  // namespace tavelix
