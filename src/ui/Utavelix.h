// TFtavelix: the main window. It shows the picture component's bitmap in a black scroll
// area under a menu and a toolbar, owns the working copy, and every command of the program is
// one of its handlers. The handlers are short: the state of the autoshow, of a clip drag and
// of a batch run lives in plain classes (TSlideShow, TSlidesAhead, TClipDrag, TBatchRun), the
// controls in TFtavelixUi, every question to the user and the component's host services in
// TWindowHost.
// This file declares the window; its construction and layout are in Utavelix.cpp and
// windowlayout.cpp, the picture commands in picturecommands.cpp, clipping with the mouse in
// clipping.cpp, the autoshow and the keys and clicks it is driven by in autoshow.cpp, the
// batch commands on disk in batch.cpp.
#pragma once

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

#include "engine/password.h"
#include "engine/tavelix.h"
#include "raster/bitmap.h"
#include "ui/Utavelixui.h"
#include "ui/batchrun.h"
#include "ui/clipdrag.h"
#include "ui/prompts.h"
#include "ui/slideshow.h"
#include "ui/slidesahead.h"

class QKeyEvent;

namespace tavelix::ui {

class TFtavelix : public QMainWindow {
    Q_OBJECT

public:
    explicit TFtavelix(QWidget* parent = nullptr);
    ~TFtavelix() override;  // FormDestroy

    // The controls, under their object names.
    TFtavelixUi Ui;

    // --- picture commands (picturecommands.cpp) -----------------------------------------
    void openClick();
    // Makes files the picture list and shows them as Open does with them chosen: one file is
    // shown, two or more start the autoshow. Also for the files the program is started with.
    void OpenPictures(const QStringList& files);
    void ShowSelected();
    void reloadClick();
    void SaveasClick();
    void SavescrambledAs1Click();
    void PasteClick();
    void Clear1Click();
    void LargerClick();
    void SmallerClick();
    void assemble1Click();
    void SettoBW1Click();
    void Password1Click();
    void JPGCompression1Click();
    void About1Click();
    // The dialogs, made when first used (the window's children, with their object names
    // PasswordDlg, fcompression, fabout).
    TPasswordDlg& PasswordDialog();
    Tfcompression& CompressionDialog();
    Tfabout& AboutBox();
    // True, after the message, when the displayed picture (or with workingToo the working copy)
    // is over the pixel limit. The message offers "Reduce to fit" beside OK, which stays the
    // default: the working copy reduced to fit the limit becomes the picture in view.
    bool TooLargeToScramble(bool workingToo = false);
    // Paste follows the clipboard: the menu item when the "File" menu opens, the button when
    // the mouse moves over the window.
    void File1Click();
    void FormMouseMove();

    // --- clipping with the mouse (clipping.cpp) ----------------------------------------
    // A drag begins when the left button goes down on the picture and the pointer moves
    // past the platform's drag distance (normal mode only). The first drag-over reports the
    // point where the button went down; later ones report the pointer while it is over the
    // picture, in the displayed picture's pixels.
    void dmStartDrag();
    void dmDragOver(std::int32_t X, std::int32_t Y);
    // Erases the frame, offers the clip when it has an area, rebuilds the caption.
    void dmEndDrag();
    // The drag rectangle, and whether a drag goes on; the mouse on the picture moves it.
    TClipDrag& ClipDrag() { return FDrag; }

    // --- autoshow (autoshow.cpp) ---------------------------------------------------------
    // Two or more pictures opened: the window becomes a frameless full-screen show on top of
    // the other windows, on the screen it is on, and shows them one after another.
    void StartAutoshow();
    // Back to a normal window of 450 x 120 with an empty picture.
    void StopAutoshow();
    void Stop1Click();
    // Loads the picture at the slide index and shows it centred, fitted to the screen when
    // "Autosize" is checked or it is larger than the screen. A file that cannot be read is
    // skipped: the picture in view stays as it was.
    void ShowCurrentSlide();
    // Forward and back (both do nothing in normal mode).
    void nextClick();
    void previousClick();
    // Shows the picture step places on in the shown file's folder (Space, F3; Backspace, F2).
    void StepInFolderOfPicture(int step);
    // A tick of the slide timer; none is taken while a box of ours is open.
    void autoTimerTimer();
    // A click on the picture area.
    void FormClick();
    // The check items of the show's menu, after the option has followed the check mark.
    void AtRandom1Click();
    void Autoassemble1Click();
    void Autosize1Click();
    // Every key pressed while this window or one of its controls has the focus comes here
    // first (the window sees keys before its controls); true when the key was used up.
    bool FormKeyDown(const QKeyEvent& key);
    bool FormKeyPress(QChar key);
    // The picture list, the slide index, the show's options and its timer.
    const TSlideShow& SlideShow() const { return FShow; }
    // The show's picture at index as it would be decoded now (the options and password in
    // force), and the pictures of the steps forward and back handed to the decoding ahead.
    TSlidesAhead::TKey SlideKey(std::int32_t index) const;
    struct TShownSlide {
        TSlidesAhead::TKey Key;
        TSlidesAhead::TSlide Slide;
    };
    // before: the picture shown until a step, handed back for the step back.
    void PrepareNeighbours(std::optional<TShownSlide> before = std::nullopt);

    // --- batch commands on disk (batch.cpp) ------------------------------------------------
    void scrambleondisk1Click();
    void assembleondisk1Click();
    void Reduceto4ondiskClick();
    void Reduceto16ondiskClick();
    void Reduceto64ondiskClick();
    // Scrambles (direction true) or assembles every file chosen in the open dialog shown
    // with title, each saved back under its own name (through a link, the file it names),
    // replaced whole or not at all. Files with other names (hard links), write-protected files
    // and pictures over the pixel limit are left unchanged and named after the run.
    void ScrambleFilesOnDisk(bool direction, const QString& title);
    // Writes a copy of every chosen file reduced by factor on each side, under the engine's
    // ReducedName.
    // A copy never replaces a chosen file or a write-protected one (they are named after the
    // run); other existing copies are replaced or skipped as the user says, asked once before
    // the run (or the run is cancelled).
    void ReduceFilesOnDisk(std::uint8_t factor, const QString& title);

    // --- the window (Utavelix.cpp) -------------------------------------------------------
    void ToolbaronoffClick();
    void ShowHints1Click();
    void Exit1Click();
    void FormPaint();
    void FormResize();
    // Grows the window around the picture and centres the picture in the picture area.
    void FitWindowToPicture();
    // Centres the picture in the scroll box without changing the window.
    void CenterPicture();
    // Caption: title, "-", file name, " (width x height) ".
    void UpdateCaption();
    // The window is in autoshow mode exactly while its context menu is PopupMenu1; in
    // normal mode it has none.
    bool InAutoshowMode() const;

    // --- state --------------------------------------------------------------------------
    TTavelix& View() { return *FView; }
    TBitmap& Working() { return FWorking; }
    const QString& FileName() const { return FFileName; }
    // The orientation a JPEG file records, applied to the working copy as it was read, so that
    // the photo is shown upright (1: none). Scrambling and assembling work on the pixels as
    // the file stores them, as tavelix-cli does, so scrambled files are the same from both.
    int Orientation() const { return FOrientation; }
    // The password's bytes; written only by the password dialog.
    TSecret& PasswordStore() { return FPassword; }
    // Every question goes through here: to the real dialogs, or to the prompts set with
    // SetTarget.
    TCountedPrompts& Prompts() { return FHost.Prompts(); }

private:
    void FormCreate();

    TWindowHost FHost;
    std::unique_ptr<TTavelix> FView;
    TBitmap FWorking;
    QString FFileName;
    TSecret FPassword;
    TSlideShow FShow;
    TClipDrag FDrag;
    TBatchRun* FBatch = nullptr;  // the run going on
    int FOrientation = 1;
    std::optional<TShownSlide> FShown;  // the show's picture in view, as it was decoded
    TSlidesAhead FAhead{[](const TSlidesAhead::TKey& key) { return DecodeSlide(key, MaxShownPixels); }};
};

// The EXIF orientation a ".jpg" file records in its head (JpegOrientation); 1 for other names
// and files that cannot be read.
int RecordedOrientation(const QString& fileName);

// The window sees the events of its controls through three filters, one for each concern, each
// a child of the window: the keys it takes before its controls (autoshow.cpp), the mouse on
// its picture area (clipping.cpp), and its resizes and repaints (WatchLayout, windowlayout.h).
void WatchKeys(TFtavelix& window);
void WatchMouse(TFtavelix& window);
// Ends a clip drag going on without a question: the frame erased, the caption rebuilt. Every
// command of the menus and the toolbar does this first, by mouse or by key.
void DropDrag(TFtavelix& window);

}  // namespace tavelix::ui
