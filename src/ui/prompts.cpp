#include "ui/prompts.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <exception>
#include <new>

#include "ui/Upwdlg.h"
#include "ui/Utavelix.h"
#include "ui/filedialogs.h"
#include "ui/filenames.h"

namespace tavelix::ui {

namespace {

// Shows a modal dialog over the window and gives the window the keyboard back afterwards,
// which without a window manager nothing else would do. Over the autoshow, which stays on top
// of other windows, the dialog must stay on top as well to be seen at all.
int ExecOver(TFtavelix& window, QDialog& dialog) {
    const bool onTop = window.InAutoshowMode();
    if (dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint) != onTop)
        dialog.setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    const int result = dialog.exec();
    if (window.isVisible()) window.activateWindow();
    return result;
}

// A file dialog closed by Return while its name completion was open leaves the completion's
// list on the screen; it goes with the dialog.
int ExecFileDialog(TFtavelix& window, QFileDialog& dialog) {
    const int result = ExecOver(window, dialog);
    for (QCompleter* completer : dialog.findChildren<QCompleter*>())
        if (completer->popup() && completer->popup()->isVisible()) completer->popup()->hide();
    return result;
}

int MessageBox(TFtavelix& window, const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tavelix"), text, buttons, &window);
    return ExecOver(window, box);
}

}  // namespace

QStringList TCountedPrompts::PicturesToOpen(const QString& title) {
    return Ask([&](TPrompts& target) { return target.PicturesToOpen(title); });
}

QString TCountedPrompts::SaveName(const QString& title, const QString& proposedName) {
    return Ask([&](TPrompts& target) { return target.SaveName(title, proposedName); });
}

bool TCountedPrompts::PasswordRequest() {
    return Ask([](TPrompts& target) { return target.PasswordRequest(); });
}

void TCountedPrompts::Message(const QString& text) {
    Ask([&](TPrompts& target) { target.Message(text); });
}

bool TCountedPrompts::OkCancel(const QString& text) {
    return Ask([&](TPrompts& target) { return target.OkCancel(text); });
}

int TCountedPrompts::Choose(const QString& text, const QStringList& buttons) {
    return Ask([&](TPrompts& target) { return target.Choose(text, buttons); });
}

void TCountedPrompts::ShowModal(QDialog& dialog) {
    Ask([&](TPrompts& target) { target.ShowModal(dialog); });
}

QStringList TDialogPrompts::PicturesToOpen(const QString& title) {
    TOpenPictureDialog& dialog = FWindow.Ui.Opd1();
    dialog.setWindowTitle(title);
    if (!FLastFolder.isEmpty()) dialog.setDirectory(FLastFolder);
    dialog.selectFile(QString());  // an empty file name at every use
    if (ExecFileDialog(FWindow, dialog) != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (!chosen.isEmpty()) FLastFolder = QFileInfo(chosen.first()).absolutePath();
    return chosen;
}

QString TDialogPrompts::SaveName(const QString& title, const QString& proposedName) {
    TSavePictureDialog& dialog = FWindow.Ui.Spd1();
    dialog.setWindowTitle(title);
    if (!FLastFolder.isEmpty()) dialog.setDirectory(FLastFolder);
    dialog.Propose(proposedName);
    if (ExecFileDialog(FWindow, dialog) != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    FLastFolder = QFileInfo(chosen.first()).absolutePath();
    return chosen.first();
}

bool TDialogPrompts::PasswordRequest() {
    return ExecOver(FWindow, FWindow.PasswordDialog()) == QDialog::Accepted;
}

void TDialogPrompts::Message(const QString& text) { MessageBox(FWindow, text, QMessageBox::Ok); }

bool TDialogPrompts::OkCancel(const QString& text) {
    return MessageBox(FWindow, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

int TDialogPrompts::Choose(const QString& text, const QStringList& buttons) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tavelix"), text, QMessageBox::NoButton, &FWindow);
    QList<QAbstractButton*> added;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        const bool last = i + 1 == buttons.size();
        added << box.addButton(buttons[i], i == 0 ? QMessageBox::AcceptRole
                                           : last ? QMessageBox::RejectRole
                                                  : QMessageBox::ActionRole);
    }
    if (!added.isEmpty()) {
        // Return, like Esc, takes the way out: no choice is made by a key pressed too soon.
        box.setEscapeButton(added.last());
        box.setDefaultButton(qobject_cast<QPushButton*>(added.last()));
    }
    ExecOver(FWindow, box);
    const qsizetype chosen = added.indexOf(box.clickedButton());
    return static_cast<int>(chosen >= 0 ? chosen : buttons.size() - 1);
}

void TDialogPrompts::ShowModal(QDialog& dialog) { ExecOver(FWindow, dialog); }

void TWindowHost::ShowMessage(std::string_view text) {
    FPrompts.Message(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

void TWindowHost::ProcessMessages() { QCoreApplication::processEvents(); }

TSize TWindowHost::ScreenSize() const {
    const QScreen* screen = FWindow.screen();
    if (!screen) return {};
    const QSize size = screen->geometry().size() * screen->devicePixelRatio();
    return {size.width(), size.height()};
}

bool Guarded(TPrompts& prompts, const std::function<void()>& command, const QString& fileName) {
    const QString about = fileName.isEmpty() ? QString() : ShownName(fileName) + QStringLiteral(": ");
    try {
        command();
        return true;
    } catch (const std::bad_alloc&) {
        prompts.Message(QCoreApplication::translate("Tavelix", "Error: ") + about + QCoreApplication::translate("Tavelix", "not enough memory"));
    } catch (const std::exception& error) {
        prompts.Message(QCoreApplication::translate("Tavelix", "Error: ") + about + QString::fromStdString(VisibleName(error.what())));
    }
    return false;
}

bool RequestPassword(TPrompts& prompts, const TSecret& password) {
    if (!password.Empty()) return true;
    return prompts.PasswordRequest() && !password.Empty();
}

}  // namespace tavelix::ui
