// The open dialog's picture preview: what Tavelix would open, read by its own codecs at a
// reduced scale. A hostile or huge file can neither crash the dialog nor hold it up: files
// and pictures above fixed sizes are not decoded at all, and every failure becomes a text.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdint>

namespace tavelix::ui {

struct TPreviewLimits {
    std::uint64_t MaxFileBytes = std::uint64_t{64} << 20;   // 64 MiB
    std::uint64_t MaxPixels = 40'000'000;                    // of the whole picture
};

struct TPreview {
    QImage Image;  // null when there is nothing to show
    QString Text;  // the picture's size and type, or why there is no picture
};

// The preview of a file for a box of the given size: the picture shrunk to fit the box
// (never enlarged), with "width x height" and its type; for a file Tavelix does not open
// (not ".jpg", ".bmp", ".png", ".heic", ".heif" or ".webp"), nothing at all. A picture with
// alpha keeps it (ARGB32).
TPreview MakePreview(const QString& fileName, QSize box, const TPreviewLimits& limits = {});

}  // namespace tavelix::ui
