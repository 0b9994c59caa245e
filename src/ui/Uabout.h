// Tfabout: the about box. It holds the program's title, which every caption of the main
// window starts with, and shows the logo, the home page with a button that copies it, and
// the help text.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tavelix::ui {

class TFtavelix;

// The project's home page and version, as the build gives them.
QString HomePage();
QString ProgramVersion();  // "3.0"
// The help text of the about box.
QString HelpText();

class Tfabout : public QDialog {
    Q_OBJECT

public:
    // Sets the title and gives the main window its first caption.
    explicit Tfabout(TFtavelix& mainWindow);

    QString AppTitle;

    void btncopyClick();

    QLabel* logo = nullptr;
    QLabel* url = nullptr;
    QPushButton* btncopy = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Okbtn = nullptr;

protected:
    // The box sees keys before its controls: Esc closes it from any of them.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
};

}  // namespace tavelix::ui
