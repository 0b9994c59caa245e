// The commands on the one picture in view: open, reload, paste, clear, save, save scrambled,
// unscramble, larger and smaller, black and white, and the items that open the dialogs.
// Files and pasted pictures go into the working copy and from there to the display; zooming
// redraws the display from the working copy; saving copies the display into the working copy.
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <QPainter>

#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "raster/orientation.h"
#include "ui/Uabout.h"
#include "ui/Ucompression.h"
#include "ui/Upwdlg.h"
#include "ui/Utavelix.h"
#include "ui/filenames.h"
#include "ui/prompts.h"

namespace tavelix::ui {

namespace {

const char* const TooLargeText = QT_TRANSLATE_NOOP("Tavelix", "1280K Pixels maximum (e.g.1280x1024)");
const char* const OpenTitle =
    QT_TRANSLATE_NOOP("Tavelix", "Tavelix - Select pictures (1 to view and/or edit - 2 or more for autoshow)");

// The name's extension chooses the file type; a name without ".jpg", ".bmp" or ".png" would
// write nothing at all (or a type Tavelix only reads), so it is refused with a word instead of
// being taken for a save.
bool CanSaveUnder(const QString& fileName, TPrompts& prompts) {
    if (IsWritablePictureName(fileName)) return true;
    const QString extension = QString::fromStdString(PictureExtension(LocalName(fileName)));
    prompts.Message(IsPictureName(fileName)
                        ? QCoreApplication::translate("Tavelix", "Not saved: Tavelix opens %1 pictures but does not write them; saving is "
                                         "JPEG, BMP or PNG as the name says (.jpg, .bmp or .png)")
                              .arg(extension)
                        : QCoreApplication::translate("Tavelix", "Not saved: the file name must end in .jpg, .bmp or .png"));
    return false;
}

// The name the save dialogs start with: the picture's own, but a picture of a type that is only
// read (HEIC, WebP) is offered as a PNG file of the same name, which keeps every pixel.
QString SuggestedName(const QString& fileName) {
    if (!IsPictureName(fileName) || IsWritablePictureName(fileName)) return fileName;
    const qsizetype dot = fileName.lastIndexOf('.');
    return fileName.left(dot) + QStringLiteral(".png");
}

// A clipboard picture as the platform's device bitmap: 32 bits, blue, green, red, unused,
// rows top-down. Transparent parts are shown over white, as most programs show them.
TClipboardBitmap ToClipboardBitmap(const QImage& image) {
    TClipboardBitmap clip;
    if (image.isNull()) return clip;
    QImage opaque(image.size(), QImage::Format_RGB32);
    if (opaque.isNull()) throw std::bad_alloc();
    if (image.hasAlphaChannel()) {
        opaque.fill(Qt::white);
        QPainter painter(&opaque);
        painter.drawImage(0, 0, image);
    } else {
        opaque = image.convertToFormat(QImage::Format_RGB32);
    }
    clip.Width = opaque.width();
    clip.Height = opaque.height();
    const std::size_t rowBytes = std::size_t(opaque.width()) * 4;
    clip.Pixels.resize(rowBytes * std::size_t(opaque.height()));
    for (int y = 0; y < opaque.height(); ++y) std::memcpy(clip.Pixels.data() + rowBytes * y, opaque.constScanLine(y), rowBytes);
    return clip;
}

bool ClipboardHoldsPicture() {
    const QMimeData* mime = QApplication::clipboard()->mimeData(QClipboard::Clipboard);
    return mime && mime->hasImage();
}

// A picture on the clipboard is decoded when it is read (another program hands it over as PNG
// data, say). Qt's readers refuse pictures over 128 MB unless told otherwise; the clipboard
// gets the limit of the pictures in files, the largest store a bitmap holds.
QImage ClipboardImage() {
    struct TReaderLimit {
        const int Before = QImageReader::allocationLimit();
        TReaderLimit() { QImageReader::setAllocationLimit(static_cast<int>(TBitmap::MaxStoreBytes >> 20)); }
        ~TReaderLimit() { QImageReader::setAllocationLimit(Before); }
    } limit;
    return QApplication::clipboard()->image(QClipboard::Clipboard);
}

// The size that the encoded picture on the clipboard states in its head, for a picture that
// could not be decoded; invalid when there is none.
QSize EncodedSize(const QMimeData* mime) {
    if (!mime) return {};
    for (const QString& format : mime->formats()) {
        if (!format.startsWith(QLatin1String("image/"))) continue;
        QByteArray bytes = mime->data(format);
        QBuffer buffer(&bytes);
        const QSize size = QImageReader(&buffer).size();
        if (size.isValid()) return size;
    }
    return {};
}

// Whether a pasted picture of this size fits into a bitmap (32 bits a pixel).
bool FitsInStore(QSize size) {
    const std::uint64_t row = PaddedRowBytes(size.width(), 32);
    return row > 0 && row * std::uint64_t(size.height()) <= TBitmap::MaxStoreBytes;
}

}  // namespace

int RecordedOrientation(const QString& fileName) { return tavelix::RecordedOrientation(LocalName(fileName)); }

void TFtavelix::openClick() {
    const QStringList chosen = Prompts().PicturesToOpen(QCoreApplication::translate("Tavelix", OpenTitle));
    if (chosen.isEmpty()) return;
    OpenPictures(chosen);
}

void TFtavelix::OpenPictures(const QStringList& files) {
    if (files.isEmpty()) return;
    FShow.SetPictures(PlainNames(files));
    if (files.size() == 1)
        ShowSelected();
    else
        StartAutoshow();
}

void TFtavelix::ShowSelected() {
    FShow.SetTimerEnabled(false);
    if (FShow.Pictures().empty()) return;
    const QString fileName = QtName(FShow.Pictures().front());
    if (!QFileInfo::exists(fileName)) return;
    // Only a picture that was read changes the window; after a failure the caption goes on
    // naming the picture in view, so a save cannot put it under the other file's name.
    if (!IsPictureName(fileName)) {
        const QString types = QString::fromUtf8(ReadPictureTypes.data(), qsizetype(ReadPictureTypes.size()));
        Prompts().Message(QCoreApplication::translate("Tavelix", "Tavelix opens %1 files only").arg(types));
        return;
    }
    Guarded(
        Prompts(),
        [&] {
            if (!FView->LoadPicture(FWorking, LocalName(fileName))) return;  // the engine has told the user
            const int orientation = RecordedOrientation(fileName);
            if (orientation != 1) FWorking = Oriented(FWorking, orientation);
            FOrientation = orientation;
            FFileName = QFileInfo(fileName).fileName();
            FView->Picture().CopyFrom(FWorking);
            Ui.SetReloadEnabled(true);
            FitWindowToPicture();
            UpdateCaption();
        },
        fileName);
}

void TFtavelix::reloadClick() { ShowSelected(); }

void TFtavelix::SaveasClick() {
    const QString fileName = Prompts().SaveName(QCoreApplication::translate("Tavelix", "Save picture as"), SuggestedName(FFileName));
    if (fileName.isEmpty() || !CanSaveUnder(fileName, Prompts())) return;
    Guarded(Prompts(), [&] {
        FWorking.CopyFrom(FView->Picture());
        FView->SavePicture(FWorking, LocalName(fileName), Ui.JpegQuality());
        FOrientation = 1;  // the file holds the picture as shown
        FFileName = QFileInfo(fileName).fileName();
        UpdateCaption();
    });
}

void TFtavelix::SavescrambledAs1Click() {
    if (TooLargeToScramble()) return;
    if (!RequestPassword(Prompts(), FPassword)) return;
    const QString fileName = Prompts().SaveName(QCoreApplication::translate("Tavelix", "Save picture scrambled as"), SuggestedName(FFileName));
    if (fileName.isEmpty() || !CanSaveUnder(fileName, Prompts())) return;
    Guarded(Prompts(), [&] {
        // Scrambled into a copy first: only a picture that reached its file replaces the one
        // in view (strips at the edges do not all come back, so a scrambled picture that was
        // not saved could not be had back whole).
        // A turned photo is scrambled as its file stores it, then shown as the new file holds it.
        TBitmap scrambled = Oriented(FView->Picture(), UndoingOrientation(FOrientation));
        TTavelix::Scramble(&scrambled, std::string(FPassword.View()), true);
        FView->SavePicture(scrambled, LocalName(fileName), Ui.JpegQuality());
        FView->Picture().CopyFrom(scrambled);
        FWorking.CopyFrom(FView->Picture());
        if (FOrientation >= 5) FitWindowToPicture();  // width and height have changed places
        FOrientation = 1;
        FFileName = QFileInfo(fileName).fileName();
        UpdateCaption();
    });
}

bool TFtavelix::TooLargeToScramble(bool workingToo) {
    if (!OverPixelLimit(FView->Width(), FView->Height()) &&
        !(workingToo && OverPixelLimit(FWorking.Width(), FWorking.Height())))
        return false;
    if (Prompts().Choose(QCoreApplication::translate("Tavelix", TooLargeText), {QCoreApplication::translate("Tavelix", "Reduce to fit"), QCoreApplication::translate("Tavelix", "OK")}) == 0) {
        // The working copy at the largest size within the limit (each pixel the mean of the
        // area it covers), shown as it is: the scrambling commands can follow.
        Guarded(Prompts(), [&] {
            // A turned photo is reduced as its file stores it, as tavelix-cli --fit reduces it
            // (the averages are summed in the same order, so the pixels are the same).
            TBitmap stored = Oriented(FWorking, UndoingOrientation(FOrientation));
            FView->ReduceToFit(stored);
            FWorking = Oriented(stored, FOrientation);
            FView->Picture().CopyFrom(FWorking);
            FitWindowToPicture();
            UpdateCaption();
        });
    }
    return true;
}

void TFtavelix::File1Click() { Ui.Paste1->setEnabled(ClipboardHoldsPicture()); }

void TFtavelix::FormMouseMove() { Ui.btnpaste->setEnabled(ClipboardHoldsPicture()); }

void TFtavelix::PasteClick() {
    if (!ClipboardHoldsPicture()) return;
    QString failure;
    try {
        const QImage image = ClipboardImage();
        const QSize size = image.isNull() ? EncodedSize(QApplication::clipboard()->mimeData(QClipboard::Clipboard))
                                          : image.size();
        if (size.isValid() && !FitsInStore(size)) {
            failure = QCoreApplication::translate("Tavelix", "Paste Error: the picture on the clipboard (%1 x %2 pixels) is too large; "
                                     "Tavelix holds pictures of up to %3 MB")
                          .arg(size.width())
                          .arg(size.height())
                          .arg(TBitmap::MaxStoreBytes >> 20);
        } else {
            const TClipboardBitmap clip = ToClipboardBitmap(image);
            FWorking.LoadFromClipboard(CF_BITMAP, &clip);
            FOrientation = 1;
        }
    } catch (const std::bad_alloc&) {
        failure = QCoreApplication::translate("Tavelix", "Paste Error: not enough memory");
    } catch (const std::exception&) {
        failure = QCoreApplication::translate("Tavelix", "Paste Error");
    }
    if (!failure.isEmpty()) {
        Prompts().Message(failure);
        FWorking.CopyFrom(FView->Picture());
        return;
    }
    FView->Picture().CopyFrom(FWorking);
    FFileName = QStringLiteral("noname.bmp");
    Ui.SetReloadEnabled(false);
    FitWindowToPicture();
    UpdateCaption();
}

void TFtavelix::Clear1Click() {
    FView->Picture().SetWidth(1);
    FView->Picture().SetHeight(1);
    FView->SetBounds(1, 1);
    FWorking.SetWidth(1);
    FWorking.SetHeight(1);
    FOrientation = 1;
    FFileName.clear();
    Ui.SetReloadEnabled(false);
    FitWindowToPicture();
    UpdateCaption();
    // The open dialog starts with an empty file name at every use.
}

void TFtavelix::assemble1Click() {
    // The working copy is what is assembled; over the limit it would come back unchanged and
    // be shown as if it had been assembled.
    if (TooLargeToScramble(/*workingToo=*/true)) return;
    if (!RequestPassword(Prompts(), FPassword)) return;
    Guarded(Prompts(), [&] {
        // A turned photo is assembled as its file stores it, then turned again.
        TBitmap assembled = Oriented(FWorking, UndoingOrientation(FOrientation));
        TTavelix::Scramble(&assembled, std::string(FPassword.View()), false);
        FWorking = Oriented(assembled, FOrientation);
        FView->Picture().CopyFrom(FWorking);
        FitWindowToPicture();
        // The picture may have changed size (a zoomed view goes back to the working copy's
        // size) where no repaint of the window itself follows: the caption follows at once.
        UpdateCaption();
    });
}

void TFtavelix::LargerClick() {
    Guarded(Prompts(), [&] {
        FView->Enlarge(FWorking);
        FitWindowToPicture();
        UpdateCaption();
    });
}

void TFtavelix::SmallerClick() {
    Guarded(Prompts(), [&] {
        FView->Shrink(FWorking);
        FitWindowToPicture();
        UpdateCaption();
    });
}

// The conversion lets pending events run while it works (the window repaints). A command run
// inside it would change the picture, the file name and the caption under it, and the gray
// old picture would then be shown (and saved) under the new one's name.
void TFtavelix::SettoBW1Click() {
    Ui.Commands.Block(TCommandSet::AllCommands, true);
    Guarded(Prompts(), [&] { FView->MakeBlackWhite(FView->Picture(), FView->Picture()); });
    Ui.Commands.Block(TCommandSet::AllCommands, false);
}

void TFtavelix::Password1Click() { Prompts().PasswordRequest(); }

void TFtavelix::JPGCompression1Click() { Prompts().ShowModal(CompressionDialog()); }

void TFtavelix::About1Click() { Prompts().ShowModal(AboutBox()); }

// None of them is needed before the first picture is on the screen.
TPasswordDlg& TFtavelix::PasswordDialog() {
    if (!Ui.PasswordDlg) Ui.PasswordDlg = new TPasswordDlg(FPassword, this);
    return *Ui.PasswordDlg;
}

Tfcompression& TFtavelix::CompressionDialog() {
    if (!Ui.fcompression) Ui.fcompression = new Tfcompression(this);
    return *Ui.fcompression;
}

Tfabout& TFtavelix::AboutBox() {
    if (!Ui.fabout) Ui.fabout = new Tfabout(*this);
    return *Ui.fabout;
}

}  // namespace tavelix::ui
