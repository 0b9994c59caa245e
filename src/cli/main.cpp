// tavelix-cli: scramble, assemble, reduce, black and white and conversion of picture files
// from a shell, with the engine of the window and the same results byte for byte.

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <malloc.h>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "cli/commands.h"
#include "cli/names.h"
#include "cli/password.h"
#include "cli/report.h"
#include "cli/runner.h"

namespace {

using namespace tavelix::cli;

constexpr int ExitDone = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

std::atomic<bool> GStop{false};
std::atomic<bool> GRunning{false};

// SIGINT and SIGTERM: the first asks the run to stop after the files in progress; a second
// one ends the program at once (the safe save keeps every original whole even then).
extern "C" void OnStopSignal(int signal) {
    if (GStop.exchange(true)) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    if (GRunning.load()) {
        static const char text[] =
            "\ntavelix-cli: stopping after the files in progress (press Ctrl-C again to stop at once)\n";
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, text, sizeof text - 1);
    }
}

void InstallSignals() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a password prompt waiting for a key must see the stop
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A write past a file-size limit then fails with EFBIG, which the save reports, instead
    // of ending the process.
    ::signal(SIGXFSZ, SIG_IGN);
    // Output closed early (-v piped into head): the files still matter more than the lines.
    ::signal(SIGPIPE, SIG_IGN);
}

struct TOptions {
    std::vector<std::string> Files;
    std::string Output;
    std::string In, Out;
    std::string PasswordFile;
    bool PasswordStdin = false;
    int Quality = 90;
    int Factor = 0;
    unsigned Jobs = 0;
    bool Verbose = false;
    bool NoFlush = false;
};

void Fail(const std::string& text) { std::fprintf(stderr, "tavelix-cli: %s\n", text.c_str()); }

// Fills password from the source the options name, checked against the rules. Returns
// ExitDone, or the exit status after telling the user why not.
int ObtainPassword(const TOptions& options, TSecret& password) {
    TSecret line;
    if (!options.PasswordFile.empty()) {
        const int fd = ::open(options.PasswordFile.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            Fail("cannot read the password file " + options.PasswordFile + ": " + std::strerror(errno));
            return ExitUsage;
        }
        const std::string error = ReadFirstLine(fd, line);
        ::close(fd);
        if (!error.empty()) {
            Fail("cannot read the password file " + options.PasswordFile + ": " + error);
            return ExitUsage;
        }
    } else if (options.PasswordStdin) {
        const std::string error = ReadFirstLine(STDIN_FILENO, line);
        if (!error.empty()) {
            Fail("cannot read the password from standard input: " + error);
            return ExitUsage;
        }
    } else {
        std::string error;
        switch (PromptTwice(line, GStop, error)) {
        case TPromptResult::Ok:
            break;
        case TPromptResult::NoTerminal:
            Fail("no terminal to ask for the password; give it with --password-file PATH or --password-stdin");
            return ExitUsage;
        case TPromptResult::Mismatch:
            Fail("the two passwords differ; nothing was changed");
            return ExitUsage;
        case TPromptResult::Interrupted:
            Fail("interrupted; nothing was changed");
            return ExitFailed;
        case TPromptResult::Failed:
            Fail("cannot read the password: " + error);
            return ExitUsage;
        }
    }
    if (const std::optional<tavelix::TPasswordProblem> problem = DecodePassword(line.View(), password)) {
        Fail(problem->Message() + "; nothing was changed");
        return ExitUsage;
    }
    return ExitDone;
}

std::uintmax_t FileSize(const std::string& fileName) {
    struct stat info {};
    return ::stat(fileName.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? std::uintmax_t(info.st_size) : 0;
}

int Run(TCommand command, TOptions& options) {
    TSettings settings;
    settings.Command = command;
    settings.Quality = options.Quality;
    settings.Factor = options.Factor;
    settings.Flush = !options.NoFlush;

    std::vector<TFileJob> jobs;
    switch (command) {
    case TCommand::Scramble:
    case TCommand::Assemble:
        if (!options.Output.empty()) {
            if (options.Files.size() != 1) {
                Fail("-o/--output takes exactly one FILE");
                return ExitUsage;
            }
            if (!IsPictureName(options.Output)) {
                Fail(options.Output + ": the output must be a .jpg or .bmp file");
                return ExitUsage;
            }
        }
        for (const std::string& file : options.Files)
            jobs.push_back({file, options.Output.empty() ? file : options.Output});
        break;
    case TCommand::Reduce:
        for (const std::string& file : options.Files) jobs.push_back({file, ReducedCopyName(file, options.Factor)});
        break;
    case TCommand::Gray:
    case TCommand::Convert:
        if (!IsPictureName(options.Out)) {
            Fail(options.Out + ": the output must be a .jpg or .bmp file");
            return ExitUsage;
        }
        jobs.push_back({options.In, options.Out});
        break;
    }

    TSecret password;
    if (command == TCommand::Scramble || command == TCommand::Assemble) {
        if (const int status = ObtainPassword(options, password); status != ExitDone) return status;
        settings.Password = password.View();
    }

    std::vector<TJobInfo> infos;
    for (const TFileJob& job : jobs) {
        TJobInfo info{FileKeys(job.Input), FileSize(job.Input)};
        if (job.Output != job.Input && !job.Output.empty())
            for (std::string& key : FileKeys(job.Output)) info.Keys.push_back(std::move(key));
        infos.push_back(std::move(info));
    }
    const auto chains = PlanChains(infos);

    unsigned threads = options.Jobs;
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    TReporter reporter(jobs.size(), jobs.size() > 1 && ::isatty(STDERR_FILENO), options.Verbose);
    std::vector<std::unique_ptr<TWorker>> workers;
    for (unsigned t = 0; t < std::min<std::size_t>(threads, chains.size()); ++t)
        workers.push_back(std::make_unique<TWorker>(settings, reporter));

    std::atomic<std::size_t> failed{0};
    GRunning = true;
    const std::size_t untouched = RunChains(
        chains, unsigned(workers.size()),
        [&](unsigned thread, std::size_t job) {
            if (!workers[thread]->Run(jobs[job])) failed.fetch_add(1);
        },
        GStop);
    GRunning = false;
    reporter.End();
    password.Clear();

    const std::size_t done = jobs.size() - untouched - failed.load();
    if (untouched > 0)
        reporter.Say("interrupted: " + std::to_string(untouched) + " of " + std::to_string(jobs.size()) +
                     " files left untouched");
    if (failed.load() > 0 && jobs.size() > 1)
        reporter.Say(std::to_string(failed.load()) + " of " + std::to_string(jobs.size()) + " files failed");
    if (jobs.size() > 1) reporter.Verbose(std::to_string(done) + " of " + std::to_string(jobs.size()) + " files done");
    return failed.load() > 0 || untouched > 0 ? ExitFailed : ExitDone;
}

void AddCommonOptions(CLI::App& command, TOptions& options) {
    command.add_option("-q,--quality", options.Quality, "JPEG quality of the files written, 1 to 100")
        ->check(CLI::Range(1, 100))
        ->capture_default_str();
    command.add_flag("-v,--verbose", options.Verbose, "tell what was done to each file, on standard output");
    command.add_flag("--no-flush", options.NoFlush,
                     "replace files without waiting for the disk (faster; a crash soon after may lose the new file)");
}

void AddJobsOption(CLI::App& command, TOptions& options) {
    command.add_option("-j,--jobs", options.Jobs, "files processed at once (default: the number of cores)")
        ->check(CLI::Range(1, 1024));
}

void AddPasswordOptions(CLI::App& command, TOptions& options) {
    auto* file = command.add_option("--password-file", options.PasswordFile,
                                    "the password is the first line of PATH (without its line end)")
                     ->type_name("PATH");
    auto* stdinFlag = command.add_flag("--password-stdin", options.PasswordStdin,
                                       "the password is the first line of standard input");
    file->excludes(stdinFlag);
    stdinFlag->excludes(file);
}

}  // namespace

int main(int argc, char** argv) {
    InstallSignals();
    // Every file needs stores of about the same sizes as the one before. Kept in the heap
    // instead of going back to the system at each free, they are reused without the page
    // faults of fresh memory (a fifth of the time of a JPEG scramble); the peak stays that
    // of the largest file.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);

    CLI::App app{"Scrambles and assembles JPEG and BMP pictures with a password, reduces them, turns them\n"
                 "black and white and converts them, without a window.\n"
                 "The password (8 to 50 characters) is asked twice on the terminal unless --password-file\n"
                 "or --password-stdin gives it; it is never taken from the command line.\n"
                 "Exit status: 0 every file done, 1 a file failed or was left undone, 2 usage or password error.",
                 "tavelix-cli"};
    app.set_version_flag("--version", std::string("tavelix-cli ") + TAVELIX_VERSION, "print the version and exit");
    app.require_subcommand(1);

    TOptions options;
    TCommand command = TCommand::Convert;

    auto* scramble = app.add_subcommand("scramble", "scramble each FILE in place (or into -o PATH)");
    auto* assemble = app.add_subcommand("assemble", "assemble (unscramble) each FILE in place (or into -o PATH)");
    for (CLI::App* sub : {scramble, assemble}) {
        sub->add_option("-o,--output", options.Output, "write the result to PATH instead (exactly one FILE)")
            ->type_name("PATH");
        AddPasswordOptions(*sub, options);
        AddCommonOptions(*sub, options);
        AddJobsOption(*sub, options);
        sub->add_option("FILE", options.Files, ".jpg or .bmp files")->required();
    }
    scramble->callback([&] { command = TCommand::Scramble; });
    assemble->callback([&] { command = TCommand::Assemble; });

    auto* reduce = app.add_subcommand(
        "reduce", "write a copy of each FILE at 1/factor of its width and height (photo.jpg gives photos2.jpg)");
    reduce->add_option("--factor", options.Factor, "2, 4 or 8")->required()->check(CLI::IsMember({2, 4, 8}));
    AddCommonOptions(*reduce, options);
    AddJobsOption(*reduce, options);
    reduce->add_option("FILE", options.Files, ".jpg or .bmp files")->required();
    reduce->callback([&] { command = TCommand::Reduce; });

    auto* gray = app.add_subcommand("gray", "save IN in black and white as OUT (.jpg or .bmp by its extension)");
    auto* convert = app.add_subcommand("convert", "load IN and save it as OUT (.jpg or .bmp by its extension)");
    for (CLI::App* sub : {gray, convert}) {
        AddCommonOptions(*sub, options);
        sub->add_option("IN", options.In, "the picture to read")->required();
        sub->add_option("OUT", options.Out, "the file to write")->required();
    }
    gray->callback([&] { command = TCommand::Gray; });
    convert->callback([&] { command = TCommand::Convert; });

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? ExitDone : ExitUsage;
    }
    return Run(command, options);
}
