// TBatchRun: one run of a batch command over files chosen together, without the window: the
// files in their order; the password taken when the run starts, which serves every file of it
// even if another one is set meanwhile; the files it leaves unchanged and why (those over the
// pixel limit among them), and, when it assembles, those whose result would not look
// assembled and those that show too little to tell; and stopping after the current file. The
// window does the work on each file and tells the user what the run has gathered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/guard.h"

namespace tavelix::ui {

class TBatchRun {
public:
    // A file name, in the UTF-16 code units the window holds it in.
    using TName = std::u16string;
    struct TLeftOut {
        TName File;
        std::string Why;
    };

    // judgeAssembly: every file is judged before it is written (MayWrite).
    explicit TBatchRun(std::vector<TName> files, std::string password = {}, bool judgeAssembly = false);

    const std::vector<TName>& Files() const { return FFiles; }
    const std::string& Password() const { return FPassword; }
    bool JudgesAssembly() const { return FJudgeAssembly; }

    // Works on the files one after the other, from the first, until the last one is done or
    // the run is stopped: step(file) does one file, done(n) follows it with the number of files
    // done so far. True when the run went to its end without being stopped.
    bool Run(const std::function<void(const TName&)>& step, const std::function<void(std::size_t)>& done);
    // The run stops once the file it works on is done (Esc, or the window being closed).
    void Stop() { FStopped = true; }
    bool Stopped() const { return FStopped; }

    // file is left as it is, for this reason; named after the run.
    void LeaveUnchanged(TName file, std::string why);
    // Whether the picture read from file, of width x height, is over the pixel limit. Such a
    // picture is left unchanged, with its size as the reason: scrambling leaves it as it is, and
    // writing it back would only pretend that it was scrambled.
    bool OverPixelLimit(const TName& file, std::int32_t width, std::int32_t height);
    // Whether file may be written, assembled, after this verdict on what assembling it gives.
    // A result that would not look assembled is refused (offered again after the run); one that
    // shows too little to tell is written and named. A run that does not judge writes every file.
    bool MayWrite(const TName& file, TAssemblyVerdict verdict);

    const std::vector<TLeftOut>& Unchanged() const { return FUnchanged; }
    const std::vector<TName>& Refused() const { return FRefused; }
    const std::vector<TName>& Unclear() const { return FUnclear; }
    // A run over the refused files that writes them whatever the result looks like, with the
    // same password.
    TBatchRun Anyway() const { return TBatchRun(FRefused, FPassword, false); }

private:
    std::vector<TName> FFiles;
    std::string FPassword;
    bool FJudgeAssembly;
    bool FStopped = false;
    std::vector<TLeftOut> FUnchanged;
    std::vector<TName> FRefused, FUnclear;
};

}  // namespace tavelix::ui
