// The batch commands on disk: scramble or assemble a set of files in place, or write copies
// of them reduced to a half, a quarter or an eighth on each side. One file after the other
// on the window's thread, with a progress bar; pending events are handled between the steps,
// so the window repaints and Esc stops the run after the file it is working on. Every file
// is replaced whole or not at all, so a run stopped in any way leaves no half-written picture.
#include <QCloseEvent>
#include <QFileInfo>
#include <QProgressBar>
#include <QSet>

#include <new>
#include <optional>
#include <set>
#include <string>

#include "engine/guard.h"
#include "ui/Utavelix.h"
#include "ui/filenames.h"
#include "ui/prompts.h"

namespace tavelix::ui {

namespace {

const QString TooLargeText = QStringLiteral("1280K Pixels maximum (e.g.1280x1024)");
// How many names a message lists; a box of hundreds would be taller than the screen.
constexpr qsizetype ListedNames = 20;

bool OverPixelLimit(const TBitmap& picture) { return tavelix::OverPixelLimit(picture.Width(), picture.Height()); }

// Lines of a message, one a file, the rest counted.
QString Lines(const QStringList& lines) {
    if (lines.size() <= ListedNames) return lines.join('\n');
    return lines.first(ListedNames).join('\n') + QStringLiteral("\n... and %1 more").arg(lines.size() - ListedNames);
}

}  // namespace

void TFtavelix::scrambleondisk1Click() {
    ScrambleFilesOnDisk(true, QStringLiteral("Select Pictures to scramble on disk - will overwrite"));
}

void TFtavelix::assembleondisk1Click() {
    ScrambleFilesOnDisk(false, QStringLiteral("Select Pictures to assemble on disk - will overwrite"));
}

void TFtavelix::Reduceto4ondiskClick() {
    ReduceFilesOnDisk(2, QStringLiteral("Select Pictures to reduce to w/2 h/2 on disk"));
}

void TFtavelix::Reduceto16ondiskClick() {
    ReduceFilesOnDisk(4, QStringLiteral("Select Pictures to reduce to w/4 h/4 on disk"));
}

void TFtavelix::Reduceto64ondiskClick() {
    ReduceFilesOnDisk(8, QStringLiteral("Select Pictures to reduce to w/8 h/8 on disk"));
}

void TFtavelix::ScrambleFilesOnDisk(bool direction, const QString& title) {
    if (FBatchActive) return;
    const QStringList files = FPrompts->PicturesToOpen(title);
    if (files.isEmpty()) return;
    FShow.SetPictures(PlainNames(files));
    if (TooLargeToScramble()) return;  // the picture in view, as for the other scrambling commands
    if (!RequestPassword()) return;
    // The password in force when the run starts serves every file of it, even if another one
    // is set while the run goes on.
    const std::string password(FPassword.View());
    QStringList unchanged;  // "name: why", told after the run
    // Assembling: files whose result would not look assembled are left unchanged and offered
    // after the run; files that show too little to tell are assembled and named.
    QStringList refused, unclear;
    bool guarded = !direction;
    auto step = [&](const QString& fileName, TBitmap& run) {
        // A file that was not read writes nothing: the run bitmap never carries the previous
        // file's picture over to this one's name.
        run.Clear();
        if (!IsPictureName(fileName)) return;  // neither read nor written
        // Changed where it is, as tavelix-cli changes it: through a link, the picture the link
        // names (the save goes there); not a file whose other names would keep the old picture,
        // nor a write-protected one.
        const TInPlaceCheck check = CheckInPlace(WriteTarget(LocalName(fileName)));
        if (check.Obstacle != TInPlaceObstacle::None) {
            unchanged << ShownName(fileName) + QStringLiteral(": ") + QString::fromStdString(InPlaceObstacleText(check, direction));
            return;
        }
        if (!FView->LoadPicture(run, LocalName(fileName))) return;
        ProcessMessages();
        if (OverPixelLimit(run)) {
            // Scrambling leaves such a picture as it is; writing it back would only pretend
            // that it was scrambled.
            unchanged << ShownName(fileName) + QStringLiteral(": %1 x %2 pixels; ").arg(run.Width()).arg(run.Height()) +
                             TooLargeText;
            return;
        }
        if (guarded) {
            switch (JudgeAssembly(run, password)) {
            case TAssemblyVerdict::Assembled:
                break;
            case TAssemblyVerdict::Unclear:
                unclear << ShownName(fileName);
                break;
            case TAssemblyVerdict::NotAssembled:
            case TAssemblyVerdict::ScrambledTwice:
                refused << fileName;
                return;
            }
        }
        TTavelix::Scramble(&run, password, direction);
        ProcessMessages();
        SaveInRun(run, fileName, TExisting::Replace);
        ProcessMessages();
    };
    const bool toTheEnd = RunBatch(files, step);
    QStringList told;
    if (!unchanged.isEmpty())
        told << (direction ? QStringLiteral("Not scrambled, left unchanged:\n") : QStringLiteral("Not assembled, left unchanged:\n")) +
                    Lines(unchanged);
    if (!unclear.isEmpty())
        told << QStringLiteral("Assembled, but these pictures show too little to tell whether the password is right:\n") +
                    Lines(unclear);
    if (!told.isEmpty()) FPrompts->Message(told.join(QStringLiteral("\n\n")));
    // Stopped by Esc or by closing the window: nothing more is asked.
    if (refused.isEmpty() || !toTheEnd) return;
    QStringList shown;
    for (const QString& file : refused) shown << ShownName(file);
    if (!FPrompts->OkCancel(QStringLiteral("These pictures do not look assembled with this password (the password may "
                                           "be wrong, the pictures may not be scrambled, or they may be scrambled "
                                           "twice) and were left unchanged:\n") +
                            Lines(shown) + QStringLiteral("\n\nAssemble them anyway?")))
        return;
    guarded = false;
    unchanged.clear();
    RunBatch(refused, step);
    if (!unchanged.isEmpty()) FPrompts->Message(QStringLiteral("Not assembled, left unchanged:\n") + Lines(unchanged));
}

void TFtavelix::ReduceFilesOnDisk(std::uint8_t factor, const QString& title) {
    if (FBatchActive) return;
    const QStringList files = FPrompts->PicturesToOpen(title);
    if (files.isEmpty()) return;
    FShow.SetPictures(PlainNames(files));
    if (TooLargeToScramble()) return;

    // Before the run, what the copies would meet. A copy never replaces a picture chosen for
    // this run (it may be still to come, or be worked on already), nor a write-protected file;
    // those are named after the run. Other files under the copies' names are replaced only when
    // the user says so, asked once for all of them.
    std::set<TFileId> chosen;
    for (const QString& file : files)
        if (const std::optional<TFileId> id = FileIdOf(LocalName(file))) chosen.insert(*id);
    QSet<QString> skipped, replaced;  // names of copies
    QStringList kept, existing;       // for the messages
    for (const QString& file : files) {
        if (!IsPictureName(file)) continue;
        const QString copy = ReducedName(file, factor);
        const std::optional<TFileId> id = FileIdOf(LocalName(copy));
        // Only a file can be lost; a save onto anything else fails and says why.
        if (!id || !QFileInfo(copy).isFile()) continue;
        if (chosen.count(*id) > 0) {
            kept << ShownName(copy) + QStringLiteral(": a picture chosen for this run");
            skipped.insert(copy);
        } else if (IsWriteProtected(LocalName(copy))) {
            kept << ShownName(copy) + QStringLiteral(": the file is write-protected");
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
            (one ? QStringLiteral("This reduced copy exists already:\n") : QStringLiteral("These reduced copies exist already:\n")) +
            Lines(names);
        switch (FPrompts->Choose(question, {QStringLiteral("Replace"), QStringLiteral("Skip them"), QStringLiteral("Cancel")})) {
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

    RunBatch(files, [&](const QString& fileName, TBitmap& run) {
        run.Clear();
        const QString copy = ReducedName(fileName, factor);
        if (copy.isEmpty() || skipped.contains(copy)) return;  // counted as done; nothing to read for it
        if (!FView->LoadPicture(run, LocalName(fileName))) return;
        ProcessMessages();
        // A picture that would lose a whole side is counted as done; nothing is written.
        if (FView->ReduceBy(run, factor)) {
            ProcessMessages();
            // A file that appears under a new copy's name meanwhile is kept (the save fails).
            SaveInRun(run, copy, replaced.contains(copy) ? TExisting::Replace : TExisting::Refuse);
        }
        ProcessMessages();
    });
    if (!kept.isEmpty())
        FPrompts->Message(QStringLiteral("Not replaced by a reduced copy:\n") + Lines(kept));
}

bool TFtavelix::RunBatch(const QStringList& files, const std::function<void(const QString&, TBitmap&)>& step) {
    ProgressBar1->setRange(0, static_cast<int>(files.size()));
    ProgressBar1->setValue(0);
    PlacePicture();  // the panel fills the picture area
    Panel1->show();
    Panel1->raise();
    BlockCommands(TCommandSet::OpenCommands, true);
    FBatchActive = true;
    FBatchRunning = true;
    {
        TBitmap run;  // one bitmap for the whole run
        for (qsizetype i = 0; i < files.size() && FBatchRunning;) {
            Guarded([&] { step(files[i], run); }, files[i]);  // a failure of one file is told; the run goes on
            ++i;
            ProgressBar1->setValue(static_cast<int>(i));
        }
    }
    const bool toTheEnd = FBatchRunning;
    FBatchActive = false;
    Panel1->hide();
    BlockCommands(TCommandSet::OpenCommands, false);
    if (FCloseAfterRun) {
        FCloseAfterRun = false;
        close();
        return false;
    }
    return toTheEnd;
}

void TFtavelix::SaveInRun(const TBitmap& picture, const QString& fileName, TExisting existing) {
    try {
        FView->SavePicture(picture, LocalName(fileName), JpegQuality(), existing);
    } catch (const TPictureError& error) {
        // A file error names the file and the reason itself.
        const QString reason = QString::fromStdString(VisibleName(error.what()));
        FPrompts->Message(QStringLiteral("Error: ") +
                          (error.GetKind() == TPictureError::Kind::Io
                               ? reason
                               : ShownName(fileName) + QStringLiteral(" was not saved: ") + reason));
    } catch (const std::bad_alloc&) {
        FPrompts->Message(QStringLiteral("Error: ") + ShownName(fileName) + QStringLiteral(" was not saved: not enough memory"));
    }
}

void TFtavelix::closeEvent(QCloseEvent* event) {
    if (FBatchActive) {
        // Nothing is destroyed under the running loop: it stops after its current file and
        // closes the window then.
        FBatchRunning = false;
        FCloseAfterRun = true;
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

}  // namespace tavelix::ui
