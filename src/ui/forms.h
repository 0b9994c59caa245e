// The program's four forms, created in their fixed order: the main window (the first, the
// application's main form), the password dialog, the JPEG quality dialog and the about box,
// which gives the main window its first caption. They live until the program ends.
#pragma once

#include <QStringList>

#include <memory>

namespace tavelix::ui {

class TFtavelix;
class TPasswordDlg;
class Tfabout;
class Tfcompression;

struct TForms {
    std::unique_ptr<TFtavelix> Ftavelix;
    // Owned by the main window, as its child dialogs.
    TPasswordDlg* PasswordDlg = nullptr;
    Tfcompression* fcompression = nullptr;
    Tfabout* fabout = nullptr;

    TForms();
    ~TForms();
    TForms(TForms&&) noexcept;
    TForms& operator=(TForms&&) noexcept;
};

TForms CreateForms();

// The files of fileNames that can be opened (regular files that can be read), in their order.
// For each other one, a line in problems that names it and says why ("NAME: no such file",
// "cannot read NAME: not a regular file but a folder"): the program's start tells them on
// standard error instead of showing a box, or a slot of nothing in a show, for each.
QStringList OpenableFiles(const QStringList& fileNames, QStringList& problems);

}  // namespace tavelix::ui
