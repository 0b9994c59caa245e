// The autoshow: entering and leaving it, the stepping rules (Loop, At Random, the ends of the
// list) through every way forward and back, the delay, Autosize and Autoassemble, the keys
// of both modes, and what a broken file does to a show.
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QTest>
#include <QTimer>
#include <QToolBar>

#include <memory>

#include "engine/tavelix.h"
#include "raster/orientation.h"
#include "raster/pngcodec.h"
#include "ui/pictureview.h"
#include "ui/prompts.h"
#include "ui/windowlayout.h"
#include "windowfixture.h"

using namespace tavelix;
using namespace tavelix::ui;
using namespace tavelix::ui::test;

class TestAutoshow : public QObject {
    Q_OBJECT

    TWindowFixture F;

    TFtavelix& W() { return F.W(); }

    // count pictures p0.bmp, p1.bmp ... of 200 x 100, each of its own colours.
    QStringList Pictures(int count, int width = 200, int height = 100) {
        QStringList names;
        for (int i = 0; i < count; ++i) names << F.Write(QString("p%1.bmp").arg(i), Gradient(width, height, i + 1));
        return names;
    }
    // Where the window system places windows, the show fills the screen and opens its menu at
    // once; on Wayland once the compositor has made it full screen.
    static bool PlacesWindows() { return !QGuiApplication::platformName().startsWith("wayland"); }
    // Opens them (the show starts), waits for the show to fill the screen and open its menu,
    // and closes the menu.
    void StartShow(const QStringList& names) {
        F.Open(names);
        QVERIFY(W().InAutoshowMode());
        QTRY_COMPARE(W().size(), QSize(1280, 1024));
        QTRY_VERIFY(W().Ui.PopupMenu1->isVisible());
        CloseMenu();
    }
    void CloseMenu() {
        if (W().Ui.PopupMenu1->isVisible()) W().Ui.PopupMenu1->close();
        QTRY_VERIFY(!QApplication::activePopupWidget());
    }
    // The widget a key goes to: the focused control of the window; while the application
    // has none, the control that last had the focus in the window (as Qt gives keys then), or
    // the window.
    QWidget* KeyTarget() {
        QWidget* focused = QApplication::focusWidget();
        if (focused && focused->window() == &W()) return focused;
        return W().focusWidget() ? W().focusWidget() : &W();
    }
    void Key(Qt::Key key) { QTest::keyClick(KeyTarget(), key); }
    // One step of the user or the timer, by its letter.
    void Step(QChar step) {
        switch (step.unicode()) {
        case 'n': W().nextClick(); break;
        case 'p': W().previousClick(); break;
        case '>': Key(Qt::Key_Right); break;
        case '<': Key(Qt::Key_Left); break;
        case 'e': Key(Qt::Key_Return); break;
        case '3': Key(Qt::Key_F3); break;
        case '2': Key(Qt::Key_F2); break;
        case 'c': QTest::mouseClick(W().windowHandle(), Qt::LeftButton, {}, QPoint(300, 300)); break;
        case 't': W().autoTimerTimer(); break;
        default: QFAIL("no such step");
        }
    }

private Q_SLOTS:
    void init() { F.Init(); }
    void cleanup() { F.Done(); }

    void startTurnsTheWindowIntoTheShow() {
        QVERIFY(F.Show());
        const QStringList names = Pictures(3);
        F.Open(names);
        QVERIFY(W().InAutoshowMode());
        QCOMPARE(W().Ui.ContextMenu, W().Ui.PopupMenu1);
        if (PlacesWindows()) {
            QVERIFY(W().windowFlags().testFlag(Qt::FramelessWindowHint));
            QVERIFY(W().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        } else {
            QVERIFY(W().isFullScreen());
        }
        QVERIFY(W().isVisible());
        QVERIFY(W().menuBar()->isHidden());
        QVERIFY(W().Ui.ToolBar->isHidden());
        QTRY_COMPARE(W().size(), QSize(1280, 1024));
        if (PlacesWindows()) QCOMPARE(W().geometry().topLeft(), QPoint(0, 0));
        QCOMPARE(W().Ui.ScrollBox1->geometry(), QRect(0, 0, 1280, 1024));
        QCOMPARE(W().Ui.ScrollBox1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(W().Ui.ScrollBox1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(W().Ui.autoTimer->isActive());
        QCOMPARE(W().Ui.autoTimer->interval(), 3000);
        QVERIFY(W().Ui.AtRandom1->isEnabled());  // more than two pictures
        // the first picture, fitted to the screen ("Autosize" is checked) and centred
        QCOMPARE(W().SlideShow().Index(), 0);
        QCOMPARE(W().FileName(), QString("p0.bmp"));
        QVERIFY(SameColours(W().Working(), Gradient(200, 100, 1)));
        QCOMPARE(QSize(W().View().Width(), W().View().Height()), QSize(1280, 640));
        QTRY_COMPARE(QPoint(W().View().Left, W().View().Top), QPoint(0, 192));
        // the menu, at the centre of the screen
        QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(W().Ui.PopupMenu1));
        // (on Wayland the compositor places the menu, and Qt's idea of its place may be off)
        if (PlacesWindows()) QCOMPARE(W().Ui.PopupMenu1->pos(), QPoint(640, 512));
        CloseMenu();
    }

    void popupMenuHoldsItsItems() {
        QStringList captions;
        for (QAction* action : W().Ui.PopupMenu1->actions()) {
            QString caption = action->isSeparator() ? "-" : action->text();
            if (action->isCheckable()) caption += action->isChecked() ? " [x]" : " [ ]";
            if (!action->shortcut().isEmpty()) caption += "\t" + action->shortcut().toString();
            captions << caption;
        }
        QCOMPARE(captions, QStringList({"Autoshow: <ESC> toggles the menu", "Stop the autoshow", "-", "At Random [ ]",
                                        "Loop [x]", "Autoassemble [ ]", "Autosize [x]", "-", "Delay:", "0.5 sec [ ]",
                                        "1 sec [ ]", "2 sec [ ]", "3 sec [x]", "5 sec [ ]", "10 sec [ ]", "Manual [ ]",
                                        "-", "<--- Previous\tF2", "---> Next\tF3"}));
    }

    void stopGivesBackAnEmptyNormalWindow() {
        QVERIFY(F.Show());
        StartShow(Pictures(2));
        W().Ui.Stop1->trigger();
        QVERIFY(!W().InAutoshowMode());
        QCOMPARE(W().Ui.ContextMenu, static_cast<QMenu*>(nullptr));
        QVERIFY(W().isVisible());
        QVERIFY(!W().windowFlags().testFlag(Qt::FramelessWindowHint));
        QVERIFY(!W().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!W().menuBar()->isHidden());
        QVERIFY(!W().Ui.ToolBar->isHidden());
        QVERIFY(!W().Ui.autoTimer->isActive());
        QCOMPARE(ClientWidth(W()), 450);
        QCOMPARE(ClientHeight(W()), 120);
        QCOMPARE(W().View().Width(), 1);
        QCOMPARE(W().Working().Width(), 1);
        QCOMPARE(W().FileName(), QString());
        QCOMPARE(W().windowTitle(), QString("Tavelix- (1 x 1) "));
        QVERIFY(!W().Ui.Reload1->isEnabled());
        QVERIFY(!W().Ui.btnreload->isEnabled());
        QCOMPARE(W().Ui.ScrollBox1->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        QCOMPARE(W().Ui.ScrollBox1->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
        // the empty picture is back at its first place: no scroll bars in the small window
        QCoreApplication::processEvents();
        QVERIFY(!W().Ui.ScrollBox1->horizontalScrollBar()->isVisible());
        QVERIFY(!W().Ui.ScrollBox1->verticalScrollBar()->isVisible());
        // nothing of the show is left: clicks and keys do nothing, one picture opens normally
        W().nextClick();
        QCOMPARE(W().View().Width(), 1);
        F.OpenNew("one.bmp", Gradient(300, 200));
        QVERIFY(!W().InAutoshowMode());
        QCOMPARE(W().windowTitle(), QString("Tavelix-one.bmp (300 x 200) "));
        // with the toolbar switched off before, it stays off
        W().Ui.Toolbaronoff->trigger();
        StartShow(Pictures(2));
        W().Ui.Stop1->trigger();
        QVERIFY(W().Ui.ToolBar->isHidden());
    }

    // Every way forward and back reaches the show (whose rules slideshow_test.cpp covers):
    // n/p the handlers, > < the arrow keys, e Enter, 3 and 2 the F3 and F2 shortcuts, c a
    // click, t a timer tick.
    void stepping_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("loop");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QList<int>>("indexes");  // after each step
        QTest::newRow("every way forward") << 3 << true << "n>e3ct" << QList<int>{1, 2, 0, 1, 2, 0};
        QTest::newRow("every way back") << 3 << true << "p<2" << QList<int>{2, 1, 0};
        // the mark of "Loop" is the show's option
        QTest::newRow("two, no loop: stays on the second") << 2 << false << "nnt3" << QList<int>{1, 1, 1, 1};
    }
    void stepping() {
        QFETCH(int, count);
        QFETCH(bool, loop);
        QFETCH(QString, steps);
        QFETCH(QList<int>, indexes);
        QVERIFY(F.Show());
        W().Ui.Loop1->setChecked(loop);
        StartShow(Pictures(count));
        W().activateWindow();
        QTRY_VERIFY(W().isActiveWindow());
        QCOMPARE(W().SlideShow().Index(), 0);
        for (int i = 0; i < steps.size(); ++i) {
            Step(steps[i]);
            QCOMPARE(W().SlideShow().Index(), indexes[i]);
            // the picture of that index is the one in view
            QCOMPARE(W().FileName(), QString("p%1.bmp").arg(indexes[i]));
            QVERIFY(SameColours(W().Working(), Gradient(200, 100, indexes[i] + 1)));
        }
        QCOMPARE(F.Prompts->Log.size(), 1);  // the open dialog, nothing else
    }

    // Without a window manager the application can be left without a focus widget (after
    // the show's menu closed): Qt then gives keys to the control that last had the focus,
    // and the show must still see them before that control does.
    void keysReachTheShowWithoutAFocusWidget() {
        if (!PlacesWindows()) QSKIP("a Wayland compositor gives the keyboard back at once");
        QVERIFY(F.Show());
        StartShow(Pictures(3));
        W().Ui.ScrollBox1->setFocus();
        QApplication::setActiveWindow(nullptr);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(nullptr));
        QCOMPARE(W().focusWidget(), static_cast<QWidget*>(W().Ui.ScrollBox1));
        QTest::keyClick(W().Ui.ScrollBox1, Qt::Key_Right);
        QCOMPARE(W().SlideShow().Index(), 1);
        QTest::keyClick(W().Ui.ScrollBox1, Qt::Key_Left);
        QCOMPARE(W().SlideShow().Index(), 0);
        QTest::keyClick(W().Ui.ScrollBox1, Qt::Key_Return);
        QCOMPARE(W().SlideShow().Index(), 1);
    }

    void normalModeIgnoresTheShowsKeysAndClicks() {
        QVERIFY(F.Show());
        W().activateWindow();
        QTRY_VERIFY(W().isActiveWindow());
        F.OpenNew("p.bmp", Gradient(100, 100));
        const TBitmap before = W().View().Picture();
        for (QChar step : QString("np><e32c")) Step(step);
        QVERIFY(W().View().Picture().SharesStoreWith(before));
        QCOMPARE(W().FileName(), QString("p.bmp"));
        QCOMPARE(W().SlideShow().Index(), 0);
        // Esc in normal mode shows nothing
        Key(Qt::Key_Escape);
        QTest::qWait(20);
        QCOMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(nullptr));
    }

    // The random order itself is slideshow_test.cpp's; here, what the item does to the window.
    void atRandomShowsAnotherPictureAtEachStep() {
        QVERIFY(F.Show());
        StartShow(Pictures(5));
        W().Ui.AtRandom1->trigger();
        QVERIFY(W().SlideShow().AtRandom());
        QVERIFY(!W().Ui.Loop1->isEnabled());
        for (int i = 0; i < 10; ++i) {
            const int before = W().SlideShow().Index();
            W().nextClick();
            QVERIFY(W().SlideShow().Index() != before);
            QCOMPARE(W().FileName(), QString("p%1.bmp").arg(W().SlideShow().Index()));
        }
        // no way back
        const int index = W().SlideShow().Index();
        W().previousClick();
        Key(Qt::Key_Left);
        QCOMPARE(W().SlideShow().Index(), index);
        // checked in a show of five, it stays checked, and disabled, in a show of two
        W().Ui.Stop1->trigger();
        StartShow(Pictures(2));
        QVERIFY(W().Ui.AtRandom1->isChecked());
        QVERIFY(!W().Ui.AtRandom1->isEnabled());
        QVERIFY(!W().Ui.Loop1->isEnabled());
        // unchecked again: Loop comes back
        W().Ui.AtRandom1->setEnabled(true);
        W().Ui.AtRandom1->trigger();
        QVERIFY(!W().SlideShow().AtRandom());
        QVERIFY(W().Ui.Loop1->isEnabled());
    }

    void checkMarksAndDelayLastFromShowToShow() {
        QVERIFY(F.Show());
        StartShow(Pictures(3));
        W().Ui.Loop1->trigger();
        W().Ui.Autosize1->trigger();
        W().Ui.N1sec1->trigger();
        W().Ui.Stop1->trigger();
        QVERIFY(!W().Ui.autoTimer->isActive());
        StartShow(Pictures(3));
        QVERIFY(!W().Ui.Loop1->isChecked());
        QVERIFY(!W().Ui.Autosize1->isChecked());
        QVERIFY(W().Ui.N1sec1->isChecked());
        QCOMPARE(W().Ui.autoTimer->interval(), 1000);
        QVERIFY(W().Ui.autoTimer->isActive());
    }

    void delayItemsSetTheTimer() {
        QVERIFY(F.Show());
        StartShow(Pictures(3));
        const QList<QPair<QAction*, int>> delays = {{W().Ui.N05sec1, 500}, {W().Ui.N1sec1, 1000}, {W().Ui.N2sec1, 2000},
                                                    {W().Ui.N3sec1, 3000}, {W().Ui.N5sec1, 5000}, {W().Ui.N101, 10000},
                                                    {W().Ui.Manual1, 0}};
        for (const auto& [item, milliseconds] : delays) {
            item->trigger();
            int checked = 0;
            for (const auto& other : delays) checked += other.first->isChecked() ? 1 : 0;
            QCOMPARE(checked, 1);
            QVERIFY(item->isChecked());
            QCOMPARE(W().Ui.autoTimer->interval(), milliseconds);
            QCOMPARE(W().Ui.autoTimer->isActive(), milliseconds > 0);
        }
        // a step starts a stopped timer afresh, and the timer itself moves the show
        W().Ui.N05sec1->trigger();
        W().Ui.autoTimer->stop();
        W().nextClick();
        QCOMPARE(W().SlideShow().Index(), 1);
        QVERIFY(W().Ui.autoTimer->isActive());
        QTRY_COMPARE_WITH_TIMEOUT(W().SlideShow().Index(), 2, 5000);
    }

    // A picture decoded ahead is turned upright by the turn its JPEG file records, as one
    // read at its turn is.
    void turnedJpegDecodedAheadStandsUpright() {
        W().Ui.Autosize1->setChecked(false);
        const QString turned = WriteBytes(*F.Folder, "p1.jpg", WithOrientation(ReadAll(F.Write("t.jpg", Gradient(40, 20))), 6));
        StartShow({F.Write("p0.bmp", Gradient(30, 30)), turned});
        W().Ui.Manual1->trigger();
        W().nextClick();
        QCOMPARE(W().FileName(), QString("p1.jpg"));
        QCOMPARE(W().Orientation(), 6);
        QVERIFY(SameColours(W().Working(), Oriented(ReadPicture(turned), 6)));
    }

    void autosizeAndLargePictures_data() {
        QTest::addColumn<bool>("autosize");
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("shown");
        QTest::addColumn<QPoint>("place");
        QTest::newRow("small, autosize") << true << QSize(200, 100) << QSize(1280, 640) << QPoint(0, 192);
        QTest::newRow("small, own size, centred") << false << QSize(200, 100) << QSize(200, 100) << QPoint(540, 462);
        QTest::newRow("wider than the screen") << false << QSize(2560, 1000) << QSize(1280, 500) << QPoint(0, 262);
        QTest::newRow("higher than the screen") << false << QSize(400, 2048) << QSize(200, 1024) << QPoint(540, 0);
    }
    void autosizeAndLargePictures() {
        QFETCH(bool, autosize);
        QFETCH(QSize, picture);
        QFETCH(QSize, shown);
        QFETCH(QPoint, place);
        W().Ui.Autosize1->setChecked(autosize);
        StartShow(Pictures(2, picture.width(), picture.height()));
        QCOMPARE(QSize(W().View().Width(), W().View().Height()), shown);
        QTRY_COMPARE(QPoint(W().View().Left, W().View().Top), place);
        QCOMPARE(QSize(W().Working().Width(), W().Working().Height()), picture);  // kept whole
        if (!autosize) {  // checked now: fitted at once
            W().Ui.Autosize1->trigger();
            QCOMPARE(W().View().Width() == 1280 || W().View().Height() == 1024, true);
        }
    }

    void autoassembleAsksForAMissingPasswordAtOnce() {
        QVERIFY(F.Show());
        TBitmap scrambled = Gradient(200, 100, 1);
        TTavelix::Scramble(&scrambled, "password", true);
        // the next one a PNG file: the show reads every type the engine reads
        const QStringList names = {F.Write("s0.bmp", scrambled),
                                   WriteBytes(*F.Folder, "s1.png", AsBytes(SavePng(scrambled)))};
        W().Ui.Autosize1->setChecked(false);
        StartShow(names);
        F.Prompts->Log.clear();
        // cancelled: unchecked again, the timer paused while asked and running afterwards
        QList<bool> timerWhileAsked;
        F.Prompts->WhileAsking = [&] { timerWhileAsked << W().Ui.autoTimer->isActive(); };
        W().Ui.Autoassemble1->trigger();
        QCOMPARE(F.Prompts->Log, QStringList({"password"}));
        QCOMPARE(timerWhileAsked, QList<bool>({false}));
        QVERIFY(!W().Ui.Autoassemble1->isChecked());
        QVERIFY(W().Ui.autoTimer->isActive());
        // given: checked; the picture in view is not changed, the next one is assembled
        F.Prompts->Password.push_back("password");
        W().Ui.Autoassemble1->trigger();
        QVERIFY(W().Ui.Autoassemble1->isChecked());
        QVERIFY(SameColours(W().View().Picture(), scrambled));
        W().nextClick();
        QVERIFY(SameColours(W().View().Picture(), Gradient(200, 100, 1)));
        // with a password set, nothing is asked
        W().Ui.Autoassemble1->trigger();
        F.Prompts->Log.clear();
        W().Ui.Autoassemble1->trigger();
        QVERIFY(W().Ui.Autoassemble1->isChecked());
        QCOMPARE(F.Prompts->Log, QStringList());
    }

    // A file of the show that cannot be read is skipped: the picture in view stays as it was,
    // assembled once, and its name stays in the caption.
    void brokenFileIsSkipped() {
        QVERIFY(F.Show());
        const TBitmap first = Gradient(200, 100, 1), third = Gradient(200, 100, 3);
        TBitmap scrambledFirst = first, scrambledThird = third;
        TTavelix::Scramble(&scrambledFirst, "password", true);
        TTavelix::Scramble(&scrambledThird, "password", true);
        W().PasswordStore().Assign("password");
        W().Ui.Autoassemble1->setChecked(true);
        W().Ui.Autosize1->setChecked(false);
        const QString broken = F.Write("broken.jpg", first);
        QVERIFY(QFile::resize(broken, 100));  // cut off after 100 bytes
        StartShow({F.Write("a.bmp", scrambledFirst), broken, F.Write("c.bmp", scrambledThird)});
        QVERIFY(SameColours(W().View().Picture(), first));
        F.Prompts->Log.clear();
        W().nextClick();
        QCOMPARE(F.Prompts->Log.size(), 1);
        QVERIFY2(F.Prompts->Log[0].startsWith("message: Error: wrong format: " + broken +
                                              " is not a JPEG file, or a damaged one (JPEG-Fehler #"),
                 qPrintable(F.Prompts->Log[0]));
        QCOMPARE(W().SlideShow().Index(), 1);
        QVERIFY(SameColours(W().View().Picture(), first));
        QVERIFY(SameColours(W().Working(), first));
        QCOMPARE(W().FileName(), QString("a.bmp"));
        W().nextClick();
        QVERIFY(SameColours(W().View().Picture(), third));
        QCOMPARE(W().FileName(), QString("c.bmp"));
    }

    // Ticks that arrive while a box of ours is open load nothing: a folder of broken files
    // gives one box at a time, never a pile of them.
    void noSlideWhileABoxIsOpen() {
        QStringList names;
        for (int i = 0; i < 4; ++i) names << WriteBytes(*F.Folder, QString("b%1.jpg").arg(i), QByteArray("not a JPEG"));
        int ticks = 0;
        F.Prompts->WhileAsking = [&] {
            if (!F.Prompts->Log.last().startsWith("message:")) return;
            for (int i = 0; i < 3; ++i, ++ticks) W().autoTimerTimer();
        };
        F.Open(names);
        CloseMenu();
        QCOMPARE(ticks, 3);
        QCOMPARE(F.Prompts->Messages().size(), 1);
        QVERIFY(F.Prompts->Messages()[0].startsWith("Error: wrong format: " + names[0]));
        QCOMPARE(W().SlideShow().Index(), 0);
        // a tick with no box open goes on, to the next broken file and its one box
        F.Prompts->WhileAsking = nullptr;
        W().autoTimerTimer();
        QCOMPARE(W().SlideShow().Index(), 1);
        QCOMPARE(F.Prompts->Messages().size(), 2);
    }

    // The delay runs afresh when a box of ours closes: over a folder of broken files the user
    // has all of it to press Esc before the next box opens. "Manual" stays without a timer.
    void delayRestartsWhenABoxCloses() {
        QStringList names;
        for (int i = 0; i < 3; ++i) names << WriteBytes(*F.Folder, QString("b%1.jpg").arg(i), QByteArray("not a JPEG"));
        W().Ui.N05sec1->trigger();
        F.Prompts->WhileAsking = [&] { QTest::qWait(300); };  // the user reads the box
        F.Open(names);  // (not waiting for the show's menu, which would take more than 0.5 s on Wayland)
        QVERIFY(W().InAutoshowMode());
        QCOMPARE(F.Prompts->Messages().size(), 1);
        QVERIFY(F.Prompts->Messages()[0].startsWith("Error: wrong format: "));
        QVERIFY(W().Ui.autoTimer->isActive());
        QVERIFY2(W().Ui.autoTimer->remainingTime() > 400, qPrintable(QString::number(W().Ui.autoTimer->remainingTime())));
        W().Ui.Manual1->trigger();
        W().nextClick();
        QCOMPARE(F.Prompts->Messages().size(), 2);
        QVERIFY(!W().Ui.autoTimer->isActive());
    }

    void f1ShowsTheAboutBoxInBothModes() {
        QVERIFY(F.Show());
        W().activateWindow();
        QTRY_VERIFY(W().isActiveWindow());
        Key(Qt::Key_F1);
        StartShow(Pictures(2));
        // The show's window is made anew. Under X without a window manager, Qt's widgets may
        // then go on taking no window for active while the window system has given this one
        // the keyboard, which is what keys need.
        W().activateWindow();
        QTRY_COMPARE(QGuiApplication::focusWindow(), W().windowHandle());
        Key(Qt::Key_F1);
        QCOMPARE(F.Prompts->Messages(), QStringList());
        QCOMPARE(F.Prompts->Log.filter("modal:"), QStringList({"modal: fabout", "modal: fabout"}));
    }

    void escTogglesTheMenuAtTheCentre() {
        QVERIFY(F.Show());
        StartShow(Pictures(2));
        W().activateWindow();
        QTRY_VERIFY(W().isActiveWindow());
        Key(Qt::Key_Escape);
        QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(W().Ui.PopupMenu1));
        // (on Wayland the compositor places the menu, and Qt's idea of its place may be off)
        if (PlacesWindows()) QCOMPARE(W().Ui.PopupMenu1->pos(), QPoint(640, 512));
        // the open menu takes Esc itself and closes
        QTest::keyClick(W().Ui.PopupMenu1, Qt::Key_Escape);
        QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(nullptr));
        QVERIFY(W().InAutoshowMode());
    }

    // The context menu: the show's menu at the pointer in the show, nothing in normal mode.
    void rightButtonOpensTheMenuInTheShowOnly() {
        QVERIFY(F.Show());
        const auto rightClick = [this](QPoint at) {
            QContextMenuEvent event(QContextMenuEvent::Mouse, at, W().mapToGlobal(at));
            QApplication::sendEvent(W().Ui.ScrollBox1->viewport(), &event);
        };
        rightClick({100, 100});
        QTest::qWait(20);
        QCOMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(nullptr));
        StartShow(Pictures(2));
        rightClick({300, 200});
        QTRY_COMPARE(QApplication::activePopupWidget(), static_cast<QWidget*>(W().Ui.PopupMenu1));
        QCOMPARE(W().Ui.PopupMenu1->pos(), QPoint(300, 200));
        QCOMPARE(W().SlideShow().Index(), 0);  // no step
        CloseMenu();
    }

    // The real boxes: over the show they stay on top as it does; over a normal window not.
    void boxesStayAboveTheShow() {
        W().Prompts().SetTarget(nullptr);
        QVERIFY(F.Show());
        QList<bool> onTop;
        const auto answerNext = [&] {
            QTimer::singleShot(20, &W(), [&] {
                QWidget* box = QApplication::activeModalWidget();
                if (!box) return;
                onTop << box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
                box->close();
            });
        };
        answerNext();
        W().Prompts().Message("normal");
        W().Ui.Loop1->setChecked(true);
        W().Ui.Autosize1->setChecked(false);
        // scripted answers for the open dialog only, the real boxes again afterwards
        F.Prompts->Open.push_back(Pictures(2));
        W().Prompts().SetTarget(F.Prompts.get());
        W().openClick();
        CloseMenu();
        W().Prompts().SetTarget(nullptr);
        answerNext();
        W().Prompts().Message("over the show");
        answerNext();
        W().About1Click();
        QCOMPARE(onTop, QList<bool>({false, true, true}));
        W().Prompts().SetTarget(F.Prompts.get());
        W().Ui.Stop1->trigger();
    }
};

std::unique_ptr<QObject> MakeTestAutoshow() { return std::make_unique<TestAutoshow>(); }

#include "tst_autoshow.moc"
