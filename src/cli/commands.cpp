#include "cli/commands.h"

#include <exception>

#include "cli/names.h"

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

bool TWorker::Process(const TFileJob& job) {
    if (!IsPictureName(job.Input)) {
        FReporter.Problem(job.Input, "skipped: not a .jpg or .bmp file");
        return false;
    }
    FHost.Reset();
    FPicture.Clear();
    if (!FView.LoadPicture(FPicture, job.Input)) {
        FReporter.Problem(job.Input, "not loaded: " + FHost.Why());
        return false;
    }

    std::string done;
    switch (FSettings.Command) {
    case TCommand::Scramble:
    case TCommand::Assemble: {
        const bool scramble = FSettings.Command == TCommand::Scramble;
        if (std::int64_t(FPicture.Width()) * FPicture.Height() > PixelLimit)
            FReporter.Problem(job.Input, "1280K Pixels maximum (e.g.1280x1024): this picture (" +
                                             std::to_string(FPicture.Width()) + " x " +
                                             std::to_string(FPicture.Height()) + ") is saved with its strips unmoved");
        TTavelix::Scramble(&FPicture, std::string(FSettings.Password), scramble);
        done = scramble ? "scrambled" : "assembled";
        break;
    }
    case TCommand::Reduce:
        if (job.Output.empty()) {
            FReporter.Problem(job.Input, "no name for a reduced copy");
            return false;
        }
        if (!FView.ReduceBy(FPicture, static_cast<std::uint8_t>(FSettings.Factor))) {
            FReporter.Problem(job.Input, "no reduced copy: a side would become 0 pixels");
            return true;  // as the window's batch run counts it: done, nothing to write
        }
        done = "reduced";
        break;
    case TCommand::Gray:
        FView.MakeBlackWhite(FPicture, FPicture);
        done = "black and white";
        break;
    case TCommand::Convert:
        done = "converted";
        break;
    }

    try {
        FView.SavePicture(FPicture, WriteTarget(job.Output), FSettings.Quality);
    } catch (const std::exception& error) {
        FReporter.Problem(job.Output, std::string("not saved: ") + error.what());
        return false;
    }
    std::string line = job.Input + ": " + done;
    if (job.Output != job.Input) line += ", saved as " + job.Output;
    line += " (" + std::to_string(FPicture.Width()) + " x " + std::to_string(FPicture.Height()) + ")";
    FReporter.Verbose(line);
    return true;
}

}  // namespace tavelix::cli
