// What a run tells its user: one line per failure or note on standard error, the -v lines
// on standard output, and a progress line on a terminal. Safe to call from every thread.
#pragma once

#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace tavelix::cli {

class TReporter {
public:
    // progress: keep one updating line "[done/total] name" on err (a terminal).
    TReporter(std::size_t total, bool progress, bool verbose, std::FILE* out = stdout, std::FILE* err = stderr);

    void Started(std::string_view fileName);
    void Finished();
    // "tavelix-cli: FILE: TEXT" on standard error, whatever the options.
    void Problem(std::string_view fileName, std::string_view text);
    // A line on standard error not about one file.
    void Say(std::string_view text);
    // A line on standard output with -v only.
    void Verbose(std::string_view text);
    // Takes the progress line away; call when the run is over.
    void End();

private:
    void ClearLine();  // these three with FLock held
    void DrawLine();
    void Print(std::FILE* stream, std::string_view text);

    std::mutex FLock;
    std::size_t FTotal, FDone = 0;
    bool FProgress, FVerbose, FLineShown = false;
    std::string FCurrent;
    std::FILE* FOut;
    std::FILE* FErr;
};

}  // namespace tavelix::cli
