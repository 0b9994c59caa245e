#include "cli/commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>

#include "cli/filelock.h"
#include "cli/names.h"
#include "raster/fileio.h"

namespace tavelix::cli {

std::string TCliHost::Why() const {
    if (FError) {
        // The JPEG library's failures arrive as their message number only.
        if (FError->GetKind() == TPictureError::Kind::Jpeg)
            return std::string("not a JPEG file, or a damaged one (") + FError->what() + ")";
        return FError->what();
    }
    if (!FMessage.empty()) return FMessage;
    return "Error: wrong format";
}

TWorker::TWorker(const TSettings& settings, TReporter& reporter)
    : FSettings(settings), FReporter(reporter), FView(FHost) {
    FView.SetFlushOnSave(settings.Flush);
}

bool TWorker::Run(const TFileJob& job) noexcept {
    try {
        FReporter.Started(job.Input);
        const bool done = Process(job);
        FPicture.Clear();  // no picture kept between files
        FReporter.Finished();
        return done;
    } catch (const std::exception& error) {
        FReporter.Problem(job.Input, error.what());
    } catch (...) {
        FReporter.Problem(job.Input, "unknown failure");
    }
    FPicture.Clear();
    FReporter.Finished();
    return false;
}

namespace {

// What the command does to a file, for messages: "scrambled", "reduced" ...
const char* Done(TCommand command) {
    switch (command) {
    case TCommand::Scramble: return "scrambled";
    case TCommand::Assemble: return "assembled";
    case TCommand::Reduce: return "reduced";
    case TCommand::Gray: return "black and white";
    case TCommand::Convert: return "converted";
    }
    return "";
}

// The copy a command writes to a file of its own, for messages.
std::string CopyOf(TCommand command, const std::string& input) {
    switch (command) {
    case TCommand::Scramble: return "the scrambled copy of " + input;
    case TCommand::Assemble: return "the assembled copy of " + input;
    case TCommand::Reduce: return "the reduced copy of " + input;
    case TCommand::Gray: return "the black-and-white copy of " + input;
    case TCommand::Convert: return "the converted copy of " + input;
    }
    return input;
}

std::string Size(const TBitmap& picture) {
    return std::to_string(picture.Width()) + " \u00D7 " + std::to_string(picture.Height());
}

constexpr const char* BusyText = "busy: another run of tavelix-cli is changing it; left unchanged";

}  // namespace

std::string TWorker::InPlaceRefusal(int fd, const std::string& target) const {
    if (FSettings.Force) return "";
    const bool scramble = FSettings.Command == TCommand::Scramble;
    const std::string what = std::string("not ") + Done(FSettings.Command) + ": ";
    struct stat info {};
    if (::fstat(fd, &info) != 0) return "";
    if (info.st_nlink > 1) {
        // Replacing gives this name a new file; the other names keep the old one.
        const std::string others = std::to_string(info.st_nlink - 1) + (info.st_nlink == 2 ? " other name" : " other names");
        return what + "the file has " + others + " (hard links), which would keep the " +
               (scramble ? "clear" : "scrambled") + " picture; --force changes this name only";
    }
    const bool noWriteBits = (info.st_mode & 0222) == 0;
    if (noWriteBits || (::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES))
        return what + "the file is write-protected; --force replaces it all the same";
    return "";
}

bool TWorker::Process(const TFileJob& job) {
    if (!IsPictureName(job.Input)) {
        FReporter.Problem(job.Input, "skipped: not a .jpg or .bmp file");
        return false;
    }
    if (job.Output.empty()) {
        FReporter.Problem(job.Input, "no name for a reduced copy");
        return false;
    }
    struct stat there {};
    if (!job.InPlace && !FSettings.Force && ::lstat(job.Output.c_str(), &there) == 0) {
        FReporter.Problem(job.Output, "exists already, so " + CopyOf(FSettings.Command, job.Input) +
                                          " was not written; --force replaces it");
        return false;
    }

    // The file that is replaced (through a link, the file it names) is locked from before it is
    // read until its replacement is in place, so that two runs never both change the same picture.
    const std::string target = WriteTarget(job.Output);
    TReadableFile input, replaced;
    try {
        if (job.InPlace) {
            if (OpenLocked(target, input) == TLockResult::Busy) {
                FReporter.Problem(job.Input, BusyText);
                return false;
            }
            if (const std::string refusal = InPlaceRefusal(input.Fd(), target); !refusal.empty()) {
                FReporter.Problem(job.Input, refusal);
                return false;
            }
        } else {
            input = OpenPictureFile(job.Input);
        }
    } catch (const TPictureError& error) {
        FReporter.Problem(job.Input, std::string("not loaded: ") + error.what());
        return false;
    }
    if (!job.InPlace && FSettings.Force && ::stat(target.c_str(), &there) == 0 && S_ISREG(there.st_mode)) {
        try {
            if (OpenLocked(target, replaced) == TLockResult::Busy) {
                FReporter.Problem(job.Output, BusyText);
                return false;
            }
        } catch (const TPictureError&) {
            // Not readable (or gone): nothing to lock; the save says what it meets.
        }
    }

    FHost.Reset();
    FPicture.Clear();
    bool loaded = false;
    try {
        loaded = FView.LoadPicture(FPicture, job.Input, ReadFileBytes(input, job.Input));
    } catch (const TPictureError& error) {
        FReporter.Problem(job.Input, std::string("not loaded: ") + error.what());
        return false;
    }
    if (!loaded) {
        FReporter.Problem(job.Input, "not loaded: " + FHost.Why());
        return false;
    }

    switch (FSettings.Command) {
    case TCommand::Scramble:
    case TCommand::Assemble: {
        const bool scramble = FSettings.Command == TCommand::Scramble;
        if (std::int64_t(FPicture.Width()) * FPicture.Height() > PixelLimit) {
            // The strips would stay where they are: a file rewritten so would look done and hide nothing.
            FReporter.Problem(job.Input, std::string("not ") + Done(FSettings.Command) + " (" + Size(FPicture) +
                                             "): over the pixel limit of 1280 \u00D7 1024, " +
                                             (job.InPlace ? "left unchanged" : "nothing written"));
            return false;
        }
        TTavelix::Scramble(&FPicture, std::string(FSettings.Password), scramble);
        break;
    }
    case TCommand::Reduce:
        if (!FView.ReduceBy(FPicture, static_cast<std::uint8_t>(FSettings.Factor))) {
            FReporter.Problem(job.Input, "no reduced copy: a side would become 0 pixels");
            return true;  // as the window's batch run counts it: done, nothing to write
        }
        break;
    case TCommand::Gray:
        FView.MakeBlackWhite(FPicture, FPicture);
        break;
    case TCommand::Convert:
        break;
    }

    try {
        const bool mayReplace = job.InPlace || FSettings.Force;
        FView.SavePicture(FPicture, target, FSettings.Quality, mayReplace ? TExisting::Replace : TExisting::Refuse);
    } catch (const std::exception& error) {
        FReporter.Problem(job.Output, std::string("not saved: ") + error.what());
        return false;
    }
    std::string line = job.Input + ": " + Done(FSettings.Command);
    if (!job.InPlace) line += ", saved as " + job.Output;
    line += " (" + std::to_string(FPicture.Width()) + " x " + std::to_string(FPicture.Height()) + ")";
    FReporter.Verbose(line);
    return true;
}

}  // namespace tavelix::cli
