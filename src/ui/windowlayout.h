// The window's geometry: the client area below the menu bar, the limits of its size in normal
// mode, the picture's size in the window's units and its place in the scroll box; and the
// filter through which the window follows the resizes and repaints of itself and its picture
// area.
#pragma once

#include <QSize>

class QMainWindow;

namespace tavelix::ui {

class TFtavelix;
struct TFtavelixUi;

// Sizes the window keeps in normal mode: the smallest client area, and the room it leaves free
// on the screen.
constexpr int MinClientWidth = 450;
constexpr int MinClientHeight = 120;
constexpr int ScreenMarginWidth = 20;
constexpr int ScreenMarginHeight = 50;

// The client area is the window below its menu bar, toolbar included; in the window's own
// units (logical pixels).
int ClientWidth(const QMainWindow& window);
int ClientHeight(const QMainWindow& window);
void SetClientSize(TFtavelix& window, int width, int height);
// Height of the toolbar when it is shown, else 0.
int ToolbarHeight(const TFtavelixUi& ui);
// A size for the window with the limits of normal mode applied: the client area at least
// 450 x 120, the outer size at most the screen's less 20 x 50. In the autoshow, wanted.
QSize LimitedSize(TFtavelix& window, QSize wanted);
// The picture's size in the window's units: one picture pixel is one pixel of the screen, so
// on a screen scaled by 2 a 100-pixel picture takes 50 units.
QSize PictureSizeInWindow(TFtavelix& window);
// The view at the component's place, with its size; the scrolled area reaches to the view's
// far edges, and at least fills the visible area (which is black around the picture).
void PlacePicture(TFtavelix& window);

// From now on the window applies its size limits whenever it is resized (FormResize), rebuilds
// its caption at every repaint of itself or of its picture area (FormPaint), and places the
// picture whenever the picture area changes its size.
void WatchLayout(TFtavelix& window);

}  // namespace tavelix::ui
