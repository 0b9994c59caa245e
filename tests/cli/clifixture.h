// What the tests that run the built tavelix-cli on real files share: a fresh folder per test,
// runs of the program as a script (no terminal) or on a terminal of its own, and pictures.
#pragma once

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "engine/tavelix.h"
#include "tempfolder.h"

namespace tavelix::test {

namespace fs = std::filesystem;

inline const std::string Password = "correct horse";

// The program under test: the one built beside the tests, or the one the environment variable
// TAVELIX_CLI_UNDER_TEST names (to run these tests against another build, such as an older one).
std::string CliPath();

class TTestHost : public TPictureHost {
public:
    void ShowMessage(std::string_view text) override { Messages.emplace_back(text); }
    void ProcessMessages() override {}
    TSize ScreenSize() const override { return {1280, 1024}; }
    std::vector<std::string> Messages;
};

struct TRun {
    int Status = -1;  // the exit status, or 128 + the signal that ended it
    std::string Out, Err;
};

struct TRunSetup {
    std::string Stdin;
    rlim_t FileSizeLimit = 0;          // RLIMIT_FSIZE in bytes; 0: none set
    int InterruptAfterMs = -1;         // send Signal this long after the start
    int Signal = SIGINT;               // the signal sent then
    std::function<bool()> SignalWhen;  // or as soon as this holds (polled every millisecond)
    bool AsNobody = false;             // when run by root: run as the unprivileged user 65534
    int KillAfterMs = 60000;           // a run that hangs is killed (SIGKILL) after this long
};
TRunSetup WithStdin(std::string text);
TRunSetup WithFileSizeLimit(rlim_t bytes);
TRunSetup InterruptedAfter(int ms);
TRunSetup KilledWhen(std::function<bool()> condition);
// Permissions bind root only through another user: as root, the run takes user 65534.
TRunSetup AsUnprivileged();

// prefix, number, suffix ("f3.bmp").
std::string Numbered(std::string prefix, std::size_t i, const char* suffix);
std::string ReadAll(const fs::path& file);
void WriteAll(const fs::path& file, const std::string& bytes);

class CliTest : public testing::Test {
protected:
    CliTest();

    std::string At(const std::string& name) const { return (FDir / name).string(); }

    // Runs the program in its own session, so that it has no controlling terminal.
    TRun Run(const std::vector<std::string>& args, const TRunSetup& setup = {});
    // Several runs at once, all started before any is waited for.
    std::vector<TRun> RunTogether(const std::vector<std::vector<std::string>>& runs);

    // Runs the program on a new terminal (its controlling terminal, standard input, output and
    // error); answers each prompt (text to wait for, line to type) and collects what shows.
    int RunOnTerminal(const std::vector<std::string>& args,
                      const std::vector<std::pair<std::string, std::string>>& answers, std::string& seen);

    TBitmap Load(const std::string& name);
    void Save(const TBitmap& bitmap, const std::string& name, int quality = 90);
    // A picture with smooth areas and edges, as JPEG files usually hold.
    static TBitmap Photo(std::int32_t width, std::int32_t height, std::uint32_t seed);
    // Files in the folder other than those named: no temporary may be left behind.
    std::vector<std::string> Others(std::initializer_list<std::string> known) const;

    TTempFolder FRoot{"tavelix-cli"};
    const fs::path FDir = FRoot.Path() / "files";  // the folder the runs work in
};

}  // namespace tavelix::test
