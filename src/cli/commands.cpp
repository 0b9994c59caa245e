#include "cli/commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <span>

#include "cli/filelock.h"
#include "cli/i18n.h"
#include "cli/names.h"
#include "engine/guard.h"
#include "engine/seams.h"
#include "raster/fileio.h"

namespace tavelix::cli {

std::string TCliHost::Why() const {
    if (FError) {
        // The JPEG library's failures arrive as their message number only.
        if (FError->GetKind() == TPictureError::Kind::Jpeg)
            return Fill(_("not a JPEG file, or a damaged one (%s)"), {FError->what()});
        return Translated(FError->what());
    }
    if (!FMessage.empty()) return Translated(FMessage);
    return _("Error: wrong format");
}

TWorker::TWorker(const TSettings& settings, TReporter& reporter)
    : FSettings(settings), FReporter(reporter), FView(FHost) {
    FView.SetFlushOnSave(settings.Flush);
    FView.SetFullChromaOnSave(settings.FullChroma);
}

bool TWorker::Run(const TFileJob& job) noexcept {
    try {
        FResult.clear();
        FReporter.Started(job.Input);
        const bool done = Process(job);
        FPicture.Clear();  // no picture kept between files
        FReporter.Finished();
        return done;
    } catch (const std::exception& error) {
        FReporter.Problem(job.Input, error.what());
    } catch (...) {
        FReporter.Problem(job.Input, _("unknown failure"));
    }
    FPicture.Clear();
    FReporter.Finished();
    return false;
}

namespace {

// What the command does to a file, for messages: "scrambled", "reduced" ...
const char* Done(TCommand command) {
    switch (command) {
    case TCommand::Scramble: return _("scrambled");
    case TCommand::Assemble: return _("assembled");
    case TCommand::Reduce: return _("reduced");
    case TCommand::Gray: return _("black and white");
    case TCommand::Convert: return _("converted");
    case TCommand::Check: return _("checked");
    }
    return "";
}

// The copy a command writes to a file of its own, for messages.
std::string CopyOf(TCommand command, const std::string& input) {
    switch (command) {
    case TCommand::Scramble: return Fill(_("the scrambled copy of %s"), {input});
    case TCommand::Assemble: return Fill(_("the assembled copy of %s"), {input});
    case TCommand::Reduce: return Fill(_("the reduced copy of %s"), {input});
    case TCommand::Gray: return Fill(_("the black-and-white copy of %s"), {input});
    case TCommand::Convert: return Fill(_("the converted copy of %s"), {input});
    case TCommand::Check: break;
    }
    return input;
}

std::string Size(const TBitmap& picture) {
    return std::to_string(picture.Width()) + " \u00D7 " + std::to_string(picture.Height());
}

// The pixel limit, as the messages write it.
constexpr const char* PixelLimit = "1280 \u00D7 1024";

constexpr const char* BusyText = N_("busy: another run of tavelix-cli is changing it; left unchanged");

}  // namespace

namespace {

// Why a file is not changed in place, in the language of the locale.
std::string ObstacleText(const TInPlaceCheck& check, bool scrambling) {
    if (check.Obstacle != TInPlaceObstacle::HardLinks) return Translated(InPlaceObstacleText(check, scrambling));
    const auto n = static_cast<unsigned long>(check.OtherNames);
    const char* format =
        scrambling ? ::ngettext("the file has %s other name (hard links), which would keep the clear picture",
                                "the file has %s other names (hard links), which would keep the clear picture", n)
                   : ::ngettext("the file has %s other name (hard links), which would keep the scrambled picture",
                                "the file has %s other names (hard links), which would keep the scrambled picture", n);
    return Fill(format, {std::to_string(check.OtherNames)});
}

}  // namespace

std::string TWorker::InPlaceRefusal(int fd, const std::string& target) const {
    if (FSettings.Force) return "";
    const TInPlaceCheck check = CheckInPlace(fd, target);
    if (check.Obstacle == TInPlaceObstacle::None) return "";
    return Fill(check.Obstacle == TInPlaceObstacle::HardLinks ? _("not %s: %s; --force changes this name only")
                                                              : _("not %s: %s; --force replaces it all the same"),
                {Done(FSettings.Command), ObstacleText(check, FSettings.Command == TCommand::Scramble)});
}

namespace {

bool IsStream(const std::string& name) { return name == StandardStream; }

// What a message calls a file of the job.
std::string Shown(const std::string& name) { return IsStream(name) ? _("standard input") : name; }

// The whole of standard input, at most MaxPictureFileBytes; "" or why not.
std::string ReadStandardInput(std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    std::uint8_t buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return std::strerror(errno);
        if (got == 0) return "";
        if (bytes.size() + std::size_t(got) > MaxPictureFileBytes) return _("larger than any picture file");
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
}

// All of bytes to standard output; "" or why not.
std::string WriteStandardOutput(std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(STDOUT_FILENO, bytes.data(), bytes.size());
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return std::strerror(errno);
        bytes = bytes.subspan(std::size_t(put));
    }
    return "";
}

// What the strip edges showed, for check's line.
std::string Figures(const TArrangementLook& look) {
    const std::int32_t pairs = look.Columns.Pairs + look.Rows.Pairs;
    const std::int32_t kept = pairs - look.Columns.Broken - look.Rows.Broken;
    std::string figures = Fill(_("the strips keep %s of %s pairs of fitting edges"),
                               {std::to_string(kept), std::to_string(pairs)});
    const std::int32_t seams = look.ColumnSteps.Seams + look.RowSteps.Seams;
    if (seams > 0)
        figures += Fill(_("; %s of %s seams step"),
                        {std::to_string(look.ColumnSteps.Steps + look.RowSteps.Steps), std::to_string(seams)});
    return figures;
}

}  // namespace

std::string TWorker::CodecName(const std::string& fileName) const {
    return IsStream(fileName) ? "standard stream" + FSettings.Format : fileName;
}

bool TWorker::Process(const TFileJob& job) {
    const bool fromStream = IsStream(job.Input), toStream = IsStream(job.Output);
    if (!IsPictureName(CodecName(job.Input))) {
        FReporter.Problem(job.Input, Fill(_("skipped: not a %s file"), {PictureTypes(ReadPictureTypes)}));
        return false;
    }
    if (!job.Output.empty() && !IsWritablePictureName(CodecName(job.Output))) {
        FReporter.Problem(job.Input, Unwritable(job));
        return false;
    }
    if (job.Output.empty() && FSettings.Command != TCommand::Check) {
        FReporter.Problem(job.Input, _("no name for a reduced copy"));
        return false;
    }
    struct stat there {};
    if (!job.InPlace && !toStream && !job.Output.empty() && !FSettings.Force && ::lstat(job.Output.c_str(), &there) == 0) {
        FReporter.Problem(job.Output, Fill(_("exists already, so %s was not written; --force replaces it"),
                                           {CopyOf(FSettings.Command, job.Input)}));
        return false;
    }

    // The file that is replaced (through a link, the file it names) is locked from before it is
    // read until its replacement is in place, so that two runs never both change the same picture.
    // Standard input and output are nobody else's: no lock.
    const std::string target = toStream || job.Output.empty() ? job.Output : WriteTarget(job.Output);
    TReadableFile input, replaced;
    try {
        if (job.InPlace && !fromStream) {
            if (OpenLocked(target, input) == TLockResult::Busy) {
                FReporter.Problem(job.Input, _(BusyText));
                return false;
            }
            if (const std::string refusal = InPlaceRefusal(input.Fd(), target); !refusal.empty()) {
                FReporter.Problem(job.Input, refusal);
                return false;
            }
        } else if (!fromStream) {
            input = OpenPictureFile(job.Input);
        }
    } catch (const TPictureError& error) {
        FReporter.Problem(job.Input, Fill(_("not loaded: %s"), {Translated(error.what())}));
        return false;
    }
    if (!job.InPlace && !toStream && FSettings.Force && !target.empty() && ::stat(target.c_str(), &there) == 0 &&
        S_ISREG(there.st_mode)) {
        try {
            if (OpenLocked(target, replaced) == TLockResult::Busy) {
                FReporter.Problem(job.Output, _(BusyText));
                return false;
            }
        } catch (const TPictureError&) {
            // Not readable (or gone): nothing to lock; the save says what it meets.
        }
    }

    bool reduced = false;
    if (!Load(job, input, reduced)) return false;

    switch (FSettings.Command) {
    case TCommand::Scramble:
    case TCommand::Assemble:
        if (!Shuffle(job)) return false;
        break;
    case TCommand::Reduce:
        // A JPEG decoded at the reduced size is empty when a side would become 0.
        if (!reduced && (FPicture.Empty() ||
                         !(FSettings.Fast ? FView.ReduceByAveraging(FPicture, std::uint8_t(FSettings.Factor))
                                          : FView.ReduceBy(FPicture, static_cast<std::uint8_t>(FSettings.Factor))))) {
            FReporter.Problem(job.Input, _("no reduced copy: a side would become 0 pixels"));
            return true;  // as the window's batch run counts it: done, nothing to write
        }
        break;
    case TCommand::Gray:
        FView.MakeBlackWhite(FPicture, FPicture);
        break;
    case TCommand::Convert:
        if (!FitIfAsked(job)) return false;
        break;
    case TCommand::Check: {
        const TArrangementLook score = LookOfArrangement(FPicture);
        const char* look = score.Look() == TSeamLook::Scrambled ? _("scrambled")
                           : score.LooksClear()                 ? _("not scrambled")
                                                                : _("cannot tell");
        FResult = Shown(job.Input) + ": " + look + " (" + Figures(score) + ")";
        return true;
    }
    }
    if (!Save(job, target)) return false;
    std::string line = Shown(job.Input) + ": " + Done(FSettings.Command);
    if (!job.InPlace) line += toStream ? std::string(_(", written to standard output")) : Fill(_(", saved as %s"), {job.Output});
    line += " (" + std::to_string(FPicture.Width()) + " x " + std::to_string(FPicture.Height()) + ")";
    FReporter.Verbose(line);
    return true;
}

std::string TWorker::Unwritable(const TFileJob& job) const {
    const std::string read = PictureExtension(CodecName(job.Input));
    const std::string types(WrittenPictureTypes);
    if (job.InPlace)
        return Fill(_("not %s: %s pictures are read, never written; give -o a %s name"),
                    {Done(FSettings.Command), read, PictureTypes(types)});
    if (FSettings.Command == TCommand::Reduce)
        return Fill(_("no reduced copy: %s pictures are read, never written; convert it to %s first"),
                    {read, PictureTypes(types)});
    return Fill(_("not %s: %s pictures are read, never written; write %s"),
                {Done(FSettings.Command), PictureExtension(CodecName(job.Output)), PictureTypes(types)});
}

bool TWorker::Load(const TFileJob& job, const TReadableFile& input, bool& reduced) {
    const bool fromStream = IsStream(job.Input);
    const std::string codecName = CodecName(job.Input);
    FHost.Reset();
    FPicture.Clear();
    try {
        if (FSettings.Command == TCommand::Reduce && FSettings.Fast && PictureExtension(codecName) == ".jpg") {
            // Decoded straight at the reduced size, the file read in pieces.
            reduced = FView.LoadReducedJpeg(FPicture, fromStream ? STDIN_FILENO : input.Fd(),
                                            std::uint8_t(FSettings.Factor));
            // Too small to reduce: Process tells it, as without --fast.
            return true;
        }
        std::vector<std::uint8_t> bytes;
        if (fromStream) {
            if (const std::string error = ReadStandardInput(bytes); !error.empty()) {
                FReporter.Problem(job.Input, Fill(_("not loaded: %s"), {error}));
                return false;
            }
        } else {
            bytes = ReadFileBytes(input, job.Input);
        }
        if (FView.LoadPicture(FPicture, codecName, std::move(bytes))) return true;
        FReporter.Problem(Shown(job.Input), Fill(_("not loaded: %s"), {FHost.Why()}));
    } catch (const TPictureError& error) {
        FReporter.Problem(Shown(job.Input), Fill(_("not loaded: %s"), {Translated(error.what())}));
    }
    return false;
}

bool TWorker::Shuffle(const TFileJob& job) {
    FVerdict = {};
    const bool scramble = FSettings.Command == TCommand::Scramble;
    const char* unchanged = job.InPlace ? _("left unchanged") : _("nothing written");
    if (scramble && !FitIfAsked(job)) return false;
    if (OverPixelLimit(FPicture.Width(), FPicture.Height())) {
        // The strips would stay where they are: a file rewritten so would look done and hide nothing.
        FReporter.Problem(Shown(job.Input), Fill(_("not %s (%s): over the pixel limit of %s, %s"),
                                                 {Done(FSettings.Command), Size(FPicture), PixelLimit, unchanged}));
        return false;
    }
    if (scramble) {
        if (LookOfArrangement(FPicture).Look() == TSeamLook::Scrambled)
            // Undoing takes two assembles, and the result of the first still looks scrambled.
            FReporter.Problem(Shown(job.Input), _("note: it looks scrambled already; scrambled once more "
                                                  "(to undo: assemble it twice, the first time with --force)"));
        TTavelix::Scramble(&FPicture, std::string(FSettings.Password), true);
        return true;
    }
    // A wrong password gives a picture scrambled once more, which every further round of a JPEG
    // damages for good: where the picture tells, the result must look assembled. It is judged
    // on a thread of its own while it is assembled and encoded; Save asks before it writes.
    if (!FSettings.Force) FVerdict = JudgeAssemblyLater(FPicture, std::string(FSettings.Password));
    TTavelix::Scramble(&FPicture, std::string(FSettings.Password), false);
    if (FSettings.Smooth) SmoothSeams(FPicture);
    return true;
}

bool TWorker::FitIfAsked(const TFileJob& job) {
    if (!FSettings.Fit || !OverPixelLimit(FPicture.Width(), FPicture.Height())) return true;
    const TSize fit = FitSize(FPicture.Width(), FPicture.Height());
    const std::string fitted = std::to_string(fit.Width) + " \u00D7 " + std::to_string(fit.Height);
    if (job.InPlace && !FSettings.Force) {
        // The reduced picture would take the place of the only copy at full size.
        FReporter.Problem(Shown(job.Input),
                          Fill(_("not %s (%s): --fit would reduce it to %s in place, and the full size would be lost; "
                                 "write it elsewhere with -o or --out-dir, or add --force; left unchanged"),
                               {Done(FSettings.Command), Size(FPicture), fitted}));
        return false;
    }
    FReporter.Problem(Shown(job.Input), Fill(_("note: reduced from %s to %s to fit the pixel limit of %s"),
                                             {Size(FPicture), fitted, PixelLimit}));
    FView.ReduceToFit(FPicture);
    return true;
}

bool TWorker::Admitted(const TFileJob& job) {
    if (!FVerdict.valid()) return true;
    const char* unchanged = job.InPlace ? _("left unchanged") : _("nothing written");
    const std::string refused = Fill(_("%s; --force assembles it anyway"), {unchanged});
    switch (FVerdict.get()) {
    case TAssemblyVerdict::Assembled:
        break;
    case TAssemblyVerdict::NotAssembled:
        FReporter.Problem(Shown(job.Input), Fill(_("does not look assembled with this password (the password may be "
                                                   "wrong, the picture may not be scrambled, or it may be scrambled "
                                                   "twice); %s"),
                                                 {refused}));
        return false;
    case TAssemblyVerdict::ScrambledTwice:
        FReporter.Problem(Shown(job.Input), Fill(_("looks scrambled twice with this password; %s "
                                                   "(to undo: assemble it twice, the first time with --force)"),
                                                 {unchanged}));
        return false;
    case TAssemblyVerdict::Unclear:
        FReporter.Problem(Shown(job.Input), _("note: the picture shows too little to tell whether this password "
                                              "assembles it rightly; assembled all the same"));
        break;
    }
    return true;
}

bool TWorker::Save(const TFileJob& job, const std::string& target) {
    try {
        if (IsStream(job.Output)) {
            if (!Admitted(job)) return false;
            const TTavelix::TEncoded encoded = FView.EncodePicture(FPicture, CodecName(job.Output), FSettings.Quality);
            std::string error = WriteStandardOutput(encoded.Head);
            if (error.empty()) error = WriteStandardOutput(encoded.Body);
            if (error.empty()) return true;
            FReporter.Problem(Shown(job.Input), Fill(_("not written to standard output: %s"), {error}));
            return false;
        }
        const std::filesystem::path folder = std::filesystem::path(target).parent_path();
        if (!folder.empty()) std::filesystem::create_directories(folder);
        const bool mayReplace = job.InPlace || FSettings.Force;
        return FView.SavePicture(FPicture, target, FSettings.Quality,
                                 mayReplace ? TExisting::Replace : TExisting::Refuse, [&] { return Admitted(job); });
    } catch (const std::exception& error) {
        FReporter.Problem(job.Output, Fill(_("not saved: %s"), {Translated(error.what())}));
        return false;
    }
}

}  // namespace tavelix::cli
