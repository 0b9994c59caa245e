// The batch commands on disk with scripted answers: scramble and assemble in place, reduced
// copies and their names, Esc and closing the window during a run, the checks before a run,
// and files that cannot be read, saved or scrambled.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QProgressBar>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <optional>

#include "codecfiles.h"
#include "engine/tavelix.h"
#include "testutil.h"
#include "ui/filenames.h"
#include "windowfixture.h"

using namespace tavelix;
using namespace tavelix::ui;
using namespace tavelix::ui::test;

namespace {

QByteArray Bytes(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What a scramble run makes of a picture read from a JPEG file: scrambled, then encoded and
// decoded at quality 90, as the engine does.
TBitmap ScrambledJpeg(const TBitmap& decoded, const std::string& password) {
    TBitmap scrambled = decoded;
    TTavelix::Scramble(&scrambled, password, true);
    return tavelix::test::ThroughJpeg(scrambled);
}

}  // namespace

class TestBatch : public QObject {
    Q_OBJECT

    TWindowFixture F;
    TFtavelix& W() { return F.W(); }

    // Runs action each time the progress bar moves, with the files done so far.
    std::function<void(int)> FOnProgress;
    QMetaObject::Connection FProgress;

    void OnProgress(std::function<void(int)> action) {
        FOnProgress = std::move(action);
        FProgress = connect(W().Ui.ProgressBar1, &QProgressBar::valueChanged, this, [this](int done) {
            if (FOnProgress) FOnProgress(done);
        });
    }
    // Esc as the user types it: it arrives with the next pending events, in the middle of
    // the file being worked on.
    void PostEsc() {
        QWidget* focused = QApplication::focusWidget();
        QWidget* target = focused && focused->window() == &W() ? focused : &W();
        QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier,
                                                          QString(QChar(27))));
    }
    QStringList Files(int count, const QString& pattern = "f%1.bmp") {
        QStringList names;
        for (int i = 0; i < count; ++i) names << F.Write(pattern.arg(i), Gradient(60 + i, 40, i + 1));
        return names;
    }

private Q_SLOTS:
    void init() {
        F.Init();
        QVERIFY(F.Show());
    }
    void cleanup() {
        if (FProgress) disconnect(FProgress);
        FOnProgress = nullptr;
        F.Done();
    }

    // The items themselves are in TestWindow's list of the menus.
    void eachBatchCommandAsksWithItsOwnTitle() {
        // (all cancelled here)
        for (QAction* action : {W().Ui.scrambleondisk1, W().Ui.assembleondisk1, W().Ui.Reduceto4ondisk, W().Ui.Reduceto16ondisk,
                                W().Ui.Reduceto64ondisk})
            action->trigger();
        QCOMPARE(F.Prompts->Log, QStringList({"open: Select Pictures to scramble on disk - will overwrite",
                                              "open: Select Pictures to assemble on disk - will overwrite",
                                              "open: Select Pictures to reduce to w/2 h/2 on disk",
                                              "open: Select Pictures to reduce to w/4 h/4 on disk",
                                              "open: Select Pictures to reduce to w/8 h/8 on disk"}));
    }

    void scrambleThenAssembleGivesThePicturesBack() {
        const TBitmap a = Gradient(64, 48, 1), b = Gradient(33, 17, 2), c = Gradient(80, 60, 3);
        const QStringList files = {F.Write("a.bmp", a), F.Write("b.bmp", b), F.Write("c.jpg", c)};
        const TBitmap decodedC = ReadPicture(files[2]);
        F.OpenNew("view.bmp", Gradient(20, 20, 9));
        const TBitmap inView = F.Display();
        F.Prompts->Log.clear();
        QList<bool> panelShown;
        OnProgress([&](int done) {
            if (done > 0) panelShown << W().Ui.Panel1->isVisible();
        });
        F.Prompts->Open.push_back(files);
        F.Prompts->Password.push_back("correct horse");
        W().Ui.scrambleondisk1->trigger();
        QCOMPARE(F.Prompts->Log, QStringList({"open: Select Pictures to scramble on disk - will overwrite", "password"}));
        QCOMPARE(panelShown, QList<bool>({true, true, true}));  // a step per file
        QCOMPARE(W().Ui.ProgressBar1->maximum(), 3);
        QVERIFY(W().Ui.Panel1->isHidden());
        TBitmap expected = a;
        TTavelix::Scramble(&expected, "correct horse", true);
        QVERIFY(SameColours(ReadPicture(files[0]), expected));
        expected = b;
        TTavelix::Scramble(&expected, "correct horse", true);
        QVERIFY(SameColours(ReadPicture(files[1]), expected));
        QVERIFY(SameColours(ReadPicture(files[2]), ScrambledJpeg(decodedC, "correct horse")));
        // the picture in view is not touched; the selection is the picture list
        QVERIFY(F.Display().SharesStoreWith(inView));
        QCOMPARE(QtNames(W().SlideShow().Pictures()), files);
        // assembled with the password in force: not asked again
        F.Prompts->Log.clear();
        F.Prompts->Open.push_back(files);
        W().Ui.assembleondisk1->trigger();
        // pictures this small show too little to tell whether the password is right: assembled,
        // and named after the run
        QCOMPARE(F.Prompts->Log, QStringList({"open: Select Pictures to assemble on disk - will overwrite",
                                              "message: Assembled, but these pictures show too little to tell whether "
                                              "the password is right:\n" +
                                                  files.join('\n')}));
        QVERIFY(SameColours(ReadPicture(files[0]), a));
        QVERIFY(SameColours(ReadPicture(files[1]), b));
        // "Reload" loads the first file of the run's selection
        W().reloadClick();
        QVERIFY(SameColours(F.Display(), a));
    }

    void escStopsAfterTheCurrentFile() {
        const QStringList files = Files(5);
        QList<QByteArray> before;
        for (const QString& file : files) before << Bytes(file);
        OnProgress([&](int done) {
            if (done == 1) PostEsc();  // typed while the second file is worked on
        });
        W().PasswordStore().Assign("password");
        F.Prompts->Open.push_back(files);
        W().scrambleondisk1Click();
        QCOMPARE(W().Ui.ProgressBar1->value(), 2);
        QVERIFY(W().Ui.Panel1->isHidden());
        for (int i = 0; i < 2; ++i) {  // done completely
            TBitmap expected = Gradient(60 + i, 40, i + 1);
            TTavelix::Scramble(&expected, "password", true);
            QVERIFY(SameColours(ReadPicture(files[i]), expected));
        }
        for (int i = 2; i < 5; ++i) QCOMPARE(Bytes(files[i]), before[i]);  // untouched
        // the next run goes to its end again
        FOnProgress = nullptr;
        F.Prompts->Open.push_back(files);
        W().scrambleondisk1Click();
        QCOMPARE(W().Ui.ProgressBar1->value(), 5);
    }

    // A file that cannot be read gets nothing written: not the previous file's picture under
    // its name, not a reduced copy. Each is told in a message that names it and says why.
    void unreadableFileGetsNothingWritten_data() {
        QTest::addColumn<bool>("reduce");
        QTest::newRow("scramble") << false;
        QTest::newRow("reduce") << true;
    }
    void unreadableFileGetsNothingWritten() {
        QFETCH(bool, reduce);
        const TBitmap good = Gradient(40, 30, 1), next = Gradient(50, 20, 2);
        const QString broken = WriteBytes(*F.Folder, "broken.jpg", QByteArray("not a JPEG file"));
        const QString huge = WriteBytes(*F.Folder, "huge.bmp", ClaimingBitmap(60000, 60000));
        QVERIFY(::mkfifo(QFile::encodeName(F.Path("fifo.jpg")).constData(), 0600) == 0);
        QVERIFY(QDir(F.Folder->path()).mkdir("folder.bmp"));
        const QStringList files = {F.Write("good.bmp", good), broken, F.Write("next.bmp", next), F.Path("gone.bmp"),
                                   F.Write("notes.txt", good), F.Path("fifo.jpg"), F.Path("folder.bmp"), huge};
        W().PasswordStore().Assign("password");
        F.Prompts->Open.push_back(files);
        reduce ? W().Reduceto4ondiskClick() : W().scrambleondisk1Click();
        QCOMPARE(W().Ui.ProgressBar1->value(), 8);  // the run went to its end
        // one message for each file that could not be read, none for the file that is not a
        // picture
        const QStringList expected = {
            "Error: wrong format: " + broken + " is not a JPEG file, or a damaged one (JPEG-Fehler #",
            "Error: cannot open " + F.Path("gone.bmp") + ": No such file or directory",
            "Error: cannot read " + F.Path("fifo.jpg") + ": not a regular file but a FIFO",
            "Error: cannot read " + F.Path("folder.bmp") + ": not a regular file but a folder",
            "Error: " + huge + " was not loaded: too large to show (60000 x 60000 pixels; at most 178,956,970 pixels are shown)"};
        const QStringList messages = F.Prompts->Messages();
        QCOMPARE(messages.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) QVERIFY2(messages[i].startsWith(expected[i]), qPrintable(messages[i]));
        QCOMPARE(Bytes(broken), QByteArray("not a JPEG file"));
        QCOMPARE(Bytes(huge), ClaimingBitmap(60000, 60000));
        QVERIFY(!QFile::exists(F.Path("gone.bmp")));
        QStringList written = {"broken.jpg", "fifo.jpg", "good.bmp", "huge.bmp", "next.bmp", "notes.txt"};
        if (reduce) written << "goods2.bmp" << "nexts2.bmp";
        written.sort();
        QCOMPARE(QDir(F.Folder->path()).entryList(QDir::Files | QDir::System, QDir::Name), written);
        if (!reduce) {
            TBitmap scrambled = next;
            TTavelix::Scramble(&scrambled, "password", true);
            QVERIFY(SameColours(ReadPicture(F.Path("next.bmp")), scrambled));
        }
    }

    void failedSaveIsToldAndTheRunGoesOn() {
        const QStringList files = Files(3);
        // where the first copy should go, there is a folder
        QVERIFY(QDir(F.Folder->path()).mkdir("f0s2.bmp"));
        F.Prompts->Open.push_back(files);
        W().Reduceto4ondiskClick();
        const QStringList messages = F.Prompts->Messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().startsWith("Error: ") && messages.first().contains("f0s2.bmp"),
                 qPrintable(messages.first()));
        QVERIFY(QFileInfo(F.Path("f0s2.bmp")).isDir());
        QCOMPARE(ReadPicture(F.Path("f1s2.bmp")).Width(), 30);  // 61 / 2 to the even neighbour
        QCOMPARE(ReadPicture(F.Path("f2s2.bmp")).Width(), 31);
        QVERIFY(W().Ui.Panel1->isHidden());
        QVERIFY(W().Ui.Open1->isEnabled());
    }

    void reduceWritesCopiesBesideTheFiles() {
        const QString photo = F.Write("photo.jpg", Gradient(1024, 768, 4));
        const QString upper = F.Write("UP.JPG", Gradient(100, 80, 5));
        const QString bitmap = F.Write("pic.bmp", Gradient(90, 70, 6));
        const QString thin = F.Write("thin.bmp", Gradient(90, 1, 7));
        const QByteArray photoBytes = Bytes(photo);
        // no password asked, even with none set
        F.Prompts->Open.push_back({photo, thin, upper, bitmap});
        W().Reduceto16ondiskClick();
        QCOMPARE(F.Prompts->Log, QStringList({"open: Select Pictures to reduce to w/4 h/4 on disk"}));
        QCOMPARE(Bytes(photo), photoBytes);
        const TBitmap reduced = ReadPicture(F.Path("photos4.jpg"));
        QCOMPARE(QSize(reduced.Width(), reduced.Height()), QSize(256, 192));
        QVERIFY(Bytes(F.Path("UPs4.JPG")).startsWith("\xFF\xD8"));  // a JPEG under the capital name
        QVERIFY(Bytes(F.Path("pics4.bmp")).startsWith("BM"));
        QVERIFY(!QFile::exists(F.Path("thins4.bmp")));  // 1 high: nothing written, the run goes on
        QCOMPARE(W().Ui.ProgressBar1->value(), 4);
    }

    // A file of the selection over the pixel limit is left as it is, and the user is told
    // which, rather than having it written back unscrambled as if it had been scrambled.
    void filesOverThePixelLimitAreLeftUnchanged() {
        const QString big = F.Write("big.bmp", Gradient(1281, 1024, 1));
        const QString small = F.Write("small.bmp", Gradient(40, 30, 2));
        const QByteArray bigBytes = Bytes(big);
        W().PasswordStore().Assign("password");
        F.Prompts->Open.push_back({big, small});
        W().scrambleondisk1Click();
        QCOMPARE(Bytes(big), bigBytes);
        TBitmap expected = Gradient(40, 30, 2);
        TTavelix::Scramble(&expected, "password", true);
        QVERIFY(SameColours(ReadPicture(small), expected));
        // (where the limit lies is batchrun_test.cpp's)
        QCOMPARE(F.Prompts->Messages(),
                 QStringList({"Not scrambled, left unchanged:\n" + big +
                              ": 1281 x 1024 pixels; 1280K Pixels maximum (e.g.1280x1024)"}));
    }

    // Assembling on disk keeps the guard of tavelix-cli: a picture whose result would not look
    // assembled is left unchanged, and after the run one question offers to assemble those
    // anyway.
    void assembleLeavesWhatWouldNotLookAssembled() {
        const TBitmap photo = tavelix::test::MakePhotoLike(1280, 1024, 5);
        TBitmap right = photo, wrong = photo;
        TTavelix::Scramble(&right, "correct horse", true);
        TTavelix::Scramble(&wrong, "zebra crossing", true);
        const QStringList files = {F.Write("right.bmp", right), F.Write("wrong.bmp", wrong), F.Write("clear.bmp", photo)};
        const QByteArray wrongBytes = Bytes(files[1]), clearBytes = Bytes(files[2]);
        W().PasswordStore().Assign("correct horse");
        const QString question = "question: These pictures do not look assembled with this password (the password may "
                                 "be wrong, the pictures may not be scrambled, or they may be scrambled twice) and were "
                                 "left unchanged:\n" +
                                 files[1] + "\n" + files[2] + "\n\nAssemble them anyway?";
        for (const bool anyway : {false, true}) {
            F.Prompts->Log.clear();
            F.Prompts->Open.push_back(files);
            F.Prompts->Question.push_back(anyway);
            W().assembleondisk1Click();
            QCOMPARE(F.Prompts->Log, QStringList({"open: Select Pictures to assemble on disk - will overwrite", question}));
            if (!anyway) {
                TBitmap assembled = right;
                TTavelix::Scramble(&assembled, "correct horse", false);
                QVERIFY(SameColours(ReadPicture(files[0]), assembled));
                QCOMPARE(Bytes(files[1]), wrongBytes);
                QCOMPARE(Bytes(files[2]), clearBytes);
                F.Write("right.bmp", right);  // for the second round
            }
        }
        TBitmap expected = wrong;
        TTavelix::Scramble(&expected, "correct horse", false);
        QVERIFY(SameColours(ReadPicture(files[1]), expected));
        QVERIFY(Bytes(files[2]) != clearBytes);
    }

    // Files are changed where they are: through a symbolic link, the picture it names. A file
    // with other names (which would keep the old picture) and a write-protected file are left
    // alone, and named after the run.
    void scrambleOnDiskGoesThroughLinksAndRefusesOtherNames() {
        const TBitmap picture = Gradient(40, 30, 1);
        const QString real = F.Write("real.bmp", picture);
        QVERIFY(QFile::link(real, F.Path("link.bmp")));
        const QString linked = F.Write("linked.bmp", picture);
        QVERIFY(::link(QFile::encodeName(linked).constData(), QFile::encodeName(F.Path("other.bmp")).constData()) == 0);
        const QString protectedFile = F.Write("ro.bmp", picture);
        QVERIFY(QFile::setPermissions(protectedFile, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        const QString plain = F.Write("plain.bmp", picture);
        const QByteArray clear = Bytes(linked);
        W().PasswordStore().Assign("password");
        F.Prompts->Open.push_back({F.Path("link.bmp"), linked, protectedFile, plain});
        W().scrambleondisk1Click();
        TBitmap scrambled = picture;
        TTavelix::Scramble(&scrambled, "password", true);
        QVERIFY(QFileInfo(F.Path("link.bmp")).isSymLink());
        QVERIFY(SameColours(ReadPicture(real), scrambled));
        QVERIFY(SameColours(ReadPicture(plain), scrambled));
        QCOMPARE(Bytes(linked), clear);
        QCOMPARE(Bytes(F.Path("other.bmp")), clear);
        QCOMPARE(Bytes(protectedFile), clear);
        QCOMPARE(F.Prompts->Messages(),
                 QStringList({"Not scrambled, left unchanged:\n" + linked +
                              ": the file has 1 other name (hard links), which would keep the clear picture\n" +
                              protectedFile + ": the file is write-protected"}));
    }

    // PNG files are scrambled in place and reduced like the others, alpha kept; HEIC and WebP
    // files, only read, are left unchanged and get no copy, each named with the reason.
    void pngIsChangedOnDiskAndReadOnlyTypesAreLeftAlone() {
        const tavelix::test::TPngSample png = tavelix::test::MakePng({"rgba8", 6, 8}, 40, 30, 5);
        const QString p = WriteBytes(*F.Folder, "p.png", AsBytes(png.File));
        const QByteArray webp = AsBytes(tavelix::test::MakeWebp(Gradient(40, 30), true));
        const QString w = WriteBytes(*F.Folder, "w.webp", webp);
        const QString why = ": .webp pictures are read, never written (open it and save it as .jpg, .bmp or .png)";
        W().PasswordStore().Assign("password");
        F.Prompts->Open.push_back({p, w});
        W().scrambleondisk1Click();
        TBitmap scrambled = png.Expected;
        TTavelix::Scramble(&scrambled, "password", true);
        QCOMPARE(tavelix::test::LargestDifference(ReadPicture(p), scrambled), 0);
        QCOMPARE(Bytes(w), webp);
        QCOMPARE(F.Prompts->Messages(), QStringList({"Not scrambled, left unchanged:\n" + w + why}));
        F.Prompts->Log.clear();
        F.Prompts->Open.push_back({p, w});
        W().Reduceto4ondiskClick();
        QCOMPARE(ReadPicture(F.Path("ps2.png")).Width(), 20);
        QCOMPARE(QDir(F.Folder->path()).entryList(QDir::Files), QStringList({"p.png", "ps2.png", "w.webp"}));
        QCOMPARE(F.Prompts->Messages(), QStringList({"No reduced copy made:\n" + w + why}));
    }

    // A reduced copy never replaces a picture chosen for the same run, nor a write-protected
    // file: photos2.jpg, a photograph of its own, is not overwritten by the copy of photo.jpg
    // (and its own copy is made of it, not of a thumbnail), bs2.bmp stays as it was.
    void reduceNeverReplacesChosenOrWriteProtectedFiles() {
        const QString photo = F.Write("photo.jpg", Gradient(800, 600, 1));
        const QString other = F.Write("photos2.jpg", Gradient(800, 600, 2));
        const QString bitmap = F.Write("b.bmp", Gradient(60, 40, 3));
        const QString protectedCopy = F.Write("bs2.bmp", Gradient(10, 10, 4));
        QVERIFY(QFile::setPermissions(protectedCopy, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        const QByteArray otherBytes = Bytes(other), protectedBytes = Bytes(protectedCopy);
        F.Prompts->Open.push_back({photo, other, bitmap});
        W().Reduceto4ondiskClick();
        QCOMPARE(Bytes(other), otherBytes);
        QCOMPARE(Bytes(protectedCopy), protectedBytes);
        const TBitmap copy = ReadPicture(F.Path("photos2s2.jpg"));
        QCOMPARE(QSize(copy.Width(), copy.Height()), QSize(400, 300));
        QCOMPARE(F.Prompts->Messages(),
                 QStringList({"Not replaced by a reduced copy:\n" + other +
                              ": a picture chosen for this run\n" + protectedCopy + ": the file is write-protected"}));
        QCOMPARE(W().Ui.ProgressBar1->value(), 3);
    }

    // Copies that exist already: one question before the run, for all of them.
    void reduceAsksOnceBeforeReplacingCopies_data() {
        QTest::addColumn<std::optional<int>>("answer");
        QTest::addColumn<bool>("replaced");
        QTest::addColumn<bool>("ran");
        QTest::newRow("Replace") << std::optional<int>(0) << true << true;
        QTest::newRow("Skip them") << std::optional<int>(1) << false << true;
        QTest::newRow("Cancel") << std::optional<int>(2) << false << false;
        QTest::newRow("box closed") << std::optional<int>() << false << false;
    }
    void reduceAsksOnceBeforeReplacingCopies() {
        QFETCH(std::optional<int>, answer);
        QFETCH(bool, replaced);
        QFETCH(bool, ran);
        const QStringList files = Files(3);
        const QString first = F.Write("f0s2.bmp", Gradient(5, 5, 9)), second = F.Write("f1s2.bmp", Gradient(5, 5, 8));
        const QByteArray old = Bytes(first);
        if (answer) F.Prompts->Choice.push_back(*answer);
        F.Prompts->Open.push_back(files);
        W().Reduceto4ondiskClick();
        QCOMPARE(F.Prompts->Log, QStringList({"open: Select Pictures to reduce to w/2 h/2 on disk",
                                              "choice: Replace 2 existing files?\n\nThese reduced copies exist already:\n" +
                                                  first + "\n" + second + " [Replace|Skip them|Cancel]"}));
        QCOMPARE(Bytes(first) != old, replaced);
        QCOMPARE(ReadPicture(second).Width(), replaced ? 30 : 5);
        QCOMPARE(QFile::exists(F.Path("f2s2.bmp")), ran);  // a new copy
    }

    // What stops a run before any file is touched.
    void checksBeforeTheRun_data() {
        QTest::addColumn<QSize>("inView");
        QTest::addColumn<bool>("reduce");
        QTest::addColumn<bool>("choose");
        QTest::addColumn<bool>("password");
        QTest::addColumn<QStringList>("log");
        const QString scramble = "open: Select Pictures to scramble on disk - will overwrite";
        const QString reduce = "open: Select Pictures to reduce to w/2 h/2 on disk";
        const QString tooLarge = "choice: 1280K Pixels maximum (e.g.1280x1024) [Reduce to fit|OK]";
        QTest::newRow("dialog cancelled") << QSize(10, 10) << false << false << true << QStringList{scramble};
        QTest::newRow("password cancelled") << QSize(10, 10) << false << true << false
                                            << QStringList{scramble, "password"};
        QTest::newRow("picture in view over the limit") << QSize(1281, 1024) << false << true << true
                                                        << QStringList{scramble, tooLarge};
        QTest::newRow("reduce, picture in view over the limit") << QSize(1281, 1024) << true << true << true
                                                                << QStringList{reduce, tooLarge};
    }
    void checksBeforeTheRun() {
        QFETCH(QSize, inView);
        QFETCH(bool, reduce);
        QFETCH(bool, choose);
        QFETCH(bool, password);
        QFETCH(QStringList, log);
        const QStringList files = Files(2);
        F.Display().CopyFrom(Gradient(inView.width(), inView.height()));
        if (choose) F.Prompts->Open.push_back(files);
        if (password) F.Prompts->Password.push_back("password");
        reduce ? W().Reduceto4ondiskClick() : W().scrambleondisk1Click();
        QCOMPARE(F.Prompts->Log, log);
        QCOMPARE(QDir(F.Folder->path()).entryList(QDir::Files), QStringList({"f0.bmp", "f1.bmp"}));
        QVERIFY(SameColours(ReadPicture(files[0]), Gradient(60, 40, 1)));
        QVERIFY(W().Ui.Panel1->isHidden());
    }

    void openCommandsAreDisabledDuringARun() {
        const QList<QAction*> commands = {W().Ui.Open1, W().Ui.btnopen, W().Ui.scrambleondisk1, W().Ui.assembleondisk1,
                                          W().Ui.Reduceto4ondisk, W().Ui.Reduceto16ondisk, W().Ui.Reduceto64ondisk};
        QList<bool> enabled;
        int opened = 0;
        OnProgress([&](int done) {
            if (done != 1) return;
            for (QAction* command : commands) enabled << command->isEnabled();
            // Ctrl+O and a second run cannot start under the running loop
            const int asked = F.Prompts->Log.size();
            W().Ui.Open1->trigger();
            W().Ui.scrambleondisk1->trigger();
            opened = F.Prompts->Log.size() - asked;
        });
        F.Prompts->Open.push_back(Files(3));
        W().Reduceto64ondiskClick();
        QCOMPARE(enabled, QList<bool>(commands.size(), false));
        QCOMPARE(opened, 0);
        for (QAction* command : commands) QVERIFY(command->isEnabled());
    }

    // Black and white during a run blocks every command for its own time only: the open
    // commands stay blocked until the run ends.
    void blackAndWhiteDuringARunLeavesTheOpenCommandsBlocked() {
        F.OpenNew("p.bmp", Gradient(30, 20));
        QList<bool> after;  // Open, Reload
        OnProgress([&](int done) {
            if (done != 1) return;
            W().Ui.Settoblackwhite1->trigger();
            after = {W().Ui.Open1->isEnabled(), W().Ui.Reload1->isEnabled()};
        });
        F.Prompts->Open.push_back(Files(3));
        W().Reduceto64ondiskClick();
        QCOMPARE(after, QList<bool>({false, true}));
        QVERIFY(W().Ui.Open1->isEnabled());
    }

    // Closing the window during a run: the run stops after its current file, then the
    // window closes.
    void closingDuringARunWaitsForTheCurrentFile() {
        const QStringList files = Files(4);
        const QByteArray third = Bytes(files[2]);
        bool closedAtOnce = true;
        OnProgress([&](int done) {
            // the close request arrives during the second file, as the user's would
            if (done == 1) QMetaObject::invokeMethod(&W(), [this] { W().close(); }, Qt::QueuedConnection);
            if (done == 2) closedAtOnce = !W().isVisible();
        });
        F.Prompts->Open.push_back(files);
        W().Reduceto4ondiskClick();
        QVERIFY(!closedAtOnce);
        QVERIFY(!W().isVisible());
        QVERIFY(QFile::exists(F.Path("f1s2.bmp")));
        QVERIFY(!QFile::exists(F.Path("f2s2.bmp")));
        QCOMPARE(Bytes(files[2]), third);
    }
};

std::unique_ptr<QObject> MakeTestBatch() { return std::make_unique<TestBatch>(); }

#include "tst_batch.moc"
