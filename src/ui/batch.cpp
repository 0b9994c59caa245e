// The batch commands on disk: scramble or assemble a set of files in place, or write copies
// of them reduced to a half, a quarter or an eighth on each side. One file after the other
// on the window's thread, with a progress bar; pending events are handled between the steps,
// so the window repaints and Esc stops the run after the file it is working on. Every file
// is replaced whole or not at all, so a run stopped in any way leaves no half-written picture.
#include <QEvent>
#include <QFileInfo>
#include <QProgressBar>
#include <QSet>

#include <new>
#include <optional>
#include <set>
#include <string>

#include "engine/guard.h"
#include "ui/Utavelix.h"
#include "ui/batchrun.h"
#include "ui/filenames.h"
#include "ui/prompts.h"
#include "ui/windowlayout.h"

namespace tavelix::ui {

namespace {

// How many names a message lists; a box of hundreds would be taller than the screen.
constexpr qsizetype ListedNames = 20;

// Lines of a message, one a file, the rest counted.
QString Lines(const QStringList& lines) {
    if (lines.size() <= ListedNames) return lines.join('\n');
    return lines.first(ListedNames).join('\n') + QCoreApplication::translate("Tavelix", "\n... and %1 more").arg(lines.size() - ListedNames);
}
// The same of files, by the names messages show.
QString Lines(const std::vector<TBatchRun::TName>& files) {
    QStringList lines;
    for (const TBatchRun::TName& file : files) lines << ShownName(QtName(file));
    return Lines(lines);
}
// The same of files left out: "name: why".
QString Lines(const std::vector<TBatchRun::TLeftOut>& files) {
    QStringList lines;
    for (const TBatchRun::TLeftOut& file : files)
        lines << ShownName(QtName(file.File)) + QStringLiteral(": ") + QString::fromStdString(file.Why);
    return Lines(lines);
}

// Works on one file of a run, with the run's bitmap.
using TRunStep = std::function<void(TBatchRun&, const QString&, TBitmap&)>;

// The frame of a run: the progress panel over the picture area, the commands that use the open
// dialog blocked, Esc and closing the window stopping the run after its current file. One
// bitmap serves the whole run.
bool RunBatch(TFtavelix& window, TBatchRun*& current, TBatchRun& run, const TRunStep& step) {
    TFtavelixUi& ui = window.Ui;
    const auto count = static_cast<int>(run.Files().size());
    ui.ProgressBar1->setRange(0, count);
    ui.ProgressBar1->setValue(0);
    PlacePicture(window);  // the panel fills the picture area
    ui.Panel1->show();
    ui.Panel1->raise();
    ui.Commands.Block(TCommandSet::OpenCommands, true);
    // Nothing is destroyed under the running loop: closing the window stops the run after its
    // current file and closes the window then.
    struct TCloseAfterRun : QObject {
        TBatchRun& Run;
        bool Asked = false;
        explicit TCloseAfterRun(TBatchRun& run) : Run(run) {}
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() != QEvent::Close) return false;
            Run.Stop();
            Asked = true;
            event->ignore();
            return true;
        }
    } closing(run);
    window.installEventFilter(&closing);
    current = &run;
    bool toTheEnd;
    {
        TBitmap picture;
        toTheEnd = run.Run(
            [&](const std::u16string& file) {
                const QString fileName = QtName(file);
                // A failure is told, naming the file; the run goes on.
                Guarded(window.Prompts(), [&] { step(run, fileName, picture); }, fileName);
            },
            [&](std::size_t done) { ui.ProgressBar1->setValue(static_cast<int>(done)); });
    }
    current = nullptr;
    window.removeEventFilter(&closing);
    ui.Panel1->hide();
    ui.Commands.Block(TCommandSet::OpenCommands, false);
    if (closing.Asked) {
        window.close();
        return false;
    }
    return toTheEnd;
}

// Why a file of a type Tavelix reads but never writes (HEIC, WebP) is left alone by a run.
std::string ReadOnlyText(const QString& fileName) {
    return PictureExtension(LocalName(fileName)) + " pictures are read, never written (open it and save it as " +
           std::string(WrittenPictureTypes) + ")";
}

// Saves a file of a batch run; a failure is told, naming the file, and the run goes on.
void SaveInRun(TFtavelix& window, const TBitmap& picture, const QString& fileName, TExisting existing) {
    try {
        window.View().SavePicture(picture, LocalName(fileName), window.Ui.JpegQuality(), existing);
    } catch (const TPictureError& error) {
        // A file error names the file and the reason itself.
        const QString reason = QString::fromStdString(VisibleName(error.what()));
        window.Prompts().Message(QCoreApplication::translate("Tavelix", "Error: ") +
                          (error.GetKind() == TPictureError::Kind::Io
                               ? reason
                               : ShownName(fileName) + QCoreApplication::translate("Tavelix", " was not saved: ") + reason));
    } catch (const std::bad_alloc&) {
        window.Prompts().Message(QCoreApplication::translate("Tavelix", "Error: ") + ShownName(fileName) + QCoreApplication::translate("Tavelix", " was not saved: not enough memory"));
    }
}

}  // namespace

void TFtavelix::scrambleondisk1Click() {
    ScrambleFilesOnDisk(true, QCoreApplication::translate("Tavelix", "Select Pictures to scramble on disk - will overwrite"));
}

void TFtavelix::assembleondisk1Click() {
    ScrambleFilesOnDisk(false, QCoreApplication::translate("Tavelix", "Select Pictures to assemble on disk - will overwrite"));
}

void TFtavelix::Reduceto4ondiskClick() {
    ReduceFilesOnDisk(2, QCoreApplication::translate("Tavelix", "Select Pictures to reduce to w/2 h/2 on disk"));
}

void TFtavelix::Reduceto16ondiskClick() {
    ReduceFilesOnDisk(4, QCoreApplication::translate("Tavelix", "Select Pictures to reduce to w/4 h/4 on disk"));
}

void TFtavelix::Reduceto64ondiskClick() {
    ReduceFilesOnDisk(8, QCoreApplication::translate("Tavelix", "Select Pictures to reduce to w/8 h/8 on disk"));
}

void TFtavelix::ScrambleFilesOnDisk(bool direction, const QString& title) {
    if (FBatch) return;
    const QStringList files = Prompts().PicturesToOpen(title);
    if (files.isEmpty()) return;
    FShow.SetPictures(PlainNames(files));
    if (TooLargeToScramble()) return;  // the picture in view, as for the other scrambling commands
    if (!RequestPassword(Prompts(), FPassword)) return;
    // Assembling: files whose result would not look assembled are left unchanged and offered
    // after the run; files that show too little to tell are assembled and named.
    TBatchRun run(PlainNames(files), std::string(FPassword.View()), /*judgeAssembly=*/!direction);
    const auto step = [&](TBatchRun& current, const QString& fileName, TBitmap& picture) {
        // A file that was not read writes nothing: the run bitmap never carries the previous
        // file's picture over to this one's name.
        picture.Clear();
        if (!IsPictureName(fileName)) return;  // neither read nor written
        if (!IsWritablePictureName(fileName)) {
            current.LeaveUnchanged(fileName.toStdU16String(), ReadOnlyText(fileName));
            return;
        }
        // Changed where it is, as tavelix-cli changes it: through a link, the picture the link
        // names (the save goes there); not a file whose other names would keep the old picture,
        // nor a write-protected one.
        const TInPlaceCheck check = CheckInPlace(WriteTarget(LocalName(fileName)));
        if (check.Obstacle != TInPlaceObstacle::None) {
            current.LeaveUnchanged(fileName.toStdU16String(), InPlaceObstacleText(check, direction));
            return;
        }
        if (!FView->LoadPicture(picture, LocalName(fileName))) return;
        FHost.ProcessMessages();
        if (current.OverPixelLimit(fileName.toStdU16String(), picture.Width(), picture.Height())) return;
        if (current.JudgesAssembly() &&
            !current.MayWrite(fileName.toStdU16String(), JudgeAssembly(picture, current.Password())))
            return;
        TTavelix::Scramble(&picture, current.Password(), direction);
        FHost.ProcessMessages();
        SaveInRun(*this, picture, fileName, TExisting::Replace);
        FHost.ProcessMessages();
    };
    const bool toTheEnd = RunBatch(*this, FBatch, run, step);
    QStringList told;
    if (!run.Unchanged().empty())
        told << (direction ? QCoreApplication::translate("Tavelix", "Not scrambled, left unchanged:\n") : QCoreApplication::translate("Tavelix", "Not assembled, left unchanged:\n")) +
                    Lines(run.Unchanged());
    if (!run.Unclear().empty())
        told << QCoreApplication::translate("Tavelix", "Assembled, but these pictures show too little to tell whether the password is right:\n") +
                    Lines(run.Unclear());
    if (!told.isEmpty()) Prompts().Message(told.join(QStringLiteral("\n\n")));
    // Stopped by Esc or by closing the window: nothing more is asked.
    if (run.Refused().empty() || !toTheEnd) return;
    if (!Prompts().OkCancel(QCoreApplication::translate("Tavelix", "These pictures do not look assembled with this password (the password may "
                                           "be wrong, the pictures may not be scrambled, or they may be scrambled "
                                           "twice) and were left unchanged:\n") +
                            Lines(run.Refused()) + QCoreApplication::translate("Tavelix", "\n\nAssemble them anyway?")))
        return;
    TBatchRun anyway = run.Anyway();
    RunBatch(*this, FBatch, anyway, step);
    if (!anyway.Unchanged().empty())
        Prompts().Message(QCoreApplication::translate("Tavelix", "Not assembled, left unchanged:\n") + Lines(anyway.Unchanged()));
}

void TFtavelix::ReduceFilesOnDisk(std::uint8_t factor, const QString& title) {
    if (FBatch) return;
    const QStringList files = Prompts().PicturesToOpen(title);
    if (files.isEmpty()) return;
    FShow.SetPictures(PlainNames(files));
    if (TooLargeToScramble()) return;

    // Before the run, what the copies would meet. A copy never replaces a picture chosen for
    // this run (it may be still to come, or be worked on already), nor a write-protected file;
    // those are named after the run. Other files under the copies' names are replaced only when
    // the user says so, asked once for all of them.
    TBatchRun run(PlainNames(files));
    std::set<TFileId> chosen;
    for (const QString& file : files)
        if (const std::optional<TFileId> id = FileIdOf(LocalName(file))) chosen.insert(*id);
    QSet<QString> skipped, replaced;  // names of copies
    QStringList existing, readOnly;   // readOnly: "name: why" of files that get no copy
    for (const QString& file : files) {
        if (!IsPictureName(file)) continue;
        if (!IsWritablePictureName(file)) {  // a copy would be of a type that is never written
            readOnly << ShownName(file) + QStringLiteral(": ") + QString::fromStdString(ReadOnlyText(file));
            continue;
        }
        const QString copy = ReducedName(file, factor);
        const std::optional<TFileId> id = FileIdOf(LocalName(copy));
        // Only a file can be lost; a save onto anything else fails and says why.
        if (!id || !QFileInfo(copy).isFile()) continue;
        if (chosen.count(*id) > 0) {
            run.LeaveUnchanged(copy.toStdU16String(), "a picture chosen for this run");
            skipped.insert(copy);
        } else if (IsWriteProtected(LocalName(copy))) {
            run.LeaveUnchanged(copy.toStdU16String(), "the file is write-protected");
            skipped.insert(copy);
        } else {
            existing << copy;
        }
    }
    if (!existing.isEmpty()) {
        QStringList names;
        for (const QString& copy : existing) names << ShownName(copy);
        const bool one = existing.size() == 1;
        const QString question =
            QStringLiteral("Replace %1 existing file%2?\n\n").arg(existing.size()).arg(one ? "" : "s") +
            (one ? QCoreApplication::translate("Tavelix", "This reduced copy exists already:\n") : QCoreApplication::translate("Tavelix", "These reduced copies exist already:\n")) +
            Lines(names);
        switch (Prompts().Choose(question, {QCoreApplication::translate("Tavelix", "Replace"), QCoreApplication::translate("Tavelix", "Skip them"), QCoreApplication::translate("Tavelix", "Cancel")})) {
        case 0:
            for (const QString& copy : existing) replaced.insert(copy);
            break;
        case 1:
            for (const QString& copy : existing) skipped.insert(copy);
            break;
        default:
            return;  // no file touched
        }
    }

    RunBatch(*this, FBatch, run, [&](TBatchRun&, const QString& fileName, TBitmap& picture) {
        picture.Clear();
        if (!IsWritablePictureName(fileName)) return;  // named after the run
        const QString copy = ReducedName(fileName, factor);
        if (copy.isEmpty() || skipped.contains(copy)) return;  // counted as done; nothing to read for it
        if (!FView->LoadPicture(picture, LocalName(fileName))) return;
        FHost.ProcessMessages();
        // A picture that would lose a whole side is counted as done; nothing is written.
        if (FView->ReduceBy(picture, factor)) {
            FHost.ProcessMessages();
            // A file that appears under a new copy's name meanwhile is kept (the save fails).
            SaveInRun(*this, picture, copy, replaced.contains(copy) ? TExisting::Replace : TExisting::Refuse);
        }
        FHost.ProcessMessages();
    });
    QStringList told;
    if (!readOnly.isEmpty()) told << QCoreApplication::translate("Tavelix", "No reduced copy made:\n") + Lines(readOnly);
    if (!run.Unchanged().empty()) told << QCoreApplication::translate("Tavelix", "Not replaced by a reduced copy:\n") + Lines(run.Unchanged());
    if (!told.isEmpty()) Prompts().Message(told.join(QStringLiteral("\n\n")));
}

}  // namespace tavelix::ui
