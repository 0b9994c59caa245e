// The program's forms: the main window, the application's main form, with its first caption.
// Its dialogs (password, JPEG quality, about) are made when first used (TFtavelix::
// PasswordDialog and the like), as its children; they live until the program ends.
#pragma once

#include <QStringList>

#include <memory>

namespace tavelix::ui {

class TFtavelix;

struct TForms {
    std::unique_ptr<TFtavelix> Ftavelix;

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
