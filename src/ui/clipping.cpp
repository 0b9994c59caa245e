// Clipping with the mouse: a drag over the picture draws an inverting frame that follows the
// pointer while the caption shows its size; on release the user may take the framed part as
// the new picture. The frame is drawn into the displayed picture itself, so drawing it a
// second time restores every pixel; only the pixels it changes are repainted. TClipDrag keeps
// the drag; here are the handlers and the filter that sees the mouse on the picture area.
#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>
#include <QRegion>

#include <algorithm>
#include <array>
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

// Inverts the outlines of frames on the displayed picture and repaints only what changed.
void DrawFrames(TFtavelix& window, const std::vector<TRect>& frames) {
    // Where two outlines cross, a pixel is inverted twice and comes back as it was: only the
    // pixels in an odd number of outlines change. An outline without width or height inverts
    // some of its own pixels twice, though; then every outline counts whole.
    const bool once = std::none_of(frames.begin(), frames.end(), [](const TRect& frame) {
        return frame.Left == frame.Right || frame.Top == frame.Bottom;
    });
    TTavelix& view = window.View();
    QRegion changed;
    {
        // Inverting a frame changes only its outline. Meanwhile the component tells nobody of
        // a changed picture: the view updates that part of its display copy instead of
        // rebuilding all of it, and the drag does not take its own frame for a new picture.
        struct TQuiet {
            TTavelix& View;
            std::function<void()> Listener = std::exchange(View.OnPictureChange, nullptr);
            ~TQuiet() { View.OnPictureChange = std::move(Listener); }
        } quiet{view};
        Guarded(window.Prompts(), [&] {
            for (const TRect& frame : frames) {
                view.DrawClipFrame(view.Picture().Canvas(), frame);
                if (once)
                    changed ^= FrameArea(frame);
                else
                    changed += FrameArea(frame);
            }
        });
    }
    window.Ui.PictureView->PictureAreaChanged(changed);
}

}  // namespace

void DropDrag(TFtavelix& window) {
    const bool dragging = window.ClipDrag().Dragging();
    if (const std::optional<TRect> frame = window.ClipDrag().Drop()) DrawFrames(window, {*frame});
    if (dragging) window.UpdateCaption();
}

void TFtavelix::dmStartDrag() { FDrag.Start(); }

void TFtavelix::dmDragOver(std::int32_t X, std::int32_t Y) {
    const TClipDrag::TStep step = FDrag.DragOver(X, Y);
    if (!step.Invert.empty()) DrawFrames(*this, step.Invert);
    if (step.Size) setWindowTitle(QCoreApplication::translate("Tavelix", "Clipsize %1 x %2").arg(step.Size->Width).arg(step.Size->Height));
}

void TFtavelix::dmEndDrag() {
    const TClipDrag::TEnd end = FDrag.End();
    // The last frame goes first, so the picture is as before the drag whatever follows.
    if (end.Erase) DrawFrames(*this, {*end.Erase});
    if (end.Clip && Prompts().OkCancel(QCoreApplication::translate("Tavelix", "Take clip as new picture?"))) {
        Guarded(Prompts(), [&] {
            FView->ClipTo(*end.Clip);  // the right column and the bottom row stay out
            FWorking.CopyFrom(FView->Picture());
            FOrientation = 1;  // a new picture, as shown
            FitWindowToPicture();
        });
    }
    UpdateCaption();
}

namespace {

// The picture files of a drop, local ones only; none when anything else is dropped.
QStringList DroppedFiles(const QMimeData* data) {
    QStringList files;
    if (!data || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) return {};
        files.append(url.toLocalFile());
    }
    return files;
}

// The mouse on the picture area. Qt starts no drag on a widget by itself: press, move and
// release on the picture make one, in normal mode; a release without a drag is a click, which
// in the show steps it on. Moves refresh Paste, and the right button opens the window's context
// menu, if it has one. Ctrl and the wheel run "10% Larger" and "10% Smaller" (the wheel alone
// scrolls), and files dropped on the window open as Open would open them.
class TWindowMouse : public QObject {
public:
    explicit TWindowMouse(TFtavelix& window) : QObject(&window), FWindow(window) {
        setObjectName("WindowMouse");
        for (QObject* watched : Area()) watched->installEventFilter(this);
        window.setAcceptDrops(true);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseMove:
            FWindow.FormMouseMove();
            return watched == FWindow.Ui.PictureView && Drag(event->type(), *static_cast<QMouseEvent*>(event));
        case QEvent::MouseButtonPress:
            return watched == FWindow.Ui.PictureView && Drag(event->type(), *static_cast<QMouseEvent*>(event));
        case QEvent::MouseButtonRelease: {
            const auto& mouse = *static_cast<QMouseEvent*>(event);
            if (watched == FWindow.Ui.PictureView && Drag(event->type(), mouse)) return true;
            // A click on the picture area; it is taken once, where it landed first.
            if (mouse.button() != Qt::LeftButton || !FWindow.InAutoshowMode()) return false;
            FWindow.FormClick();
            return true;
        }
        case QEvent::Wheel: {
            const auto& wheel = *static_cast<QWheelEvent*>(event);
            if (!(wheel.modifiers() & Qt::ControlModifier) || wheel.angleDelta().y() == 0) return false;
            (wheel.angleDelta().y() > 0 ? FWindow.Ui.Larger1 : FWindow.Ui.Smaller)->trigger();
            return true;
        }
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto& drag = *static_cast<QDropEvent*>(event);
            // As Open: not during the show or a run on disk, which disable it.
            if (watched != &FWindow || FWindow.InAutoshowMode() || !FWindow.Ui.Open1->isEnabled() ||
                DroppedFiles(drag.mimeData()).isEmpty())
                return false;
            drag.acceptProposedAction();
            return true;
        }
        case QEvent::Drop: {
            auto& drop = *static_cast<QDropEvent*>(event);
            const QStringList files = DroppedFiles(drop.mimeData());
            if (watched != &FWindow || files.isEmpty()) return false;
            drop.acceptProposedAction();
            // After the drop has ended: a box the opening shows must not stand inside it.
            QTimer::singleShot(0, &FWindow, [window = &FWindow, files] { window->OpenPictures(files); });
            return true;
        }
        case QEvent::ContextMenu: {
            if (watched != &FWindow) return false;
            auto* request = static_cast<QContextMenuEvent*>(event);
            if (!FWindow.Ui.ContextMenu) {
                request->ignore();  // none in normal mode
                return true;
            }
            FWindow.Ui.ContextMenu->popup(request->globalPos());
            request->accept();
            return true;
        }
        default:
            return false;
        }
    }

private:
    // The window and what lies over it, down to the picture.
    std::array<QObject*, 4> Area() const {
        return {&FWindow, FWindow.Ui.ScrollBox1->viewport(), FWindow.Ui.ScrollContent, FWindow.Ui.PictureView};
    }

    bool Drag(QEvent::Type type, const QMouseEvent& event) {
        TClipDrag& drag = FWindow.ClipDrag();
        switch (type) {
        case QEvent::MouseButtonPress:
            if (event.button() != Qt::LeftButton || FWindow.InAutoshowMode() || FWindow.Ui.Commands.AllBlocked())
                return false;
            drag.SetPending(OverPicture(PicturePoint(event.position())));
            FPressPosition = event.position();
            return drag.Pending();
        case QEvent::MouseMove: {
            if (!drag.Pending() && !drag.Dragging()) return false;
            if (!(event.buttons() & Qt::LeftButton)) {
                // The release went elsewhere (a box took the mouse): the drag ends here.
                drag.SetPending(false);
                if (drag.Dragging()) FWindow.dmEndDrag();
                return true;
            }
            if (!drag.Dragging()) {
                const QPointF moved = event.position() - FPressPosition;
                if (moved.manhattanLength() < QApplication::startDragDistance()) return true;
                FWindow.dmStartDrag();
                const QPoint start = PicturePoint(FPressPosition);
                FWindow.dmDragOver(start.x(), start.y());
            }
            const QPoint point = PicturePoint(event.position());
            if (OverPicture(point)) FWindow.dmDragOver(point.x(), point.y());
            return true;
        }
        case QEvent::MouseButtonRelease:
            if (event.button() != Qt::LeftButton) return false;
            drag.SetPending(false);
            if (!drag.Dragging()) return false;  // a click
            FWindow.dmEndDrag();
            return true;
        default:
            return false;
        }
    }

    // A position on the view in the displayed picture's pixels.
    QPoint PicturePoint(const QPointF& position) const {
        const double ratio = FWindow.devicePixelRatioF() > 0 ? FWindow.devicePixelRatioF() : 1.0;
        return {static_cast<int>(std::floor(position.x() * ratio)), static_cast<int>(std::floor(position.y() * ratio))};
    }
    bool OverPicture(const QPoint& point) const {
        const TTavelix& view = FWindow.View();
        return point.x() >= 0 && point.y() >= 0 && point.x() < view.Width() && point.y() < view.Height();
    }

    TFtavelix& FWindow;
    QPointF FPressPosition;  // where the button went down, in the view's units
};

}  // namespace

void WatchMouse(TFtavelix& window) { new TWindowMouse(window); }

}  // namespace tavelix::ui
