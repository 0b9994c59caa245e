// The window's two file dialogs, Qt's own (not the desktop's), so that they behave the same
// everywhere and the open dialog can show a picture preview beside its list.
#pragma once

#include <QFileDialog>
#include <QString>

class QLabel;

namespace tavelix::ui {

// The open dialog: several files at once, the picture types Tavelix reads, and a preview
// column that shows the selected file as Tavelix would open it (through its own codecs).
class TOpenPictureDialog : public QFileDialog {
    Q_OBJECT

public:
    static const QString AllFilesFilter;  // "All Files (*.*)"

    explicit TOpenPictureDialog(QWidget* parent);

    // The file the preview shows ("" for none) and the preview's text, for tests.
    const QString& PreviewedFile() const { return FPreviewed; }
    QString PreviewText() const;
    const QLabel& PreviewPicture() const { return *FPicture; }

    // Shows the preview of this file (called as the current file changes).
    void UpdatePreview(const QString& fileName);

private:
    void FilterChosen(const QString& filter);
    void SelectionChanged();

    QLabel* FPicture = nullptr;
    QLabel* FText = nullptr;
    QString FPreviewed;
};

// The save dialog: the three types Tavelix writes (JPEG, bitmap, PNG) and no default
// extension, so the name is saved as typed and its extension chooses the file type. Qt asks
// before replacing an existing file; that question is kept, as replacing a picture without a
// word loses it.
class TSavePictureDialog : public QFileDialog {
    Q_OBJECT

public:
    explicit TSavePictureDialog(QWidget* parent);

    // Starts the dialog with fileName, and with the type its extension names when the list has
    // it (a picture offered as "photo.png" lists the folder's PNG files).
    void Propose(const QString& fileName);
};

}  // namespace tavelix::ui
