#include "ui/Uabout.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/Utavelix.h"
#include "ui/glyphs.h"
#include "version.h"

namespace tavelix::ui {

QString HomePage() { return QStringLiteral(TAVELIX_HOMEPAGE); }

QString ProgramVersion() { return QStringLiteral(TAVELIX_VERSION_MAJOR_MINOR); }

QString HelpText() {
    return QCoreApplication::translate("Tavelix", "Tavelix %1\n"
               "\n"
               "Made by the Tavelix developers.\n"
               "Home page: %2\n"
               "\n"
               "A picture viewer for JPEG, BMP and PNG files (HEIC and WebP photos too),\n"
               "and a scrambler that shuffles a picture with a password and puts it back\n"
               "together again.\n"
               "\n"
               "What it does:\n"
               "- shows a preview of the pictures in the open dialog\n"
               "- pastes a bitmap from the clipboard as a new picture\n"
               "- saves pictures as JPEG, BMP or PNG, converting between them (HEIC and\n"
               "  WebP photos are opened, and saved in one of those three)\n"
               "- makes a picture 10% larger or smaller, and clips it to a rectangle\n"
               "- shows several pictures one after another with a timer (autoshow)\n"
               "- fits pictures to the screen (autosize) and assembles them on the fly\n"
               "  during the autoshow (autoassemble)\n"
               "- saves a picture scrambled and assembles it again, up to 1280 x 1024\n"
               "  pixels (1,310,720 pixels in all)\n"
               "- scrambles or assembles a whole set of pictures in a folder\n"
               "- makes small copies (thumbnails) of a set of pictures, named\n"
               "  automatically: photo.jpg gives photos2.jpg, photos4.jpg or photos8.jpg\n"
               "\n"
               "Choosing several pictures:\n"
               "In the open dialog, hold Ctrl and click to add single pictures, or hold\n"
               "Shift and click to take a whole run of them. One picture is shown for\n"
               "viewing and editing; two or more start the autoshow.\n"
               "\n"
               "The password:\n"
               "- Scrambling and assembling need a password. Tavelix asks for one the\n"
               "  first time it is needed; \"Password\" in the Options menu changes it.\n"
               "- The password is not stored, neither in the picture nor anywhere else.\n"
               "  Without it, nobody gets the picture back from Tavelix, you included.\n"
               "- Upper and lower case letters count: \"Summer\" and \"summer\" are\n"
               "  different passwords.\n"
               "- A password has 8 to 50 characters: letters, digits, blanks and the\n"
               "  signs of the Windows Western character set (such as é, ü or the\n"
               "  euro sign €).\n"
               "\n"
               "Keep the size:\n"
               "A scrambled picture must keep its width and height until it is assembled.\n"
               "Do not enlarge, shrink or clip it, and do not let another program resize\n"
               "it: strips of another size no longer fit, and the picture is lost.\n"
               "\n"
               "Check before you rely on it:\n"
               "After \"Save Scrambled As ...\", choose \"Unscramble (Assemble)\" at once:\n"
               "the picture must come back. If a picture was assembled with the wrong\n"
               "password, or was never scrambled, it only gets scrambled further; use\n"
               "\"Reload\" to get the file's picture back and try again.\n"
               "Saved as BMP, a scrambled picture comes back exactly. JPEG saves lose a\n"
               "little detail at every save, and the lost detail shows at the seams of\n"
               "the strips once the picture is assembled.\n"
               "In pictures wider or higher than 255 pixels, the few columns at the right\n"
               "edge and rows at the bottom that do not fill a whole strip are not put\n"
               "back in place exactly.\n"
               "\n"
               "Scrambling and assembling are one and the same shuffle, run in opposite\n"
               "directions: assembling a picture that was not scrambled scrambles it.\n"
               "\n"
               "Clipping:\n"
               "Draw a rectangle over the picture with the mouse, holding the left button.\n"
               "When you let go, Tavelix asks whether the clip becomes the new picture.\n"
               "\n"
               "Enlarging:\n"
               "\"Larger\" stops once a picture covers more than 1280 x 1024 pixels.\n"
               "\n"
               "Choosing a password:\n"
               "Take a long password that others cannot guess: several unrelated words,\n"
               "digits and signs, not a name or a date. Keep it where you will find it:\n"
               "a forgotten password cannot be recovered.\n"
               "\n"
               "What scrambling is, and what it is not:\n"
               "Scrambling hides a picture from a casual look. It is not encryption. The\n"
               "strips keep all their pixels and their edges still fit together, so a\n"
               "patient person, or a program written for it, can put a scrambled picture\n"
               "back together without the password. Do not rely on Tavelix to keep a\n"
               "picture secret from someone who wants to see it; for that, encrypt the\n"
               "file with a tool made for encryption.\n"
               "\n"
               "No warranty:\n"
               "Tavelix is provided as it is, without any warranty. Keep copies of the\n"
               "pictures you scramble; the makers are not liable for pictures that are\n"
               "lost, damaged or seen by others.\n")
        .arg(ProgramVersion(), HomePage());
}

Tfabout::Tfabout(TFtavelix& mainWindow) : QDialog(&mainWindow) {
    setObjectName("fabout");
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);

    logo = new QLabel(this);
    logo->setObjectName("logo");
    url = new QLabel(HomePage(), this);
    url->setObjectName("url");
    url->setTextInteractionFlags(Qt::TextSelectableByMouse);
    btncopy = new QPushButton(QCoreApplication::translate("Tavelix", "Copy URL"), this);
    btncopy->setObjectName("btncopy");
    btncopy->setAutoDefault(false);
    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    Memo1->setReadOnly(true);
    Memo1->setMinimumSize(500, 300);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setBackgroundRole(QPalette::Button);
    Memo1->viewport()->setBackgroundRole(QPalette::Button);
    QFont plain = font();
    plain.setBold(false);
    Memo1->setFont(plain);
    Memo1->setPlainText(HelpText());
    Okbtn = new QPushButton(QCoreApplication::translate("Tavelix", "OK"), this);
    Okbtn->setObjectName("Okbtn");
    Okbtn->setDefault(true);
    connect(btncopy, &QPushButton::clicked, this, &Tfabout::btncopyClick);
    connect(Okbtn, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->addWidget(logo);
    top->addSpacing(12);
    top->addWidget(url, 1);
    top->addWidget(btncopy);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(Okbtn);
    bottom->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addLayout(top);
    layout->addWidget(Memo1, 1);
    layout->addLayout(bottom);
    resize(516, 390);

    for (QWidget* control : findChildren<QWidget*>()) control->installEventFilter(this);
    installEventFilter(this);
    FormCreate();
}

void Tfabout::FormCreate() {
    AppTitle = QStringLiteral("Tavelix");
    setWindowTitle(QCoreApplication::translate("Tavelix", "About ") + AppTitle);
    logo->setPixmap(QPixmap::fromImage(Logo(AppTitle)));
    logo->setFixedSize(174, 32);
}

void Tfabout::btncopyClick() { QApplication::clipboard()->setText(url->text(), QClipboard::Clipboard); }

bool Tfabout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        reject();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void Tfabout::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
}

}  // namespace tavelix::ui
