#include "ui/Ucompression.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QVBoxLayout>

namespace tavelix::ui {

Tfcompression::Tfcompression(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
    setObjectName("fcompression");
    Label1 = new QLabel(QCoreApplication::translate("Tavelix", "High Compression"), this);
    Label1->setObjectName("Label1");
    Label2 = new QLabel(QCoreApplication::translate("Tavelix", "High Quality"), this);
    Label2->setObjectName("Label2");
    TrackBar = new QSlider(Qt::Horizontal, this);
    TrackBar->setObjectName("TrackBar");
    TrackBar->setRange(1, 100);
    TrackBar->setValue(90);
    TrackBar->setPageStep(10);
    TrackBar->setTickInterval(10);
    TrackBar->setTickPosition(QSlider::TicksBothSides);
    // For screen readers: what the slider sets, and which end is which.
    TrackBar->setAccessibleName(QCoreApplication::translate("Tavelix", "JPG quality"));
    TrackBar->setAccessibleDescription(QCoreApplication::translate("Tavelix", "1: high compression, 100: high quality"));
    OKBtn = new QPushButton(QCoreApplication::translate("Tavelix", "OK"), this);
    OKBtn->setObjectName("OKBtn");
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(TrackBar, &QSlider::valueChanged, this, &Tfcompression::TrackBarChange);

    auto* labels = new QHBoxLayout;
    labels->addWidget(Label1);
    labels->addStretch(1);
    labels->addWidget(Label2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(labels);
    layout->addWidget(TrackBar);
    layout->addStretch(1);
    layout->addLayout(buttons);
    resize(233, 110);
}

int Tfcompression::Quality() const { return TrackBar->value(); }

void Tfcompression::TrackBarChange() { setWindowTitle(QCoreApplication::translate("Tavelix", "Save JPG with: %1").arg(TrackBar->value())); }

void Tfcompression::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    TrackBarChange();
    if (QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
}

}  // namespace tavelix::ui
