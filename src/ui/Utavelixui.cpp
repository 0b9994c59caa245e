#include "ui/Utavelixui.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QProxyStyle>
#include <QScrollArea>
#include <QTimer>

#include "ui/Ucompression.h"
#include "ui/filedialogs.h"
#include "ui/glyphs.h"

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

QActionGroup* CommandGroup(QObject* owner) {
    auto* group = new QActionGroup(owner);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::None);
    return group;
}

}  // namespace

TToolBar::TToolBar(QWidget* parent) : QToolBar(parent) {}

bool TToolBar::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ToolTip && !ShowHint) return true;
    return QToolBar::eventFilter(watched, event);
}

// An action of a disabled group stays disabled whatever it is set to meanwhile; when the group
// is enabled again, each action takes the state it was last set to.
void TCommandGroups::Block(TCommandSet commands, bool block) {
    const int step = block ? 1 : -1;
    FOpenBlocks += step;
    if (commands == TCommandSet::AllCommands) FAllBlocks += step;
    OpenCommands->setEnabled(FOpenBlocks == 0);
    OtherCommands->setEnabled(FAllBlocks == 0);
}

void TFtavelixUi::Setup(QMainWindow& form) {
    FForm = &form;
    Commands.OpenCommands = CommandGroup(&form);
    Commands.OtherCommands = CommandGroup(&form);
    SetupMenus(form);
    SetupToolBar(form);
    SetupPictureArea(form);
    autoTimer = new QTimer(&form);
    autoTimer->setObjectName("autoTimer");
    SetupPopupMenu(form);
    // The commands that use the open dialog leave the other group for their own.
    for (QAction* command :
         {Open1, btnopen, scrambleondisk1, assembleondisk1, Reduceto4ondisk, Reduceto16ondisk, Reduceto64ondisk})
        Commands.OpenCommands->addAction(command);
}

void TFtavelixUi::SetupMenus(QMainWindow& form) {
    QMenuBar* MainMenu1 = form.menuBar();
    MainMenu1->setObjectName("MainMenu1");
    auto* style = new TMenuBarStyle;
    style->setParent(MainMenu1);
    MainMenu1->setStyle(style);
    const auto item = [this](QMenu* menu, const char* name, const QString& caption) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(name);
        Commands.OtherCommands->addAction(action);
        return action;
    };
    const auto separator = [](QMenu* menu, const char* name) { menu->addSeparator()->setObjectName(name); };
    const auto barItem = [this, MainMenu1](const char* name, const QString& caption) {
        QAction* action = MainMenu1->addAction(caption);
        action->setObjectName(name);
        Commands.OtherCommands->addAction(action);
        return action;
    };

    File1 = MainMenu1->addMenu(QCoreApplication::translate("Tavelix", "&File"));
    File1->setObjectName("File1");
    File1->menuAction()->setObjectName("File1Item");
    Open1 = item(File1, "Open1", QCoreApplication::translate("Tavelix", "&Open"));
    Open1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    Saveas = item(File1, "Saveas", QCoreApplication::translate("Tavelix", "Save &As ..."));
    SaveScrambledAs1 = item(File1, "SaveScrambledAs1", QCoreApplication::translate("Tavelix", "Save &Scrambled As"));
    separator(File1, "N1");
    Paste1 = item(File1, "Paste1", QCoreApplication::translate("Tavelix", "&Paste"));
    Paste1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_V));
    Clear1 = item(File1, "Clear1", QCoreApplication::translate("Tavelix", "&Clear"));
    separator(File1, "N2");
    scrambleondisk1 = item(File1, "scrambleondisk1", QCoreApplication::translate("Tavelix", "Scramble on disk"));
    assembleondisk1 = item(File1, "assembleondisk1", QCoreApplication::translate("Tavelix", "&Unscramble (Assemble) on disk"));
    separator(File1, "N3");
    Reduceto4ondisk = item(File1, "Reduceto4ondisk", QCoreApplication::translate("Tavelix", "Reduce  to 1/4 on disk"));
    Reduceto16ondisk = item(File1, "Reduceto16ondisk", QCoreApplication::translate("Tavelix", "Reduce to 1/16 on disk"));
    Reduceto64ondisk = item(File1, "Reduceto64ondisk", QCoreApplication::translate("Tavelix", "Reduce to 1/64 on disk"));
    separator(File1, "N8");
    Exit1 = item(File1, "Exit1", QCoreApplication::translate("Tavelix", "E&xit"));

    Smaller = barItem("Smaller", QCoreApplication::translate("Tavelix", "&Smaller"));
    Reload1 = barItem("Reload1", QCoreApplication::translate("Tavelix", "&Reload"));
    Larger1 = barItem("Larger1", QCoreApplication::translate("Tavelix", "&Larger"));
    assemble1 = barItem("assemble1", QCoreApplication::translate("Tavelix", "&Unscramble (Assemble)"));

    Options = MainMenu1->addMenu(QCoreApplication::translate("Tavelix", "&Options"));
    Options->setObjectName("Options");
    Toolbaronoff = item(Options, "Toolbaronoff", QCoreApplication::translate("Tavelix", "Toolbar"));
    Toolbaronoff->setCheckable(true);
    Toolbaronoff->setChecked(true);
    ShowHints1 = item(Options, "ShowHints1", QCoreApplication::translate("Tavelix", "&Show Hints"));
    ShowHints1->setCheckable(true);
    ShowHints1->setChecked(true);
    JPGCompression1 = item(Options, "JPGCompression1", QCoreApplication::translate("Tavelix", "JPG Compression"));
    Password1 = item(Options, "Password1", QCoreApplication::translate("Tavelix", "&Password"));
    separator(Options, "N5");
    Settoblackwhite1 = item(Options, "Settoblackwhite1", QCoreApplication::translate("Tavelix", "Set to black && white"));

    About1 = barItem("About1", QCoreApplication::translate("Tavelix", "&About"));
}

void TFtavelixUi::SetupToolBar(QMainWindow& form) {
    ToolBar = new TToolBar(&form);
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
    form.addToolBar(Qt::TopToolBarArea, ToolBar);

    const auto button = [this](const char* name, const QString& hint) {
        QAction* action = ToolBar->addAction(hint);
        action->setObjectName(name);
        action->setToolTip(hint);
        Commands.OtherCommands->addAction(action);
        if (QWidget* widget = ToolBar->widgetForAction(action)) {
            widget->setObjectName(QString(name) + "Button");
            widget->setFixedSize(ToolbarButtonWidth, ToolbarButtonHeight);
            // For screen readers, the hint is the button's name and description, also while
            // hints are not shown.
            widget->setAccessibleName(hint);
            widget->setAccessibleDescription(hint);
        }
        return action;
    };
    btnopen = button("btnopen", QCoreApplication::translate("Tavelix", "Open"));
    btnpaste = button("btnpaste", QCoreApplication::translate("Tavelix", "Paste"));
    btnsaveas = button("btnsaveas", QCoreApplication::translate("Tavelix", "Save As ..."));
    btnsavescrambledas = button("btnsavescrambledas", QCoreApplication::translate("Tavelix", "Save Scrambled As ..."));
    btnsmaller = button("btnsmaller", QCoreApplication::translate("Tavelix", "10% Smaller"));
    btnreload = button("btnreload", QCoreApplication::translate("Tavelix", "Reload"));
    btnlarger = button("btnlarger", QCoreApplication::translate("Tavelix", "10% Larger"));
    btnassemble = button("btnassemble", QCoreApplication::translate("Tavelix", "Unscramble=Assemble"));
    btnabout = button("btnabout", QCoreApplication::translate("Tavelix", "About"));
    btnpaste->setEnabled(false);
    // The hints of every button (and of any other control on the toolbar) pass the toolbar.
    for (QWidget* child : ToolBar->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        child->installEventFilter(ToolBar);
}

void TFtavelixUi::SetupPictureArea(QMainWindow& form) {
    ScrollBox1 = new QScrollArea(&form);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetBlack(*ScrollBox1);
    SetBlack(*ScrollBox1->viewport());
    ScrollBox1->viewport()->setMouseTracking(true);
    ScrollContent = new QWidget;
    ScrollContent->setObjectName("ScrollContent");
    SetBlack(*ScrollContent);
    ScrollContent->setMouseTracking(true);
    ScrollBox1->setWidget(ScrollContent);
    form.setCentralWidget(ScrollBox1);
    // For screen readers the picture area is described by the caption, which names the
    // picture and its size.
    ScrollBox1->setAccessibleName(QCoreApplication::translate("Tavelix", "Picture"));
    ScrollBox1->setAccessibleDescription(form.windowTitle());
    QObject::connect(&form, &QWidget::windowTitleChanged, ScrollBox1,
                     [area = ScrollBox1](const QString& caption) { area->setAccessibleDescription(caption); });

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

void TFtavelixUi::SetupPopupMenu(QMainWindow& form) {
    PopupMenu1 = new QMenu(&form);
    PopupMenu1->setObjectName("PopupMenu1");
    const auto item = [this](const char* name, const QString& caption) {
        QAction* action = PopupMenu1->addAction(caption);
        action->setObjectName(name);
        return action;
    };
    const auto check = [&](const char* name, const QString& caption) {
        QAction* action = item(name, caption);
        action->setCheckable(true);
        return action;
    };
    const auto separator = [this](const char* name) { PopupMenu1->addSeparator()->setObjectName(name); };

    item("Autoshow1", QCoreApplication::translate("Tavelix", "Autoshow: <ESC> toggles the menu"));  // a label
    Stop1 = item("Stop1", QCoreApplication::translate("Tavelix", "Stop the autoshow"));
    separator("N6");
    AtRandom1 = check("AtRandom1", QCoreApplication::translate("Tavelix", "At Random"));
    Loop1 = check("Loop1", QCoreApplication::translate("Tavelix", "Loop"));
    Autoassemble1 = check("Autoassemble1", QCoreApplication::translate("Tavelix", "Autoassemble"));
    Autosize1 = check("Autosize1", QCoreApplication::translate("Tavelix", "Autosize"));
    separator("N4");
    item("Delay1", QCoreApplication::translate("Tavelix", "Delay:"));  // a label

    auto* delays = new QActionGroup(PopupMenu1);
    delays->setExclusive(true);
    const auto delay = [&](const char* name, const QString& caption) {
        QAction* action = check(name, caption);
        delays->addAction(action);
        return action;
    };
    N05sec1 = delay("N05sec1", QCoreApplication::translate("Tavelix", "0.5 sec"));
    N1sec1 = delay("N1sec1", QCoreApplication::translate("Tavelix", "1 sec"));
    N2sec1 = delay("N2sec1", QCoreApplication::translate("Tavelix", "2 sec"));
    N3sec1 = delay("N3sec1", QCoreApplication::translate("Tavelix", "3 sec"));
    N5sec1 = delay("N5sec1", QCoreApplication::translate("Tavelix", "5 sec"));
    N101 = delay("N101", QCoreApplication::translate("Tavelix", "10 sec"));
    Manual1 = delay("Manual1", QCoreApplication::translate("Tavelix", "Manual"));

    separator("N7");
    Previous1 = item("Previous1", QCoreApplication::translate("Tavelix", "<--- Previous"));
    Previous1->setShortcut(QKeySequence(Qt::Key_F2));
    Next1 = item("Next1", QCoreApplication::translate("Tavelix", "---> Next"));
    Next1->setShortcut(QKeySequence(Qt::Key_F3));
    // A closed menu's shortcuts are dead: the window holds them too; the handlers do nothing
    // in normal mode.
    form.addAction(Previous1);
    form.addAction(Next1);
}

void TFtavelixUi::SetReloadEnabled(bool enabled) {
    Reload1->setEnabled(enabled);
    btnreload->setEnabled(enabled);
}

int TFtavelixUi::JpegQuality() const { return fcompression ? fcompression->Quality() : 90; }

TOpenPictureDialog& TFtavelixUi::Opd1() {
    if (!FOpd1) FOpd1 = new TOpenPictureDialog(FForm);
    return *FOpd1;
}

TSavePictureDialog& TFtavelixUi::Spd1() {
    if (!FSpd1) FSpd1 = new TSavePictureDialog(FForm);
    return *FSpd1;
}

}  // namespace tavelix::ui
