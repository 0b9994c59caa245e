// The work on one file for each command, as the window's batch runs do it.
#pragma once

#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <string_view>

#include "cli/report.h"
#include "engine/guard.h"
#include "engine/host.h"
#include "engine/tavelix.h"
#include "raster/bitmap.h"
#include "raster/fileio.h"

namespace tavelix::cli {

enum class TCommand { Scramble, Assemble, Reduce, Gray, Convert, Check };

// The name that stands for standard input (as a FILE or IN) and standard output (as -o or OUT).
inline constexpr std::string_view StandardStream = "-";

struct TSettings {
    TCommand Command = TCommand::Convert;
    int Quality = 90;                // JPEG saves
    int Factor = 2;                  // Reduce: 2, 4 or 8
    bool Flush = true;               // a replacing save reaches the disk before it takes the old file's place
    bool Force = false;              // replace existing outputs; change files with other links or write-protected
    std::string_view Password;       // Scramble, Assemble: Windows-1252 bytes
    bool FullChroma = false;         // JPEG saves without chroma subsampling
    bool Fit = false;                // Scramble: reduce a picture over the pixel limit to fit it
    bool Smooth = false;             // Assemble: mend the colour along the seams
    bool Fast = false;               // Reduce: scaled JPEG decoding, block means for bitmaps
    std::string Format;              // ".jpg", ".png" ...: what the bytes of "-" are
};

// One file's work: read Input, write Output.
struct TFileJob {
    std::string Input;
    std::string Output;
    // Output is Input, the file the command line asked to change (scramble and assemble
    // without -o); otherwise Output is a file of its own, never replaced without --force.
    bool InPlace = false;
    std::size_t Index = 0;  // place in the run, for results told in order (check)
};

// The engine's host for a run without a window: it keeps what the engine says about the
// file in hand, so that the failure is told on one line naming the file.
class TCliHost : public TPictureHost {
public:
    void ShowMessage(std::string_view text) override { FMessage = text; }
    void ProcessMessages() override {}
    TSize ScreenSize() const override { return {1280, 1024}; }
    void LoadFailed(std::string_view fileName, const TPictureError& error) override {
        (void)fileName;
        FError = error;
    }

    void Reset() {
        FMessage.clear();
        FError.reset();
    }
    // Why the last load failed, for the user: by the kind of error if one was given, else the
    // message.
    std::string Why() const;

private:
    std::string FMessage;
    std::optional<TPictureError> FError;
};

// The state of one worker thread: its own picture component, host and run bitmap (one
// picture in memory per worker, whatever the number of files).
class TWorker {
public:
    TWorker(const TSettings& settings, TReporter& reporter);
    TWorker(const TWorker&) = delete;
    TWorker& operator=(const TWorker&) = delete;

    // Does one file; true when it was done. Every failure is reported; nothing escapes.
    bool Run(const TFileJob& job) noexcept;
    // check: the line told for the last file.
    const std::string& Result() const { return FResult; }

private:
    bool Process(const TFileJob& job);
    // Reads the picture of job into FPicture (for reduce --fast of a JPEG already reduced, or
    // left empty when too small to reduce): false when it failed, was told, and nothing is left
    // to do (reduced says whether a reduction happened).
    bool Load(const TFileJob& job, const TReadableFile& input, bool& reduced);
    // Scramble and assemble; false when refused (told). An assemble is judged while it is done
    // and its result encoded (FVerdict): Admitted tells whether it may be written.
    bool Shuffle(const TFileJob& job);
    bool Admitted(const TFileJob& job);
    // --fit: a picture over the pixel limit reduced to fit it, and told; false when refused (in
    // place, without --force: told).
    bool FitIfAsked(const TFileJob& job);
    // Writes FPicture to job.Output (a file, or standard output); false when it failed or was
    // not admitted (told).
    bool Save(const TFileJob& job, const std::string& target);
    // The codec's name for a file of the job: "-" is named by --format.
    std::string CodecName(const std::string& fileName) const;
    // Why job's output cannot be written: its type is read, never written.
    std::string Unwritable(const TFileJob& job) const;
    // What keeps the file open as fd, to be replaced under the name target, from being changed
    // in place unless --force is given (other names, write protection); "" when nothing does.
    std::string InPlaceRefusal(int fd, const std::string& target) const;

    const TSettings& FSettings;
    TReporter& FReporter;
    TCliHost FHost;
    TTavelix FView;
    TBitmap FPicture;
    std::future<TAssemblyVerdict> FVerdict;
    std::string FResult;
};

}  // namespace tavelix::cli
