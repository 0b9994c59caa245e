#include "clifixture.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <thread>

#include "testutil.h"

namespace tavelix::test {

namespace {

// A started run: its process and where its output goes.
struct TStarted {
    pid_t Pid = -1;
    std::string OutFile, ErrFile;
};

std::vector<std::string> CommandLine(const std::vector<std::string>& args) {
    std::vector<std::string> all{CliPath()};
    all.insert(all.end(), args.begin(), args.end());
    return all;
}

TStarted Start(const std::vector<std::string>& args, const TRunSetup& setup, const fs::path& dir,
               const std::string& outputs) {
    TStarted started{-1, outputs + ".out", outputs + ".err"};
    std::vector<std::string> all = CommandLine(args);
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int input[2];
    EXPECT_EQ(::pipe(input), 0);
    ::signal(SIGPIPE, SIG_IGN);
    started.Pid = ::fork();
    if (started.Pid == 0) {
        ::setsid();
        ::dup2(input[0], 0);
        ::close(input[0]);
        ::close(input[1]);
        ::dup2(::open(started.OutFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 1);
        ::dup2(::open(started.ErrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600), 2);
        if (setup.FileSizeLimit) {
            const rlimit limit{setup.FileSizeLimit, setup.FileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (setup.AsNobody && (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(126);
        if (::chdir(dir.c_str()) != 0) ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(input[0]);
    if (!setup.Stdin.empty()) {
        [[maybe_unused]] const ssize_t n = ::write(input[1], setup.Stdin.data(), setup.Stdin.size());
    }
    ::close(input[1]);
    return started;
}

TRun Finish(const TStarted& started, const TRunSetup& setup) {
    using Clock = std::chrono::steady_clock;
    const auto begin = Clock::now();
    const auto elapsed = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin).count();
    };
    bool signalled = false;
    int status = 0;
    for (;;) {
        if (::waitpid(started.Pid, &status, WNOHANG) == started.Pid) break;
        if (!signalled && ((setup.InterruptAfterMs >= 0 && elapsed() >= setup.InterruptAfterMs) ||
                           (setup.SignalWhen && setup.SignalWhen()))) {
            ::kill(started.Pid, setup.Signal);
            signalled = true;
        }
        if (elapsed() >= setup.KillAfterMs) {
            ADD_FAILURE() << "the run did not end within " << setup.KillAfterMs << " ms: killed";
            ::kill(started.Pid, SIGKILL);
            ::waitpid(started.Pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    TRun run;
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.Out = ReadAll(started.OutFile);
    run.Err = ReadAll(started.ErrFile);
    fs::remove(started.OutFile);
    fs::remove(started.ErrFile);
    return run;
}

}  // namespace

std::string CliPath() {
    const char* other = std::getenv("TAVELIX_CLI_UNDER_TEST");
    return other && *other ? other : TAVELIX_CLI_PATH;
}

TRunSetup WithStdin(std::string text) {
    TRunSetup setup;
    setup.Stdin = std::move(text);
    return setup;
}
TRunSetup WithFileSizeLimit(rlim_t bytes) {
    TRunSetup setup;
    setup.FileSizeLimit = bytes;
    return setup;
}
TRunSetup InterruptedAfter(int ms) {
    TRunSetup setup;
    setup.InterruptAfterMs = ms;
    return setup;
}
TRunSetup KilledWhen(std::function<bool()> condition) {
    TRunSetup setup;
    setup.SignalWhen = std::move(condition);
    setup.Signal = SIGKILL;
    return setup;
}
TRunSetup AsUnprivileged() {
    TRunSetup setup;
    setup.AsNobody = ::geteuid() == 0;
    return setup;
}

std::string Numbered(std::string prefix, std::size_t i, const char* suffix) {
    return prefix.append(std::to_string(i)).append(suffix);
}

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteAll(const fs::path& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }

CliTest::CliTest() {
    // Runs as user 65534 must reach the files, as in any folder made for them.
    fs::permissions(FRoot.Path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                      fs::perms::others_read | fs::perms::others_exec);
    fs::create_directory(FDir);
    WriteAll(At("pw.txt"), Password + "\n");
}

TRun CliTest::Run(const std::vector<std::string>& args, const TRunSetup& setup) {
    // Beside the folder, not in it: the folder may be made read-only.
    return Finish(Start(args, setup, FDir, FDir.string()), setup);
}

std::vector<TRun> CliTest::RunTogether(const std::vector<std::vector<std::string>>& runs) {
    std::vector<TStarted> started;
    for (std::size_t i = 0; i < runs.size(); ++i) started.push_back(Start(runs[i], {}, FDir, Numbered(FDir.string(), i, "")));
    std::vector<TRun> done;
    for (const TStarted& s : started) done.push_back(Finish(s, {}));
    return done;
}

int CliTest::RunOnTerminal(const std::vector<std::string>& args,
                           const std::vector<std::pair<std::string, std::string>>& answers, std::string& seen) {
    seen.clear();
    std::vector<std::string> all = CommandLine(args);
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        if (::chdir(FDir.c_str()) != 0) ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    const auto readUntil = [&](const std::string& text) {
        for (int waited = 0; seen.find(text) == std::string::npos && waited < 100; ++waited) {
            pollfd p{master, POLLIN, 0};
            if (::poll(&p, 1, 100) <= 0) continue;
            char buffer[256];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n <= 0) break;  // the program has ended
            seen.append(buffer, std::size_t(n));
        }
    };
    for (const auto& [prompt, line] : answers) {
        readUntil(prompt);
        const std::string typed = line + "\n";
        [[maybe_unused]] const ssize_t n = ::write(master, typed.data(), typed.size());
    }
    readUntil(std::string(1, '\0'));  // everything, to the end
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::close(master);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TBitmap CliTest::Load(const std::string& name) {
    TTestHost host;
    TTavelix view(host);
    TBitmap bitmap;
    EXPECT_TRUE(view.LoadPicture(bitmap, At(name))) << name;
    return bitmap;
}

void CliTest::Save(const TBitmap& bitmap, const std::string& name, int quality) {
    TTestHost host;
    TTavelix view(host);
    view.SavePicture(bitmap, At(name), quality);
}

TBitmap CliTest::Photo(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    TBitmap bitmap;
    bitmap.Allocate(width, height, Rgb24Format());
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, RGB(std::uint8_t(x * 255 / width), std::uint8_t(y * 255 / height),
                                      std::uint8_t(((x / 16 + y / 16 + seed) % 2) * 200)));
    return bitmap;
}

std::vector<std::string> CliTest::Others(std::initializer_list<std::string> known) const {
    std::vector<std::string> others;
    for (const auto& entry : fs::directory_iterator(FDir)) {
        const std::string name = entry.path().filename().string();
        if (std::find(known.begin(), known.end(), name) == known.end()) others.push_back(name);
    }
    return others;
}

}  // namespace tavelix::test
