#include "ui/windowlayout.h"

#include <QEvent>
#include <QMainWindow>
#include <QScreen>
#include <QScrollArea>

#include <algorithm>

#include "ui/Utavelix.h"
#include "ui/pictureview.h"

namespace tavelix::ui {

namespace {

int MenuHeight(const QMainWindow& window) {
    const QWidget* menu = window.menuWidget();
    if (!menu || menu->isHidden()) return 0;
    if (menu->hasHeightForWidth()) return menu->heightForWidth(window.width());
    return menu->sizeHint().height();
}

// The frame the window system adds around the window (0 x 0 without a window manager).
QSize FrameExtra(const QWidget& window) {
    if (!window.isVisible()) return {0, 0};
    return window.frameGeometry().size() - window.geometry().size();
}

class TWindowLayout : public QObject {
public:
    explicit TWindowLayout(TFtavelix& window) : QObject(&window), FWindow(window) {
        setObjectName("WindowLayout");
        window.installEventFilter(this);
        window.Ui.ScrollBox1->viewport()->installEventFilter(this);
        window.Ui.ScrollContent->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool window = watched == &FWindow;
        switch (event->type()) {
        case QEvent::Resize:
            if (window)
                FWindow.FormResize();
            else if (watched == FWindow.Ui.ScrollBox1->viewport())
                PlacePicture(FWindow);
            break;
        case QEvent::Paint:
            if (window || watched == FWindow.Ui.ScrollContent) FWindow.FormPaint();
            break;
        default:
            break;
        }
        return false;
    }

private:
    TFtavelix& FWindow;
};

}  // namespace

int ClientWidth(const QMainWindow& window) { return window.width(); }

int ClientHeight(const QMainWindow& window) { return window.height() - MenuHeight(window); }

// The limits are applied before the window is resized, so a window that cannot grow further
// is not resized (and repainted whole) twice for nothing.
void SetClientSize(TFtavelix& window, int width, int height) {
    const QSize limited = LimitedSize(window, QSize(width, height + MenuHeight(window)));
    if (limited != window.size()) window.resize(limited);
}

int ToolbarHeight(const TFtavelixUi& ui) { return ui.ToolBar && !ui.ToolBar->isHidden() ? ui.ToolBar->height() : 0; }

QSize LimitedSize(TFtavelix& window, QSize wanted) {
    if (window.InAutoshowMode()) return wanted;
    int width = wanted.width();
    int height = wanted.height();
    const int menu = MenuHeight(window);
    if (width < MinClientWidth) width = MinClientWidth;
    if (height - menu < MinClientHeight) height = MinClientHeight + menu;
    if (const QScreen* screen = window.screen()) {
        const QSize extra = FrameExtra(window);
        const QSize room = screen->geometry().size();
        if (room.width() - ScreenMarginWidth < width + extra.width())
            width = room.width() - ScreenMarginWidth - extra.width();
        if (room.height() - ScreenMarginHeight < height + extra.height())
            height = room.height() - ScreenMarginHeight - extra.height();
    }
    return {width, height};
}

QSize PictureSizeInWindow(TFtavelix& window) {
    const double ratio = window.devicePixelRatioF();
    return TPictureView::LogicalSize(window.View().Width(), window.View().Height(), ratio > 0 ? ratio : 1.0);
}

void PlacePicture(TFtavelix& window) {
    const TTavelix& view = window.View();
    const TFtavelixUi& ui = window.Ui;
    const QSize size = PictureSizeInWindow(window);
    ui.PictureView->setGeometry(view.Left, view.Top, size.width(), size.height());
    const QSize visible = ui.ScrollBox1->viewport()->size();
    ui.ScrollContent->resize(std::max(visible.width(), view.Left + size.width()),
                             std::max(visible.height(), view.Top + size.height()));
    ui.Panel1->setGeometry(QRect(QPoint(0, 0), visible));
}

void WatchLayout(TFtavelix& window) { new TWindowLayout(window); }

}  // namespace tavelix::ui
