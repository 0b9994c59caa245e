#include "ui/prompts.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include "ui/Upwdlg.h"
#include "ui/Utavelix.h"
#include "ui/filedialogs.h"

namespace tavelix::ui {

namespace {

int MessageBox(TFtavelix& window, const QString& text, QMessageBox::StandardButtons buttons) {
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Tavelix"), text, buttons, &window);
    return box.exec();
}

}  // namespace

QStringList TDialogPrompts::PicturesToOpen(const QString& title) {
    TOpenPictureDialog& dialog = FWindow.Opd1();
    dialog.setWindowTitle(title);
    if (!FLastFolder.isEmpty()) dialog.setDirectory(FLastFolder);
    dialog.selectFile(QString());  // an empty file name at every use
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (!chosen.isEmpty()) FLastFolder = QFileInfo(chosen.first()).absolutePath();
    return chosen;
}

QString TDialogPrompts::SaveName(const QString& title, const QString& proposedName) {
    TSavePictureDialog& dialog = FWindow.Spd1();
    dialog.setWindowTitle(title);
    if (!FLastFolder.isEmpty()) dialog.setDirectory(FLastFolder);
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return {};
    FLastFolder = QFileInfo(chosen.first()).absolutePath();
    return chosen.first();
}

bool TDialogPrompts::PasswordRequest() {
    return FWindow.PasswordDlg && FWindow.PasswordDlg->exec() == QDialog::Accepted;
}

void TDialogPrompts::Message(const QString& text) { MessageBox(FWindow, text, QMessageBox::Ok); }

bool TDialogPrompts::OkCancel(const QString& text) {
    return MessageBox(FWindow, text, QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

void TDialogPrompts::ShowModal(QDialog& dialog) { dialog.exec(); }

}  // namespace tavelix::ui
