// The main window: its state after creation, menus and toolbar, layout and size limits,
// every picture command with scripted answers, the display copy and the host services.
#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QHelpEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>
#include <QWheelEvent>
#include <QWindow>

#include <sys/stat.h>

#include <memory>

#include "codecfiles.h"
#include "engine/tavelix.h"
#include "raster/jpegimage.h"
#include "raster/orientation.h"
#include "scriptedprompts.h"
#include "testpictures.h"
#include "ui/Uabout.h"
#include "ui/Ucompression.h"
#include "ui/Utavelix.h"
#include "ui/filenames.h"
#include "ui/forms.h"
#include "ui/pictureview.h"
#include "ui/windowlayout.h"

using namespace tavelix;
using namespace tavelix::ui;
using namespace tavelix::ui::test;

namespace {

const QString OpenTitle = "open: Tavelix - Select pictures (1 to view and/or edit - 2 or more for autoshow)";
const QString TooLarge = "choice: 1280K Pixels maximum (e.g.1280x1024) [Reduce to fit|OK]";

// A picture another program put on the clipboard: PNG data, decoded when it is read, as the
// window system's clipboard gives it.
class TEncodedClipboard : public QMimeData {
public:
    explicit TEncodedClipboard(QByteArray png) : FPng(std::move(png)) {}
    QStringList formats() const override { return {"image/png", "application/x-qt-image"}; }
    bool hasFormat(const QString& mimeType) const override { return formats().contains(mimeType); }

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType) const override {
        if (mimeType == "image/png") return FPng;
        if (mimeType == "application/x-qt-image") return QImage::fromData(FPng);
        return {};
    }

private:
    QByteArray FPng;
};

QByteArray Png(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

// A PNG file of one pixel whose head says width x height.
QByteArray PngHead(quint32 width, quint32 height) {
    QByteArray png = Png(QImage(1, 1, QImage::Format_RGB32));  // the head chunk at byte 8
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = char(width >> (24 - 8 * i));
        png[20 + i] = char(height >> (24 - 8 * i));
    }
    quint32 crc = 0xFFFFFFFF;  // of the chunk's type and data
    for (int i = 12; i < 29; ++i) {
        crc ^= quint8(png[i]);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0u - (crc & 1)));
    }
    crc = ~crc;
    for (int i = 0; i < 4; ++i) png[29 + i] = char(crc >> (24 - 8 * i));
    return png;
}

// Four flat quarters, red, green, blue and white from the top left, row by row.
TBitmap Quarters(std::int32_t width, std::int32_t height) {
    TBitmap picture = Gradient(width, height);
    const TColor colours[] = {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255)};
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            picture.SetPixel(x, y, colours[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)]);
    return picture;
}

// Quarters(64, 48) turned a quarter clockwise, as a phone's portrait photo is shown: blue, red
// above white, green.
TBitmap TurnedQuarters() {
    TBitmap upright = Quarters(48, 64);
    const TColor turned[] = {RGB(0, 0, 255), RGB(255, 0, 0), RGB(255, 255, 255), RGB(0, 255, 0)};
    for (std::int32_t y = 0; y < 64; ++y)
        for (std::int32_t x = 0; x < 48; ++x) upright.SetPixel(x, y, turned[(y < 32 ? 0 : 2) + (x < 24 ? 0 : 1)]);
    return upright;
}

// The same size and, at the middle of each quarter, colours within tolerance (lossy files).
bool SameQuarters(const TBitmap& shown, const TBitmap& wanted, int tolerance) {
    if (shown.Width() != wanted.Width() || shown.Height() != wanted.Height()) return false;
    const std::int32_t w = wanted.Width(), h = wanted.Height();
    for (const auto& [x, y] : {std::pair{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}})
        for (int shift : {0, 8, 16})
            if (std::abs(int((shown.Pixel(x, y) >> shift) & 255) - int((wanted.Pixel(x, y) >> shift) & 255)) > tolerance)
                return false;
    return true;
}

}  // namespace

class TestWindow : public QObject {
    Q_OBJECT

    TForms FForms;
    std::unique_ptr<TScriptedPrompts> FPrompts;
    std::unique_ptr<QTemporaryDir> FFolder;

    TFtavelix& W() { return *FForms.Ftavelix; }
    TBitmap& Display() { return W().View().Picture(); }
    QString Path(const QString& name) const { return FFolder->filePath(name); }

    void Show() {
        W().show();
        QVERIFY(QTest::qWaitForWindowExposed(&W()));
        QCoreApplication::processEvents();
    }
    // Opens one file through the open command.
    void Open(const QString& fileName) {
        FPrompts->Open.push_back({fileName});
        W().openClick();
    }
    QString OpenNew(const QString& name, const TBitmap& picture) {
        const QString path = name.endsWith(".jpg") ? WriteJpeg(*FFolder, name, picture) : WriteBmp(*FFolder, name, picture);
        Open(path);
        return path;
    }
    int MenuBarHeight() { return W().menuBar()->isHidden() ? 0 : W().menuBar()->height(); }

private Q_SLOTS:
    void init() {
        QApplication::clipboard()->clear();
        FFolder = std::make_unique<QTemporaryDir>();
        QVERIFY(FFolder->isValid());
        FForms = CreateForms();
        FPrompts = std::make_unique<TScriptedPrompts>(W().PasswordStore());
        W().Prompts().SetTarget(FPrompts.get());
    }
    void cleanup() {
        FForms = TForms();
        FPrompts.reset();
        FFolder.reset();
    }

    // --- after creation -------------------------------------------------------------------

    void startsEmptyWithTheAboutBoxsCaption() {
        // The about box, created last, gave the first caption; every paint rebuilds it.
        QCOMPARE(W().windowTitle(), QString("Tavelix"));
        Show();
        QTRY_COMPARE(W().windowTitle(), QString("Tavelix- (1 x 1) "));
        QCOMPARE(ClientWidth(W()), 450);
        QCOMPARE(W().height() - MenuBarHeight(), 30 + 120);
        QCOMPARE(W().Ui.ToolBar->height(), 30);
        QCOMPARE(W().View().Width(), 1);
        QCOMPARE(W().View().Height(), 1);
        QCOMPARE(W().FileName(), QString());
        QVERIFY(W().PasswordStore().Empty());
        QVERIFY(!W().Ui.Reload1->isEnabled());
        QVERIFY(!W().Ui.btnreload->isEnabled());
        QVERIFY(!W().Ui.btnpaste->isEnabled());
        QVERIFY(W().Ui.Toolbaronoff->isChecked());
        QVERIFY(W().Ui.ShowHints1->isChecked());
        QVERIFY(!W().InAutoshowMode());
        QVERIFY(!W().Ui.autoTimer->isActive());
        QCOMPARE(W().Ui.autoTimer->interval(), 3000);
        QVERIFY(W().Ui.Panel1->isHidden());
        QCOMPARE(W().Ui.ProgressBar1->geometry(), QRect(75, 15, 299, 30));
        // the dialogs are made when first used; saves go at 90 before, the slider starts there
        QVERIFY(!W().findChild<QDialog*>());
        QCOMPARE(W().Ui.JpegQuality(), 90);
        QCOMPARE(W().CompressionDialog().Quality(), 90);
    }

    void menusHoldTheirItemsInOrder() {
        const auto captions = [](const QList<QAction*>& actions) {
            QStringList list;
            for (QAction* a : actions)
                list << (a->isSeparator() ? "-" : a->text() + (a->shortcut().isEmpty() ? "" : "\t" + a->shortcut().toString()));
            return list;
        };
        QCOMPARE(captions(W().menuBar()->actions()),
                 QStringList({"&File", "&Smaller", "&Reload", "&Larger", "&Unscramble (Assemble)", "&Options", "&About"}));
        QCOMPARE(captions(W().Ui.File1->actions()),
                 QStringList({"&Open\tCtrl+O", "Save &As ...", "Save &Scrambled As", "-", "&Paste\tCtrl+V", "&Clear", "-",
                              "Scramble on disk", "&Unscramble (Assemble) on disk", "-", "Reduce  to 1/4 on disk",
                              "Reduce to 1/16 on disk", "Reduce to 1/64 on disk", "-", "E&xit"}));
        QCOMPARE(captions(W().Ui.Options->actions()), QStringList({"Toolbar", "&Show Hints", "JPG Compression", "&Password",
                                                                "-", "Set to black && white"}));
        QCOMPARE(W().Ui.Open1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
        QCOMPARE(W().Ui.Paste1->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_V));
    }

    void toolbarHasNineButtonsWithGlyphsAndHints() {
        const QList<QAction*> actions = W().Ui.ToolBar->actions();
        const QStringList hints = {"Open",        "Paste",  "Save As ...", "Save Scrambled As ...", "10% Smaller",
                                   "Reload",      "10% Larger", "Unscramble=Assemble", "About"};
        QCOMPARE(actions.size(), hints.size());
        QCOMPARE(W().Ui.ImageList1.size(), 9);
        for (int i = 0; i < actions.size(); ++i) {
            QCOMPARE(actions[i]->toolTip(), hints[i]);
            QVERIFY(!actions[i]->icon().isNull());
            QWidget* button = W().Ui.ToolBar->widgetForAction(actions[i]);
            QVERIFY(button);
            QCOMPARE(button->size(), QSize(50, 26));
        }
        // The nine buttons fill the narrowest window exactly: none is pushed into an overflow menu.
        Show();
        for (QAction* action : actions) QVERIFY(W().Ui.ToolBar->widgetForAction(action)->isVisible());
        QCOMPARE(W().Ui.ToolBar->widgetForAction(actions.last())->geometry().right(), 449);
        for (QAction* action : W().menuBar()->actions()) QVERIFY(W().menuBar()->actionGeometry(action).right() < 450);
    }

    // --- layout -------------------------------------------------------------------------

    void pictureGrowsTheWindowAndIsCentred_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<QSize>("client");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("300 x 200 in a fresh window") << 300 << 200 << QSize(450, 230) << QPoint(75, 0);
        QTest::newRow("small: the window does not shrink") << 40 << 20 << QSize(450, 150) << QPoint(205, 50);
        QTest::newRow("wider than the screen allows") << 2000 << 100 << QSize(-1, 150) << QPoint(0, 10);
        QTest::newRow("taller than the screen allows") << 200 << 2000 << QSize(450, -1) << QPoint(125, 0);
    }
    void pictureGrowsTheWindowAndIsCentred() {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(QSize, client);
        QFETCH(QPoint, place);
        Show();
        OpenNew("p.bmp", Gradient(width, height));
        QCOMPARE(W().View().Width(), width);
        // -1: cut by the screen, whose size less 20 x 50 is the most the window takes outside
        if (client.width() >= 0)
            QCOMPARE(ClientWidth(W()), client.width());
        else
            QCOMPARE(W().frameGeometry().width(), 1280 - 20);
        if (client.height() >= 0)
            QCOMPARE(W().height() - MenuBarHeight(), client.height());
        else
            QCOMPARE(W().frameGeometry().height(), 1024 - 50);
        QCOMPARE(QPoint(W().View().Left, W().View().Top), place);
        QCOMPARE(W().Ui.PictureView->geometry(), QRect(place, QSize(width, height)));
        QCoreApplication::processEvents();
        // the scroll box offers to scroll where the picture is larger than the window
        if (height > 1000) QVERIFY(W().Ui.ScrollBox1->verticalScrollBar()->isVisible());
        if (width > 1000) QVERIFY(W().Ui.ScrollBox1->horizontalScrollBar()->isVisible());
        if (width < 1000 && height < 1000) QVERIFY(!W().Ui.ScrollBox1->verticalScrollBar()->isVisible());
        if (width < 1000) QVERIFY(!W().Ui.ScrollBox1->horizontalScrollBar()->isVisible());
    }

    void tinyPicturesKeepTheirPlace_data() {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::newRow("2 wide") << 2 << 50;
        QTest::newRow("1 high") << 50 << 1;
    }
    void tinyPicturesKeepTheirPlace() {
        QFETCH(int, width);
        QFETCH(int, height);
        OpenNew("a.bmp", Gradient(100, 60));
        const QPoint before(W().View().Left, W().View().Top);
        OpenNew("b.bmp", Gradient(width, height));
        QCOMPARE(W().View().Width(), width);
        QCOMPARE(QPoint(W().View().Left, W().View().Top), before);
    }

    void sizeLimitsHoldWhenTheWindowIsResized() {
        Show();
        W().resize(100, 50);
        QCOMPARE(W().width(), 450);
        QCOMPARE(W().height() - MenuBarHeight(), 120);
        W().resize(5000, 5000);
        QCOMPARE(W().frameGeometry().size(), QSize(1280 - 20, 1024 - 50));
    }

    void hidingTheToolbarCentresAgainWithoutShrinking() {
        Show();
        OpenNew("p.bmp", Gradient(300, 200));
        const QSize before = W().size();
        W().Ui.Toolbaronoff->trigger();
        QVERIFY(!W().Ui.Toolbaronoff->isChecked());
        QVERIFY(W().Ui.ToolBar->isHidden());
        QCOMPARE(W().size(), before);
        QCOMPARE(ToolbarHeight(W().Ui), 0);
        QCOMPARE(W().View().Top, 230 / 2 - 100);
        W().Ui.Toolbaronoff->trigger();
        QVERIFY(W().Ui.ToolBar->isVisible());
        QCOMPARE(W().View().Top, 0);
    }

    // --- open, reload ---------------------------------------------------------------------

    void openShowsTheFileAndEnablesReload() {
        Show();
        const TBitmap picture = Gradient(64, 48);
        const QString path = OpenNew("photo.jpg", picture);
        QCOMPARE(FPrompts->Log, QStringList({OpenTitle}));
        QCOMPARE(W().FileName(), QString("photo.jpg"));
        QCOMPARE(QtNames(W().SlideShow().Pictures()), QStringList({path}));
        QVERIFY(SameColours(Display(), ReadPicture(path)));
        // the display and the working copy are one picture, in one shared store
        QVERIFY(Display().SharesStoreWith(W().Working()));
        QVERIFY(W().Ui.Reload1->isEnabled());
        QVERIFY(W().Ui.btnreload->isEnabled());
        QCOMPARE(W().windowTitle(), QString("Tavelix-photo.jpg (64 x 48) "));
    }

    void openingSeveralPicturesStartsTheShow() {
        const QString a = WriteBmp(*FFolder, "a.bmp", Gradient(30, 20, 1));
        const QString b = WriteBmp(*FFolder, "b.bmp", Gradient(40, 10, 2));
        FPrompts->Open.push_back({a, b});
        W().openClick();
        QCOMPARE(QtNames(W().SlideShow().Pictures()), QStringList({a, b}));
        QVERIFY(W().InAutoshowMode());
        QCOMPARE(W().FileName(), QString("a.bmp"));
        QVERIFY(SameColours(W().Working(), Gradient(30, 20, 1)));
        W().Ui.PopupMenu1->close();
        W().StopAutoshow();
    }

    // Files the program is started with (a desktop's "Open with"): no open dialog, otherwise
    // as if they had been chosen in it.
    void filesGivenToTheProgramAreOpened() {
        Show();
        const QString one = WriteJpeg(*FFolder, "one.jpg", Gradient(64, 48, 1));
        W().OpenPictures({one});
        QVERIFY(FPrompts->Log.isEmpty());
        QCOMPARE(QtNames(W().SlideShow().Pictures()), QStringList({one}));
        QCOMPARE(W().windowTitle(), QString("Tavelix-one.jpg (64 x 48) "));
        QVERIFY(W().Ui.Reload1->isEnabled());
        QVERIFY(!W().InAutoshowMode());

        const QStringList three = {WriteBmp(*FFolder, "a.bmp", Gradient(30, 20, 2)),
                                   WriteBmp(*FFolder, "b.bmp", Gradient(40, 10, 3)), one};
        W().OpenPictures(three);
        QVERIFY(FPrompts->Log.isEmpty());
        QCOMPARE(QtNames(W().SlideShow().Pictures()), three);
        QVERIFY(W().InAutoshowMode());
        QCOMPARE(W().FileName(), QString("a.bmp"));
        W().Ui.PopupMenu1->close();
        W().StopAutoshow();

        W().OpenPictures({});  // nothing given changes nothing
        QCOMPARE(QtNames(W().SlideShow().Pictures()), three);
    }

    // A viewer's habits: Space and F3 step to the next picture of the folder (Backspace and F2
    // back), wrapping; Ctrl and the wheel zoom; files dropped on the window open as Open does.
    void stepsThroughTheFolderZoomsByWheelAndOpensDrops() {
        Show();
        const QString a = WriteBmp(*FFolder, "a 2.bmp", Gradient(30, 20, 1));
        const QString b = WriteJpeg(*FFolder, "a 10.jpg", Gradient(40, 10, 2));
        WriteBytes(*FFolder, "notes.txt", "not a picture");
        W().OpenPictures({a});
        QTRY_COMPARE(QGuiApplication::focusWindow(), W().windowHandle());  // where F2 and F3 go
        const struct {
            int Key;
            QString Shown;
        } steps[] = {{Qt::Key_Space, "a 10.jpg"}, {Qt::Key_F3, "a 2.bmp"}, {Qt::Key_Backspace, "a 10.jpg"},
                     {Qt::Key_F2, "a 2.bmp"}};
        auto key = [&](int code) {  // where the user's key arrives: the focused control
            QWidget* focused = QApplication::focusWidget();
            if (!focused || focused->window() != &W()) focused = W().focusWidget() ? W().focusWidget() : &W();
            QTest::keyClick(focused, Qt::Key(code));
        };
        for (const auto& step : steps) {
            key(step.Key);
            QCOMPARE(W().FileName(), step.Shown);
            QVERIFY(W().windowTitle().startsWith("Tavelix-" + step.Shown));
        }
        QVERIFY(FPrompts->Log.isEmpty());

        auto wheel = [&](int delta, Qt::KeyboardModifiers modifiers) {
            QWheelEvent event(QPointF(5, 5), W().Ui.PictureView->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, delta),
                              Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
            QApplication::sendEvent(W().Ui.PictureView, &event);
        };
        wheel(120, Qt::ControlModifier);
        QCOMPARE(Display().Width(), 33);  // 10 % larger
        wheel(-120, Qt::ControlModifier);
        QCOMPARE(Display().Width(), 30);
        wheel(120, Qt::NoModifier);  // scrolls
        QCOMPARE(Display().Width(), 30);

        auto drop = [&](const QStringList& files) {
            QMimeData data;
            QList<QUrl> urls;
            for (const QString& file : files) urls.append(QUrl::fromLocalFile(file));
            data.setUrls(urls);
            QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&W(), &enter);
            QVERIFY(enter.isAccepted());
            QDropEvent event(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&W(), &event);
            QVERIFY(event.isAccepted());
        };
        drop({b});
        QTRY_COMPARE(W().FileName(), QString("a 10.jpg"));
        QVERIFY(!W().InAutoshowMode());
        drop({a, b});
        QTRY_VERIFY(W().InAutoshowMode());
        QCOMPARE(QtNames(W().SlideShow().Pictures()), QStringList({a, b}));
        W().Ui.PopupMenu1->close();
        W().Ui.Next1->trigger();  // F3 in the show: its next picture, as before
        QCOMPARE(W().FileName(), QString("a 10.jpg"));
        QCOMPARE(QtNames(W().SlideShow().Pictures()), QStringList({a, b}));
        W().StopAutoshow();
    }

    // Files the program is started with that cannot be opened are left out, each named once.
    void filesThatCannotBeOpenedAreLeftOut() {
        const QString real = WriteBmp(*FFolder, "real.bmp", Gradient(20, 10));
        QVERIFY(QDir(FFolder->path()).mkdir("dir.jpg"));
        QVERIFY(::mkfifo(QFile::encodeName(Path("fifo.jpg")).constData(), 0600) == 0);
        QVERIFY(QFile::link(Path("nowhere.jpg"), Path("dangling.jpg")));
        QStringList problems;
        QCOMPARE(OpenableFiles({Path("missing.jpg"), real, Path("dir.jpg"), Path("fifo.jpg"), Path("dangling.jpg")},
                               problems),
                 QStringList({real}));
        QCOMPARE(problems, QStringList({Path("missing.jpg") + ": no such file",
                                        "cannot read " + Path("dir.jpg") + ": not a regular file but a folder",
                                        "cannot read " + Path("fifo.jpg") + ": not a regular file but a FIFO",
                                        "cannot open " + Path("dangling.jpg") + ": No such file or directory"}));
    }

    // What a message names is the file: "%1" in the expected text stands for its full name.
    void openThatChangesNothing_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");  // how the message begins
        QTest::newRow("cancelled") << QString() << QByteArray() << QString();
        QTest::newRow("missing file") << "gone.jpg" << QByteArray() << QString();
        QTest::newRow("damaged JPEG") << "broken.jpg" << QByteArray("not a picture at all")
                                      << "Error: wrong format: %1 is not a JPEG file, or a damaged one (JPEG-Fehler #";
        QTest::newRow("bitmap named .jpg") << "bmp.jpg" << QByteArray("BM\x10\0\0\0", 6)
                                           << "Error: wrong format: %1 is not a JPEG file, or a damaged one (JPEG-Fehler #";
        QTest::newRow("folder named .jpg") << "folder.jpg" << QByteArray()
                                           << "Error: cannot read %1: not a regular file but a folder";
        // A kilobyte that claims 3.6 billion pixels: refused before anything is allocated.
        QTest::newRow("1 KB claiming 60000 x 60000")
            << "huge.bmp" << ClaimingBitmap(60000, 60000)
            << "Error: %1 was not loaded: too large to show (60000 x 60000 pixels; at most 178,956,970 pixels are shown)";
        QTest::newRow("other type") << "notes.txt" << QByteArray("text")
                                    << "Tavelix opens .jpg, .bmp, .png, .heic, .heif or .webp files only";
    }
    void openThatChangesNothing() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        Show();
        OpenNew("first.bmp", Gradient(50, 40));
        FPrompts->Log.clear();
        const TBitmap before = Display();
        const QString caption = W().windowTitle();
        if (name.isEmpty()) {
            W().openClick();  // no answer: cancelled
        } else {
            const QString path = content.isEmpty() ? Path(name) : WriteBytes(*FFolder, name, content);
            if (name.startsWith("folder")) QVERIFY(QDir().mkdir(path));
            Open(path);
        }
        const QStringList messages = FPrompts->Messages();
        QCOMPARE(messages.size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty()) {
            const QString expected = message.contains("%1") ? message.arg(Path(name)) : message;
            QVERIFY2(messages.first().startsWith(expected), qPrintable(messages.first()));
        }
        QVERIFY(Display().SharesStoreWith(before));
        QCOMPARE(W().FileName(), QString("first.bmp"));
        QCOMPARE(W().windowTitle(), caption);
    }

    // A name with a line break (or another control character) keeps the caption on one line.
    // PNG, HEIC and WebP files open as the engine reads them (a HEIC photo upright, by the
    // orientation it records); a picture with alpha is shown over the window's black; and
    // each saves as a PNG file that reads back exactly, alpha included.
    void newTypesOpenAndSaveAsPng_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<TBitmap>("expected");
        QTest::addColumn<int>("tolerance");  // of a lossy file, at the middle of each quarter
        const tavelix::test::TPngSample png = tavelix::test::MakePng({"rgba8", 6, 8}, 40, 30, 7);
        QTest::newRow("PNG with alpha") << "alpha.png" << AsBytes(png.File) << png.Expected << 0;
        const TBitmap gradient = Gradient(50, 20, 3);
        QTest::newRow("lossless WebP") << "w.webp" << AsBytes(tavelix::test::MakeWebp(gradient, true)) << gradient << 0;
        QTest::newRow("HEIC turned upright") << "photo.HEIC" << AsBytes(tavelix::test::MakeHeic(Quarters(64, 48), 6))
                                             << TurnedQuarters() << 24;
    }
    void newTypesOpenAndSaveAsPng() {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(TBitmap, expected);
        QFETCH(int, tolerance);
        if (content.isEmpty()) QSKIP("libheif has no HEVC encoder here");
        Show();
        Open(WriteBytes(*FFolder, name, content));
        QCOMPARE(FPrompts->Messages(), QStringList());
        QCOMPARE(W().FileName(), name);
        QCOMPARE(QSize(Display().Width(), Display().Height()), QSize(expected.Width(), expected.Height()));
        if (tolerance == 0)
            QCOMPARE(tavelix::test::LargestDifference(Display(), expected), 0);
        else
            QVERIFY(SameQuarters(Display(), expected, tolerance));
        // the display copy: each pixel weighed by its opacity over black
        const QImage& copy = W().Ui.PictureView->DisplayCopy();
        const bool alpha = Display().Layout() == TPixelLayout::Bgra();
        for (int y = 0; y < expected.Height(); y += 7)
            for (int x = 0; x < expected.Width(); x += 5) {
                const std::uint8_t* pixel = Display().ScanLine(y) + std::size_t(x) * (alpha ? 4 : 3);
                const int a = alpha ? pixel[3] : 255;
                const QRgb wanted = qRgb((pixel[2] * a + 127) / 255, (pixel[1] * a + 127) / 255, (pixel[0] * a + 127) / 255);
                QCOMPARE(copy.pixel(x, y), wanted);
            }
        FPrompts->Save.push_back(Path("copy.png"));
        W().SaveasClick();
        // a type that is only read is offered as PNG
        QCOMPARE(FPrompts->Log.last(), "save: Save picture as | " + QFileInfo(name).completeBaseName() + ".png");
        QCOMPARE(W().FileName(), QString("copy.png"));
        QCOMPARE(tavelix::test::LargestDifference(ReadPicture(Path("copy.png")), Display()), 0);
    }

    // A JPEG photo is shown upright by the orientation its EXIF block records; scrambling and
    // assembling work on the pixels as the file stores them, as tavelix-cli does: the scrambled
    // file is the stored picture scrambled, and a turned scrambled file assembles.
    void jpegShownUprightScrambledAsStored() {
        const QString path = WriteBytes(*FFolder, "turned.jpg",
                                        WithOrientation(ReadAll(WriteJpeg(*FFolder, "t.jpg", Quarters(64, 48))), 6));
        const TBitmap stored = ReadPicture(path);  // decoded without the orientation
        Open(path);
        QCOMPARE(W().Orientation(), 6);
        QVERIFY(SameQuarters(Display(), TurnedQuarters(), 24));
        W().PasswordStore().Assign("password");
        FPrompts->Save.push_back(Path("scrambled.jpg"));
        W().SavescrambledAs1Click();
        TBitmap scrambled = stored;
        TTavelix::Scramble(&scrambled, "password", true);
        TJPEGImage expected;
        expected.Assign(scrambled);
        expected.SetQuality(90);
        expected.Encode();
        QCOMPARE(ReadAll(Path("scrambled.jpg")), AsBytes(expected.Data()));
        QCOMPARE(W().Orientation(), 1);  // shown as the new file holds it
        QCOMPARE(QSize(Display().Width(), Display().Height()), QSize(64, 48));
        // a scrambled file that records a turn: assembled as stored, then shown upright
        const QString turnedScrambled =
            WriteBytes(*FFolder, "ts.jpg", WithOrientation(ReadAll(Path("scrambled.jpg")), 6));
        Open(turnedScrambled);
        W().assemble1Click();
        TBitmap assembled = ReadPicture(turnedScrambled);
        TTavelix::Scramble(&assembled, "password", false);
        QVERIFY(SameColours(Display(), Oriented(assembled, 6)));
        QCOMPARE(W().Orientation(), 6);
    }

    // "Reduce to fit" reduces a turned photo as its file stores it, as tavelix-cli --fit does:
    // the same pixels, turned.
    void reduceToFitOfATurnedJpegMatchesTheStoredPicture() {
        const QString path = WriteBytes(*FFolder, "big.jpg",
                                        WithOrientation(ReadAll(WriteJpeg(*FFolder, "t.jpg", Gradient(1700, 900))), 6));
        TBitmap stored = ReadPicture(path);
        Open(path);
        FPrompts->Choice.push_back(0);
        W().SavescrambledAs1Click();
        QVERIFY(W().View().ReduceToFit(stored));
        QVERIFY(SameColours(W().Working(), Oriented(stored, 6)));
    }

    void captionShowsControlCharactersAsEscapes() {
        Show();
        OpenNew("two\nlines\t.bmp", Gradient(20, 10));
        QCOMPARE(W().windowTitle(), QString("Tavelix-two\\nlines\\t.bmp (20 x 10) "));
    }

    void reloadBringsBackTheFile() {
        const QString path = OpenNew("p.bmp", Gradient(100, 100));
        W().LargerClick();
        W().SettoBW1Click();
        W().reloadClick();
        QVERIFY(SameColours(Display(), ReadPicture(path)));
        QCOMPARE(W().View().Width(), 100);
    }

    // --- zoom -----------------------------------------------------------------------------

    void zoomRedrawsFromTheWorkingCopy() {
        OpenNew("p.bmp", Gradient(100, 100));
        const TBitmap working = W().Working();
        W().LargerClick();
        QCOMPARE(Display().Width(), 110);
        W().Ui.btnlarger->trigger();
        QCOMPARE(Display().Width(), 121);
        QCOMPARE(Display().Height(), 121);
        QVERIFY(W().Working().SharesStoreWith(working));  // untouched
        QCOMPARE(W().windowTitle(), QString("Tavelix-p.bmp (121 x 121) "));
        // drawn afresh from the 100 x 100 working copy, not from the 110 x 110 display
        const auto stretched = [](const TBitmap& source, int side) {
            TBitmap result = Gradient(side, side);
            result.Canvas().DrawStretched(Rect(0, 0, side, side), &source);
            return result;
        };
        QVERIFY(SameColours(Display(), stretched(working, 121)));
        QVERIFY(!SameColours(Display(), stretched(stretched(working, 110), 121)));
        W().SmallerClick();
        QCOMPARE(Display().Width(), 109);
        W().Ui.btnsmaller->trigger();
        QCOMPARE(Display().Width(), 98);
    }

    // --- saving -----------------------------------------------------------------------------

    void saveAsWritesTheDisplayAtTheChosenQuality() {
        OpenNew("p.bmp", Gradient(80, 60));
        W().LargerClick();
        FPrompts->Save.push_back(Path("out.jpg"));
        W().SaveasClick();
        QCOMPARE(FPrompts->Log.last(), QString("save: Save picture as | p.bmp"));
        QCOMPARE(W().FileName(), QString("out.jpg"));
        QCOMPARE(W().windowTitle(), QString("Tavelix-out.jpg (88 x 66) "));
        QVERIFY(SameColours(W().Working(), Display()));
        // exactly the file the JPEG picture makes at the dialog's quality, 90
        TJPEGImage expected;
        expected.Assign(Display());
        expected.SetQuality(90);
        expected.Encode();
        QFile file(Path("out.jpg"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray written = file.readAll();
        QCOMPARE(written, QByteArray(reinterpret_cast<const char*>(expected.Data().data()), qsizetype(expected.Data().size())));
        // the slider's position is read at each save
        W().CompressionDialog().TrackBar->setValue(1);
        FPrompts->Save.push_back(Path("low.jpg"));
        W().SaveasClick();
        QVERIFY(QFileInfo(Path("low.jpg")).size() < written.size() / 2);
    }

    // Saved onto a symbolic link (after the save dialog's question), the picture the link
    // names is replaced and the link stays.
    void saveAsThroughALinkReplacesThePictureItNames() {
        OpenNew("p.bmp", Gradient(40, 30, 1));
        const QString real = WriteBmp(*FFolder, "real.bmp", Gradient(10, 10, 2));
        QVERIFY(QFile::link(real, Path("link.bmp")));
        FPrompts->Save.push_back(Path("link.bmp"));
        W().SaveasClick();
        QVERIFY(QFileInfo(Path("link.bmp")).isSymLink());
        QVERIFY(SameColours(ReadPicture(real), Gradient(40, 30, 1)));
        QCOMPARE(FPrompts->Messages(), QStringList());
    }

    void saveAsAfterBlackAndWhiteSavesTheGrayPicture() {
        OpenNew("p.bmp", Gradient(40, 30));
        W().SettoBW1Click();
        QCOMPARE(Display().Layout(), TPixelLayout::Indexed(8));
        QCOMPARE(W().Working().Layout(), TPixelLayout::Rgb(24));  // not converted
        FPrompts->Save.push_back(Path("gray.bmp"));
        W().SaveasClick();
        const TBitmap saved = ReadPicture(Path("gray.bmp"));
        QCOMPARE(saved.Layout(), TPixelLayout::Indexed(8));
        QVERIFY(SameColours(saved, Display()));
        QVERIFY(SameColours(W().Working(), Display()));
    }

    // The display keeps the 8-bit gray format black and white gave it, so zooming afterwards
    // draws the colour working copy in gray levels; the working copy itself stays in colour,
    // and reloading shows colour again.
    void zoomAfterBlackAndWhiteStaysGray() {
        OpenNew("p.bmp", Gradient(40, 30));
        W().SettoBW1Click();
        W().LargerClick();
        QCOMPARE(Display().Width(), 44);
        QCOMPARE(Display().Layout(), TPixelLayout::Indexed(8));
        for (const TRGBQuad& entry : Display().Palette()) {
            QCOMPARE(entry.Red, entry.Green);
            QCOMPARE(entry.Green, entry.Blue);
        }
        QVERIFY(SameColours(W().Working(), Gradient(40, 30)));
        W().reloadClick();
        QVERIFY(SameColours(Display(), Gradient(40, 30)));
    }

    // The conversion lets pending events run while it works. Nothing the user does meanwhile
    // may run inside it: no menu item, button, key or clip drag.
    void noCommandRunsDuringBlackAndWhite() {
        Show();
        W().activateWindow();
        QTRY_VERIFY(W().isActiveWindow());
        const TBitmap original = Gradient(300, 200);
        OpenNew("p.bmp", original);
        QApplication::clipboard()->setImage(ToQImage(Gradient(20, 10, 3)));
        FPrompts->Open.push_back({WriteBmp(*FFolder, "other.bmp", Gradient(50, 40, 2))});
        FPrompts->Save.push_back(Path("saved.bmp"));
        FPrompts->Question.push_back(true);
        FPrompts->Log.clear();
        QStringList enabledInside;
        bool ran = false;
        QTimer::singleShot(0, &W(), [&] {
            ran = true;
            for (QAction* action : W().Ui.ToolBar->actions() + W().menuBar()->actions() + W().Ui.File1->actions() +
                                       W().Ui.Options->actions())
                if (action->isEnabled() && !action->isSeparator() && !action->menu())
                    enabledInside << action->objectName();
            for (const char* keys : {"Ctrl+O", "Ctrl+V", "Alt+L", "Alt+R", "F1"})
                QTest::keySequence(&W(), QKeySequence(keys));
            W().Ui.btnopen->trigger();
            W().Ui.Saveas->trigger();
            W().Ui.Clear1->trigger();
            QWidget* view = W().Ui.PictureView;
            QTest::mousePress(W().windowHandle(), Qt::LeftButton, {}, view->mapTo(&W(), QPoint(10, 10)));
            QTest::mouseMove(W().windowHandle(), view->mapTo(&W(), QPoint(100, 80)));
            QTest::mouseRelease(W().windowHandle(), Qt::LeftButton, {}, view->mapTo(&W(), QPoint(100, 80)));
            QApplication::clipboard()->setText("no picture any more");
        });
        W().Ui.Settoblackwhite1->trigger();
        QVERIFY(ran);
        QCOMPARE(enabledInside, QStringList());
        QCOMPARE(FPrompts->Log, QStringList());
        // the picture in view is the gray original, under its own name
        QCOMPARE(Display().Layout(), TPixelLayout::Indexed(8));
        QCOMPARE(QSize(Display().Width(), Display().Height()), QSize(300, 200));
        QCOMPARE(W().FileName(), QString("p.bmp"));
        QCOMPARE(W().windowTitle(), QString("Tavelix-p.bmp (300 x 200) "));
        QVERIFY(SameColours(W().Working(), original));
        // afterwards every command is there again as its own state says, also where that
        // changed meanwhile
        QVERIFY(W().Ui.Open1->isEnabled() && W().Ui.btnopen->isEnabled() && W().Ui.Reload1->isEnabled());
        QVERIFY(!W().Ui.Paste1->isEnabled() && !W().Ui.btnpaste->isEnabled());
        QTest::keyClick(&W(), Qt::Key_L, Qt::AltModifier);
        QCOMPARE(Display().Width(), 330);
    }

    void saveThatWritesNothing_data() {
        QTest::addColumn<bool>("scrambled");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        for (bool scrambled : {false, true}) {
            const char* kind = scrambled ? "scrambled, " : "";
            QTest::addRow("%scancelled", kind) << scrambled << QString() << QString();
            QTest::addRow("%sno extension", kind) << scrambled << "photo"
                                                  << "Not saved: the file name must end in .jpg, .bmp or .png";
            QTest::addRow("%sother extension", kind) << scrambled << "photo.gif"
                                                     << "Not saved: the file name must end in .jpg, .bmp or .png";
            QTest::addRow("%sWebP, only read", kind)
                << scrambled << "photo.webp"
                << "Not saved: Tavelix opens .webp pictures but does not write them; saving is JPEG, BMP or PNG "
                   "as the name says (.jpg, .bmp or .png)";
            QTest::addRow("%sfolder missing", kind) << scrambled << "no/such/folder/p.bmp" << "Error:";
        }
    }
    void saveThatWritesNothing() {
        QFETCH(bool, scrambled);
        QFETCH(QString, name);
        QFETCH(QString, message);
        OpenNew("p.bmp", Gradient(60, 40));
        W().PasswordStore().Assign("password");
        const TBitmap display = Display();
        const TBitmap working = W().Working();
        FPrompts->Log.clear();
        if (!name.isEmpty()) FPrompts->Save.push_back(Path(name));
        scrambled ? W().SavescrambledAs1Click() : W().SaveasClick();
        const QStringList messages = FPrompts->Messages();
        if (message.isEmpty()) {
            QCOMPARE(messages, QStringList());
        } else {
            QCOMPARE(messages.size(), 1);
            QVERIFY2(messages.first().startsWith(message), qPrintable(messages.first()));
        }
        QVERIFY(SameColours(Display(), display));  // never left scrambled
        QCOMPARE(W().FileName(), QString("p.bmp"));
        if (scrambled) QVERIFY(SameColours(W().Working(), working));
        QCOMPARE(QDir(FFolder->path()).entryList(QDir::Files), QStringList({"p.bmp"}));
    }

    void saveScrambledAsksThePasswordBeforeTheFileName() {
        const TBitmap original = Gradient(100, 80);
        OpenNew("p.bmp", original);
        FPrompts->Log.clear();
        FPrompts->Password.push_back("correct horse");
        FPrompts->Save.push_back(Path("s.bmp"));
        W().Ui.btnsavescrambledas->trigger();
        QCOMPARE(FPrompts->Log, QStringList({"password", "save: Save picture scrambled as | p.bmp"}));
        QCOMPARE(W().PasswordStore().View(), std::string_view("correct horse"));
        // shown, kept and saved scrambled
        QVERIFY(!SameColours(Display(), original));
        TBitmap expected = original;
        TTavelix::Scramble(&expected, "correct horse", true);
        QVERIFY(SameColours(Display(), expected));
        QVERIFY(SameColours(ReadPicture(Path("s.bmp")), expected));
        QVERIFY(SameColours(W().Working(), expected));
        QCOMPARE(W().windowTitle(), QString("Tavelix-s.bmp (100 x 80) "));
        // assembled with the password in force, without asking again
        FPrompts->Log.clear();
        W().assemble1Click();
        QCOMPARE(FPrompts->Log, QStringList());
        QVERIFY(SameColours(Display(), original));
    }

    void cancelledQuestionsStopTheScrambledSave() {
        const TBitmap original = Gradient(50, 50);
        OpenNew("p.bmp", original);
        FPrompts->Log.clear();
        // cancelled password: no file name is asked
        FPrompts->Password.push_back(std::nullopt);
        W().SavescrambledAs1Click();
        QCOMPARE(FPrompts->Log, QStringList({"password"}));
        QVERIFY(W().PasswordStore().Empty());
        // password given, file name cancelled: the password stays, the picture is untouched
        FPrompts->Log.clear();
        FPrompts->Password.push_back("12345678");
        W().SavescrambledAs1Click();
        QCOMPARE(FPrompts->Log, QStringList({"password", "save: Save picture scrambled as | p.bmp"}));
        QCOMPARE(W().PasswordStore().View(), std::string_view("12345678"));
        QVERIFY(SameColours(Display(), original));
        // the password is not asked again
        FPrompts->Log.clear();
        W().SavescrambledAs1Click();
        QCOMPARE(FPrompts->Log, QStringList({"save: Save picture scrambled as | p.bmp"}));
    }

    void pixelLimitRefusesScramblingAndAssembling_data() {
        QTest::addColumn<QSize>("display");
        QTest::addColumn<QSize>("working");
        QTest::addColumn<bool>("refused");
        QTest::newRow("1280 x 1024 passes") << QSize(1280, 1024) << QSize(1280, 1024) << false;
        QTest::newRow("1281 x 1023 passes") << QSize(1281, 1023) << QSize(1281, 1023) << false;
        QTest::newRow("1281 x 1024 refused") << QSize(1281, 1024) << QSize(1281, 1024) << true;
        // assembling works on the working copy: over the limit behind a smaller view
        QTest::newRow("working copy over the limit") << QSize(700, 500) << QSize(1400, 1000) << true;
    }
    void pixelLimitRefusesScramblingAndAssembling() {
        QFETCH(QSize, display);
        QFETCH(QSize, working);
        QFETCH(bool, refused);
        W().Working() = Gradient(working.width(), working.height());
        Display().CopyFrom(Gradient(display.width(), display.height(), 9));
        const TBitmap before = Display();
        W().assemble1Click();
        if (refused) {
            QCOMPARE(FPrompts->Log, QStringList({TooLarge}));
            QVERIFY(Display().SharesStoreWith(before));
        } else {
            QCOMPARE(FPrompts->Log, QStringList({"password"}));  // cancelled there
        }
        FPrompts->Log.clear();
        W().SavescrambledAs1Click();
        const bool displayOver = std::int64_t{display.width()} * display.height() > PixelLimit;
        QCOMPARE(FPrompts->Log, displayOver ? QStringList({TooLarge}) : QStringList({"password"}));
    }

    // "Reduce to fit" in the pixel limit's box: the working copy at the largest size within the
    // limit becomes the picture in view, and Save Scrambled As can follow.
    void reduceToFitMakesThePictureScramblable() {
        W().Working() = Gradient(2000, 1000);
        Display().CopyFrom(W().Working());
        FPrompts->Choice.push_back(0);
        W().SavescrambledAs1Click();
        QCOMPARE(FPrompts->Log, QStringList({TooLarge}));
        QCOMPARE(W().Working().Width(), 1619);
        QCOMPARE(W().Working().Height(), 809);
        QCOMPARE(Display().Width(), 1619);
        FPrompts->Log.clear();
        W().SavescrambledAs1Click();
        QCOMPARE(FPrompts->Log, QStringList({"password"}));
    }

    void unscrambleAssemblesTheWorkingCopyAtItsOwnSize() {
        const TBitmap original = Gradient(100, 100);
        TBitmap scrambled = original;
        TTavelix::Scramble(&scrambled, "password", true);
        OpenNew("s.bmp", scrambled);
        W().LargerClick();
        W().LargerClick();
        FPrompts->Password.push_back("password");
        W().Ui.btnassemble->trigger();
        QCOMPARE(FPrompts->Log.last(), QString("password"));
        QCOMPARE(Display().Width(), 100);
        QVERIFY(SameColours(Display(), original));
        QVERIFY(SameColours(W().Working(), original));
        // from a smaller view too, and the caption names the size shown
        W().SmallerClick();
        W().assemble1Click();
        QCOMPARE(Display().Width(), 100);
        QCOMPARE(W().windowTitle(), QString("Tavelix-s.bmp (100 x 100) "));
    }

    // --- paste and clear ----------------------------------------------------------------------

    void pasteTakesTheClipboardPicture() {
        OpenNew("p.bmp", Gradient(30, 30));
        QVERIFY(W().Ui.Reload1->isEnabled());
        const TBitmap picture = Gradient(70, 50, 4);
        QApplication::clipboard()->setImage(ToQImage(picture));
        QVERIFY(W().Ui.btnpaste->isEnabled());  // followed the clipboard
        W().Ui.btnpaste->trigger();
        QVERIFY(SameColours(Display(), picture));
        QVERIFY(SameColours(W().Working(), picture));
        QCOMPARE(W().FileName(), QString("noname.bmp"));
        QVERIFY(!W().Ui.Reload1->isEnabled());
        QVERIFY(!W().Ui.btnreload->isEnabled());
        QCOMPARE(W().windowTitle(), QString("Tavelix-noname.bmp (70 x 50) "));
        W().SaveasClick();
        QCOMPARE(FPrompts->Log.last(), QString("save: Save picture as | noname.bmp"));
    }

    // Pictures come from the clipboard up to the size a file may have (512 MB of pixels);
    // Qt's own reader would stop at 128 MB. A refusal says why.
    void pasteDecodesUpToTheSizeOfFiles_data() {
        QTest::addColumn<QByteArray>("png");
        QTest::addColumn<QSize>("shown");
        QTest::addColumn<QStringList>("messages");
        QImage large(5800, 5800, QImage::Format_RGB32);  // 134.6 MB decoded
        large.fill(qRgb(10, 200, 30));
        large.setPixel(5799, 5799, qRgb(255, 0, 0));
        QTest::newRow("over Qt's limit") << Png(large) << QSize(5800, 5800) << QStringList();
        QTest::newRow("over the limit of files")
            << PngHead(12000, 12000) << QSize(30, 30)
            << QStringList({"Paste Error: the picture on the clipboard (12000 x 12000 pixels) is too large; "
                            "Tavelix holds pictures of up to 512 MB"});
        QTest::newRow("not a picture") << QByteArray("no picture") << QSize(30, 30) << QStringList({"Paste Error"});
    }
    void pasteDecodesUpToTheSizeOfFiles() {
        QFETCH(QByteArray, png);
        QFETCH(QSize, shown);
        QFETCH(QStringList, messages);
        OpenNew("p.bmp", Gradient(30, 30));
        QApplication::clipboard()->setMimeData(new TEncodedClipboard(png));
        W().PasteClick();
        QCOMPARE(FPrompts->Messages(), messages);
        QCOMPARE(QSize(Display().Width(), Display().Height()), shown);
        QCOMPARE(QSize(W().Working().Width(), W().Working().Height()), shown);
        if (messages.isEmpty()) {
            QCOMPARE(Display().Pixel(0, 0), RGB(10, 200, 30));
            QCOMPARE(Display().Pixel(5799, 5799), RGB(255, 0, 0));
        }
        QApplication::clipboard()->clear();
    }

    void pasteShowsTransparencyOverWhite() {
        QImage image(4, 2, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        image.setPixel(0, 0, qRgba(255, 0, 0, 255));
        QApplication::clipboard()->setImage(image);
        W().PasteClick();
        QCOMPARE(Display().Pixel(0, 0), RGB(255, 0, 0));
        QCOMPARE(Display().Pixel(3, 1), RGB(255, 255, 255));
    }

    void pasteFollowsWhatTheClipboardHolds() {
        OpenNew("p.bmp", Gradient(30, 30));
        const TBitmap before = Display();
        QApplication::clipboard()->setText("only text");
        QVERIFY(!W().Ui.btnpaste->isEnabled());
        W().PasteClick();  // nothing happens
        QVERIFY(Display().SharesStoreWith(before));
        QCOMPARE(FPrompts->Messages(), QStringList());
        W().File1Click();
        QVERIFY(!W().Ui.Paste1->isEnabled());
        QApplication::clipboard()->setImage(ToQImage(Gradient(5, 5)));
        W().File1Click();
        QVERIFY(W().Ui.Paste1->isEnabled());
        W().Ui.btnpaste->setEnabled(false);
        W().FormMouseMove();
        QVERIFY(W().Ui.btnpaste->isEnabled());
    }

    void clearEmptiesThePicture() {
        Show();
        OpenNew("p.bmp", Gradient(300, 200));
        W().Clear1Click();
        QCOMPARE(Display().Width(), 1);
        QCOMPARE(Display().Height(), 1);
        QCOMPARE(W().View().Width(), 1);
        QCOMPARE(W().Working().Width(), 1);
        QCOMPARE(W().Working().Height(), 1);
        QCOMPARE(W().FileName(), QString());
        QVERIFY(!W().Ui.Reload1->isEnabled());
        QCOMPARE(W().windowTitle(), QString("Tavelix- (1 x 1) "));
    }

    // --- dialogs and keys -------------------------------------------------------------------

    void dialogItemsShowTheirDialogs() {
        W().Ui.Password1->trigger();
        W().Ui.JPGCompression1->trigger();
        W().Ui.About1->trigger();
        W().Ui.btnabout->trigger();
        QCOMPARE(FPrompts->Log, QStringList({"password", "modal: fcompression", "modal: fabout", "modal: fabout"}));
    }

    void keysReachTheWindowsCommands() {
        Show();
        W().activateWindow();
        QTRY_VERIFY(W().isActiveWindow());
        OpenNew("p.bmp", Gradient(100, 100));
        FPrompts->Log.clear();
        // keys go to the focused control; the window sees them first
        QWidget* focused = QApplication::focusWidget() ? QApplication::focusWidget() : &W();
        QCOMPARE(focused->window(), static_cast<QWidget*>(&W()));
        QTest::keyClick(focused, Qt::Key_F1);
        QCOMPARE(FPrompts->Log, QStringList({"modal: fabout"}));
        QTRY_COMPARE(QGuiApplication::focusWindow(), W().windowHandle());  // where shortcuts go
        QTest::keyClick(&W(), Qt::Key_L, Qt::AltModifier);  // "&Larger" on the menu bar
        QCOMPARE(Display().Width(), 110);
        QTest::keyClick(&W(), Qt::Key_S, Qt::AltModifier);  // "&Smaller"
        QCOMPARE(Display().Width(), 99);
        QTest::keyClick(&W(), Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(FPrompts->Log.last(), OpenTitle);
        QTest::keyClick(&W(), Qt::Key_F, Qt::AltModifier);
        QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(W().Ui.File1));
        W().Ui.File1->close();
    }

    void hintsSwitchOff() {
        Show();
        QWidget* button = W().Ui.ToolBar->widgetForAction(W().Ui.btnopen);
        const QPoint middle = button->rect().center();
        QHelpEvent on(QEvent::ToolTip, middle, button->mapToGlobal(middle));
        QApplication::sendEvent(button, &on);
        QTRY_COMPARE(QToolTip::text(), QString("Open"));
        QToolTip::hideText();
        QTRY_VERIFY(!QToolTip::isVisible());
        W().Ui.ShowHints1->trigger();
        QVERIFY(!W().Ui.ShowHints1->isChecked());
        QVERIFY(!W().Ui.ToolBar->ShowHint);
        QHelpEvent off(QEvent::ToolTip, middle, button->mapToGlobal(middle));
        QApplication::sendEvent(button, &off);
        QTest::qWait(50);
        QVERIFY(!QToolTip::isVisible());
        W().Ui.ShowHints1->trigger();
        QVERIFY(W().Ui.ToolBar->ShowHint);
    }

    void exitClosesTheWindow() {
        Show();
        W().Ui.Exit1->trigger();
        QVERIFY(!W().isVisible());
    }

    // --- the display ------------------------------------------------------------------------

    void displayCopyIsRebuiltOnlyWhenThePictureChanges() {
        Show();
        OpenNew("p.bmp", Gradient(200, 150));
        W().repaint();
        const int rebuilds = W().Ui.PictureView->Rebuilds();
        for (int i = 0; i < 5; ++i) W().Ui.PictureView->repaint();
        QCOMPARE(W().Ui.PictureView->Rebuilds(), rebuilds);
        // one command, however many changes it makes to the picture, one rebuild
        W().LargerClick();
        W().repaint();
        QCOMPARE(W().Ui.PictureView->Rebuilds(), rebuilds + 1);
        QCOMPARE(W().Ui.PictureView->DisplayCopy().size(), QSize(220, 165));
    }

    // A window that cannot grow further is not resized back and forth at each zoom step,
    // which would repaint all of it: only the picture area is painted.
    void zoomStepPaintsOnlyThePictureArea() {
        Show();
        OpenNew("big.bmp", Gradient(1280, 1024));
        W().activateWindow();  // (a later activation would repaint all of the window)
        QTRY_VERIFY(W().isActiveWindow());
        QCoreApplication::processEvents();
        struct TPaints : QObject {
            QList<QObject*> Painted;
            bool eventFilter(QObject* watched, QEvent* event) override {
                if (event->type() == QEvent::Paint) Painted.append(watched);
                return false;
            }
        } paints;
        QSignalSpy resized(W().windowHandle(), &QWindow::widthChanged);
        qApp->installEventFilter(&paints);
        W().LargerClick();
        QTRY_VERIFY(paints.Painted.contains(W().Ui.PictureView));  // the update that follows
        QTest::qWait(50);
        qApp->removeEventFilter(&paints);
        QCOMPARE(resized.count(), 0);
        QVERIFY(!paints.Painted.contains(W().Ui.ToolBar));
        QVERIFY(!paints.Painted.contains(W().menuBar()));
    }

    // Small pictures are painted from a whole display copy, large ones by converting the part
    // painted: the same pixels either way.
    void pictureShownPixelForPixel_data() {
        QTest::addColumn<QSize>("size");
        QTest::newRow("from a display copy") << QSize(64, 48);
        QTest::newRow("converted part by part") << QSize(2100, 2050);
    }
    void pictureShownPixelForPixel() {
        QFETCH(QSize, size);
        QCOMPARE(qint64(size.width()) * size.height() > TPictureView::WholeCopyMostPixels, size.width() > 64);
        if (qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
            QCOMPARE(W().devicePixelRatioF(), qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());
        Show();
        const TBitmap picture = Gradient(size.width(), size.height(), 3);
        OpenNew("p.bmp", picture);
        QCoreApplication::processEvents();
        // the top-left 64 x 48 screen pixels of the picture area
        const int ratio = int(W().devicePixelRatioF());
        const auto grab = [&] {
            QImage image =
                W().Ui.PictureView->grab(QRect(0, 0, 64 / ratio, 48 / ratio)).toImage().convertToFormat(QImage::Format_RGB32);
            image.setDevicePixelRatio(1);
            return image;
        };
        const QImage shown = grab();
        QCOMPARE(shown.size(), QSize(64, 48));  // screen pixels, whatever the scale
        QCOMPARE(shown, ToQImage(picture).copy(0, 0, 64, 48));
        // the area changed by a frame drawn over the picture is updated on its own
        W().View().DrawClipFrame(Display().Canvas(), Rect(5, 5, 20, 15));
        W().Ui.PictureView->PictureAreaChanged(QRect(5, 5, 16, 11));
        const QImage framed = grab();
        QCOMPARE(framed, ToQImage(Display()).copy(0, 0, 64, 48));
        QVERIFY(framed != shown);
        if (size.width() == 64) QCOMPARE(W().Ui.PictureView->grab().size(), QSize(64, 48));  // all of it
    }

    // --- the host ---------------------------------------------------------------------------

    void hostServesTheEngine() {
        const TSize screen = W().View().Host().ScreenSize();
        QCOMPARE(screen.Width, 1280 * int(W().devicePixelRatioF()));
        QCOMPARE(screen.Height, 1024 * int(W().devicePixelRatioF()));
        W().View().Host().ShowMessage("Error: wrong format");
        QCOMPARE(FPrompts->Log, QStringList({"message: Error: wrong format"}));
        W().View().Host().ProcessMessages();
    }
};

std::unique_ptr<QObject> MakeTestWindow() { return std::make_unique<TestWindow>(); }

#include "tst_window.moc"
