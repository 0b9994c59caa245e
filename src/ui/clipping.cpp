// Clipping with the mouse: a drag over the picture draws an inverting frame that follows the
// pointer while the caption shows its size; on release the user may take the framed part as
// the new picture. The frame is drawn into the displayed picture itself, so drawing it a
// second time restores every pixel; only the pixels it changes are repainted.
#include <QApplication>
#include <QMouseEvent>
#include <QRegion>

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

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

void TFtavelix::dmStartDrag() { FDrag.Start(); }

void TFtavelix::dmDragOver(std::int32_t X, std::int32_t Y) {
    const TClipDrag::TStep step = FDrag.DragOver(X, Y);
    if (!step.Invert.empty()) DrawFrames(step.Invert);
    if (step.Size) setWindowTitle(QStringLiteral("Clipsize %1 x %2").arg(step.Size->Width).arg(step.Size->Height));
}

void TFtavelix::dmEndDrag() {
    const TClipDrag::TEnd end = FDrag.End();
    // The last frame goes first, so the picture is as before the drag whatever follows.
    if (end.Erase) DrawFrames({*end.Erase});
    if (end.Clip && FPrompts->OkCancel(QStringLiteral("Take clip as new picture?"))) {
        Guarded([&] {
            FView->ClipTo(*end.Clip);  // the right column and the bottom row stay out
            FWorking.CopyFrom(FView->Picture());
            FitWindowToPicture();
        });
    }
    UpdateCaption();
}

void TFtavelix::DropDrag() {
    const bool dragging = FDrag.Dragging();
    if (const std::optional<TRect> frame = FDrag.Drop()) DrawFrames({*frame});
    if (dragging) UpdateCaption();
}

void TFtavelix::DrawFrames(const std::vector<TRect>& frames) {
    // Where two outlines cross, a pixel is inverted twice and comes back as it was: only the
    // pixels in an odd number of outlines change. An outline without width or height inverts
    // some of its own pixels twice, though; then every outline counts whole.
    const bool once = std::none_of(frames.begin(), frames.end(), [](const TRect& frame) {
        return frame.Left == frame.Right || frame.Top == frame.Bottom;
    });
    QRegion changed;
    {
        // Inverting a frame changes only its outline. Meanwhile the component tells nobody of
        // a changed picture: the view updates that part of its display copy instead of
        // rebuilding all of it, and the drag does not take its own frame for a new picture.
        struct TQuiet {
            TTavelix& View;
            std::function<void()> Listener = std::exchange(View.OnPictureChange, nullptr);
            ~TQuiet() { View.OnPictureChange = std::move(Listener); }
        } quiet{*FView};
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
    Ui.PictureView->PictureAreaChanged(changed);
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
    case QEvent::MouseButtonPress: {
        if (event.button() != Qt::LeftButton || InAutoshowMode() || Ui.Commands.AllBlocked()) return false;
        FDrag.SetPending(OverPicture(PicturePoint(event.position())));
        FPressPosition = event.position();
        return FDrag.Pending();
    }
    case QEvent::MouseMove: {
        if (!FDrag.Pending() && !FDrag.Dragging()) return false;
        if (!(event.buttons() & Qt::LeftButton)) {
            // The release went elsewhere (a box took the mouse): the drag ends here.
            FDrag.SetPending(false);
            if (FDrag.Dragging()) dmEndDrag();
            return true;
        }
        if (!FDrag.Dragging()) {
            if ((event.position() - FPressPosition).manhattanLength() < QApplication::startDragDistance()) return true;
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
        FDrag.SetPending(false);
        if (!FDrag.Dragging()) return false;  // a click
        dmEndDrag();
        return true;
    default:
        return false;
    }
}

}  // namespace tavelix::ui
