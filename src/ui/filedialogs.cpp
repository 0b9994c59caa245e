#include "ui/filedialogs.h"

#include <QFileInfo>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QVBoxLayout>

#include "ui/preview.h"

namespace tavelix::ui {

namespace {

constexpr int PreviewSide = 200;

// The dialog's list of files: Qt's own model, which it creates for itself.
QFileSystemModel* FileModel(QFileDialog& dialog) { return dialog.findChild<QFileSystemModel*>(); }

}  // namespace

const QString TOpenPictureDialog::AllFilesFilter = QStringLiteral("All Files (*.*)");

TOpenPictureDialog::TOpenPictureDialog(QWidget* parent) : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog);  // first: every later setting is for Qt's dialog
    setObjectName("Opd1");
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);
    // JPEG and bitmaps are shown at first, as ever; every type Tavelix reads is one choice away.
    setNameFilters({"JPG and Bitmaps (*.jpg *.bmp)", "JPG (*.jpg)", "Bitmaps (*.bmp)",
                    "Pictures (*.jpg *.bmp *.png *.heic *.heif *.webp)", "PNG (*.png)", "HEIC (*.heic *.heif)",
                    "WebP (*.webp)", AllFilesFilter});

    // The preview: a fixed column at the right of the dialog's own grid.
    auto* column = new QWidget(this);
    column->setObjectName("preview");
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(8, 0, 0, 0);
    FPicture = new QLabel(column);
    FPicture->setObjectName("previewPicture");
    FPicture->setFixedSize(PreviewSide, PreviewSide);
    FPicture->setAlignment(Qt::AlignCenter);
    FPicture->setFrameShape(QFrame::StyledPanel);
    FText = new QLabel(column);
    FText->setObjectName("previewText");
    FText->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    FText->setWordWrap(true);
    FText->setFixedWidth(PreviewSide);
    layout->addWidget(FPicture);
    layout->addWidget(FText);
    layout->addStretch(1);
    if (auto* grid = qobject_cast<QGridLayout*>(this->layout()))
        grid->addWidget(column, 0, grid->columnCount(), grid->rowCount(), 1);

    resize(860, 480);  // room for the list beside the preview

    connect(this, &QFileDialog::currentChanged, this, &TOpenPictureDialog::UpdatePreview);
    connect(this, &QFileDialog::filterSelected, this, &TOpenPictureDialog::FilterChosen);
    // A name typed into the name field only selects it in the list: follow the selection too.
    if (auto* list = findChild<QListView*>("listView"); list && list->selectionModel())
        connect(list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &TOpenPictureDialog::SelectionChanged);
    FilterChosen(selectedNameFilter());
}

QString TOpenPictureDialog::PreviewText() const { return FText->text(); }

void TOpenPictureDialog::UpdatePreview(const QString& fileName) {
    if (fileName == FPreviewed) return;
    FPreviewed = fileName;
    const TPreview preview = MakePreview(fileName, FPicture->size());
    FPicture->setPixmap(preview.Image.isNull() ? QPixmap() : QPixmap::fromImage(preview.Image));
    FText->setText(preview.Text);
}

void TOpenPictureDialog::SelectionChanged() {
    const QStringList chosen = selectedFiles();
    UpdatePreview(chosen.size() == 1 ? chosen.first() : QString());
}

// "*.*" would show only names with a dot in them; all files means all files.
void TOpenPictureDialog::FilterChosen(const QString& filter) {
    if (filter != AllFilesFilter) return;
    if (QFileSystemModel* model = FileModel(*this)) model->setNameFilters({QStringLiteral("*")});
}

TSavePictureDialog::TSavePictureDialog(QWidget* parent) : QFileDialog(parent) {
    setOption(QFileDialog::DontUseNativeDialog);
    setObjectName("Spd1");
    setFileMode(QFileDialog::AnyFile);
    setAcceptMode(QFileDialog::AcceptSave);
    setNameFilters({"JPG (*.jpg)", "Bitmaps (*.bmp)", "PNG (*.png)"});
    setDefaultSuffix(QString());
    resize(760, 480);
}

void TSavePictureDialog::Propose(const QString& fileName) {
    const QString pattern = QStringLiteral("(*.%1)").arg(QFileInfo(fileName).suffix().toLower());
    for (const QString& filter : nameFilters())
        if (filter.endsWith(pattern)) selectNameFilter(filter);
    selectFile(fileName);
}

}  // namespace tavelix::ui
