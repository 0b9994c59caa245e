// Clipping with the mouse: a drag over the picture draws an inverting frame that follows the
// pointer while the caption shows its size; on release the user may take the framed part as
// the new picture. The frame is drawn into the displayed picture itself, so drawing it a
// second time restores every pixel; only the pixels it changes are repainted.
#include <QApplication>
#include <QMouseEvent>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <utility>

#include "ui/Utavelix.h"
#include "ui/pictureview.h"
#include "ui/prompts.h"

namespace tavelix::ui {

namespace {

// The pixels the outline of rect covers: its two rows and two columns, whatever order its
// corners are given in.
QRegion FrameArea(const TRect& rect) {
    const int left = std::min(rect.Left, rect.Right), right = std::max(rect.Left, rect.Right);
    const int top = std::min(rect.Top, rect.Bottom), bottom = std::max(rect.Top, rect.Bottom);
    const int width = right - left + 1, height = bottom - top + 1;
    QRegion area(left, top, width, 1);
    area += QRect(left, bottom, width, 1);
    area += QRect(left, top, 1, height);
    area += QRect(right, top, 1, height);
    return area;
}

}  // namespace

void TFtavelix::dmStartDrag() {
    ClipStartX = ClipStartY = ClipEndX = ClipEndY = 0;
    // The four integers cannot tell a start corner recorded at (0, 0) from none at all: a
    // flag of its own marks the first drag-over of this drag.
    FClipStarted = false;
    FDragging = true;
}

void TFtavelix::dmDragOver(std::int32_t X, std::int32_t Y) {
    if (!FClipStarted) {
        FClipStarted = true;
        ClipStartX = ClipEndX = X;
        ClipStartY = ClipEndY = Y;
        return;
    }
    if (X != ClipEndX || Y != ClipEndY) {
        // The previous frame is erased by drawing it again, then the new one is drawn.
        DrawFrames({Rect(ClipStartX, ClipStartY, ClipEndX, ClipEndY), Rect(ClipStartX, ClipStartY, X, Y)});
        ClipEndX = X;
        ClipEndY = Y;
    }
    setWindowTitle(QStringLiteral("Clipsize %1 x %2").arg(std::abs(X - ClipStartX)).arg(std::abs(Y - ClipStartY)));
}

void TFtavelix::dmEndDrag() { EndDrag(true); }

void TFtavelix::DropDrag() {
    FDragPending = false;
    if (FDragging) EndDrag(false);
}

void TFtavelix::EndDrag(bool offerClip) {
    FDragging = false;
    // The last frame goes first, so the picture is as before the drag whatever follows.
    DrawFrames({Rect(ClipStartX, ClipStartY, ClipEndX, ClipEndY)});
    if (offerClip && ClipEndX != ClipStartX && ClipEndY != ClipStartY) {
        if (ClipEndX < ClipStartX) std::swap(ClipStartX, ClipEndX);
        if (ClipEndY < ClipStartY) std::swap(ClipStartY, ClipEndY);
        const TRect clip = Rect(ClipStartX, ClipStartY, ClipEndX, ClipEndY);
        if (FPrompts->OkCancel(QStringLiteral("Take clip as new picture?"))) {
            Guarded([&] {
                FView->ClipTo(clip);  // the right column and the bottom row stay out
                FWorking.CopyFrom(FView->Picture());
                FitWindowToPicture();
            });
        }
    }
    UpdateCaption();
    ClipStartX = ClipStartY = ClipEndX = ClipEndY = 0;
    FClipStarted = false;
}

void TFtavelix::DrawFrames(std::initializer_list<TRect> frames) {
    // Where two outlines cross, a pixel is inverted twice and comes back as it was: only the
    // pixels in an odd number of outlines change. An outline without width or height inverts
    // some of its own pixels twice, though; then every outline counts whole.
    const bool once = std::none_of(frames.begin(), frames.end(), [](const TRect& frame) {
        return frame.Left == frame.Right || frame.Top == frame.Bottom;
    });
    QRegion changed;
    {
        // Inverting a frame changes only its outline: the view updates that part of its
        // display copy instead of rebuilding all of it.
        FFrameOnly = true;
        struct TRestore {
            bool& Flag;
            ~TRestore() { Flag = false; }
        } restore{FFrameOnly};
        Guarded([&] {
            for (const TRect& frame : frames) {
                FView->DrawClipFrame(FView->Picture().Canvas(), frame);
                if (once)
                    changed ^= FrameArea(frame);
                else
                    changed += FrameArea(frame);
            }
        });
    }
    FViewWidget->PictureAreaChanged(changed);
}

QPoint TFtavelix::PicturePoint(const QPointF& position) const {
    const double ratio = PixelRatio();
    return {static_cast<int>(std::floor(position.x() * ratio)), static_cast<int>(std::floor(position.y() * ratio))};
}

bool TFtavelix::OverPicture(const QPoint& point) const {
    return point.x() >= 0 && point.y() >= 0 && point.x() < FView->Width() && point.y() < FView->Height();
}

// Qt starts no drag on a widget by itself: press, move and release make one. A release
// without a drag is a click.
bool TFtavelix::ViewMouseEvent(QEvent::Type type, const QMouseEvent& event) {
    switch (type) {
    case QEvent::MouseButtonPress:
        if (event.button() != Qt::LeftButton || InAutoshowMode() || AllCommandsBlocked()) return false;
        FDragPending = OverPicture(PicturePoint(event.position()));
        FPressPosition = event.position();
        return FDragPending;
    case QEvent::MouseMove: {
        if (!FDragPending && !FDragging) return false;
        if (!(event.buttons() & Qt::LeftButton)) {
            // The release went elsewhere (a box took the mouse): the drag ends here.
            FDragPending = false;
            if (FDragging) dmEndDrag();
            return true;
        }
        if (!FDragging) {
            if ((event.position() - FPressPosition).manhattanLength() < QApplication::startDragDistance()) return true;
            FDragPending = false;
            dmStartDrag();
            const QPoint start = PicturePoint(FPressPosition);
            dmDragOver(start.x(), start.y());
        }
        const QPoint point = PicturePoint(event.position());
        if (OverPicture(point)) dmDragOver(point.x(), point.y());
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (event.button() != Qt::LeftButton) return false;
        FDragPending = false;
        if (!FDragging) return false;  // a click
        dmEndDrag();
        return true;
    default:
        return false;
    }
}

}  // namespace tavelix::ui
