#include "cli/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <thread>

#include "cli/names.h"
#include "cli/report.h"
#include "cli/runner.h"
#include "engine/tavelix.h"

namespace tavelix::cli {

namespace {

void Fail(const std::string& text) { std::fprintf(stderr, "tavelix-cli: %s\n", text.c_str()); }

std::uintmax_t FileSize(const std::string& fileName) {
    struct stat info {};
    return ::stat(fileName.c_str(), &info) == 0 && S_ISREG(info.st_mode) ? std::uintmax_t(info.st_size) : 0;
}

}  // namespace

namespace {

// An output name must name a file: ".jpg" alone (or "dir/.jpg") is what a file named "-o.jpg"
// among the names a glob gives turns into, read as the option -o with the value ".jpg".
// option: "-o" for the option's value, "" for a positional OUT.
std::optional<std::string> CheckOutputName(const std::string& option, const std::string& name) {
    const std::string what = option.empty() ? name : option + " " + name;
    if (!IsPictureName(name)) return what + ": the output must be a .jpg or .bmp file";
    const std::size_t slash = name.find_last_of('/');
    const std::string_view base = std::string_view(name).substr(slash == std::string::npos ? 0 : slash + 1);
    if (base.size() > PictureExtension(base).size()) return std::nullopt;
    std::string usage = what + ": the output name has nothing before its extension";
    if (!option.empty())
        usage += " (was a file named " + option + name + " taken for the option? Put -- before the file names)";
    return usage;
}

}  // namespace

std::optional<std::string> PlanJobs(const TOptions& options, std::vector<TFileJob>& jobs) {
    jobs.clear();
    switch (options.Command) {
    case TCommand::Scramble:
    case TCommand::Assemble:
        if (!options.Output.empty()) {
            if (options.Files.size() != 1) return "-o/--output takes exactly one FILE";
            if (auto usage = CheckOutputName("-o", options.Output)) return usage;
        }
        for (const std::string& file : options.Files) {
            const std::string& output = options.Output.empty() ? file : options.Output;
            jobs.push_back({file, output, output == file});
        }
        break;
    case TCommand::Reduce:
        for (const std::string& file : options.Files) jobs.push_back({file, ReducedCopyName(file, options.Factor), false});
        break;
    case TCommand::Gray:
    case TCommand::Convert:
        if (auto usage = CheckOutputName("", options.Out)) return usage;
        jobs.push_back({options.In, options.Out, false});
        break;
    }
    return std::nullopt;
}

int ObtainPassword(const TOptions& options, const std::atomic<bool>& stop, TSecret& password) {
    TSecret line;
    const bool fromFile = !options.PasswordFile.empty();
    const bool fromStdin = options.PasswordStdin && !::isatty(STDIN_FILENO);
    if (fromFile) {
        const int fd = ::open(options.PasswordFile.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            Fail("cannot read the password file " + options.PasswordFile + ": " + std::strerror(errno));
            return ExitUsage;
        }
        const std::optional<std::string> error = ReadFirstLine(fd, line);
        ::close(fd);
        if (error) {
            Fail("cannot read the password file " + options.PasswordFile + ": " + *error);
            return ExitUsage;
        }
    } else if (fromStdin) {
        if (const std::optional<std::string> error = ReadFirstLine(STDIN_FILENO, line)) {
            Fail("cannot read the password from standard input: " + *error);
            return ExitUsage;
        }
    } else {
        // The terminal, or with --password-stdin the terminal that is standard input: asked
        // without echo, as a line typed there would otherwise show.
        const TEntryCheck check = [](std::string_view entry) -> std::optional<std::string> {
            TSecret bytes;
            if (const std::optional<TPasswordProblem> problem = DecodePassword(entry, bytes)) return problem->Message();
            return std::nullopt;
        };
        std::string error;
        switch (PromptTwice(options.PasswordStdin ? STDIN_FILENO : -1, line, stop, check, error)) {
        case TPromptResult::Ok:
            break;
        case TPromptResult::NoTerminal:
            Fail("no terminal to ask for the password; give it with --password-file PATH or --password-stdin");
            return ExitUsage;
        case TPromptResult::Mismatch:
            Fail("the two passwords differ; nothing was changed");
            return ExitUsage;
        case TPromptResult::BrokenRules:
            Fail(error + "; nothing was changed");
            return ExitUsage;
        case TPromptResult::Interrupted:
            Fail("interrupted; nothing was changed");
            return ExitFailed;
        case TPromptResult::Failed:
            Fail("cannot read the password: " + error);
            return ExitUsage;
        }
    }
    // Editors that mark a text file as UTF-8 put a byte-order mark before its first line; it
    // is not part of the password.
    std::string_view text = line.View();
    if ((fromFile || fromStdin) && text.starts_with(ByteOrderMark)) text.remove_prefix(ByteOrderMark.size());
    if (const std::optional<TPasswordProblem> problem = DecodePassword(text, password)) {
        Fail(problem->Message() + "; nothing was changed");
        return ExitUsage;
    }
    return ExitDone;
}

int RunJobs(const std::vector<TFileJob>& jobs, const TSettings& settings, unsigned threads, bool verbose,
            TRunSignals& signals) {
    std::vector<TJobInfo> infos;
    for (const TFileJob& job : jobs) {
        TJobInfo info{FileKeys(job.Input), FileSize(job.Input)};
        if (!job.InPlace && !job.Output.empty())
            for (std::string& key : FileKeys(job.Output)) info.Keys.push_back(std::move(key));
        infos.push_back(std::move(info));
    }
    const auto chains = PlanChains(infos);

    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    TReporter reporter(jobs.size(), jobs.size() > 1 && ::isatty(STDERR_FILENO), verbose);
    std::vector<std::unique_ptr<TWorker>> workers;
    for (unsigned t = 0; t < std::min<std::size_t>(threads, chains.size()); ++t)
        workers.push_back(std::make_unique<TWorker>(settings, reporter));

    std::atomic<std::size_t> failed{0};
    signals.Running = true;
    const std::size_t untouched = RunChains(
        chains, unsigned(workers.size()),
        [&](unsigned thread, std::size_t job) {
            if (!workers[thread]->Run(jobs[job])) failed.fetch_add(1);
        },
        signals.Stop);
    signals.Running = false;
    reporter.End();

    const std::size_t done = jobs.size() - untouched - failed.load();
    if (untouched > 0)
        reporter.Say("interrupted: " + std::to_string(untouched) + " of " + std::to_string(jobs.size()) +
                     " files left untouched");
    if (failed.load() > 0 && jobs.size() > 1)
        reporter.Say(std::to_string(failed.load()) + " of " + std::to_string(jobs.size()) + " files failed");
    if (jobs.size() > 1) reporter.Verbose(std::to_string(done) + " of " + std::to_string(jobs.size()) + " files done");
    return failed.load() > 0 || untouched > 0 ? ExitFailed : ExitDone;
}

int Run(const TOptions& options, TRunSignals& signals) {
    std::vector<TFileJob> jobs;
    if (const std::optional<std::string> usage = PlanJobs(options, jobs)) {
        Fail(*usage);
        return ExitUsage;
    }

    TSettings settings;
    settings.Command = options.Command;
    settings.Quality = options.Quality;
    settings.Factor = options.Factor;
    settings.Flush = !options.NoFlush;
    settings.Force = options.Force;
    TSecret password;  // wiped when the run ends
    if (options.Command == TCommand::Scramble || options.Command == TCommand::Assemble) {
        if (const int status = ObtainPassword(options, signals.Stop, password); status != ExitDone) return status;
        settings.Password = password.View();
    }
    return RunJobs(jobs, settings, options.Jobs, options.Verbose, signals);
}

}  // namespace tavelix::cli
