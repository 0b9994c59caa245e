// The three dialogs as the user meets them: the password dialog's OK rule and the bytes it
// stores, the quality dialog's caption, the about box's title, texts, copy button and Esc.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

#include "engine/password.h"
#include "ui/Uabout.h"
#include "ui/Ucompression.h"
#include "ui/Upwdlg.h"
#include "ui/Utavelix.h"
#include "ui/forms.h"
#include "version.h"

using namespace tavelix;
using namespace tavelix::ui;

namespace {

// Runs action once the dialog is open (exec() blocks), then closes whatever is still open
// after a deadline, so that a failing test never hangs.
void WhenOpen(QDialog& dialog, std::function<void()> action) {
    auto* timer = new QTimer(&dialog);
    timer->setInterval(10);
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, &dialog, [timer, &dialog, action, started] {
        if (QApplication::activeModalWidget() == &dialog) {
            timer->stop();
            timer->deleteLater();
            action();
        } else if (started->elapsed() > 5000) {
            timer->stop();
            timer->deleteLater();
            if (QWidget* open = QApplication::activeModalWidget()) open->close();
        }
    });
    timer->start();
}

}  // namespace

class TestDialogs : public QObject {
    Q_OBJECT

    TForms FForms;
    TFtavelix& W() { return *FForms.Ftavelix; }
    TPasswordDlg& Pwd() { return W().PasswordDialog(); }

    void Type(QLineEdit* edit, const QString& text) {
        edit->clear();
        QTest::keyClicks(edit, text);
    }

private Q_SLOTS:
    void init() { FForms = CreateForms(); }
    void cleanup() { FForms = TForms(); }

    // --- password dialog --------------------------------------------------------------------

    void passwordDialogLooksAsItShould() {
        QCOMPARE(Pwd().windowTitle(), QString("Password for Tavelix "));
        QCOMPARE(Pwd().Label1->text(), QString("Enter Password 8 up to 50 letters and numbers:"));
        QCOMPARE(Pwd().Label2->text(), QString("Confirm Password:"));
        QCOMPARE(Pwd().OKBtn->text(), QString("OK"));
        QCOMPARE(Pwd().CancelBtn->text(), QString("Cancel"));
        QVERIFY(Pwd().OKBtn->isDefault());
        QVERIFY(!Pwd().OKBtn->isEnabled());
        QCOMPARE(Pwd().pw1->echoMode(), QLineEdit::Password);
        QCOMPARE(Pwd().pw2->echoMode(), QLineEdit::Password);
        QCOMPARE(Pwd().pw1->text(), QString());
        // tab order: pw1, pw2, OK, Cancel
        QList<QWidget*> order;
        for (QWidget* w = Pwd().pw1; order.size() < 4; w = w->nextInFocusChain())
            if (w->focusPolicy() & Qt::TabFocus) order.append(w);
        QCOMPARE(order, (QList<QWidget*>{Pwd().pw1, Pwd().pw2, Pwd().OKBtn, Pwd().CancelBtn}));
    }

    void okNeedsTwoEqualPasswordsThatCanBeStored_data() {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("hint");
        QTest::newRow("empty") << "" << "" << false << false;
        QTest::newRow("seven") << "1234567" << "1234567" << false << false;
        QTest::newRow("eight") << "12345678" << "12345678" << true << false;
        QTest::newRow("fifty") << QString(50, 'x') << QString(50, 'x') << true << false;
        QTest::newRow("fifty-one") << QString(51, 'x') << QString(51, 'x') << false << false;
        QTest::newRow("mismatch") << "12345678" << "12345679" << false << false;
        QTest::newRow("case differs") << "abcdefgh" << "abcdEfgh" << false << false;
        QTest::newRow("Western accents and euro") << "Grüße €uro" << "Grüße €uro" << true << false;
        QTest::newRow("eight accented") << "éééééééé" << "éééééééé" << true << false;
        QTest::newRow("Cyrillic") << "пароль12" << "пароль12" << false << true;
        QTest::newRow("Cyrillic in the second only") << "parol123" << "парol123" << false << true;
        QTest::newRow("emoji") << "abcdefg\U0001F600" << "abcdefg\U0001F600" << false << true;
        QTest::newRow("combining accent") << "e\u0301abcdefg" << "e\u0301abcdefg" << false << true;
    }
    void okNeedsTwoEqualPasswordsThatCanBeStored() {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, enabled);
        QFETCH(bool, hint);
        Pwd().pw1->setText(first);
        Pwd().pw2->setText(second);
        QCOMPARE(Pwd().OKBtn->isEnabled(), enabled);
        QCOMPARE(!Pwd().Hint->isHidden(), hint);
        if (hint) QVERIFY(Pwd().Hint->text().contains("cannot be used"));
        // the hint names a place, never the character typed
        if (hint) QVERIFY(!Pwd().Hint->text().contains("п"));
    }

    void okFollowsEveryKeystroke() {
        Pwd().show();
        QVERIFY(QTest::qWaitForWindowExposed(&Pwd()));
        QTest::keyClicks(Pwd().pw2, "secret12");
        QVERIFY(!Pwd().OKBtn->isEnabled());
        QTest::keyClicks(Pwd().pw1, "secret1");
        QVERIFY(!Pwd().OKBtn->isEnabled());
        QTest::keyClick(Pwd().pw1, Qt::Key_2);  // the keystroke that makes both equal
        QVERIFY(Pwd().OKBtn->isEnabled());
        QTest::keyClick(Pwd().pw1, Qt::Key_Backspace);
        QVERIFY(!Pwd().OKBtn->isEnabled());
        Pwd().reject();
    }

    // The window and the command-line companion make the same bytes from the same text.
    void okStoresTheWindowsWesternBytes() {
        WhenOpen(Pwd(), [this] {
            Pwd().pw1->setText("Grüße €uro!");
            Pwd().pw2->setText("Grüße €uro!");
            QTest::mouseClick(Pwd().OKBtn, Qt::LeftButton);
        });
        QCOMPARE(Pwd().exec(), int(QDialog::Accepted));
        TSecret expected;
        QVERIFY(!DecodePassword("Grüße €uro!", expected));
        QCOMPARE(W().PasswordStore().View(), expected.View());
        QCOMPARE(W().PasswordStore().View(), std::string_view("Gr\xFC\xDF" "e \x80uro!"));
    }

    void fieldsKeepTheirTextAndCancelKeepsThePassword() {
        W().PasswordStore().Assign("previous");
        WhenOpen(Pwd(), [this] {
            Pwd().pw1->setText("new password");
            Pwd().pw2->setText("new passwor");
            Pwd().CancelBtn->click();
        });
        QCOMPARE(Pwd().exec(), int(QDialog::Rejected));
        QCOMPARE(W().PasswordStore().View(), std::string_view("previous"));
        // shown again: the entries are there, the first selected and focused, OK as left
        bool selected = false, focused = false, okEnabled = true;
        QString first, second;
        WhenOpen(Pwd(), [&] {
            first = Pwd().pw1->text();
            second = Pwd().pw2->text();
            selected = Pwd().pw1->selectedText() == first;
            focused = Pwd().focusWidget() == Pwd().pw1;  // (the keyboard comes when the system gives it)
            okEnabled = Pwd().OKBtn->isEnabled();
            QTest::keyClick(Pwd().pw1, Qt::Key_Escape);  // Esc cancels
        });
        QCOMPARE(Pwd().exec(), int(QDialog::Rejected));
        QCOMPARE(first, QString("new password"));
        QCOMPARE(second, QString("new passwor"));
        QVERIFY(selected);
        QVERIFY(focused);
        QVERIFY(!okEnabled);
        QCOMPARE(W().PasswordStore().View(), std::string_view("previous"));
    }

    void windowAsksThroughTheRealDialog() {
        WhenOpen(Pwd(), [this] {
            Pwd().pw1->setText("12345678");
            Pwd().pw2->setText("12345678");
            Pwd().OKBtn->click();
        });
        QVERIFY(RequestPassword(W().Prompts(), W().PasswordStore()));
        QCOMPARE(W().PasswordStore().View(), std::string_view("12345678"));
        QVERIFY(RequestPassword(W().Prompts(), W().PasswordStore()));  // set: no dialog this time (it would time out)
    }

    // --- quality dialog ---------------------------------------------------------------------

    void qualityCaptionFollowsTheSlider() {
        Tfcompression& dialog = W().CompressionDialog();
        QCOMPARE(dialog.Label1->text(), QString("High Compression"));
        QCOMPARE(dialog.Label2->text(), QString("High Quality"));
        QCOMPARE(dialog.OKBtn->text(), QString("OK"));
        QCOMPARE(dialog.TrackBar->minimum(), 1);
        QCOMPARE(dialog.TrackBar->maximum(), 100);
        QCOMPARE(dialog.TrackBar->pageStep(), 10);
        QCOMPARE(dialog.TrackBar->tickInterval(), 10);
        QCOMPARE(dialog.TrackBar->tickPosition(), QSlider::TicksBothSides);
        QString shown, atLow, atHigh;
        WhenOpen(dialog, [&] {
            shown = dialog.windowTitle();
            QTest::keyClick(dialog.TrackBar, Qt::Key_Home);
            atLow = dialog.windowTitle();
            QTest::keyClick(dialog.TrackBar, Qt::Key_End);
            atHigh = dialog.windowTitle();
            dialog.OKBtn->click();
        });
        dialog.exec();
        QCOMPARE(shown, QString("Save JPG with: 90"));
        QCOMPARE(atLow, QString("Save JPG with: 1"));
        QCOMPARE(atHigh, QString("Save JPG with: 100"));
        QCOMPARE(W().Ui.JpegQuality(), 100);
        // closed without moving: the quality stays
        WhenOpen(dialog, [&] { dialog.close(); });
        dialog.exec();
        QCOMPARE(W().Ui.JpegQuality(), 100);
    }

    // --- about box ----------------------------------------------------------------------------

    void aboutBoxGivesTheTitle() {
        QCOMPARE(W().windowTitle(), QString("Tavelix"));  // the first caption, with no about box yet
        W().setWindowTitle("Tavelix-p.jpg (3 x 2) ");
        Tfabout& about = W().AboutBox();  // made at its first use, it leaves the caption alone
        QCOMPARE(W().windowTitle(), QString("Tavelix-p.jpg (3 x 2) "));
        QCOMPARE(about.AppTitle, QString("Tavelix"));
        QCOMPARE(about.windowTitle(), QString("About Tavelix"));
        QCOMPARE(about.btncopy->text(), QString("Copy URL"));
        QCOMPARE(about.Okbtn->text(), QString("OK"));
        QCOMPARE(about.url->text(), HomePage());
        QVERIFY(HomePage().startsWith("https://"));
        QCOMPARE(about.logo->pixmap().size(), QSize(174, 32));
        QVERIFY(about.Memo1->isReadOnly());
        QCOMPARE(about.Memo1->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    }

    void helpTextIsHonestAndInOrder() {
        const QString text = W().AboutBox().Memo1->toPlainText();
        QVERIFY(text.startsWith("Tavelix " TAVELIX_VERSION_MAJOR_MINOR "\n"));
        QVERIFY(text.contains(HomePage()));
        // the topics in their order
        const QStringList topics = {"A picture viewer", "What it does", "Shift", "The password:", "Keep the size",
                                    "\"Unscramble (Assemble)\"", "\"Reload\"", "opposite", "Clipping",
                                    "Enlarging", "Choosing a password", "It is not encryption", "No warranty"};
        qsizetype at = 0;
        for (const QString& topic : topics) {
            const qsizetype next = text.indexOf(topic, at);
            QVERIFY2(next > at, qPrintable(topic));
            at = next;
        }
        QVERIFY(text.contains("without the password"));
        QVERIFY(text.contains("1280 x 1024"));
        const int lines = text.count('\n');
        QVERIFY2(lines >= 80 && lines <= 100, qPrintable(QString::number(lines)));
    }

    void copyUrlReplacesTheClipboard() {
        QApplication::clipboard()->setImage(QImage(4, 4, QImage::Format_RGB32));
        W().AboutBox().btncopy->click();
        QCOMPARE(QApplication::clipboard()->text(), HomePage());
        QVERIFY(!QApplication::clipboard()->mimeData()->hasImage());
    }

    void escClosesTheAboutBoxFromEveryControl() {
        Tfabout& about = W().AboutBox();
        for (QWidget* control : QList<QWidget*>{about.Memo1, about.btncopy, about.Okbtn}) {
            WhenOpen(about, [control] {
                control->setFocus();
                QTest::keyClick(control, Qt::Key_Escape);
            });
            QElapsedTimer timer;
            timer.start();
            about.exec();
            QVERIFY2(timer.elapsed() < 4000, qPrintable(control->objectName()));  // not the deadline
        }
    }
};

std::unique_ptr<QObject> MakeTestDialogs() { return std::make_unique<TestDialogs>(); }

#include "tst_dialogs.moc"
