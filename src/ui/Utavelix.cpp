// The main window: its handlers connected to its controls, its state after creation, the
// layout operations that the commands share (grow around the picture, centre it, caption),
// and the small handlers of the window itself.
#include "ui/Utavelix.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QScrollArea>
#include <QTimer>

#include <algorithm>
#include <utility>

#include "ui/Uabout.h"
#include "ui/filenames.h"
#include "ui/glyphs.h"
#include "ui/pictureview.h"
#include "ui/windowlayout.h"

namespace tavelix::ui {

TFtavelix::TFtavelix(QWidget* parent) : QMainWindow(parent), FHost(*this) {
    setObjectName("Ftavelix");
    // The show's delay runs afresh when a box of ours closes: the next slide, or the next box
    // over a broken file, comes a whole delay later, and the user has all of it to press Esc.
    Prompts().OnAllClosed = [this] { FShow.SetTimerEnabled(FShow.TimerEnabled()); };
    Ui.Setup(*this);

    // Every command of the menus and the toolbar, by mouse or by key. A clip drag going on
    // when a command comes (the button held, the command given by its key) ends first, its
    // frame erased and nothing asked: no command sees a frame pixel (Save As would write it,
    // black and white would keep it).
    const std::pair<QAction*, void (TFtavelix::*)()> commands[] = {
        {Ui.Open1, &TFtavelix::openClick},
        {Ui.Saveas, &TFtavelix::SaveasClick},
        {Ui.SaveScrambledAs1, &TFtavelix::SavescrambledAs1Click},
        {Ui.Paste1, &TFtavelix::PasteClick},
        {Ui.Clear1, &TFtavelix::Clear1Click},
        {Ui.scrambleondisk1, &TFtavelix::scrambleondisk1Click},
        {Ui.assembleondisk1, &TFtavelix::assembleondisk1Click},
        {Ui.Reduceto4ondisk, &TFtavelix::Reduceto4ondiskClick},
        {Ui.Reduceto16ondisk, &TFtavelix::Reduceto16ondiskClick},
        {Ui.Reduceto64ondisk, &TFtavelix::Reduceto64ondiskClick},
        {Ui.Exit1, &TFtavelix::Exit1Click},
        {Ui.Smaller, &TFtavelix::SmallerClick},
        {Ui.Reload1, &TFtavelix::reloadClick},
        {Ui.Larger1, &TFtavelix::LargerClick},
        {Ui.assemble1, &TFtavelix::assemble1Click},
        {Ui.Toolbaronoff, &TFtavelix::ToolbaronoffClick},
        {Ui.ShowHints1, &TFtavelix::ShowHints1Click},
        {Ui.JPGCompression1, &TFtavelix::JPGCompression1Click},
        {Ui.Password1, &TFtavelix::Password1Click},
        {Ui.Settoblackwhite1, &TFtavelix::SettoBW1Click},
        {Ui.About1, &TFtavelix::About1Click},
        {Ui.btnopen, &TFtavelix::openClick},
        {Ui.btnpaste, &TFtavelix::PasteClick},
        {Ui.btnsaveas, &TFtavelix::SaveasClick},
        {Ui.btnsavescrambledas, &TFtavelix::SavescrambledAs1Click},
        {Ui.btnsmaller, &TFtavelix::SmallerClick},
        {Ui.btnreload, &TFtavelix::reloadClick},
        {Ui.btnlarger, &TFtavelix::LargerClick},
        {Ui.btnassemble, &TFtavelix::assemble1Click},
        {Ui.btnabout, &TFtavelix::About1Click},
    };
    for (const auto& [action, handler] : commands)
        connect(action, &QAction::triggered, this, [this, handler = handler] {
            DropDrag(*this);
            (this->*handler)();
        });
    connect(Ui.File1, &QMenu::aboutToShow, this, &TFtavelix::File1Click);

    // The autoshow's menu. Its check marks show the show's options; a mark changed, by the
    // user or otherwise, changes the option, and the item's handler does the rest.
    const struct {
        QAction* Item;
        bool (TSlideShow::*Get)() const;
        void (TSlideShow::*Set)(bool);
        void (TFtavelix::*Handler)();
    } options[] = {
        {Ui.AtRandom1, &TSlideShow::AtRandom, &TSlideShow::SetAtRandom, &TFtavelix::AtRandom1Click},
        {Ui.Loop1, &TSlideShow::Loop, &TSlideShow::SetLoop, nullptr},
        {Ui.Autoassemble1, &TSlideShow::Autoassemble, &TSlideShow::SetAutoassemble, &TFtavelix::Autoassemble1Click},
        {Ui.Autosize1, &TSlideShow::Autosize, &TSlideShow::SetAutosize, &TFtavelix::Autosize1Click},
    };
    for (const auto& option : options) {
        option.Item->setChecked((FShow.*option.Get)());
        connect(option.Item, &QAction::toggled, this,
                [this, set = option.Set](bool checked) { (FShow.*set)(checked); });
        if (option.Handler) connect(option.Item, &QAction::triggered, this, option.Handler);
        // after the handler: At Random picks the next picture under the new seed
        connect(option.Item, &QAction::triggered, this, [this] { PrepareNeighbours(); });
    }
    const std::pair<QAction*, int> delays[] = {{Ui.N05sec1, 500}, {Ui.N1sec1, 1000}, {Ui.N2sec1, 2000},
                                               {Ui.N3sec1, 3000}, {Ui.N5sec1, 5000}, {Ui.N101, 10000},
                                               {Ui.Manual1, 0}};
    for (const auto& [item, milliseconds] : delays) {
        item->setChecked(milliseconds == FShow.Delay());
        connect(item, &QAction::triggered, this,
                [this, milliseconds = milliseconds] { FShow.SetDelay(milliseconds); });
    }
    connect(Ui.Stop1, &QAction::triggered, this, &TFtavelix::Stop1Click);
    connect(Ui.Previous1, &QAction::triggered, this, &TFtavelix::previousClick);
    connect(Ui.Next1, &QAction::triggered, this, &TFtavelix::nextClick);
    Ui.autoTimer->setInterval(FShow.Delay());
    connect(Ui.autoTimer, &QTimer::timeout, this, &TFtavelix::autoTimerTimer);
    FShow.OnTimer = [this] {
        Ui.autoTimer->setInterval(FShow.Delay());
        // A Qt timer of interval 0 would fire at every pass of the event loop: "Manual" stops it.
        if (FShow.TimerRuns())
            Ui.autoTimer->start();  // afresh, also when it runs
        else
            Ui.autoTimer->stop();
    };

    setMouseTracking(true);
    // Both ways to paste follow the clipboard as soon as it changes, so Ctrl+V never stays
    // dead while a picture waits on the clipboard.
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, [this] {
        File1Click();
        FormMouseMove();
    });
    FormCreate();
    WatchKeys(*this);
    WatchMouse(*this);
    WatchLayout(*this);
}

// FormDestroy: the working copy, then the picture component; the view that paints the
// component goes first, so nothing can paint a component that is gone.
TFtavelix::~TFtavelix() {
    // The filters go first, so no event reaches a window half destroyed.
    for (const char* filter : {"WindowKeys", "WindowMouse", "WindowLayout"})
        delete findChild<QObject*>(filter, Qt::FindDirectChildrenOnly);
    FView->OnPictureChange = nullptr;
    delete Ui.PictureView;
    Ui.PictureView = nullptr;
    FWorking.Clear();
    FView.reset();
}

void TFtavelix::FormCreate() {
    FPassword.Clear();
    FView = std::make_unique<TTavelix>(FHost);
    // Every picture the window reads (open, the show, the batch runs) is judged by the size
    // its file declares, so that no file can make the display copy take more than it should.
    FView->SetLoadPixelLimit(MaxShownPixels);
    Ui.PictureView = new TPictureView(*FView, Ui.ScrollContent);
    Ui.PictureView->setObjectName("FView");
    FView->SetAutoSize(true);
    FView->SetStretch(false);
    FView->Top = ToolbarHeight(Ui);
    FView->Picture().SetWidth(1);
    FView->Picture().SetHeight(1);
    FView->OnPictureChange = [this] {
        // A clip frame belongs to the picture it was drawn on: on a picture changed under it
        // the drag is over, with nothing to erase (drawn again, the frame would show on this
        // one), and a button down on the old picture starts no drag on this one either.
        const bool dragging = FDrag.Dragging();
        FDrag.PictureChanged();
        if (dragging) UpdateCaption();
        Ui.PictureView->PictureChanged();
        PlacePicture(*this);
    };
    FView->OnPictureChange();
    FWorking = TBitmap();
    setWindowIcon(ApplicationIcon());
    Ui.ImageList1 = ImageListFromStrip(ToolbarStrip(), GlyphSize);
    const QList<QAction*> buttons = {Ui.btnopen,    Ui.btnpaste,  Ui.btnsaveas,   Ui.btnsavescrambledas, Ui.btnsmaller,
                                     Ui.btnreload,  Ui.btnlarger, Ui.btnassemble, Ui.btnabout};
    for (int i = 0; i < buttons.size(); ++i) buttons[i]->setIcon(Ui.ImageList1.value(i));
    FFileName.clear();
    Ui.SetReloadEnabled(false);
    SetClientSize(*this, MinClientWidth, ToolbarHeight(Ui) + MinClientHeight);
}

// The picture area is never seen half rearranged: widgets paint only once the event loop
// runs again, after the command. (Switching its updates off and on would repaint all of it,
// scroll bars included, at every zoom step.)
void TFtavelix::FitWindowToPicture() {
    const int t = ToolbarHeight(Ui);
    const QSize picture = PictureSizeInWindow(*this);
    if (ClientWidth(*this) < picture.width()) SetClientSize(*this, picture.width(), ClientHeight(*this));
    if (ClientHeight(*this) < picture.height() + t) SetClientSize(*this, ClientWidth(*this), picture.height() + t);
    if (FView->Width() >= 3 && FView->Height() >= 2) {
        // The size limits may have cut what was asked for: read the client size again.
        const int left = ClientWidth(*this) / 2 - picture.width() / 2;
        const int top = (ClientHeight(*this) - t) / 2 - picture.height() / 2;
        FView->Left = std::max(left, 0);
        FView->Top = std::max(top, 0);
    }
    PlacePicture(*this);
}

void TFtavelix::CenterPicture() {
    if (FView->Width() <= 2 || FView->Height() < 2) return;
    const QSize picture = PictureSizeInWindow(*this);
    FView->Left = Ui.ScrollBox1->width() / 2 - picture.width() / 2;
    FView->Top = Ui.ScrollBox1->height() / 2 - picture.height() / 2;
    PlacePicture(*this);
}

void TFtavelix::UpdateCaption() {
    const QString title = Ui.fabout ? Ui.fabout->AppTitle : QStringLiteral("Tavelix");
    // A line break in a name would break the caption: control characters show as escapes.
    // "[*]" in a caption stands for the window's "modified" mark; doubled, it shows as itself.
    QString name = ShownName(FFileName);
    name.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(title + "-" + name + QStringLiteral(" (%1 x %2) ").arg(FView->Width()).arg(FView->Height()));
}

bool TFtavelix::InAutoshowMode() const { return Ui.ContextMenu != nullptr && Ui.ContextMenu == Ui.PopupMenu1; }

void TFtavelix::FormResize() {
    // Where the window system sizes the show later than asked (Wayland), the picture is
    // centred again in the size it gets, once the controls have followed.
    if (InAutoshowMode()) {
        QTimer::singleShot(0, this, [this] {
            if (InAutoshowMode()) CenterPicture();
        });
        return;
    }
    const QSize limited = LimitedSize(*this, size());
    if (limited != size()) resize(limited);
}

// While a frame is dragged the caption shows its size; a repaint in between keeps it.
void TFtavelix::FormPaint() {
    if (!FDrag.Dragging()) UpdateCaption();
}

// --- small handlers ------------------------------------------------------------------------

void TFtavelix::ToolbaronoffClick() {
    Ui.ToolBar->setVisible(Ui.Toolbaronoff->isChecked());
    FitWindowToPicture();
}

void TFtavelix::ShowHints1Click() {
    Ui.ToolBar->ShowHint = !Ui.ToolBar->ShowHint;
    Ui.ShowHints1->setChecked(Ui.ToolBar->ShowHint);
}

void TFtavelix::Exit1Click() { close(); }

}  // namespace tavelix::ui
