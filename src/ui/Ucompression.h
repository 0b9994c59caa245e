// Tfcompression: the JPEG quality dialog. Its slider's position is the quality every save
// uses, read at the moment of the save; it starts at 90 at every program start.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QSlider;

namespace tavelix::ui {

class Tfcompression : public QDialog {
    Q_OBJECT

public:
    explicit Tfcompression(QWidget* parent);

    // The JPEG quality, 1 to 100.
    int Quality() const;
    void TrackBarChange();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QSlider* TrackBar = nullptr;
    QPushButton* OKBtn = nullptr;

protected:
    void showEvent(QShowEvent* event) override;  // FormShow
};

}  // namespace tavelix::ui
