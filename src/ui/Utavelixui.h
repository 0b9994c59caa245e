// The main window's controls, held the way a designer's form class holds its widgets: the
// menus and their items, the toolbar and its buttons, the picture area, the progress panel,
// the slide timer, the autoshow's menu, and the dialogs the window shows. Setup builds them
// into the window with their object names, captions, shortcuts and design-time settings, and
// connects nothing: the window connects its handlers. Separators and labels, which nobody
// calls, are not kept here; they are found by their object names.
#pragma once

#include <QIcon>
#include <QList>
#include <QToolBar>

class QAction;
class QActionGroup;
class QMainWindow;
class QMenu;
class QProgressBar;
class QScrollArea;
class QTimer;

namespace tavelix::ui {

class TOpenPictureDialog;
class TPasswordDlg;
class TPictureView;
class TSavePictureDialog;
class Tfabout;
class Tfcompression;

// A toolbar whose hints can be switched off: with ShowHint false its buttons show none.
class TToolBar : public QToolBar {
public:
    explicit TToolBar(QWidget* parent);
    bool ShowHint = true;
    // Takes the hint events of the toolbar's buttons (the toolbar watches each of them).
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// Work that lets pending events run (a batch run, the black-and-white conversion) blocks the
// commands that must not run inside it: those that use the open dialog (Open and the batch
// commands), or all of them. Their menu items and buttons are disabled, and with them their
// keys. Blocks nest; a command's own state (Reload without a file, Paste without a picture on
// the clipboard) goes on being kept meanwhile and shows when the last block ends.
enum class TCommandSet { OpenCommands, AllCommands };

class TCommandGroups {
public:
    QActionGroup* OpenCommands = nullptr;   // the commands that use the open dialog
    QActionGroup* OtherCommands = nullptr;  // every other command of the menus and the toolbar
    void Block(TCommandSet commands, bool block);
    // Whether every command is blocked; no clip drag starts then either.
    bool AllBlocked() const { return FAllBlocks > 0; }

private:
    int FOpenBlocks = 0, FAllBlocks = 0;
};

struct TFtavelixUi {
    // The menu of normal mode: "&File", the commands on the bar, "&Options".
    QMenu* File1 = nullptr;
    QAction* Open1 = nullptr;
    QAction* Saveas = nullptr;
    QAction* SaveScrambledAs1 = nullptr;
    QAction* Paste1 = nullptr;
    QAction* Clear1 = nullptr;
    QAction* scrambleondisk1 = nullptr;
    QAction* assembleondisk1 = nullptr;
    QAction* Reduceto4ondisk = nullptr;
    QAction* Reduceto16ondisk = nullptr;
    QAction* Reduceto64ondisk = nullptr;
    QAction* Exit1 = nullptr;
    QAction* Smaller = nullptr;
    QAction* Reload1 = nullptr;
    QAction* Larger1 = nullptr;
    QAction* assemble1 = nullptr;
    QMenu* Options = nullptr;
    QAction* Toolbaronoff = nullptr;
    QAction* ShowHints1 = nullptr;
    QAction* JPGCompression1 = nullptr;
    QAction* Password1 = nullptr;
    QAction* Settoblackwhite1 = nullptr;
    QAction* About1 = nullptr;

    // The toolbar: nine buttons of 50 x 26 with the glyphs of ImageList1 (filled at creation).
    TToolBar* ToolBar = nullptr;
    QList<QIcon> ImageList1;
    QAction* btnopen = nullptr;
    QAction* btnpaste = nullptr;
    QAction* btnsaveas = nullptr;
    QAction* btnsavescrambledas = nullptr;
    QAction* btnsmaller = nullptr;
    QAction* btnreload = nullptr;
    QAction* btnlarger = nullptr;
    QAction* btnassemble = nullptr;
    QAction* btnabout = nullptr;
    // Every command above in one of two groups, to be blocked together.
    TCommandGroups Commands;
    // "&Reload" and its button are enabled and disabled together.
    void SetReloadEnabled(bool enabled);

    // The picture area: the black scroll box, what it scrolls, the picture in it (made with
    // the picture component when the window is created), and the hidden progress panel.
    QScrollArea* ScrollBox1 = nullptr;
    QWidget* ScrollContent = nullptr;
    TPictureView* PictureView = nullptr;
    QWidget* Panel1 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;

    // The autoshow: its slide timer, stopped, and its menu.
    QTimer* autoTimer = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* Stop1 = nullptr;
    QAction* AtRandom1 = nullptr;
    QAction* Loop1 = nullptr;
    QAction* Autoassemble1 = nullptr;
    QAction* Autosize1 = nullptr;
    QAction* N05sec1 = nullptr;
    QAction* N1sec1 = nullptr;
    QAction* N2sec1 = nullptr;
    QAction* N3sec1 = nullptr;
    QAction* N5sec1 = nullptr;
    QAction* N101 = nullptr;
    QAction* Manual1 = nullptr;
    QAction* Previous1 = nullptr;
    QAction* Next1 = nullptr;
    // The window's context menu: none in normal mode, PopupMenu1 in the autoshow.
    QMenu* ContextMenu = nullptr;

    // The window's dialogs, none until first used (TFtavelix::PasswordDialog and the like).
    TPasswordDlg* PasswordDlg = nullptr;
    Tfcompression* fcompression = nullptr;
    Tfabout* fabout = nullptr;
    // Files are saved at the quality of the quality dialog, 90 without one.
    int JpegQuality() const;
    // The file dialogs, made when first used.
    TOpenPictureDialog& Opd1();
    TSavePictureDialog& Spd1();

    // Builds the controls into form.
    void Setup(QMainWindow& form);

private:
    void SetupMenus(QMainWindow& form);
    void SetupToolBar(QMainWindow& form);
    void SetupPictureArea(QMainWindow& form);
    void SetupPopupMenu(QMainWindow& form);

    QMainWindow* FForm = nullptr;
    TOpenPictureDialog* FOpd1 = nullptr;
    TSavePictureDialog* FSpd1 = nullptr;
};

}  // namespace tavelix::ui
