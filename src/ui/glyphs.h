// Pictures the program draws for itself: the toolbar glyphs, the window icon and the logo of
// the about box. All are made from code at start, so no picture file has to ship with it.
#pragma once

#include <QIcon>
#include <QImage>
#include <QList>

namespace tavelix::ui {

constexpr int GlyphSize = 20;
constexpr int GlyphCount = 9;

// The toolbar's glyphs side by side in one strip of 180 x 20 pixels in 16 colours (an 8-bit
// picture whose colour table holds the 16 standard colours), in the order of the buttons:
// open, paste, save as, save scrambled as, smaller, reload, larger, unscramble, about.
// White (0xFFFFFF) marks the pixels that are transparent.
QImage ToolbarStrip();

// Cuts a strip of glyphs into icons, white made transparent. Each icon also carries a copy
// at twice and three times the size, enlarged pixel by pixel, so that scaled screens show
// sharp glyphs instead of blurred ones.
QList<QIcon> ImageListFromStrip(const QImage& strip, int glyphSize);

// The program's icon, the one the desktop shows for it, at its sizes from 16 to 256 pixels.
QIcon ApplicationIcon();

// The about box's logo, 174 x 32 pixels: the program's icon and the name.
QImage Logo(const QString& title);

}  // namespace tavelix::ui
