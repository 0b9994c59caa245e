// The file dialogs: Qt's own dialog driven as a user drives it (typed names, the type list,
// the question before replacing a file), and the preview column with its limits.
#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "codecfiles.h"
#include "testpictures.h"
#include "ui/Utavelix.h"
#include "ui/filedialogs.h"
#include "ui/forms.h"
#include "ui/preview.h"
#include "ui/prompts.h"

using namespace tavelix;
using namespace tavelix::ui;
using namespace tavelix::ui::test;

namespace {

// Runs action once a modal widget accepted by isOpen is up; closes what is open after a
// deadline, so a failing test never hangs in exec().
void WhenModal(std::function<bool(QWidget*)> isOpen, std::function<void(QWidget*)> action) {
    auto* timer = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, [timer, isOpen, action, started] {
        QWidget* open = QApplication::activeModalWidget();
        if (open && isOpen(open)) {
            timer->stop();
            timer->deleteLater();
            action(open);
        } else if (started->elapsed() > 5000) {
            timer->stop();
            timer->deleteLater();
            if (open) open->close();
        }
    });
    timer->start(10);
}

template <typename Dialog>
void WhenDialog(std::function<void(Dialog&)> action) {
    WhenModal([](QWidget* w) { return qobject_cast<Dialog*>(w) != nullptr; },
              [action](QWidget* w) { action(*qobject_cast<Dialog*>(w)); });
}

QLineEdit* NameField(QFileDialog& dialog) { return dialog.findChild<QLineEdit*>("fileNameEdit"); }

// The names the dialog's list shows for its folder.
QStringList ListedNames(QFileDialog& dialog) {
    QStringList names;
    auto* list = dialog.findChild<QListView*>("listView");
    if (!list || !list->model()) return names;
    const QModelIndex root = list->rootIndex();
    for (int row = 0; row < list->model()->rowCount(root); ++row)
        names.append(list->model()->index(row, 0, root).data().toString());
    names.sort();
    return names;
}

// A JPEG file whose frame header claims another size (baseline: SOF0).
QByteArray WithClaimedSize(QByteArray jpeg, int width, int height) {
    const qsizetype at = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    if (at < 0) return {};
    jpeg[at + 5] = char(height >> 8);
    jpeg[at + 6] = char(height & 0xFF);
    jpeg[at + 7] = char(width >> 8);
    jpeg[at + 8] = char(width & 0xFF);
    return jpeg;
}

}  // namespace

class TestFileDialogs : public QObject {
    Q_OBJECT

    TForms FForms;
    std::unique_ptr<QTemporaryDir> FFolder;
    TFtavelix& W() { return *FForms.Ftavelix; }

private Q_SLOTS:
    void init() {
        FFolder = std::make_unique<QTemporaryDir>();
        QVERIFY(FFolder->isValid());
        FForms = CreateForms();
    }
    void cleanup() {
        FForms = TForms();
        FFolder.reset();
    }

    // The dialogs are driven through controls Qt names itself; fail loudly if they go.
    void qtsOwnControlsAreStillThere() {
        for (QFileDialog* dialog : {static_cast<QFileDialog*>(&W().Ui.Opd1()), static_cast<QFileDialog*>(&W().Ui.Spd1())}) {
            QVERIFY(NameField(*dialog));
            QVERIFY(dialog->findChild<QListView*>("listView"));
            QVERIFY(dialog->findChild<QComboBox*>("fileTypeCombo"));
            QVERIFY(dialog->findChild<QFileSystemModel*>());
        }
        QVERIFY(W().Ui.Opd1().findChild<QWidget*>("preview"));
    }

    void dialogsHaveTheirTypesAndModes() {
        TOpenPictureDialog& open = W().Ui.Opd1();
        QVERIFY(open.testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(open.fileMode(), QFileDialog::ExistingFiles);
        QCOMPARE(open.acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(open.nameFilters(),
                 QStringList({"JPG and Bitmaps (*.jpg *.bmp)", "JPG (*.jpg)", "Bitmaps (*.bmp)",
                              "Pictures (*.jpg *.bmp *.png *.heic *.heif *.webp)", "PNG (*.png)",
                              "HEIC (*.heic *.heif)", "WebP (*.webp)", "All Files (*.*)"}));
        QCOMPARE(open.selectedNameFilter(), QString("JPG and Bitmaps (*.jpg *.bmp)"));
        TSavePictureDialog& save = W().Ui.Spd1();
        QVERIFY(save.testOption(QFileDialog::DontUseNativeDialog));
        QCOMPARE(save.acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(save.nameFilters(), QStringList({"JPG (*.jpg)", "Bitmaps (*.bmp)", "PNG (*.png)"}));
        QCOMPARE(save.defaultSuffix(), QString());
        QVERIFY(!save.testOption(QFileDialog::DontConfirmOverwrite));  // Qt asks before replacing
    }

    void typeListDecidesWhatIsListed() {
        for (const char* name : {"a.jpg", "B.BMP", "README", "c.png", "d.Heic", "e.webp", "f.gif"})
            WriteBytes(*FFolder, name, "x");
        TOpenPictureDialog& open = W().Ui.Opd1();
        open.setDirectory(FFolder->path());
        open.show();
        QTRY_COMPARE(ListedNames(open), QStringList({"B.BMP", "a.jpg"}));
        auto* types = open.findChild<QComboBox*>("fileTypeCombo");
        const auto choose = [types](int index) {  // as the user does
            types->setCurrentIndex(index);
            Q_EMIT types->activated(index);
            Q_EMIT types->textActivated(types->itemText(index));
        };
        choose(1);
        QTRY_COMPARE(ListedNames(open), QStringList({"a.jpg"}));
        choose(3);  // every type Tavelix reads
        QTRY_COMPARE(ListedNames(open), QStringList({"B.BMP", "a.jpg", "c.png", "d.Heic", "e.webp"}));
        choose(7);  // "All Files (*.*)": names without a dot too
        QTRY_COMPARE(ListedNames(open), QStringList({"B.BMP", "README", "a.jpg", "c.png", "d.Heic", "e.webp", "f.gif"}));
        open.hide();
    }

    void severalTypedNamesAreOpened() {
        const QString a = WriteBmp(*FFolder, "a.bmp", Gradient(10, 10));
        const QString b = WriteJpeg(*FFolder, "b.jpg", Gradient(20, 10));
        W().Ui.Opd1().setDirectory(FFolder->path());
        QString title;
        WhenDialog<TOpenPictureDialog>([&](TOpenPictureDialog& dialog) {
            title = dialog.windowTitle();
            NameField(dialog)->setText("\"a.bmp\" \"b.jpg\"");
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        TDialogPrompts prompts(W());
        const QStringList chosen = prompts.PicturesToOpen("Pick");
        QCOMPARE(title, QString("Pick"));
        QCOMPARE(chosen, QStringList({a, b}));
    }

    void openCommandThroughTheRealDialog() {
        const QString a = WriteBmp(*FFolder, "a.bmp", Gradient(33, 22));
        W().Ui.Opd1().setDirectory(FFolder->path());
        QString title;
        WhenDialog<TOpenPictureDialog>([&](TOpenPictureDialog& dialog) {
            title = dialog.windowTitle();
            QTest::keyClicks(NameField(dialog), "a.bmp");
            QTest::keyClick(NameField(dialog), Qt::Key_Return);
        });
        W().openClick();
        QCOMPARE(title, QString("Tavelix - Select pictures (1 to view and/or edit - 2 or more for autoshow)"));
        QCOMPARE(W().FileName(), QString("a.bmp"));
        QCOMPARE(W().View().Width(), 33);
        // the name completion's list went with the dialog
        for (QCompleter* completer : W().Ui.Opd1().findChildren<QCompleter*>())
            QVERIFY(!completer->popup()->isVisible());
    }

    void saveNameIsTakenAsTyped() {
        W().Ui.Spd1().setDirectory(FFolder->path());
        QString proposed, type;
        WhenDialog<TSavePictureDialog>([&](TSavePictureDialog& dialog) {
            proposed = NameField(dialog)->text();
            type = dialog.selectedNameFilter();
            NameField(dialog)->setText("photo");
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        TDialogPrompts prompts(W());
        QCOMPARE(prompts.SaveName("Save picture as", "noname.bmp"), FFolder->filePath("photo"));
        QCOMPARE(proposed, QString("noname.bmp"));
        QCOMPARE(type, QString("Bitmaps (*.bmp)"));  // the type of the proposed name
    }

    // Qt asks before a file is replaced; "No" keeps the dialog open and the file untouched.
    void saveAsksBeforeReplacingAFile() {
        const QString existing = WriteBytes(*FFolder, "old.jpg", "keep me");
        W().Ui.Spd1().setDirectory(FFolder->path());
        bool asked = false;
        WhenDialog<TSavePictureDialog>([&](TSavePictureDialog& dialog) {
            NameField(dialog)->setText("old.jpg");
            WhenDialog<QMessageBox>([&](QMessageBox& question) {
                asked = true;
                question.button(QMessageBox::No)->click();
                QTimer::singleShot(0, &dialog, &QDialog::reject);
            });
            QMetaObject::invokeMethod(&dialog, "accept");
        });
        TDialogPrompts prompts(W());
        QCOMPARE(prompts.SaveName("Save picture as", ""), QString());
        QVERIFY(asked);
        QCOMPARE(ReadAll(existing), QByteArray("keep me"));
    }

    // --- preview ------------------------------------------------------------------------------

    void previewShowsWhatTavelixOpens_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QSize>("image");  // empty: no picture
        QTest::addColumn<QString>("text");
        const QTemporaryDir scratch;
        const auto jpeg = [&](int w, int h) { return ReadAll(WriteJpeg(scratch, "t.jpg", Gradient(w, h))); };
        const auto bmp = [&](int w, int h) { return ReadAll(WriteBmp(scratch, "t.bmp", Gradient(w, h))); };
        QTest::newRow("JPEG shrunk to the box") << "a.jpg" << jpeg(640, 480) << QSize(200, 150)
                                                << "640 x 480\nJPEG Image File";
        QTest::newRow("JPEG turned by its EXIF block") << "t.jpg" << WithOrientation(jpeg(64, 48), 6) << QSize(48, 64)
                                                       << "48 x 64\nJPEG Image File";
        QTest::newRow("upper-case bitmap") << "B.BMP" << bmp(300, 600) << QSize(100, 200) << "300 x 600\nBitmap";
        QTest::newRow("small picture not enlarged") << "s.bmp" << bmp(10, 7) << QSize(10, 7) << "10 x 7\nBitmap";
        QTest::newRow("damaged JPEG") << "d.jpg" << QByteArray("garbage") << QSize()
                                      << "No preview: not a picture Tavelix can read";
        QTest::newRow("JPEG named .bmp") << "j.bmp" << jpeg(8, 8) << QSize()
                                         << "No preview: not a picture Tavelix can read";
        QTest::newRow("empty bitmap") << "e.bmp" << QByteArray() << QSize() << "Empty picture";
        QTest::newRow("empty JPEG") << "e.jpg" << QByteArray() << QSize() << "No preview: the file is empty";
        QTest::newRow("huge claimed size") << "h.jpg" << WithClaimedSize(jpeg(16, 16), 60000, 60000) << QSize()
                                           << "60000 x 60000\nJPEG Image File\nToo large to preview";
        const tavelix::test::TPngSample png = tavelix::test::MakePng({"rgba8", 6, 8}, 400, 100, 3);
        QTest::newRow("PNG with alpha") << "alpha.png" << AsBytes(png.File) << QSize(200, 50) << "400 x 100\nPNG";
        QTest::newRow("damaged PNG") << "d.png" << QByteArray("x") << QSize()
                                     << "No preview: not a picture Tavelix can read";
        QTest::newRow("empty WebP") << "e.webp" << QByteArray() << QSize() << "No preview: the file is empty";
        QTest::newRow("WebP") << "w.webp" << AsBytes(tavelix::test::MakeWebp(Gradient(30, 20), false)) << QSize(30, 20)
                              << "30 x 20\nWebP";
        // upright, as it is shown: stored 64 x 48, turned a quarter
        if (tavelix::test::CanMakeHeic())
            QTest::newRow("HEIC") << "h.heic" << AsBytes(tavelix::test::MakeHeic(Gradient(64, 48), 6)) << QSize(48, 64)
                                  << "48 x 64\nHEIC";
        QTest::newRow("other type") << "p.gif" << QByteArray("x") << QSize() << "";
        QTest::newRow(".jpeg is not opened") << "p.jpeg" << jpeg(8, 8) << QSize() << "";
    }
    void previewShowsWhatTavelixOpens() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QSize, image);
        QFETCH(QString, text);
        const QString path = WriteBytes(*FFolder, name, content);
        QElapsedTimer timer;
        timer.start();
        const TPreview preview = MakePreview(path, QSize(200, 200));
        QCOMPARE(preview.Text, text);
        QCOMPARE(preview.Image.isNull() ? QSize() : preview.Image.size(), image);
        QCOMPARE(preview.Image.hasAlphaChannel(), name.startsWith("alpha"));
    }

    void previewRefusesFilesAndPicturesOverItsLimits() {
        const QString path = WriteBmp(*FFolder, "p.bmp", Gradient(100, 100));
        TPreviewLimits small;
        small.MaxFileBytes = 1000;
        QCOMPARE(MakePreview(path, QSize(50, 50), small).Text, QString("File too large to preview"));
        TPreviewLimits few;
        few.MaxPixels = 9999;
        const TPreview refused = MakePreview(path, QSize(50, 50), few);
        QVERIFY(refused.Image.isNull());
        QCOMPARE(refused.Text, QString("100 x 100\nBitmap\nToo large to preview"));
        QVERIFY(!MakePreview(path, QSize(50, 50)).Image.isNull());
    }

    void previewColumnFollowsTheSelection() {
        const QString path = WriteJpeg(*FFolder, "pic.jpg", Gradient(64, 32));
        TOpenPictureDialog& open = W().Ui.Opd1();
        open.setDirectory(FFolder->path());
        open.show();
        QTRY_COMPARE(ListedNames(open), QStringList({"pic.jpg"}));
        QTest::keyClicks(NameField(open), "pic.jpg");  // a typed name only selects it
        QTRY_COMPARE(open.PreviewedFile(), path);
        QCOMPARE(open.PreviewText(), QString("64 x 32\nJPEG Image File"));
        QCOMPARE(open.PreviewPicture().pixmap().size(), QSize(64, 32));
        open.hide();
    }
};

std::unique_ptr<QObject> MakeTestFileDialogs() { return std::make_unique<TestFileDialogs>(); }

#include "tst_filedialogs.moc"
