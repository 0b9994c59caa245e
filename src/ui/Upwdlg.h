// TPasswordDlg: the one place where the password is entered, twice. On OK it stores the
// password's bytes in the main window's password; its fields keep their text from one showing
// to the next.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tavelix {
class TSecret;
}

namespace tavelix::ui {

class TPasswordDlg : public QDialog {
    Q_OBJECT

public:
    // destination: the main window's password, written on OK only.
    TPasswordDlg(TSecret& destination, QWidget* parent);
    ~TPasswordDlg() override;

    // Enables OK exactly when both fields hold the same text of 8 to 50 characters that can
    // be stored as password bytes; explains under the fields a character that cannot.
    void pw1Change();
    void OKBtnClick();

    QLabel* Label1 = nullptr;
    QLineEdit* pw1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* pw2 = nullptr;
    QLabel* Hint = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

protected:
    void showEvent(QShowEvent* event) override;  // FormShow

private:
    void FormCreate();

    TSecret& FDestination;
};

}  // namespace tavelix::ui
