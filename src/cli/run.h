// One run of tavelix-cli as its command line asks: the jobs of the command, the password,
// the worker threads and the summary. The program entry only reads the options and sets up
// the signals.
#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/password.h"

namespace tavelix::cli {

constexpr int ExitDone = 0;    // every file done
constexpr int ExitFailed = 1;  // a file failed, was skipped or was left undone
constexpr int ExitUsage = 2;   // a usage error or a password that breaks the rules: nothing touched

// What the command line gave.
struct TOptions {
    TCommand Command = TCommand::Convert;
    std::vector<std::string> Files;  // scramble, assemble, reduce, check
    std::string Output;              // scramble, assemble: -o PATH
    std::string In, Out;             // gray, convert
    std::string PasswordFile;
    bool PasswordStdin = false;
    int Quality = 90;
    int Factor = 0;                  // reduce
    unsigned Jobs = 0;               // files at once; 0: one per core
    bool Verbose = false;
    bool NoFlush = false;
    bool Force = false;              // replace existing outputs; change linked or write-protected files
    bool Recursive = false;          // -r: folders among Files are walked for pictures
    std::string OutDir;              // --out-dir: outputs go there, keeping the layout
    bool DryRun = false;             // -n: tell what would be done
    std::string Format;              // --format TYPE ("jpg" ... "webp"): what the bytes of "-" are ("" none given)
    bool FullChroma = false;         // scramble --full-chroma
    bool Fit = false;                // scramble --fit
    bool Smooth = false;             // assemble --smooth
    bool Fast = false;               // reduce --fast
};

// What the run shares with the signal handlers (lock-free atomics only).
struct TRunSignals {
    std::atomic<bool> Stop{false};     // set by a signal: start no other file
    std::atomic<bool> Running{false};  // files are being worked on
};

// The jobs of the command, in the order given (the pictures of a folder walked with -r in the
// order of their names); or the usage error to tell, with no jobs.
std::optional<std::string> PlanJobs(const TOptions& options, std::vector<TFileJob>& jobs);

// The picture files (IsPictureName, any letter case) under folder, sorted by name; links to folders
// are not followed, and nothing under skip (the --out-dir, when it lies inside) is taken.
std::vector<std::string> PicturesUnder(const std::string& folder, const std::string& skip);

// Where --out-dir puts the output of a file known by its place in the layout, relative ("a.jpg",
// "holidays/2019/b.jpg"): outDir/relative.
std::string InOutDir(const std::string& outDir, const std::string& relative);

// What -n prints for the jobs, one line each.
std::vector<std::string> DescribeJobs(const TOptions& options, const std::vector<TFileJob>& jobs);

// Fills password from the source the options name (a file, standard input or the terminal)
// and checks it against the rules. Returns ExitDone, or the exit status after telling the
// user why not on standard error.
int ObtainPassword(const TOptions& options, const std::atomic<bool>& stop, TSecret& password);

// Works on the jobs with up to `threads` workers (0: one per core), files that touch a
// common file one after the other, then tells what was left undone. Returns the exit status.
int RunJobs(const std::vector<TFileJob>& jobs, const TSettings& settings, unsigned threads, bool verbose,
            TRunSignals& signals);

// The whole run: the jobs, the password for scramble and assemble, the work. Returns the exit
// status; every message has gone to standard output or standard error.
int Run(const TOptions& options, TRunSignals& signals);

}  // namespace tavelix::cli
