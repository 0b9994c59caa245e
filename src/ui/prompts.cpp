#include "ui/prompts.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include "ui/Upwdlg.h"
#include "ui/Utavelix.h"
#include "ui/filedialogs.h"

namespace tavelix::ui {

namespace {

// Shows a modal dialog over the window and gives the window the keyboard back afterwards,
// which without a window manager nothing else would do.
int ExecOver(TFtavelix& window, QDialog& dialog) {
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

QStringList TDialogPrompts::PicturesToOpen(const QString& title) {
    TOpenPictureDialog& dialog = FWindow.Opd1();
    dialog.setWindowTitle(title);
    if (!FLastFolder.isEmpty()) dialog.setDirectory(FLastFolder);
    dialog.selectFile(QString());  // an empty file name at every use
    if (ExecFileDialog(FWindow, dialog) != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (!chosen.isEmpty()) FLastFolder = QFileInfo(chosen.first()).absolutePath();
    return chosen;
}

QString TDialogPrompts::SaveName(const QString& title, const QString& proposedName) {
    TSavePictureDialog& dialog = FWindow.Spd1();
    dialog.setWindowTitle(title);
    if (!FLastFolder.isEmpty()) dialog.setDirectory(FLastFolder);
    dialog.selectFile(proposedName);
    if (ExecFileDialog(FWindow, dialog) != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    FLastFolder = QFileInfo(chosen.first()).absolutePath();
    return chosen.first();
}

bool TDialogPrompts::PasswordRequest() {
    return FWindow.PasswordDlg && ExecOver(FWindow, *FWindow.PasswordDlg) == QDialog::Accepted;
}

void TDialogPrompts::Message(const QString& text) { MessageBox(FWindow, text, QMessageBox::Ok); }

bool TDialogPrompts::OkCancel(const QString& text) {
    return MessageBox(FWindow, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

void TDialogPrompts::ShowModal(QDialog& dialog) { ExecOver(FWindow, dialog); }

}  // namespace tavelix::ui
