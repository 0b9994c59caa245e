#include "cli/run.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <thread>

#include "cli/i18n.h"
#include "cli/names.h"
#include "cli/report.h"
#include "cli/runner.h"
#include "engine/tavelix.h"

namespace tavelix::cli {

namespace fs = std::filesystem;

namespace {

// Why a password cannot be used, in the language of the locale; positions only, as the engine's text.
std::string ProblemText(const TPasswordProblem& problem) {
    const std::string at = std::to_string(problem.Character);
    const std::string most = std::to_string(MaxPasswordCharacters);
    switch (problem.What) {
    case TPasswordProblem::Kind::InvalidUtf8:
        return Fill(_("character %s of the password is not valid UTF-8"), {at});
    case TPasswordProblem::Kind::ControlCharacter:
        return Fill(_("character %s of the password is a control character; control characters are not allowed"), {at});
    case TPasswordProblem::Kind::NotInCodePage:
        return Fill(_("character %s of the password is not in the Windows Western code page (1252), in which "
                      "passwords are taken; use letters, digits and signs that code page holds"),
                    {at});
    case TPasswordProblem::Kind::TooLong:
        return Fill(_("the password is longer than %s characters"), {most});
    case TPasswordProblem::Kind::WrongLength:
        break;
    }
    return Fill(_("the password must be %s to %s characters long, not %s"),
                {std::to_string(MinPasswordCharacters), most, at});
}

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
    if (!IsWritablePictureName(name)) {
        std::string usage = what + Fill(_(": the output must be a %s file"), {PictureTypes(WrittenPictureTypes)});
        if (IsPictureName(name)) usage += Fill(_(" (%s pictures are read, never written)"), {PictureExtension(name)});
        return usage;
    }
    const std::size_t slash = name.find_last_of('/');
    const std::string_view base = std::string_view(name).substr(slash == std::string::npos ? 0 : slash + 1);
    if (base.size() > PictureExtension(base).size()) return std::nullopt;
    std::string usage = what + _(": the output name has nothing before its extension");
    if (!option.empty())
        usage += Fill(_(" (was a file named %s taken for the option? Put -- before the file names)"), {option + name});
    return usage;
}

}  // namespace

std::vector<std::string> PicturesUnder(const std::string& folder, const std::string& skip) {
    std::vector<std::string> found;
    std::error_code error;
    const fs::path skipped = skip.empty() ? fs::path() : fs::weakly_canonical(fs::absolute(skip), error);
    // The default options follow no link to a folder; an unreadable folder ends its walk only.
    fs::recursive_directory_iterator walk(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        const fs::directory_entry& entry = *walk;
        std::error_code ignored;
        if (!skipped.empty() && entry.is_directory(ignored) && !entry.is_symlink(ignored) &&
            fs::weakly_canonical(entry.path(), ignored) == skipped) {
            walk.disable_recursion_pending();
            continue;
        }
        if (entry.is_regular_file(ignored) && IsPictureName(entry.path().string())) found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::string InOutDir(const std::string& outDir, const std::string& relative) {
    return (fs::path(outDir) / fs::path(relative).relative_path()).lexically_normal().string();
}

namespace {

bool IsStream(const std::string& name) { return name == StandardStream; }

// A file of the run and its place in the layout under --out-dir.
struct TNamedFile {
    std::string File, Relative;
};

// The files of the command line, folders walked with -r. A file named keeps its own name under
// --out-dir; a picture found in a folder keeps the folder's name and its path inside it.
std::vector<TNamedFile> ExpandFiles(const TOptions& options) {
    std::vector<TNamedFile> files;
    for (const std::string& argument : options.Files) {
        std::error_code error;
        if (options.Recursive && !IsStream(argument) && fs::is_directory(argument, error)) {
            // "photos/" names the folder photos as "photos" does.
            fs::path folder = fs::path(argument).lexically_normal();
            if (folder.filename().empty()) folder = folder.parent_path();
            fs::path name = folder.filename();
            if (name == "." || name == "..") name.clear();
            for (const std::string& picture : PicturesUnder(argument, options.OutDir))
                files.push_back({picture, (name / fs::path(picture).lexically_relative(argument)).string()});
        } else {
            files.push_back({argument, fs::path(argument).filename().string()});
        }
    }
    return files;
}

}  // namespace

std::optional<std::string> PlanJobs(const TOptions& options, std::vector<TFileJob>& jobs) {
    jobs.clear();
    const bool gives = options.Command == TCommand::Gray || options.Command == TCommand::Convert;
    std::size_t inputs = 0, outputs = 0;
    for (const std::string& file : options.Files) inputs += IsStream(file);
    if (gives) inputs += IsStream(options.In), outputs += IsStream(options.Out);
    outputs += IsStream(options.Output);
    if (inputs > 1) return _("- (standard input) can be given once only");
    if (inputs > 0 && options.PasswordStdin) return _("--password-stdin and - cannot both read standard input");
    if (inputs + outputs > 0 && options.Format.empty()) return _("- (standard input or output) needs --format TYPE (jpg, bmp, png, heic, heif, webp)");
    if (inputs + outputs == 0 && !options.Format.empty()) return _("--format says what the bytes of - are; no - was given");
    if (inputs + outputs > 0 && !options.OutDir.empty()) return _("--out-dir does not go with - (standard input or output)");
    if (!options.OutDir.empty() && !options.Output.empty()) return _("-o and --out-dir exclude each other");

    const std::vector<TNamedFile> files = ExpandFiles(options);
    switch (options.Command) {
    case TCommand::Scramble:
    case TCommand::Assemble:
        if (!options.Output.empty()) {
            if (files.size() != 1) return _("-o/--output takes exactly one FILE");
            if (!IsStream(options.Output))
                if (auto usage = CheckOutputName("-o", options.Output)) return usage;
        }
        for (const TNamedFile& file : files) {
            std::string output = options.Output.empty() ? file.File : options.Output;
            if (!options.OutDir.empty()) output = InOutDir(options.OutDir, file.Relative);
            jobs.push_back({file.File, output, output == file.File && !IsStream(output)});
        }
        break;
    case TCommand::Reduce:
        for (const TNamedFile& file : files) {
            std::string output = IsStream(file.File) ? file.File : ReducedCopyName(file.File, options.Factor);
            if (!options.OutDir.empty()) {
                const fs::path relative(file.Relative);
                output = InOutDir(options.OutDir,
                                  (relative.parent_path() / ReducedName(relative.filename().string(), options.Factor)).string());
            }
            jobs.push_back({file.File, output, false});
        }
        break;
    case TCommand::Check:
        for (const TNamedFile& file : files) jobs.push_back({file.File, "", false});
        break;
    case TCommand::Gray:
    case TCommand::Convert: {
        if (!IsStream(options.Out))
            if (auto usage = CheckOutputName("", options.Out)) return usage;
        std::string output = options.Out;
        if (!options.OutDir.empty()) {
            if (fs::path(output).is_absolute()) return options.Out + _(": with --out-dir, OUT is a name inside it");
            output = InOutDir(options.OutDir, output);
        }
        jobs.push_back({options.In, output, false});
        break;
    }
    }
    for (std::size_t i = 0; i < jobs.size(); ++i) jobs[i].Index = i;
    return std::nullopt;
}

std::vector<std::string> DescribeJobs(const TOptions& options, const std::vector<TFileJob>& jobs) {
    static const char* const verbs[] = {"scramble", "assemble", "reduce", "gray", "convert", "check"};
    const std::string verb = verbs[int(options.Command)];
    std::vector<std::string> lines;
    for (const TFileJob& job : jobs) {
        std::string line = verb + " " + job.Input;
        if (job.InPlace) line += _(" (in place)");
        else if (!job.Output.empty()) line += " -> " + (IsStream(job.Output) ? std::string(_("standard output")) : job.Output);
        std::error_code error;
        if (!IsStream(job.Input) && !IsPictureName(job.Input))
            line += Fill(_(" (skipped: not a %s file)"), {PictureTypes(ReadPictureTypes)});
        else if (!job.Output.empty() && !IsStream(job.Output) && !IsWritablePictureName(job.Output))
            // A reduced copy's name has its letters inserted into the extension: name the input's.
            line += Fill(_(" (refused: %s pictures are read, never written)"),
                         {PictureExtension(IsPictureName(job.Output) ? job.Output : job.Input)});
        else if (!job.InPlace && !job.Output.empty() && !IsStream(job.Output) && !options.Force &&
                 fs::exists(fs::symlink_status(job.Output, error)))
            line += Fill(_(" (refused: %s exists already; --force replaces it)"), {job.Output});
        lines.push_back(std::move(line));
    }
    return lines;
}

int ObtainPassword(const TOptions& options, const std::atomic<bool>& stop, TSecret& password) {
    TSecret line;
    const bool fromFile = !options.PasswordFile.empty();
    const bool fromStdin = options.PasswordStdin && !::isatty(STDIN_FILENO);
    if (fromFile) {
        const int fd = ::open(options.PasswordFile.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            Fail(Fill(_("cannot read the password file %s: %s"), {options.PasswordFile, std::strerror(errno)}));
            return ExitUsage;
        }
        const std::optional<std::string> error = ReadFirstLine(fd, line);
        ::close(fd);
        if (error) {
            Fail(Fill(_("cannot read the password file %s: %s"), {options.PasswordFile, *error}));
            return ExitUsage;
        }
    } else if (fromStdin) {
        if (const std::optional<std::string> error = ReadFirstLine(STDIN_FILENO, line)) {
            Fail(Fill(_("cannot read the password from standard input: %s"), {*error}));
            return ExitUsage;
        }
    } else {
        // The terminal, or with --password-stdin the terminal that is standard input: asked
        // without echo, as a line typed there would otherwise show.
        const TEntryCheck check = [](std::string_view entry) -> std::optional<std::string> {
            TSecret bytes;
            if (const std::optional<TPasswordProblem> problem = DecodePassword(entry, bytes)) return ProblemText(*problem);
            return std::nullopt;
        };
        std::string error;
        switch (PromptTwice(options.PasswordStdin ? STDIN_FILENO : -1, line, stop, check, error)) {
        case TPromptResult::Ok:
            break;
        case TPromptResult::NoTerminal:
            Fail(_("no terminal to ask for the password; give it with --password-file PATH or --password-stdin"));
            return ExitUsage;
        case TPromptResult::Mismatch:
            Fail(_("the two passwords differ; nothing was changed"));
            return ExitUsage;
        case TPromptResult::BrokenRules:
            Fail(Fill(_("%s; nothing was changed"), {error}));
            return ExitUsage;
        case TPromptResult::Interrupted:
            Fail(_("interrupted; nothing was changed"));
            return ExitFailed;
        case TPromptResult::Failed:
            Fail(Fill(_("cannot read the password: %s"), {error}));
            return ExitUsage;
        }
    }
    // Editors that mark a text file as UTF-8 put a byte-order mark before its first line; it
    // is not part of the password.
    std::string_view text = line.View();
    if ((fromFile || fromStdin) && text.starts_with(ByteOrderMark)) text.remove_prefix(ByteOrderMark.size());
    if (const std::optional<TPasswordProblem> problem = DecodePassword(text, password)) {
        Fail(Fill(_("%s; nothing was changed"), {ProblemText(*problem)}));
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
    // Standard output carries the picture when a job writes there: the -v lines then go to
    // standard error.
    const bool pictureOut = std::any_of(jobs.begin(), jobs.end(), [](const TFileJob& job) { return job.Output == StandardStream; });
    TReporter reporter(jobs.size(), jobs.size() > 1 && ::isatty(STDERR_FILENO), verbose, pictureOut ? stderr : stdout);
    std::vector<std::string> results(jobs.size());
    std::vector<std::unique_ptr<TWorker>> workers;
    for (unsigned t = 0; t < std::min<std::size_t>(threads, chains.size()); ++t)
        workers.push_back(std::make_unique<TWorker>(settings, reporter));

    std::atomic<std::size_t> failed{0};
    signals.Running = true;
    const std::size_t untouched = RunChains(
        chains, unsigned(workers.size()),
        [&](unsigned thread, std::size_t job) {
            if (!workers[thread]->Run(jobs[job])) failed.fetch_add(1);
            results[job] = workers[thread]->Result();
        },
        signals.Stop);
    signals.Running = false;
    reporter.End();
    for (const std::string& result : results)
        if (!result.empty()) std::printf("%s\n", result.c_str());
    std::fflush(stdout);

    const std::size_t done = jobs.size() - untouched - failed.load();
    if (untouched > 0)
        reporter.Say(Fill(_("interrupted: %s of %s files left untouched"),
                          {std::to_string(untouched), std::to_string(jobs.size())}));
    if (failed.load() > 0 && jobs.size() > 1)
        reporter.Say(Fill(_("%s of %s files failed"), {std::to_string(failed.load()), std::to_string(jobs.size())}));
    if (jobs.size() > 1) reporter.Verbose(Fill(_("%s of %s files done"), {std::to_string(done), std::to_string(jobs.size())}));
    return failed.load() > 0 || untouched > 0 ? ExitFailed : ExitDone;
}

int Run(const TOptions& options, TRunSignals& signals) {
    std::vector<TFileJob> jobs;
    if (const std::optional<std::string> usage = PlanJobs(options, jobs)) {
        Fail(*usage);
        return ExitUsage;
    }

    // Picture bytes on a terminal show as garbage and can set it into odd modes.
    const bool toStream = std::any_of(jobs.begin(), jobs.end(), [](const TFileJob& job) { return IsStream(job.Output); });
    if (toStream && !options.DryRun && ::isatty(STDOUT_FILENO)) {
        Fail(_("standard output is a terminal: picture bytes are not written there; redirect it to a file or a pipe"));
        return ExitUsage;
    }

    if (options.DryRun) {
        for (const std::string& line : DescribeJobs(options, jobs)) std::printf("%s\n", line.c_str());
        if (jobs.empty()) std::printf("%s\n", _("no pictures"));
        return ExitDone;
    }

    TSettings settings;
    settings.Command = options.Command;
    settings.FullChroma = options.FullChroma;
    settings.Fit = options.Fit;
    settings.Smooth = options.Smooth;
    settings.Fast = options.Fast;
    settings.Format = options.Format.empty() ? "" : "." + options.Format;
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
