// tavelix-cli: scramble, assemble, reduce, black and white and conversion of picture files
// from a shell, with the engine of the window and the same results byte for byte.

#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <string>

#include "cli/run.h"

namespace {

using namespace tavelix::cli;

TRunSignals GSignals;

// SIGINT and SIGTERM: the first asks the run to stop after the files in progress; a second
// one ends the program at once (the safe save keeps every original whole even then).
extern "C" void OnStopSignal(int signal) {
    if (GSignals.Stop.exchange(true)) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    if (GSignals.Running.load()) {
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

void AddCommonOptions(CLI::App& command, TOptions& options) {
    command.add_option("-q,--quality", options.Quality, "JPEG quality of the files written, 1 to 100")
        ->check(CLI::Range(1, 100))
        ->capture_default_str();
    command.add_flag("-v,--verbose", options.Verbose, "tell what was done to each file, on standard output");
    command.add_flag("--force", options.Force,
                     "replace existing output files; change files that have other names (hard links) or are "
                     "write-protected");
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
    scramble->callback([&] { options.Command = TCommand::Scramble; });
    assemble->callback([&] { options.Command = TCommand::Assemble; });

    auto* reduce = app.add_subcommand(
        "reduce", "write a copy of each FILE at 1/factor of its width and height (photo.jpg gives photos2.jpg)");
    reduce->add_option("--factor", options.Factor, "2, 4 or 8")->required()->check(CLI::IsMember({2, 4, 8}));
    AddCommonOptions(*reduce, options);
    AddJobsOption(*reduce, options);
    reduce->add_option("FILE", options.Files, ".jpg or .bmp files")->required();
    reduce->callback([&] { options.Command = TCommand::Reduce; });

    auto* gray = app.add_subcommand("gray", "save IN in black and white as OUT (.jpg or .bmp by its extension)");
    auto* convert = app.add_subcommand("convert", "load IN and save it as OUT (.jpg or .bmp by its extension)");
    for (CLI::App* sub : {gray, convert}) {
        AddCommonOptions(*sub, options);
        sub->add_option("IN", options.In, "the picture to read")->required();
        sub->add_option("OUT", options.Out, "the file to write")->required();
    }
    gray->callback([&] { options.Command = TCommand::Gray; });
    convert->callback([&] { options.Command = TCommand::Convert; });

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? ExitDone : ExitUsage;
    }
    return Run(options, GSignals);
}
