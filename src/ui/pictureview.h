// The widget that shows the picture component's bitmap, pixel for pixel: one picture pixel
// is one pixel of the screen, also on a scaled screen. It paints from a display copy in the
// screen's own pixel layout, rebuilt when the picture has changed, never for a mere repaint.
// A picture of more than WholeCopyMostPixels has no such copy: each paint converts the part it
// paints (at most a screenful), which spares the copy's memory (96 MB for 6000 x 4000) and
// the time to make it before the first paint.
#pragma once

#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QWidget>

namespace tavelix {
class TTavelix;
}

namespace tavelix::ui {

class TPictureView : public QWidget {
    Q_OBJECT

public:
    TPictureView(TTavelix& view, QWidget* parent);

    // The picture's pixels or size changed: the display copy is rebuilt before the next
    // paint (one rebuild however many changes come before it).
    void PictureChanged();
    // Only this area of the picture changed, its size did not (a frame drawn over it): that
    // part of the display copy is updated and repainted at once, the rest is kept. Areas are
    // in the picture's pixels.
    void PictureAreaChanged(const QRect& area) { PictureAreaChanged(QRegion(area)); }
    void PictureAreaChanged(const QRegion& area);

    static constexpr qint64 WholeCopyMostPixels = qint64(1) << 22;

    // The widget's size for the picture at the given pixel ratio of the screen.
    static QSize LogicalSize(int pictureWidth, int pictureHeight, double pixelRatio);

    // For tests and measurements: the display copy as the next paint uses it (rebuilt first
    // if needed; made whole for the caller where paints convert their parts), and how often it
    // has been rebuilt whole.
    const QImage& DisplayCopy();
    int Rebuilds() const { return FRebuilds; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void Rebuild();
    void PaintByParts(QPainter& painter, const QRegion& region);

    TTavelix& FView;
    QImage FDisplay;
    bool FByParts = false;  // no whole copy: each paint converts what it paints
    QImage FPart;           // the last part converted, its memory used again
    bool FDirty = true;
    int FRebuilds = 0;
};

}  // namespace tavelix::ui
