#include "ui/pictureview.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/tavelix.h"
#include "raster/screenpixels.h"

namespace tavelix::ui {

namespace {

// A picture with alpha is shown over the window's black background: each pixel of part of the
// display copy (its opaque colours, as CopyToScreenPixels wrote them) weighed by its opacity.
// Pictures without alpha are left as they were copied.
void BlendOverBackground(const TBitmap& picture, const QRect& part, QImage& display) {
    if (picture.Layout() != TPixelLayout::Bgra()) return;
    for (int y = part.top(); y <= part.bottom(); ++y) {
        const std::uint8_t* alpha = picture.ScanLine(y) + 3;
        auto* out = reinterpret_cast<QRgb*>(display.scanLine(y));
        for (int x = part.left(); x <= part.right(); ++x) {
            const unsigned a = alpha[std::size_t(x) * 4];
            if (a == 255) continue;
            const auto weigh = [a](unsigned c) { return (c * a + 127) / 255; };
            out[x] = qRgb(int(weigh(unsigned(qRed(out[x])))), int(weigh(unsigned(qGreen(out[x])))),
                          int(weigh(unsigned(qBlue(out[x])))));
        }
    }
}

}  // namespace

TPictureView::TPictureView(TTavelix& view, QWidget* parent) : QWidget(parent), FView(view) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted: nothing to clear first
    setMouseTracking(true);
}

QSize TPictureView::LogicalSize(int pictureWidth, int pictureHeight, double pixelRatio) {
    if (pixelRatio <= 0) pixelRatio = 1;
    return {static_cast<int>(std::ceil(pictureWidth / pixelRatio)),
            static_cast<int>(std::ceil(pictureHeight / pixelRatio))};
}

void TPictureView::PictureChanged() {
    FDirty = true;
    update();
}

void TPictureView::PictureAreaChanged(const QRegion& area) {
    const TBitmap& picture = FView.Picture();
    if (!FDirty && FByParts) {  // converted when painted
        const double ratio = devicePixelRatioF();
        for (const QRect& part : area.intersected(QRect(0, 0, picture.Width(), picture.Height())))
            repaint(QRectF(part.left() / ratio, part.top() / ratio, part.width() / ratio, part.height() / ratio)
                        .toAlignedRect());
        return;
    }
    if (FDirty || FDisplay.size() != QSize(picture.Width(), picture.Height())) {
        PictureChanged();
        return;
    }
    const QRegion inside = area.intersected(FDisplay.rect());
    if (inside.isEmpty()) return;
    for (const QRect& part : inside)
        CopyToScreenPixels(picture, Rect(part.left(), part.top(), part.right() + 1, part.bottom() + 1),
                           FDisplay.scanLine(part.top()) + std::size_t(part.left()) * 4,
                           static_cast<std::size_t>(FDisplay.bytesPerLine()));
    for (const QRect& part : inside) BlendOverBackground(picture, part, FDisplay);
    // Each part is painted at once on its own. Together they would make one update of a
    // many-cornered region, which Qt paints through a clip as large as the rectangle around
    // them: for a frame over a large picture that costs more than painting it all.
    const double ratio = devicePixelRatioF();
    for (const QRect& part : inside) {
        if (ratio == 1.0)
            repaint(part);
        else
            repaint(QRectF(part.left() / ratio, part.top() / ratio, part.width() / ratio, part.height() / ratio)
                        .toAlignedRect());
    }
}

const QImage& TPictureView::DisplayCopy() {
    if (FDirty) Rebuild();
    if (FByParts) {
        const TBitmap& picture = FView.Picture();
        FPart = QImage(picture.Width(), picture.Height(), QImage::Format_RGB32);
        CopyToScreenPixels(picture, Rect(0, 0, picture.Width(), picture.Height()), FPart.bits(),
                           static_cast<std::size_t>(FPart.bytesPerLine()));
        return FPart;
    }
    return FDisplay;
}

void TPictureView::Rebuild() {
    const TBitmap& picture = FView.Picture();
    FByParts = qint64(picture.Width()) * picture.Height() > WholeCopyMostPixels;
    if (picture.Empty() || FByParts) {
        FDisplay = QImage();
    } else {
        if (FDisplay.size() != QSize(picture.Width(), picture.Height()) || FDisplay.isNull())
            FDisplay = QImage(picture.Width(), picture.Height(), QImage::Format_RGB32);
        if (!FDisplay.isNull()) {  // null when the memory for it could not be had
            CopyToScreenPixels(picture, Rect(0, 0, picture.Width(), picture.Height()), FDisplay.bits(),
                               static_cast<std::size_t>(FDisplay.bytesPerLine()));
            BlendOverBackground(picture, FDisplay.rect(), FDisplay);
        }
    }
    FDirty = false;
    ++FRebuilds;
}

void TPictureView::paintEvent(QPaintEvent* event) {
    if (FDirty) Rebuild();
    QPainter painter(this);
    if (FByParts) return PaintByParts(painter, event->region());
    if (FDisplay.isNull()) {
        painter.fillRect(event->rect(), Qt::black);
        return;
    }
    // The copy is tagged with the screen's pixel ratio, so the painter puts one of its pixels
    // on one pixel of the screen; only the part that needs painting is drawn.
    const double ratio = devicePixelRatioF();
    if (FDisplay.devicePixelRatio() != ratio) FDisplay.setDevicePixelRatio(ratio);
    // Each part of the region on its own: a frame dragged over the picture asks for four thin
    // strips, not for the rectangle around them.
    for (const QRect& exposed : event->region()) {
        if (ratio == 1.0) {
            painter.drawImage(exposed.topLeft(), FDisplay, exposed);  // a plain block copy
        } else {
            const QRectF source(exposed.left() * ratio, exposed.top() * ratio, exposed.width() * ratio,
                                exposed.height() * ratio);
            painter.drawImage(QRectF(exposed), FDisplay, source);
        }
    }
    // Beyond the picture's last pixel (a widget rounded up to whole units): black, as around it.
    const QSize shown = LogicalSize(FDisplay.width(), FDisplay.height(), ratio);
    if (FDisplay.width() / ratio < shown.width())
        painter.fillRect(QRectF(FDisplay.width() / ratio, 0, shown.width(), shown.height()), Qt::black);
    if (FDisplay.height() / ratio < shown.height())
        painter.fillRect(QRectF(0, FDisplay.height() / ratio, shown.width(), shown.height()), Qt::black);
}

// The picture's pixels under each part of the region converted into FPart and drawn, tagged
// with the screen's pixel ratio (one of its pixels on one pixel of the screen).
void TPictureView::PaintByParts(QPainter& painter, const QRegion& region) {
    const TBitmap& picture = FView.Picture();
    const double ratio = devicePixelRatioF();
    const QRect whole(0, 0, picture.Width(), picture.Height());
    for (const QRect& exposed : region) {
        const QRect part =
            QRectF(exposed.left() * ratio, exposed.top() * ratio, exposed.width() * ratio, exposed.height() * ratio)
                .toAlignedRect()
                .intersected(whole);
        if (part.isEmpty()) continue;
        if (FPart.width() < part.width() || FPart.height() < part.height())
            FPart = QImage(std::max(FPart.width(), part.width()), std::max(FPart.height(), part.height()),
                           QImage::Format_RGB32);
        if (FPart.isNull()) continue;  // no memory for it
        CopyToScreenPixels(picture, Rect(part.left(), part.top(), part.right() + 1, part.bottom() + 1), FPart.bits(),
                           static_cast<std::size_t>(FPart.bytesPerLine()));
        FPart.setDevicePixelRatio(ratio);
        painter.drawImage(QPointF(part.left() / ratio, part.top() / ratio), FPart,
                          QRectF(0, 0, part.width(), part.height()));
    }
    const QSize shown = LogicalSize(whole.width(), whole.height(), ratio);
    if (whole.width() / ratio < shown.width())
        painter.fillRect(QRectF(whole.width() / ratio, 0, shown.width(), shown.height()), Qt::black);
    if (whole.height() / ratio < shown.height())
        painter.fillRect(QRectF(0, whole.height() / ratio, shown.width(), shown.height()), Qt::black);
}

void TPictureView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();  // the window has seen it already; the area behind need not
}

}  // namespace tavelix::ui
