// Pictures and files for the window tests.
#pragma once

#include <QFile>
#include <QImage>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <span>

#include "raster/bitmap.h"

namespace tavelix::ui::test {

// A 24-bit picture with a different colour at nearly every pixel.
TBitmap Gradient(std::int32_t width, std::int32_t height, std::uint32_t seed = 1);
// A picture as a bitmap file or a JPEG file in folder; returns the full name.
QString WriteBmp(const QTemporaryDir& folder, const QString& name, const TBitmap& picture);
QString WriteJpeg(const QTemporaryDir& folder, const QString& name, const TBitmap& picture, int quality = 90);
QString WriteBytes(const QTemporaryDir& folder, const QString& name, const QByteArray& bytes);
inline QByteArray AsBytes(std::span<const std::uint8_t> bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}
// A file's bytes (none when it cannot be read).
inline QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
// A JPEG file's bytes with an EXIF block recording orientation (1 to 8) put first.
QByteArray WithOrientation(const QByteArray& jpeg, int orientation);
// A 1,062-byte bitmap file whose header claims width x height at 1 bit a pixel (the rows it
// lacks would be filled in on loading).
QByteArray ClaimingBitmap(std::uint32_t width, std::uint32_t height);
// A file's picture as the engine reads it (.bmp, .png, else JPEG).
TBitmap ReadPicture(const QString& fileName);
// Same size and the same colour at every pixel.
bool SameColours(const TBitmap& a, const TBitmap& b);
// A QImage of the same colours.
QImage ToQImage(const TBitmap& bitmap);

}  // namespace tavelix::ui::test
