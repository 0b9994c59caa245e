#include "ui/glyphs.h"

#include <QFont>
#include <QPainter>

namespace tavelix::ui {

namespace {

// The 16 standard colours; a glyph's letters name them.
struct TGlyphColour {
    char Letter;
    QRgb Colour;
};
constexpr TGlyphColour Colours[16] = {
    {'k', 0xFF000000}, {'r', 0xFF800000}, {'g', 0xFF008000}, {'o', 0xFF808000},
    {'n', 0xFF000080}, {'p', 0xFF800080}, {'t', 0xFF008080}, {'s', 0xFFC0C0C0},
    {'d', 0xFF808080}, {'R', 0xFFFF0000}, {'G', 0xFF00FF00}, {'Y', 0xFFFFFF00},
    {'B', 0xFF0000FF}, {'M', 0xFFFF00FF}, {'C', 0xFF00FFFF}, {'.', 0xFFFFFFFF},
};
constexpr QRgb Transparent = 0xFFFFFFFF;  // white: the pixels the toolbar's background shows through

// Each glyph drawn pixel by pixel, 20 rows of 20 letters; "." is white.
constexpr const char* Glyphs[GlyphCount * GlyphSize] = {
    // open
    "....................",
    "....................",
    "....................",
    ".kkkkk..............",
    "kYYYYYk.............",
    "kYYYYYYkkkkkkkkk....",
    "kYYYYYYYYYYYYYYok...",
    "kYYYYYYYYYYYYYYok...",
    "kYYYYkkkkkkkkkkkkkkk",
    "kYYYkYYYYYYYYYYYYYok",
    "kYYYkYYYYYYYYYYYYok.",
    "kYYkYYYYYYYYYYYYYok.",
    "kYYkYYYYYYYYYYYYok..",
    "kYkYYYYYYYYYYYYYok..",
    "kYkYYYYYYYYYYYYok...",
    "kkYYYYYYYYYYYYYok...",
    "kkoooooooooooooo....",
    "kkkkkkkkkkkkkkkk....",
    "....................",
    "....................",
    // paste
    "....................",
    ".......kkkkkk.......",
    "..kkkkkdssssdkkkkk..",
    ".krrrrksdkkdskrrrrk.",
    ".krrrkkkkkkkkkkrrrk.",
    ".krrrkkkkkkkkkkrrrk.",
    ".krrk..........krrk.",
    ".krrk.dddddddd.krrk.",
    ".krrk..........krrk.",
    ".krrk.dddddddd.krrk.",
    ".krrk..........krrk.",
    ".krrk.dddddddd.krrk.",
    ".krrk..........krrk.",
    ".krrk.dddddd...krrk.",
    ".krrk..........krrk.",
    ".krrkkkkkkkkkkkkrrk.",
    ".krrrrrrrrrrrrrrrrk.",
    ".krrrrrrrrrrrrrrrrk.",
    "..kkkkkkkkkkkkkkkk..",
    "....................",
    // save as
    "....................",
    ".kkkkkkkkkkkkkkkkkk.",
    ".knnks........sknnk.",
    ".knnks........sknnk.",
    ".knnks.dddddd.sknnk.",
    ".knnks........sknnk.",
    ".knnks.dddddd.sknnk.",
    ".knnks........sknnk.",
    ".knnnssssssssssnnnk.",
    ".knnnnnnnnnnnnnnnnk.",
    ".knnnnnnnnnnnnnnnnk.",
    ".knnnsssssssssssnnk.",
    ".knnnskkkssssssnnnk.",
    ".knnnskkkssssssnnnk.",
    ".knnnskkkssssssnnnk.",
    ".knnnskkkssssssnnnk.",
    ".knnnsssssssssssnnk.",
    "..kkkkkkkkkkkkkkkkk.",
    "....................",
    "....................",
    // save scrambled as
    "....................",
    "kkkkkkkkkkkkkkkk....",
    "knnks........sknk...",
    "knnks.ddddd..sknk...",
    "knnks........sknk...",
    "knnks.ddddd..sknk...",
    "knnnsssssssssnnnk...",
    "knnnnnnnnnnnnnnnk...",
    "knnnnnnnnnnnnnnnk...",
    "knnnsssssssnnnnnk...",
    "knnnskkssskkkkkkkkkk",
    "knnnskkssskGGkCCkYYk",
    "knnnskkssskGGkCCkYYk",
    "knnnsssssskkkkkkkkkk",
    ".kkkkkkkkkkCCkggkGGk",
    "..........kCCkggkGGk",
    "..........kkkkkkkkkk",
    "..........kggkGGkCCk",
    "..........kggkGGkCCk",
    "..........kkkkkkkkkk",
    // smaller
    "....................",
    ".....kkkkk..........",
    "...kkssssskk........",
    "..kss.....sdk.......",
    "..ks.......dk.......",
    ".ks.........dk......",
    ".ks.........dk......",
    ".ks.kkkkkkk.dk......",
    ".ks.kkkkkkk.dk......",
    ".ks.........dk......",
    ".kd.........dk......",
    "..kd.......dk.......",
    "..kdd.....ddkk......",
    "...kkdddddkkook.....",
    ".....kkkkk..kooook..",
    ".............kooook.",
    "..............kooook",
    "...............kooo.",
    "................kok.",
    "....................",
    // reload
    "....................",
    "............kk......",
    "...........kggk.....",
    "......kkkkkkggk.....",
    ".....kgggggggggk....",
    "....kgggggggggggk...",
    "...kgggggkkggggggk..",
    "..kggggkk.kggggkk...",
    "..kgggk...kgkkk.....",
    "..kgggk....k........",
    "..kggk.........kk...",
    "..kggk........kggk..",
    "..kgggk......kgggk..",
    "..kgggk......kgggk..",
    "..kggggkk..kkggggk..",
    "...kgggggkkgggggk...",
    "....kggggggggggk....",
    ".....kggggggggk.....",
    "......kkkkkkkk......",
    "....................",
    // larger
    "....................",
    ".....kkkkk..........",
    "...kkssssskk........",
    "..kss.....sdk.......",
    "..ks...kk..dk.......",
    ".ks....kk...dk......",
    ".ks....kk...dk......",
    ".ks.kkkkkkk.dk......",
    ".ks.kkkkkkk.dk......",
    ".ks....kk...dk......",
    ".kd....kk...dk......",
    "..kd...kk..dk.......",
    "..kdd.....ddkk......",
    "...kkdddddkkook.....",
    ".....kkkkk..kooook..",
    ".............kooook.",
    "..............kooook",
    "...............kooo.",
    "................kok.",
    "....................",
    // unscramble
    "....................",
    ".kkkkkkkkkkkkkkkkkk.",
    ".kCCCCCCCCCCCCCYYYk.",
    ".kCCCCCCCCCCCCYYYYk.",
    ".kCCCCCCCCCCCCYYYYk.",
    ".kCCCCCCCCCCCCCYYCk.",
    ".kCCCCCCgCCCCCCCCCk.",
    ".kCCCCCgggCCCCCCCCk.",
    ".kCCCCgggggCCCCCCCk.",
    ".kCCCgggggggCCCgCCk.",
    ".kCCgggggggggCgggCk.",
    ".kCgggggkkkkgggggGk.",
    ".kggggkkYYYYkkggggk.",
    ".kGGGkYYYkkYYYkkkkkk",
    ".kGGGkYYk..kYYYYYYYk",
    ".kGGGkYYYkkYYYkYkYkk",
    ".kkkkkkYYYYYYkkkkkk.",
    ".......kkkkkk.......",
    "....................",
    "....................",
    // about
    "....................",
    "......kkkkkkkk......",
    "....kkBBBBBBBBkk....",
    "...kBBBBBBBBBBBBk...",
    "..kBBBBBB..BBBBBBk..",
    "..kBBBBBB..BBBBBBk..",
    ".kBBBBBBBBBBBBBBBBk.",
    ".kBBBBBBBBBBBBBBBBk.",
    ".kBBBBB....BBBBBBBk.",
    ".kBBBBBBB..BBBBBBBk.",
    ".kBBBBBBB..BBBBBBBk.",
    ".kBBBBBBB..BBBBBBBk.",
    ".kBBBBBBB..BBBBBBBk.",
    "..kBBBBBB..BBBBBBk..",
    "..kBBBBB....BBBBBk..",
    "...kBBBBBBBBBBBBk...",
    "....kkBBBBBBBBkk....",
    "......kkkkkkkk......",
    "....................",
    "....................",
};

int ColourIndex(char letter) {
    for (int i = 0; i < 16; ++i)
        if (Colours[i].Letter == letter) return i;
    return 15;
}

}  // namespace

QImage ToolbarStrip() {
    QImage strip(GlyphCount * GlyphSize, GlyphSize, QImage::Format_Indexed8);
    QList<QRgb> table;
    for (const TGlyphColour& c : Colours) table.append(c.Colour);
    strip.setColorTable(table);
    for (int g = 0; g < GlyphCount; ++g)
        for (int y = 0; y < GlyphSize; ++y) {
            const char* row = Glyphs[g * GlyphSize + y];
            uchar* line = strip.scanLine(y) + g * GlyphSize;
            for (int x = 0; x < GlyphSize; ++x) line[x] = static_cast<uchar>(ColourIndex(row[x]));
        }
    return strip;
}

QList<QIcon> ImageListFromStrip(const QImage& strip, int glyphSize) {
    QList<QIcon> icons;
    for (int left = 0; left + glyphSize <= strip.width(); left += glyphSize) {
        QImage glyph = strip.copy(left, 0, glyphSize, glyphSize).convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < glyph.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(glyph.scanLine(y));
            for (int x = 0; x < glyph.width(); ++x)
                if (line[x] == Transparent) line[x] = 0;
        }
        QIcon icon;
        for (int scale = 1; scale <= 3; ++scale)
            icon.addPixmap(QPixmap::fromImage(glyph.scaled(glyphSize * scale, glyphSize * scale,
                                                           Qt::IgnoreAspectRatio, Qt::FastTransformation)));
        icons.append(icon);
    }
    return icons;
}

QIcon ApplicationIcon() {
    // The program's icon as the desktop shows it, drawn by hand at each size.
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/apps/tavelix.png").arg(size), QSize(size, size));
    return icon;
}

QImage Logo(const QString& title) {
    QImage logo(174, 32, QImage::Format_RGB32);
    logo.fill(QColor(0xF0, 0xF0, 0xF0));
    QPainter painter(&logo);
    painter.drawImage(QPoint(0, 0), QImage(QStringLiteral(":/icons/32x32/apps/tavelix.png")));
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(22);
    painter.setFont(font);
    painter.setPen(QColor(0x20, 0x26, 0x2E));
    painter.drawText(QRect(40, 0, 134, 32), Qt::AlignVCenter | Qt::AlignLeft, title);
    return logo;
}

}  // namespace tavelix::ui
