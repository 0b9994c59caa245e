// The autoshow: two or more pictures opened turn the window into a frameless full-screen show
// that stays on top of the other windows. A timer moves it on; keys, clicks and the popup
// menu step forward and back, change the delay and the order, and stop the show. The keys
// the window sees before its controls (Esc, Enter, the arrows, F1) are handled here for both
// modes.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QWindow>
#include <QToolBar>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "raster/orientation.h"
#include "ui/Uabout.h"
#include "ui/Utavelix.h"
#include "ui/filenames.h"
#include "ui/folderstep.h"
#include "ui/pictureview.h"
#include "ui/prompts.h"
#include "ui/windowlayout.h"

namespace tavelix::ui {

namespace {

constexpr Qt::WindowFlags ShowFlags = Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;

// Whether the window system lets a program place its windows. Wayland does not: a window
// sized to the screen lands where the compositor puts it (below a panel, say), and stays
// below what the compositor keeps on top. There the show asks for the full-screen state
// instead, which the compositor gives on the screen the window is on, above its panels.
bool CanPlaceWindows() { return !QGuiApplication::platformName().startsWith("wayland"); }

// Pops the autoshow's menu up with its top-left corner at the centre of the window.
void PopupAtCentre(TFtavelix& window) {
    window.Ui.PopupMenu1->popup(window.mapToGlobal(QPoint(window.width() / 2, window.height() / 2)));
}

// Pops the menu up at the centre once the compositor has made the window full screen (it
// reports the state, and the window has the screen's size), or after a second; then goes.
// The show stopped meanwhile, nothing comes up.
class TPopupWhenFullScreen : public QObject {
public:
    explicit TPopupWhenFullScreen(TFtavelix& window) : QObject(&window), FWindow(window) {
        if (window.windowHandle()) window.windowHandle()->installEventFilter(this);
        window.installEventFilter(this);
        QTimer::singleShot(1000, this, [this] { Popup(); });
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        // The state the compositor gives comes as a spontaneous event (the one asked for came
        // at once, as a sent one); the size it gives may come before or after it.
        if (watched == FWindow.windowHandle() && event->type() == QEvent::WindowStateChange && event->spontaneous())
            FFullScreen = FWindow.windowHandle()->windowStates().testFlag(Qt::WindowFullScreen);
        else if (watched != &FWindow || event->type() != QEvent::Resize)
            return false;
        if (FFullScreen) QTimer::singleShot(50, this, [this] { PopupAtScreenSize(); });
        return false;
    }

private:
    void PopupAtScreenSize() {
        if (FWindow.screen() && FWindow.size() == FWindow.screen()->size()) Popup();
    }
    void Popup() {
        if (FDone) return;
        FDone = true;
        if (FWindow.InAutoshowMode()) PopupAtCentre(FWindow);
        deleteLater();
    }
    TFtavelix& FWindow;
    bool FFullScreen = false, FDone = false;
};

}  // namespace

// --- the two modes ------------------------------------------------------------------------

void TFtavelix::StartAutoshow() {
    Ui.AtRandom1->setEnabled(FShow.CanPickAtRandom());
    Ui.ContextMenu = Ui.PopupMenu1;
    QScreen* screen = this->screen();  // taken before the window is made anew
    // New window flags hide the window and make its native window anew.
    if (CanPlaceWindows()) setWindowFlags(windowFlags() | ShowFlags);
    menuBar()->hide();
    Ui.ToolBar->hide();
    Ui.ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Ui.ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    if (CanPlaceWindows()) {
        if (screen) setGeometry(screen->geometry());
        show();
    } else {
        // The compositor puts the window where it likes; the program's idea of its place,
        // from which the menu's place is worked out, must match the screen's corner it will
        // fill.
        if (screen) move(screen->geometry().topLeft());
        showFullScreen();
    }
    raise();
    activateWindow();
    // The picture area takes the whole screen now, not at the next pass of the event loop:
    // the first picture is centred in it.
    if (layout()) layout()->activate();
    FShow.SetTimerEnabled(true);
    ShowCurrentSlide();
    // Scrolled back to the top-left (the window may have been scrolled in normal mode).
    Ui.ScrollBox1->horizontalScrollBar()->setValue(0);
    Ui.ScrollBox1->verticalScrollBar()->setValue(0);
    // The menu is shown without a loop of its own: "Stop the autoshow" chosen from it must
    // not return into the middle of this command.
    if (CanPlaceWindows()) {
        PopupAtCentre(*this);
        return;
    }
    // The compositor makes the window full screen at a later pass of the event loop: a menu
    // popped up before would stand at the centre of the window as it was, and hold the
    // change back while it is open. It comes up once the window fills its screen, or after a
    // second where the compositor does not grant that.
    new TPopupWhenFullScreen(*this);
}
void TFtavelix::StopAutoshow() {
    FAhead.Clear();  // a decode going on is not waited for
    FShown.reset();
    hide();
    FShow.SetTimerEnabled(false);
    menuBar()->show();
    Ui.ContextMenu = nullptr;
    setWindowFlags(windowFlags() & ~ShowFlags);
    setWindowState(windowState() & ~Qt::WindowFullScreen);
    Ui.ToolBar->setVisible(Ui.Toolbaronoff->isChecked());
    // The empty picture goes back where it was after creation, not to the middle of the
    // screen, where it would give a small window scroll bars.
    FView->Left = 0;
    FView->Top = ToolbarHeight(Ui);
    Clear1Click();
    setAttribute(Qt::WA_Moved, false);  // the system places the window, as a new one
    SetClientSize(*this, MinClientWidth, MinClientHeight);
    Ui.ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Ui.ScrollBox1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    show();
    activateWindow();
}

void TFtavelix::Stop1Click() {
    // The open dialog starts with an empty file name at every use.
    StopAutoshow();
}

// --- slides -------------------------------------------------------------------------------

void TFtavelix::ShowCurrentSlide() {
    if (!FShow.Current()) return;
    const QString fileName = QtName(*FShow.Current());
    if (!QFileInfo::exists(fileName)) return;
    // A picture decoded ahead under the options in force now, when there is one. A file that
    // failed ahead is read again here: the user is told why as without decoding ahead.
    const TSlidesAhead::TKey key = SlideKey(FShow.Index());
    std::optional<TSlidesAhead::TSlide> ready = FAhead.Take(key);
    if (ready && ready->Failed) ready.reset();
    // The picture shown until now, for a step back, unless a command has changed it since.
    std::optional<TShownSlide> before = std::move(FShown);
    FShown.reset();
    if (before && !(FWorking.SharesStoreWith(before->Slide.Picture) &&
                    FView->Picture().SharesStoreWith(before->Slide.Shown.Empty() ? FWorking : before->Slide.Shown)))
        before.reset();
    bool shown = false;
    Guarded(
        Prompts(),
        [&] {
            if (ready) {
                FFileName = QFileInfo(fileName).fileName();
                FWorking.CopyFrom(ready->Picture);
                FOrientation = ready->Orientation;
                FView->Picture().CopyFrom(ready->Shown.Empty() ? FWorking : ready->Shown);
            } else {
                // Read into a bitmap of its own: a file that cannot be read changes nothing, so
                // the picture in view is neither shown again nor assembled a second time (which
                // would shuffle it).
                TBitmap slide;
                if (!FView->LoadPicture(slide, LocalName(fileName))) return;
                // assembled as the file stores it, then turned upright
                if (FShow.Autoassemble()) TTavelix::Scramble(&slide, std::string(FPassword.View()), false);
                const int orientation = RecordedOrientation(fileName);
                slide = Oriented(slide, orientation);
                FFileName = QFileInfo(fileName).fileName();
                FWorking.CopyFrom(slide);
                FOrientation = orientation;
                FView->Picture().CopyFrom(FWorking);
                const TSize screen = FHost.ScreenSize();
                if (FShow.Autosize() || FWorking.Width() > screen.Width || FWorking.Height() > screen.Height)
                    FView->FitToScreen(FWorking);
            }
            CenterPicture();
            UpdateCaption();
            shown = true;
        },
        fileName);
    if (shown) {
        FShown = TShownSlide{key, {}};
        FShown->Slide.Picture = FWorking;
        if (!FView->Picture().SharesStoreWith(FWorking)) FShown->Slide.Shown = FView->Picture();
    } else {
        FShown = std::move(before);  // still in view
        before.reset();
    }
    PrepareNeighbours(std::move(before));
}

TSlidesAhead::TKey TFtavelix::SlideKey(std::int32_t index) const {
    TSlidesAhead::TKey key;
    key.File = LocalName(QtName(FShow.Pictures()[std::size_t(index)]));
    key.Assemble = FShow.Autoassemble();
    if (key.Assemble) key.Password = std::string(FPassword.View());
    key.Fit = FShow.Autosize();
    key.Screen = FHost.ScreenSize();
    return key;
}

// The pictures a step forward and a step back would show are decoded while this one is in
// view (the random pick of the next step is made now, and kept for it).
void TFtavelix::PrepareNeighbours(std::optional<TShownSlide> before) {
    if (!InAutoshowMode()) return;
    std::vector<TSlidesAhead::TKey> wanted;
    for (const std::int32_t index : {FShow.NextIndex(), FShow.PreviousIndex()})
        if (index >= 0 && index != FShow.Index()) wanted.push_back(SlideKey(index));
    if (before)
        FAhead.Want(std::move(wanted), before->Key, std::move(before->Slide));
    else
        FAhead.Want(std::move(wanted));
}

// In the normal window the show's steps go through the shown file's folder instead.
void TFtavelix::nextClick() {
    if (!InAutoshowMode()) return StepInFolderOfPicture(1);
    if (FShow.Next()) ShowCurrentSlide();
}

void TFtavelix::previousClick() {
    if (!InAutoshowMode()) return StepInFolderOfPicture(-1);
    if (FShow.Previous()) ShowCurrentSlide();
}

void TFtavelix::StepInFolderOfPicture(int step) {
    if (FBatch || FFileName.isEmpty() || FShow.Pictures().empty()) return;  // no file shown
    const QString current = QtName(FShow.Pictures().front());
    const std::string next = StepInFolder(LocalName(current), step);
    if (next.empty()) return;
    const QString nextName = QFile::decodeName(next.c_str());
    if (nextName == current) return;
    FShow.SetPictures(PlainNames({nextName}));
    ShowSelected();  // the caption and Reload follow
}

// Modal boxes run their own event loops, where ticks go on arriving: over a folder of broken
// files each tick would open one more "Error: wrong format" box over the last.
void TFtavelix::autoTimerTimer() {
    if (Prompts().Open() > 0 || QApplication::activeModalWidget()) return;
    nextClick();
}

void TFtavelix::FormClick() { nextClick(); }

// --- the check items (the option has followed the inverted check mark already) -------------

void TFtavelix::AtRandom1Click() {
    Ui.Loop1->setEnabled(!FShow.AtRandom());
    if (FShow.AtRandom())
        FShow.Seed(static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()));
}

void TFtavelix::Autoassemble1Click() {
    if (!FShow.Autoassemble() || !FPassword.Empty()) return;
    FShow.SetTimerEnabled(false);
    if (!RequestPassword(Prompts(), FPassword)) Ui.Autoassemble1->setChecked(false);  // and the option with it
    FShow.SetTimerEnabled(true);
}

void TFtavelix::Autosize1Click() {
    if (!FShow.Autosize()) return;
    Guarded(Prompts(), [&] {
        FView->FitToScreen(FWorking);
        CenterPicture();
    });
}

// --- keys of both modes ---------------------------------------------------------------------

bool TFtavelix::FormKeyDown(const QKeyEvent& key) {
    if (key.modifiers() & ~Qt::KeypadModifier) return false;
    switch (key.key()) {
    case Qt::Key_F1:
        Ui.About1->trigger();  // a command like the menu item: not while commands are blocked
        return true;
    case Qt::Key_Left:
        if (!InAutoshowMode()) return false;  // the scroll box's key in normal mode
        previousClick();
        return true;
    case Qt::Key_Right:
        if (!InAutoshowMode()) return false;
        nextClick();
        return true;
    default:
        return false;
    }
}

bool TFtavelix::FormKeyPress(QChar key) {
    if (key == QChar(27)) {
        if (FBatch) FBatch->Stop();  // Esc stops a batch run after its current file
        if (!InAutoshowMode()) return false;
        PopupAtCentre(*this);
        return true;
    }
    if (key == QChar(13) && InAutoshowMode()) {
        nextClick();
        return true;
    }
    // Space and Backspace step through the folder as F3 and F2 do, in the normal window only.
    if ((key == QChar(' ') || key == QChar(8)) && !InAutoshowMode()) {
        StepInFolderOfPicture(key == QChar(' ') ? 1 : -1);
        return true;
    }
    return false;
}

namespace {

// The keys the window sees before its controls (Qt has no key preview: a focused scroll box
// would eat the arrows and Enter). Keys go to the focused control, then up to its parents; the
// window takes each key once, from the control that receives it first. While the application
// has no focus widget (as after the show's menu closed, without a window manager) Qt gives
// keys to the control that last had the focus in this window.
class TWindowKeys : public QObject {
public:
    explicit TWindowKeys(TFtavelix& window) : QObject(&window), FWindow(window) {
        setObjectName("WindowKeys");
        qApp->installEventFilter(this);
    }
    ~TWindowKeys() override { qApp->removeEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != &FWindow) return false;
        QWidget* first = QApplication::focusWidget();
        if (!first || first->window() != &FWindow) first = FWindow.focusWidget();
        if (!first) first = &FWindow;
        if (widget != first) return false;
        const auto& key = *static_cast<QKeyEvent*>(event);
        bool used = FWindow.FormKeyDown(key);
        if (!used && !key.text().isEmpty()) used = FWindow.FormKeyPress(key.text().front());
        return used;
    }

private:
    TFtavelix& FWindow;
};

}  // namespace

void WatchKeys(TFtavelix& window) { new TWindowKeys(window); }

}  // namespace tavelix::ui
