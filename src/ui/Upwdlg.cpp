#include "ui/Upwdlg.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include <string.h>  // explicit_bzero

#include <optional>

#include "engine/password.h"

namespace tavelix::ui {

namespace {

// UTF-8 of a field's text in a buffer that is wiped when it goes.
class TWipedUtf8 {
public:
    explicit TWipedUtf8(const QString& text) : FBytes(text.toUtf8()) {}
    ~TWipedUtf8() { explicit_bzero(FBytes.data(), static_cast<std::size_t>(FBytes.size())); }
    TWipedUtf8(const TWipedUtf8&) = delete;
    TWipedUtf8& operator=(const TWipedUtf8&) = delete;
    std::string_view View() const { return {FBytes.constData(), static_cast<std::size_t>(FBytes.size())}; }

private:
    QByteArray FBytes;
};

// A problem with the characters themselves (not with the length), which the user is told.
bool IsCharacterProblem(const TPasswordProblem& problem) {
    return problem.What == TPasswordProblem::Kind::NotInCodePage ||
           problem.What == TPasswordProblem::Kind::ControlCharacter ||
           problem.What == TPasswordProblem::Kind::InvalidUtf8;
}

QString HintFor(const TPasswordProblem& problem, const QString& field) {
    if (problem.What == TPasswordProblem::Kind::NotInCodePage)
        return QCoreApplication::translate("Tavelix", "Character %1 of the %2 field cannot be used: passwords take the characters of "
                              "the Windows Western code page only.")
            .arg(problem.Character)
            .arg(field);
    return QCoreApplication::translate("Tavelix", "Character %1 of the %2 field cannot be used: control characters are not allowed.")
        .arg(problem.Character)
        .arg(field);
}

}  // namespace

TPasswordDlg::TPasswordDlg(TSecret& destination, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      FDestination(destination) {
    setObjectName("PasswordDlg");
    setWindowTitle(QCoreApplication::translate("Tavelix", "Password for Tavelix "));

    Label1 = new QLabel(QCoreApplication::translate("Tavelix", "Enter Password 8 up to 50 letters and numbers:"), this);
    Label1->setObjectName("Label1");
    pw1 = new QLineEdit(this);
    pw1->setObjectName("pw1");
    Label2 = new QLabel(QCoreApplication::translate("Tavelix", "Confirm Password:"), this);
    Label2->setObjectName("Label2");
    pw2 = new QLineEdit(this);
    pw2->setObjectName("pw2");
    for (QLineEdit* edit : {pw1, pw2}) {
        edit->setEchoMode(QLineEdit::Password);
        edit->setStyleSheet("lineedit-password-character: 42");  // "*"
        connect(edit, &QLineEdit::textChanged, this, &TPasswordDlg::pw1Change);
    }
    // The labels name their fields, for screen readers too.
    Label1->setBuddy(pw1);
    Label2->setBuddy(pw2);
    Hint = new QLabel(this);
    Hint->setObjectName("Hint");
    Hint->setWordWrap(true);
    Hint->hide();
    OKBtn = new QPushButton(QCoreApplication::translate("Tavelix", "OK"), this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    OKBtn->setEnabled(false);
    CancelBtn = new QPushButton(QCoreApplication::translate("Tavelix", "Cancel"), this);
    CancelBtn->setObjectName("CancelBtn");
    connect(OKBtn, &QPushButton::clicked, this, &TPasswordDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);  // Esc too, as QDialog does

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(pw1);
    layout->addWidget(Label2);
    layout->addWidget(pw2);
    layout->addWidget(Hint);
    layout->addStretch(1);
    layout->addLayout(buttons);
    setTabOrder(pw1, pw2);
    setTabOrder(pw2, OKBtn);
    setTabOrder(OKBtn, CancelBtn);
    // 240 x 132 at the least; wider where this system's font needs it for the first line.
    setMinimumSize(240, 132);
    resize(sizeHint().expandedTo(QSize(240, 132)));
    Hint->setFixedWidth(width() - layout->contentsMargins().left() - layout->contentsMargins().right());
    FormCreate();
}

// The fields' text lives in Qt's own strings, which the program cannot wipe; emptying them
// at the end keeps it out of the widgets at least.
TPasswordDlg::~TPasswordDlg() {
    pw1->clear();
    pw2->clear();
}

void TPasswordDlg::FormCreate() {
    pw1->clear();
    pw2->clear();
}

void TPasswordDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
    pw1->setFocus();
    pw1->selectAll();
}

void TPasswordDlg::pw1Change() {
    const TWipedUtf8 first(pw1->text());
    const TWipedUtf8 second(pw2->text());
    TSecret bytes;
    const std::optional<TPasswordProblem> problem = DecodePassword(first.View(), bytes);
    std::optional<TPasswordProblem> secondProblem;
    if (!problem || !IsCharacterProblem(*problem)) {
        TSecret secondBytes;
        secondProblem = DecodePassword(second.View(), secondBytes);
    }
    // A character that cannot become a byte is named (by its place, never shown); a length
    // or a mismatch only keeps OK disabled.
    QString hint;
    if (problem && IsCharacterProblem(*problem))
        hint = HintFor(*problem, QCoreApplication::translate("Tavelix", "first"));
    else if (secondProblem && IsCharacterProblem(*secondProblem))
        hint = HintFor(*secondProblem, QCoreApplication::translate("Tavelix", "second"));
    Hint->setText(hint);
    if (Hint->isHidden() != hint.isEmpty()) {
        Hint->setVisible(!hint.isEmpty());
        // Make room for the hint (the dialog never shrinks while it is open).
        if (layout()) layout()->activate();
        if (height() < sizeHint().height()) resize(width(), sizeHint().height());
    }
    OKBtn->setEnabled(!problem && pw1->text() == pw2->text());
}

void TPasswordDlg::OKBtnClick() {
    const TWipedUtf8 first(pw1->text());
    TSecret bytes;
    if (DecodePassword(first.View(), bytes) || pw1->text() != pw2->text()) return;  // OK is disabled then
    FDestination.Assign(bytes.View());
    accept();
}

}  // namespace tavelix::ui
