// The one seam between the window's commands and every question they put to the user:
// which pictures to open, the name to save under, the password, a message, OK or Cancel, a
// choice between a few buttons.
// The program answers through the real dialogs; tests put a script in their place, so the
// logic of a command (cancel paths, the order of the questions, which message when) runs
// without a modal loop. The window's host for the picture component passes the component's
// messages on to the same seam.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <string_view>

#include "engine/host.h"
#include "engine/password.h"

class QDialog;

namespace tavelix::ui {

class TFtavelix;

class TPrompts {
public:
    virtual ~TPrompts() = default;
    // The pictures chosen in the open dialog shown with this title, full names in the order
    // the dialog gives them; empty when the user cancels.
    virtual QStringList PicturesToOpen(const QString& title) = 0;
    // The full name chosen in the save dialog shown with this title, which proposes
    // proposedName (a name without its folder); empty when the user cancels.
    virtual QString SaveName(const QString& title, const QString& proposedName) = 0;
    // Shows the password dialog; true when it was closed with OK, which has then set the
    // window's password.
    virtual bool PasswordRequest() = 0;
    // A message box captioned with the program's name, with an OK button.
    virtual void Message(const QString& text) = 0;
    // The same with OK and Cancel; true for OK.
    virtual bool OkCancel(const QString& text) = 0;
    // The same with these buttons, the last of which is the way out (Esc, Return, closing the
    // box); the index of the button chosen.
    virtual int Choose(const QString& text, const QStringList& buttons) = 0;
    // A dialog whose result the commands do not use (the JPEG quality, the about box).
    virtual void ShowModal(QDialog& dialog) = 0;
};

// Passes every question on to other prompts and counts the questions open meanwhile: while
// a box of ours is open, timer ticks must not open another one.
class TCountedPrompts : public TPrompts {
public:
    // standard: the prompts that answer unless others are set.
    explicit TCountedPrompts(TPrompts& standard) : FStandard(standard), FTarget(&standard) {}
    // The prompts that answer from now on; nullptr: the standard ones again.
    void SetTarget(TPrompts* target) { FTarget = target ? target : &FStandard; }
    // How many questions are open now (nested ones counted each).
    int Open() const { return FOpen; }
    // Called whenever the last open question has closed.
    std::function<void()> OnAllClosed;

    QStringList PicturesToOpen(const QString& title) override;
    QString SaveName(const QString& title, const QString& proposedName) override;
    bool PasswordRequest() override;
    void Message(const QString& text) override;
    bool OkCancel(const QString& text) override;
    int Choose(const QString& text, const QStringList& buttons) override;
    void ShowModal(QDialog& dialog) override;

private:
    template <typename Question>
    auto Ask(Question question) {
        struct TCount {
            TCountedPrompts& Prompts;
            explicit TCount(TCountedPrompts& prompts) : Prompts(prompts) { ++Prompts.FOpen; }
            ~TCount() {
                if (--Prompts.FOpen == 0 && Prompts.OnAllClosed) Prompts.OnAllClosed();
            }
        } count(*this);
        return question(*FTarget);
    }

    TPrompts& FStandard;
    TPrompts* FTarget;
    int FOpen = 0;
};

// The real answers: the window's file dialogs, its password dialog and message boxes, each
// modal over the window (and above it while it is the autoshow's full-screen window).
class TDialogPrompts : public TPrompts {
public:
    explicit TDialogPrompts(TFtavelix& window) : FWindow(window) {}

    QStringList PicturesToOpen(const QString& title) override;
    QString SaveName(const QString& title, const QString& proposedName) override;
    bool PasswordRequest() override;
    void Message(const QString& text) override;
    bool OkCancel(const QString& text) override;
    int Choose(const QString& text, const QStringList& buttons) override;
    void ShowModal(QDialog& dialog) override;

private:
    TFtavelix& FWindow;
    // Both file dialogs start where either of them was last used, as the system's do.
    QString FLastFolder;
};

// What the window's commands and its picture component ask of the world around them: every
// question to the user goes through Prompts (the real dialogs unless a script is set in their
// place), counted; the component's messages are such questions; pending events run on; the
// screen is the one the window is on.
class TWindowHost : public TPictureHost {
public:
    explicit TWindowHost(TFtavelix& window) : FWindow(window), FDialogs(window), FPrompts(FDialogs) {}
    TCountedPrompts& Prompts() { return FPrompts; }

    void ShowMessage(std::string_view text) override;
    void ProcessMessages() override;
    // The size in pixels of the screen the window is on.
    TSize ScreenSize() const override;

private:
    TFtavelix& FWindow;
    TDialogPrompts FDialogs;
    TCountedPrompts FPrompts;
};

// Runs a command; whatever it throws ends in a message (naming fileName, the file it works on,
// if one is given), never in the event loop. False when it threw.
bool Guarded(TPrompts& prompts, const std::function<void()>& command, const QString& fileName = QString());
// The password request of the commands that scramble or assemble: asks for a password when
// none is set; true when one is set afterwards.
bool RequestPassword(TPrompts& prompts, const TSecret& password);

}  // namespace tavelix::ui
