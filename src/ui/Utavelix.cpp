// The main window: its controls, its state after creation, the layout operations that the
// commands share (grow around the picture, centre it, caption), the size limits, and the one
// event filter through which the window sees keys, mouse moves and hints before its controls.
#include "ui/Utavelix.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QMimeData>
#include <QPaintEvent>
#include <QProgressBar>
#include <QProxyStyle>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <cmath>

#include "ui/Uabout.h"
#include "ui/Ucompression.h"
#include "ui/filedialogs.h"
#include "ui/filenames.h"
#include "ui/glyphs.h"
#include "ui/pictureview.h"
#include "ui/prompts.h"

namespace tavelix::ui {

namespace {

constexpr int ToolbarButtonWidth = 50;
constexpr int ToolbarButtonHeight = 26;
constexpr int ToolbarFixedHeight = 30;

// The toolbar lays its 50-pixel buttons side by side with nothing between or around them, so
// that all nine fit exactly into the narrowest window.
class TToolbarStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        switch (metric) {
        case PM_ToolBarFrameWidth:
        case PM_ToolBarItemMargin:
        case PM_ToolBarItemSpacing:
            return 0;
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
        }
    }
};

// The menu bar's items sit a little closer than the style puts them, so that all seven fit
// on the bar of the narrowest window.
class TMenuBarStyle : public QProxyStyle {
public:
    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        QSize result = QProxyStyle::sizeFromContents(type, option, size, widget);
        if (type == CT_MenuBarItem && !size.isEmpty()) result.rwidth() = size.width() + 10;
        return result;
    }
    int pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const override {
        if (metric == PM_MenuBarItemSpacing) return 0;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

void SetBlack(QWidget& widget) {
    QPalette palette = widget.palette();
    palette.setColor(QPalette::Window, Qt::black);
    widget.setPalette(palette);
    widget.setAutoFillBackground(true);
}

}  // namespace

TFtavelix::TFtavelix(QWidget* parent) : QMainWindow(parent) {
    setObjectName("Ftavelix");
    FDialogPrompts = std::make_unique<TDialogPrompts>(*this);
    FCountedPrompts = std::make_unique<TCountedPrompts>(*FDialogPrompts);
    FPrompts = FCountedPrompts.get();
    // The show's delay runs afresh when a box of ours closes: the next slide, or the next box
    // over a broken file, comes a whole delay later, and the user has all of it to press Esc.
    FCountedPrompts->OnAllClosed = [this] { FShow.SetTimerEnabled(FShow.TimerEnabled()); };
    const auto commandGroup = [this] {
        auto* group = new QActionGroup(this);
        group->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
        return group;
    };
    FOpenCommands = commandGroup();
    FOtherCommands = commandGroup();
    CreateMenus();
    CreateToolBar();
    CreatePictureArea();
    autoTimer = new QTimer(this);
    autoTimer->setObjectName("autoTimer");
    autoTimer->setInterval(FShow.Delay());
    connect(autoTimer, &QTimer::timeout, this, &TFtavelix::autoTimerTimer);
    FShow.OnTimer = [this] {
        autoTimer->setInterval(FShow.Delay());
        // A Qt timer of interval 0 would fire at every pass of the event loop: "Manual" stops it.
        if (FShow.TimerRuns())
            autoTimer->start();  // afresh, also when it runs
        else
            autoTimer->stop();
    };
    CreatePopupMenu();
    setMouseTracking(true);
    qApp->installEventFilter(this);
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, &TFtavelix::RefreshPaste);
    FormCreate();
}

// FormDestroy: the working copy, then the picture component; the view that paints the
// component goes first, so nothing can paint a component that is gone.
TFtavelix::~TFtavelix() {
    qApp->removeEventFilter(this);
    FView->OnPictureChange = nullptr;
    delete FViewWidget;
    FViewWidget = nullptr;
    FWorking.Clear();
    FView.reset();
}

void TFtavelix::CreateMenus() {
    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName("MainMenu1");
    auto* style = new TMenuBarStyle;
    style->setParent(MainMenu1);
    MainMenu1->setStyle(style);
    const auto item = [this](QMenu* menu, const char* name, const QString& caption, void (TFtavelix::*handler)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, [this, handler] { RunCommand(handler); });
        FOtherCommands->addAction(action);
        return action;
    };
    const auto separator = [](QMenu* menu, const char* name) {
        QAction* action = menu->addSeparator();
        action->setObjectName(name);
        return action;
    };
    const auto barItem = [this, MainMenu1](const char* name, const QString& caption, void (TFtavelix::*handler)()) {
        QAction* action = MainMenu1->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, [this, handler] { RunCommand(handler); });
        FOtherCommands->addAction(action);
        return action;
    };

    File1 = MainMenu1->addMenu("&File");
    File1->setObjectName("File1");
    File1->menuAction()->setObjectName("File1Item");
    connect(File1, &QMenu::aboutToShow, this, &TFtavelix::File1Click);
    Open1 = item(File1, "Open1", "&Open", &TFtavelix::openClick);
    Open1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    Saveas = item(File1, "Saveas", "Save &As ...", &TFtavelix::SaveasClick);
    SaveScrambledAs1 = item(File1, "SaveScrambledAs1", "Save &Scrambled As", &TFtavelix::SavescrambledAs1Click);
    N1 = separator(File1, "N1");
    Paste1 = item(File1, "Paste1", "&Paste", &TFtavelix::PasteClick);
    Paste1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    Clear1 = item(File1, "Clear1", "&Clear", &TFtavelix::Clear1Click);
    N2 = separator(File1, "N2");
    scrambleondisk1 = item(File1, "scrambleondisk1", "Scramble on disk", &TFtavelix::scrambleondisk1Click);
    assembleondisk1 = item(File1, "assembleondisk1", "&Unscramble (Assemble) on disk", &TFtavelix::assembleondisk1Click);
    N3 = separator(File1, "N3");
    Reduceto4ondisk = item(File1, "Reduceto4ondisk", "Reduce  to 1/4 on disk", &TFtavelix::Reduceto4ondiskClick);
    Reduceto16ondisk = item(File1, "Reduceto16ondisk", "Reduce to 1/16 on disk", &TFtavelix::Reduceto16ondiskClick);
    Reduceto64ondisk = item(File1, "Reduceto64ondisk", "Reduce to 1/64 on disk", &TFtavelix::Reduceto64ondiskClick);
    N8 = separator(File1, "N8");
    Exit1 = item(File1, "Exit1", "E&xit", &TFtavelix::Exit1Click);
    for (QAction* command :
         {Open1, scrambleondisk1, assembleondisk1, Reduceto4ondisk, Reduceto16ondisk, Reduceto64ondisk})
        FOpenCommands->addAction(command);  // out of the other group

    Smaller = barItem("Smaller", "&Smaller", &TFtavelix::SmallerClick);
    Reload1 = barItem("Reload1", "&Reload", &TFtavelix::reloadClick);
    Larger1 = barItem("Larger1", "&Larger", &TFtavelix::LargerClick);
    assemble1 = barItem("assemble1", "&Unscramble (Assemble)", &TFtavelix::assemble1Click);

    Options = MainMenu1->addMenu("&Options");
    Options->setObjectName("Options");
    Toolbaronoff = item(Options, "Toolbaronoff", "Toolbar", &TFtavelix::ToolbaronoffClick);
    Toolbaronoff->setCheckable(true);
    Toolbaronoff->setChecked(true);
    ShowHints1 = item(Options, "ShowHints1", "&Show Hints", &TFtavelix::ShowHints1Click);
    ShowHints1->setCheckable(true);
    ShowHints1->setChecked(true);
    JPGCompression1 = item(Options, "JPGCompression1", "JPG Compression", &TFtavelix::JPGCompression1Click);
    Password1 = item(Options, "Password1", "&Password", &TFtavelix::Password1Click);
    N5 = separator(Options, "N5");
    Settoblackwhite1 = item(Options, "Settoblackwhite1", "Set to black && white", &TFtavelix::SettoBW1Click);

    About1 = barItem("About1", "&About", &TFtavelix::About1Click);
}

void TFtavelix::CreateToolBar() {
    ToolBar = new QToolBar(this);
    ToolBar->setObjectName("ToolBar");
    auto* style = new TToolbarStyle;
    style->setParent(ToolBar);
    ToolBar->setStyle(style);
    ToolBar->setMovable(false);
    ToolBar->setFloatable(false);
    ToolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    ToolBar->setIconSize(QSize(GlyphSize, GlyphSize));
    ToolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar->setFixedHeight(ToolbarFixedHeight);
    ToolBar->setContentsMargins(0, (ToolbarFixedHeight - ToolbarButtonHeight) / 2, 0, 0);
    addToolBar(Qt::TopToolBarArea, ToolBar);

    const auto button = [this](const char* name, const QString& hint, void (TFtavelix::*handler)()) {
        QAction* action = ToolBar->addAction(hint);
        action->setObjectName(name);
        action->setToolTip(hint);
        connect(action, &QAction::triggered, this, [this, handler] { RunCommand(handler); });
        FOtherCommands->addAction(action);
        if (QWidget* widget = ToolBar->widgetForAction(action)) {
            widget->setObjectName(QString(name) + "Button");
            widget->setFixedSize(ToolbarButtonWidth, ToolbarButtonHeight);
        }
        return action;
    };
    btnopen = button("btnopen", "Open", &TFtavelix::openClick);
    btnpaste = button("btnpaste", "Paste", &TFtavelix::PasteClick);
    btnsaveas = button("btnsaveas", "Save As ...", &TFtavelix::SaveasClick);
    btnsavescrambledas = button("btnsavescrambledas", "Save Scrambled As ...", &TFtavelix::SavescrambledAs1Click);
    btnsmaller = button("btnsmaller", "10% Smaller", &TFtavelix::SmallerClick);
    btnreload = button("btnreload", "Reload", &TFtavelix::reloadClick);
    btnlarger = button("btnlarger", "10% Larger", &TFtavelix::LargerClick);
    btnassemble = button("btnassemble", "Unscramble=Assemble", &TFtavelix::assemble1Click);
    btnabout = button("btnabout", "About", &TFtavelix::About1Click);
    FOpenCommands->addAction(btnopen);
    btnpaste->setEnabled(false);
}

void TFtavelix::CreatePictureArea() {
    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetBlack(*ScrollBox1);
    SetBlack(*ScrollBox1->viewport());
    ScrollBox1->viewport()->setMouseTracking(true);
    FScrollContent = new QWidget;
    FScrollContent->setObjectName("ScrollContent");
    SetBlack(*FScrollContent);
    FScrollContent->setMouseTracking(true);
    ScrollBox1->setWidget(FScrollContent);
    ScrollBox1->viewport()->installEventFilter(this);
    setCentralWidget(ScrollBox1);

    Panel1 = new QWidget(ScrollBox1->viewport());
    Panel1->setObjectName("Panel1");
    Panel1->setAutoFillBackground(true);
    Panel1->setBackgroundRole(QPalette::Button);
    Panel1->hide();
    ProgressBar1 = new QProgressBar(Panel1);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setGeometry(75, 15, 299, 30);
    ProgressBar1->setRange(0, 100);
}

void TFtavelix::FormCreate() {
    FPassword.Clear();
    FView = std::make_unique<TTavelix>(*this);
    // Every picture the window reads (open, the show, the batch runs) is judged by the size
    // its file declares, so that no file can make the display copy take more than it should.
    FView->SetLoadPixelLimit(MaxShownPixels);
    FViewWidget = new TPictureView(*FView, FScrollContent);
    FViewWidget->setObjectName("FView");
    FView->SetAutoSize(true);
    FView->SetStretch(false);
    FView->Top = ToolbarHeight();
    FView->Picture().SetWidth(1);
    FView->Picture().SetHeight(1);
    FView->OnPictureChange = [this] { PictureChanged(); };
    PictureChanged();
    FWorking = TBitmap();
    setWindowIcon(ApplicationIcon());
    ImageList1 = ImageListFromStrip(ToolbarStrip(), GlyphSize);
    const QList<QAction*> buttons = {btnopen,    btnpaste,  btnsaveas,   btnsavescrambledas, btnsmaller,
                                     btnreload,  btnlarger, btnassemble, btnabout};
    for (int i = 0; i < buttons.size(); ++i) buttons[i]->setIcon(ImageList1.value(i));
    FFileName.clear();
    SetReloadEnabled(false);
    SetClientSize(MinClientWidth, ToolbarHeight() + MinClientHeight);
}

// --- sizes ---------------------------------------------------------------------------------

double TFtavelix::PixelRatio() const {
    const double ratio = devicePixelRatioF();
    return ratio > 0 ? ratio : 1.0;
}

int TFtavelix::MenuHeight() const {
    const QWidget* menu = menuWidget();
    if (!menu || menu->isHidden()) return 0;
    if (menu->hasHeightForWidth()) return menu->heightForWidth(width());
    return menu->sizeHint().height();
}

int TFtavelix::ClientWidth() const { return width(); }

int TFtavelix::ClientHeight() const { return height() - MenuHeight(); }

// The limits are applied before the window is resized, so a window that cannot grow further
// is not resized (and repainted whole) twice for nothing.
void TFtavelix::SetClientSize(int width, int height) {
    const QSize limited = LimitedSize(QSize(width, height + MenuHeight()));
    if (limited != size()) resize(limited);
}

int TFtavelix::ToolbarHeight() const { return ToolBar && !ToolBar->isHidden() ? ToolBar->height() : 0; }

int TFtavelix::PictureWidthInWindow() const {
    return TPictureView::LogicalSize(FView->Width(), FView->Height(), PixelRatio()).width();
}

int TFtavelix::PictureHeightInWindow() const {
    return TPictureView::LogicalSize(FView->Width(), FView->Height(), PixelRatio()).height();
}

QSize TFtavelix::FrameExtra() const {
    if (!isVisible()) return {0, 0};
    return frameGeometry().size() - geometry().size();
}

// --- layout --------------------------------------------------------------------------------

void TFtavelix::PictureChanged() {
    if (!FViewWidget) return;
    // A clip frame belongs to the picture it was drawn on: on a picture changed under it the
    // drag is over, with nothing to erase (drawn again, the frame would show on this one).
    // A button down on the old picture starts no drag on this one either.
    const bool dragging = FDrag.Dragging();
    FDrag.PictureChanged();
    if (dragging) UpdateCaption();
    FViewWidget->PictureChanged();
    PlacePicture();
}

// The view at the component's place, with its size; the scrolled area reaches to the view's
// far edges, and at least fills the visible area (which is black around the picture).
void TFtavelix::PlacePicture() {
    const QSize size = TPictureView::LogicalSize(FView->Width(), FView->Height(), PixelRatio());
    FViewWidget->setGeometry(FView->Left, FView->Top, size.width(), size.height());
    const QSize visible = ScrollBox1->viewport()->size();
    FScrollContent->resize(std::max(visible.width(), FView->Left + size.width()),
                           std::max(visible.height(), FView->Top + size.height()));
    if (Panel1) Panel1->setGeometry(QRect(QPoint(0, 0), visible));
}

// The picture area is never seen half rearranged: widgets paint only once the event loop
// runs again, after the command. (Switching its updates off and on would repaint all of it,
// scroll bars included, at every zoom step.)
void TFtavelix::FitWindowToPicture() {
    const int t = ToolbarHeight();
    const int pictureWidth = PictureWidthInWindow();
    const int pictureHeight = PictureHeightInWindow();
    if (ClientWidth() < pictureWidth) SetClientSize(pictureWidth, ClientHeight());
    if (ClientHeight() < pictureHeight + t) SetClientSize(ClientWidth(), pictureHeight + t);
    if (FView->Width() >= 3 && FView->Height() >= 2) {
        // The size limits may have cut what was asked for: read the client size again.
        const int left = ClientWidth() / 2 - pictureWidth / 2;
        const int top = (ClientHeight() - t) / 2 - pictureHeight / 2;
        FView->Left = std::max(left, 0);
        FView->Top = std::max(top, 0);
    }
    PlacePicture();
}

void TFtavelix::CenterPicture() {
    if (FView->Width() <= 2 || FView->Height() < 2) return;
    FView->Left = ScrollBox1->width() / 2 - PictureWidthInWindow() / 2;
    FView->Top = ScrollBox1->height() / 2 - PictureHeightInWindow() / 2;
    PlacePicture();
}

void TFtavelix::UpdateCaption() {
    const QString title = fabout ? fabout->AppTitle : QStringLiteral("Tavelix");
    // A line break in a name would break the caption: control characters show as escapes.
    // "[*]" in a caption stands for the window's "modified" mark; doubled, it shows as itself.
    QString name = ShownName(FFileName);
    name.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(title + "-" + name + QStringLiteral(" (%1 x %2) ").arg(FView->Width()).arg(FView->Height()));
}

bool TFtavelix::InAutoshowMode() const { return FContextMenu != nullptr && FContextMenu == PopupMenu1; }

void TFtavelix::SetContextMenu(QMenu* menu) { FContextMenu = menu; }

QSize TFtavelix::LimitedSize(QSize wanted) const {
    if (InAutoshowMode()) return wanted;
    int width = wanted.width();
    int height = wanted.height();
    if (width < MinClientWidth) width = MinClientWidth;
    if (height - MenuHeight() < MinClientHeight) height = MinClientHeight + MenuHeight();
    if (const QScreen* screen = this->screen()) {
        const QSize extra = FrameExtra();
        const QSize room = screen->geometry().size();
        if (room.width() - ScreenMarginWidth < width + extra.width())
            width = room.width() - ScreenMarginWidth - extra.width();
        if (room.height() - ScreenMarginHeight < height + extra.height())
            height = room.height() - ScreenMarginHeight - extra.height();
    }
    return {width, height};
}

void TFtavelix::FormResize() {
    if (InAutoshowMode()) return;
    const QSize limited = LimitedSize(size());
    if (limited != size()) resize(limited);
}

void TFtavelix::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    FormResize();
}

void TFtavelix::paintEvent(QPaintEvent* event) {
    QMainWindow::paintEvent(event);
    FormPaint();
}

// While a frame is dragged the caption shows its size; a repaint in between keeps it.
void TFtavelix::FormPaint() {
    if (!FDrag.Dragging()) UpdateCaption();
}

// --- commands ------------------------------------------------------------------------------

// A clip drag going on when a command comes (the button held, the command given by its key)
// ends first, its frame erased and nothing asked: no command sees a frame pixel (Save As would
// write it, black and white would keep it), and no frame outlives the picture it was drawn on
// to be "erased" later on another one.
void TFtavelix::RunCommand(void (TFtavelix::*command)()) {
    DropDrag();
    (this->*command)();
}

// An action of a disabled group stays disabled whatever it is set to meanwhile; when the group
// is enabled again, each action takes the state it was last set to.
void TFtavelix::BlockCommands(TCommandSet commands, bool block) {
    const int step = block ? 1 : -1;
    FOpenBlocks += step;
    if (commands == TCommandSet::AllCommands) FAllBlocks += step;
    FOpenCommands->setEnabled(FOpenBlocks == 0);
    FOtherCommands->setEnabled(FAllBlocks == 0);
}

// --- small handlers ------------------------------------------------------------------------

bool TFtavelix::ClipboardHoldsPicture() const {
    const QMimeData* mime = QApplication::clipboard()->mimeData(QClipboard::Clipboard);
    return mime && mime->hasImage();
}

void TFtavelix::File1Click() { Paste1->setEnabled(ClipboardHoldsPicture()); }

void TFtavelix::FormMouseMove() { btnpaste->setEnabled(ClipboardHoldsPicture()); }

// Both ways to paste follow the clipboard as soon as it changes, so Ctrl+V never stays dead
// while a picture waits on the clipboard.
void TFtavelix::RefreshPaste() {
    const bool picture = ClipboardHoldsPicture();
    Paste1->setEnabled(picture);
    btnpaste->setEnabled(picture);
}

void TFtavelix::ToolbaronoffClick() {
    ToolBar->setVisible(Toolbaronoff->isChecked());
    FitWindowToPicture();
}

void TFtavelix::ShowHints1Click() {
    FShowHints = !FShowHints;
    ShowHints1->setChecked(FShowHints);
}

void TFtavelix::Exit1Click() { close(); }

void TFtavelix::SetReloadEnabled(bool enabled) {
    Reload1->setEnabled(enabled);
    btnreload->setEnabled(enabled);
}

bool TFtavelix::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress: {
        // Keys go to the focused control, then up to its parents; the window takes each key
        // once, from the control that receives it first. While the application has no focus
        // widget (as after the show's menu closed, without a window manager) Qt gives keys
        // to the control that last had the focus in this window.
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || widget->window() != this) break;
        QWidget* first = QApplication::focusWidget();
        if (!first || first->window() != this) first = focusWidget();
        if (!first) first = this;
        if (widget != first) break;
        auto* key = static_cast<QKeyEvent*>(event);
        bool used = FormKeyDown(*key);
        if (!used && !key->text().isEmpty()) used = FormKeyPress(key->text().front());
        return used;
    }
    case QEvent::MouseMove:
        if (watched == this || watched == ScrollBox1->viewport() || watched == FScrollContent ||
            watched == FViewWidget)
            FormMouseMove();
        if (watched == FViewWidget) return ViewMouseEvent(event->type(), *static_cast<QMouseEvent*>(event));
        break;
    case QEvent::MouseButtonPress:
        if (watched == FViewWidget) return ViewMouseEvent(event->type(), *static_cast<QMouseEvent*>(event));
        break;
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (watched == FViewWidget && ViewMouseEvent(event->type(), *mouse)) return true;
        // A click on the picture area; it is taken once, where it landed first.
        if (mouse->button() == Qt::LeftButton && InAutoshowMode() &&
            (watched == this || watched == ScrollBox1->viewport() || watched == FScrollContent ||
             watched == FViewWidget)) {
            FormClick();
            return true;
        }
        break;
    }
    case QEvent::ToolTip:
        // The toolbar's hints, switched by "Show Hints".
        if (!FShowHints) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && widget->parentWidget() == ToolBar) return true;
        }
        break;
    case QEvent::Paint:
        if (watched == FScrollContent) FormPaint();
        break;
    case QEvent::Resize:
        if (watched == ScrollBox1->viewport() && FView) PlacePicture();
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

// --- host ----------------------------------------------------------------------------------

void TFtavelix::ShowMessage(std::string_view text) {
    FPrompts->Message(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TFtavelix::ProcessMessages() { QCoreApplication::processEvents(); }

TSize TFtavelix::ScreenSize() const {
    const QScreen* screen = this->screen();
    if (!screen) return {};
    const QSize size = screen->geometry().size() * screen->devicePixelRatio();
    return {size.width(), size.height()};
}

void TFtavelix::SetPrompts(TPrompts* prompts) {
    FCountedPrompts->SetTarget(prompts ? *prompts : *FDialogPrompts);
}

TOpenPictureDialog& TFtavelix::Opd1() {
    if (!FOpd1) FOpd1 = new TOpenPictureDialog(this);
    return *FOpd1;
}

TSavePictureDialog& TFtavelix::Spd1() {
    if (!FSpd1) FSpd1 = new TSavePictureDialog(this);
    return *FSpd1;
}

int TFtavelix::JpegQuality() const { return fcompression ? fcompression->Quality() : 90; }

}  // namespace tavelix::ui
