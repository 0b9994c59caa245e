// Clipping with the mouse, driven by real mouse events on the picture: the frame while the
// button is held, the caption, the question and the clip, and that no path leaves a frame
// pixel behind.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeySequence>
#include <QMenu>
#include <QPaintEvent>
#include <QTest>

#include <memory>

#include "engine/tavelix.h"
#include "ui/pictureview.h"
#include "windowfixture.h"

using namespace tavelix;
using namespace tavelix::ui;
using namespace tavelix::ui::test;

namespace {

const QString Question = "question: Take clip as new picture?";

TBitmap Part(const TBitmap& picture, int left, int top, int width, int height) {
    TBitmap part;
    part.SetSize(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) part.SetPixel(x, y, picture.Pixel(left + x, top + y));
    return part;
}

}  // namespace

class TestClipping : public QObject {
    Q_OBJECT

    TWindowFixture F;
    const TBitmap FOriginal = Gradient(200, 100, 5);

    TFtavelix& W() { return F.W(); }
    QWidget* View() { return W().Ui.PictureView; }

    // The picture of 200 x 100 in view, in a shown window.
    void Start() {
        QVERIFY(F.Show());
        F.OpenNew("p.bmp", FOriginal);
        QCOMPARE(W().View().Width(), 200);
        QCoreApplication::processEvents();  // painted once before the drag
        F.Prompts->Log.clear();
    }
    // The picture with one clip frame inverted, as the display shows it during a drag.
    TBitmap WithFrame(const TBitmap& picture, const TRect& frame) {
        TBitmap framed = picture;
        W().View().DrawClipFrame(framed.Canvas(), frame);
        return framed;
    }
    // The mouse on the window at a point given on the picture. (Through the window: Qt Test
    // takes a point (0, 0) on a widget for its centre.)
    QPoint OnWindow(QPoint at) { return View()->mapTo(&W(), at); }
    void Press(QPoint at) { QTest::mousePress(W().windowHandle(), Qt::LeftButton, {}, OnWindow(at)); }
    void Move(QPoint to) { QTest::mouseMove(W().windowHandle(), OnWindow(to)); }
    void Release(QPoint at) { QTest::mouseRelease(W().windowHandle(), Qt::LeftButton, {}, OnWindow(at)); }

private Q_SLOTS:
    void init() { F.Init(); }
    void cleanup() { F.Done(); }

    void dragClipsTheFramedPart_data() {
        QTest::addColumn<QPoint>("from");
        QTest::addColumn<QPoint>("to");
        QTest::newRow("down and to the right") << QPoint(10, 20) << QPoint(110, 70);
        QTest::newRow("up and to the left") << QPoint(110, 70) << QPoint(10, 20);
        QTest::newRow("down and to the left") << QPoint(110, 20) << QPoint(10, 70);
    }
    void dragClipsTheFramedPart() {
        QFETCH(QPoint, from);
        QFETCH(QPoint, to);
        Start();
        const int rebuilds = W().Ui.PictureView->Rebuilds();
        Press(from);
        Move((from + to) / 2);
        Move(to);
        // one frame from the start corner to the pointer, drawn into the displayed picture
        // and into the display copy, which was updated in place
        QCOMPARE(W().windowTitle(), QString("Clipsize 100 x 50"));
        const TBitmap framed = WithFrame(FOriginal, Rect(from.x(), from.y(), to.x(), to.y()));
        QVERIFY(SameColours(F.Display(), framed));
        QCOMPARE(W().Ui.PictureView->DisplayCopy(), ToQImage(framed));
        QCOMPARE(W().Ui.PictureView->Rebuilds(), rebuilds);

        F.Prompts->Question.push_back(true);
        Release(to);
        QCOMPARE(F.Prompts->Log, QStringList({Question}));
        // columns 10 to 109 and rows 20 to 69: the right column and bottom row stay out
        const TBitmap clip = Part(FOriginal, 10, 20, 100, 50);
        QVERIFY(SameColours(F.Display(), clip));
        QVERIFY(SameColours(W().Working(), clip));
        QCOMPARE(W().windowTitle(), QString("Tavelix-p.bmp (100 x 50) "));
        QVERIFY(!W().ClipDrag().Dragging());
        // the clip is the working copy: zooming starts from it, reloading brings the file back
        W().LargerClick();
        QCOMPARE(W().View().Width(), 110);
        W().reloadClick();
        QVERIFY(SameColours(F.Display(), FOriginal));
    }

    // Every way a drag can end leaves the picture exactly as it was unless a clip is taken.
    void noPathLeavesAFramePixel_data() {
        QTest::addColumn<QList<QPoint>>("path");  // press, moves, release
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QSize>("result");
        const QSize whole(200, 100);
        QTest::newRow("cancelled") << QList<QPoint>{{10, 20}, {60, 40}, {110, 70}, {110, 70}} << false << true << whole;
        QTest::newRow("through the top-left pixel, cancelled")
            << QList<QPoint>{{15, 15}, {0, 0}, {30, 30}, {30, 30}} << false << true << whole;
        QTest::newRow("through the top-left pixel, taken")
            << QList<QPoint>{{15, 15}, {0, 0}, {30, 30}, {30, 30}} << true << true << QSize(15, 15);
        QTest::newRow("ending on the top-left pixel, taken")
            << QList<QPoint>{{40, 30}, {20, 10}, {0, 0}, {0, 0}} << true << true << QSize(40, 30);
        QTest::newRow("horizontal") << QList<QPoint>{{10, 20}, {60, 20}, {110, 20}, {110, 20}} << true << false << whole;
        QTest::newRow("vertical") << QList<QPoint>{{10, 20}, {10, 50}, {10, 70}, {10, 70}} << true << false << whole;
        // a line first (its outline inverts some pixels twice), then a frame
        QTest::newRow("through a line") << QList<QPoint>{{10, 20}, {10, 60}, {50, 60}, {50, 60}} << false << true
                                        << whole;
        QTest::newRow("back to the start") << QList<QPoint>{{10, 20}, {60, 60}, {10, 20}, {10, 20}} << true << false
                                           << whole;
        // the pointer leaves the picture at once: only the start corner was seen
        QTest::newRow("no second drag-over") << QList<QPoint>{{195, 50}, {260, 50}, {260, 50}} << true << false << whole;
        // outside the picture the frame keeps its last corner seen over it
        QTest::newRow("released outside") << QList<QPoint>{{10, 20}, {110, 70}, {300, 200}, {300, 200}} << true << true
                                          << QSize(100, 50);
        QTest::newRow("within the drag distance") << QList<QPoint>{{10, 20}, {12, 21}, {12, 21}} << true << false
                                                  << whole;
    }
    void noPathLeavesAFramePixel() {
        QFETCH(QList<QPoint>, path);
        QFETCH(bool, answer);
        QFETCH(bool, asked);
        QFETCH(QSize, result);
        Start();
        F.Prompts->Question.push_back(answer);
        const int rebuilds = W().Ui.PictureView->Rebuilds();
        Press(path.first());
        for (int i = 1; i + 1 < path.size(); ++i) {
            Move(path[i]);
            // the display copy follows the picture part by part, never rebuilt whole
            QCOMPARE(W().Ui.PictureView->DisplayCopy(), ToQImage(F.Display()));
            QCOMPARE(W().Ui.PictureView->Rebuilds(), rebuilds);
        }
        Release(path.last());
        QCOMPARE(F.Prompts->Log, asked ? QStringList({Question}) : QStringList());
        QCOMPARE(QSize(F.Display().Width(), F.Display().Height()), result);
        if (result == QSize(200, 100))
            QVERIFY(SameColours(F.Display(), FOriginal));
        else  // the clip starts at the smaller corner
            QVERIFY(SameColours(F.Display(), Part(FOriginal, path[3].x() < path[0].x() ? path[3].x() : path[0].x(),
                                                  path[3].y() < path[0].y() ? path[3].y() : path[0].y(),
                                                  result.width(), result.height())));
        QCOMPARE(W().Ui.PictureView->DisplayCopy(), ToQImage(F.Display()));
        QCOMPARE(W().windowTitle(), QString("Tavelix-p.bmp (%1 x %2) ").arg(result.width()).arg(result.height()));
    }

    // A command given while the button is down (by its key; the mouse is busy) ends the drag
    // first: the frame goes with nothing asked, so the command neither sees nor keeps a frame
    // pixel, and what follows of the drag does nothing. The result is the command's alone.
    void commandDuringADragEndsItFirst_data() {
        QTest::addColumn<QString>("command");  // a key, or the name of a menu item
        QTest::addColumn<bool>("answer");      // to a question, were one asked
        for (const char* command : {"Alt+L", "Alt+S", "Alt+R", "Saveas", "Settoblackwhite1"})
            QTest::newRow(command) << QString(command) << false;
        for (const char* command : {"Ctrl+V", "Clear1"}) QTest::newRow(command) << QString(command) << true;
    }
    void commandDuringADragEndsItFirst() {
        QFETCH(QString, command);
        QFETCH(bool, answer);
        const auto run = [&] {
            if (command.contains('+'))
                QTest::keySequence(&W(), QKeySequence(command));
            else
                W().findChild<QAction*>(command)->trigger();
        };
        Start();
        W().activateWindow();
        QTRY_VERIFY(W().isActiveWindow());
        QApplication::clipboard()->setImage(ToQImage(Gradient(140, 84, 9)));
        F.Prompts->Save = {F.Path("plain.bmp"), F.Path("dragged.bmp")};
        run();  // without a drag: what the command gives
        const TBitmap expected = F.Display();
        W().reloadClick();
        QVERIFY(SameColours(F.Display(), FOriginal));

        F.Prompts->Log.clear();
        F.Prompts->Question.push_back(answer);
        Press({10, 20});
        Move({60, 40});
        Move({110, 70});
        QVERIFY(W().ClipDrag().Dragging());
        run();
        QVERIFY(!W().ClipDrag().Dragging());
        QVERIFY(!W().windowTitle().startsWith("Clipsize"));
        Move({120, 80});
        Release({120, 80});
        QCOMPARE(F.Prompts->Log.filter("question:"), QStringList());
        QCOMPARE(QSize(F.Display().Width(), F.Display().Height()), QSize(expected.Width(), expected.Height()));
        QVERIFY(SameColours(F.Display(), expected));
        QCOMPARE(W().Ui.PictureView->DisplayCopy(), ToQImage(F.Display()));
        if (command == "Saveas") QVERIFY(SameColours(ReadPicture(F.Path("dragged.bmp")), FOriginal));
    }

    // A second drag starts afresh: its start corner is where its own button went down.
    void eachDragHasItsOwnStart() {
        Start();
        Press({10, 10});
        Move({50, 50});
        Release({50, 50});  // cancelled
        Press({100, 60});
        Move({150, 90});
        QCOMPARE(W().windowTitle(), QString("Clipsize 50 x 30"));
        Release({150, 90});
        QVERIFY(SameColours(F.Display(), FOriginal));
    }

    // A frame belongs to the picture it was drawn on. A picture changed under a drag other
    // than by a command of the menus or keys (here a handler called as such) ends the drag;
    // what follows of it neither draws nor erases a frame on the new picture, nor asks.
    void pictureChangedUnderADragEndsIt() {
        Start();
        Press({10, 20});
        Move({60, 40});
        Move({110, 70});
        W().LargerClick();
        QVERIFY(!W().ClipDrag().Dragging());
        QCOMPARE(W().windowTitle(), QString("Tavelix-p.bmp (220 x 110) "));
        Move({120, 80});
        Release({120, 80});
        QCOMPARE(F.Prompts->Log, QStringList());
        const TBitmap afterDrag = F.Display();
        W().reloadClick();
        W().LargerClick();
        QVERIFY(SameColours(afterDrag, F.Display()));
        QCOMPARE(W().Ui.PictureView->DisplayCopy(), ToQImage(F.Display()));
    }

    // A drag-over step repaints the two frames' outlines, not the rectangle around them.
    void dragStepRepaintsOnlyTheFrames() {
        QVERIFY(F.Show());
        F.OpenNew("big.bmp", Gradient(800, 600));
        QCoreApplication::processEvents();
        struct TPaints : QObject {
            QWidget* Watched = nullptr;
            QRegion Painted;
            bool eventFilter(QObject* watched, QEvent* event) override {
                if (watched == Watched && event->type() == QEvent::Paint)
                    Painted += static_cast<QPaintEvent*>(event)->region();
                return false;
            }
        } paints;
        paints.Watched = View();
        Press({10, 10});
        Move({400, 300});
        QCoreApplication::processEvents();
        View()->installEventFilter(&paints);
        Move({700, 500});
        QTRY_VERIFY(!paints.Painted.isEmpty());
        View()->removeEventFilter(&paints);
        qint64 area = 0;
        for (const QRect& part : paints.Painted) area += qint64(part.width()) * part.height();
        // two outlines of at most 2 * (691 + 491) pixels each, against 480,000 for the picture
        QVERIFY2(area <= 2 * 2 * (691 + 491), qPrintable(QString::number(area)));
        QVERIFY(paints.Painted.contains(QPoint(700, 500)));
        QVERIFY(paints.Painted.contains(QPoint(400, 300)));
        F.Prompts->Question.push_back(false);
        Release({700, 500});
    }

    void noDragInAutoshowMode() {
        Start();
        W().Ui.ContextMenu = W().Ui.PopupMenu1;
        Press({10, 20});
        Move({60, 40});
        Move({110, 70});
        QVERIFY(!W().ClipDrag().Dragging());
        QVERIFY(SameColours(F.Display(), FOriginal));
        Release({110, 70});
        QCOMPARE(F.Prompts->Log, QStringList());
        W().Ui.ContextMenu = nullptr;
    }
};

std::unique_ptr<QObject> MakeTestClipping() { return std::make_unique<TestClipping>(); }

#include "tst_clipping.moc"
