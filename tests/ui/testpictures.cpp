#include "testpictures.h"

#include <QFile>

#include "engine/tavelix.h"
#include "raster/bmpcodec.h"
#include "raster/fileio.h"
#include "raster/jpegimage.h"
#include "raster/pngcodec.h"
#include "raster/screenpixels.h"

namespace tavelix::ui::test {

TBitmap Gradient(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    TStoreFormat format;
    format.Layout = TPixelLayout::Rgb(24);
    TBitmap bitmap;
    bitmap.Allocate(width, height, format);
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* row = bitmap.ScanLine(y);
        for (std::int32_t x = 0; x < width; ++x) {
            row[3 * x] = static_cast<std::uint8_t>(x * 7 + seed);
            row[3 * x + 1] = static_cast<std::uint8_t>(y * 5 + seed * 3);
            row[3 * x + 2] = static_cast<std::uint8_t>((x ^ y) * 3 + seed * 11);
        }
    }
    bitmap.Changed();
    return bitmap;
}

QString WriteBytes(const QTemporaryDir& folder, const QString& name, const QByteArray& bytes) {
    const QString path = folder.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) return {};
    return path;
}

QString WriteBmp(const QTemporaryDir& folder, const QString& name, const TBitmap& picture) {
    const std::vector<std::uint8_t> bytes = SaveBmp(picture);
    return WriteBytes(folder, name, QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

QString WriteJpeg(const QTemporaryDir& folder, const QString& name, const TBitmap& picture, int quality) {
    TJPEGImage jpeg;
    jpeg.Assign(picture);
    jpeg.SetQuality(quality);
    jpeg.Encode();
    const auto data = jpeg.Data();
    return WriteBytes(folder, name, QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size())));
}

QByteArray ClaimingBitmap(std::uint32_t width, std::uint32_t height) {
    QByteArray f("BM");
    const auto u16 = [&](std::uint32_t v) { f.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    const auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    u32(14 + 40 + 8 + 1000), u32(0), u32(14 + 40 + 8);
    u32(40), u32(width), u32(height), u16(1), u16(1);
    for (int i = 0; i < 6; ++i) u32(0);
    u32(0), u32(0xFFFFFF);  // black, white
    return f.append(QByteArray(1000, '\x55'));
}

QByteArray WithOrientation(const QByteArray& jpeg, int orientation) {
    // "Exif", a little-endian TIFF head and one directory entry: the orientation, a short.
    const char exif[] = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                         0x12, 0x01, 3, 0, 1, 0, 0, 0, char(orientation), 0, 0, 0, 0, 0, 0, 0};
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char(0)).append(char(sizeof exif + 2)).append(exif, sizeof exif);
    return jpeg.left(2) + segment + jpeg.mid(2);
}

TBitmap ReadPicture(const QString& fileName) {
    const std::string name = QFile::encodeName(fileName).toStdString();
    TBitmap bitmap;
    if (PictureExtension(name) == ".bmp") {
        LoadBmp(bitmap, ReadFileBytes(name));
    } else if (PictureExtension(name) == ".png") {
        LoadPng(bitmap, ReadFileBytes(name));
    } else {
        TJPEGImage jpeg;
        jpeg.LoadFromFile(name);
        bitmap.CopyFrom(jpeg);
    }
    return bitmap;
}

bool SameColours(const TBitmap& a, const TBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return false;
    for (std::int32_t y = 0; y < a.Height(); ++y)
        for (std::int32_t x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
    return true;
}

QImage ToQImage(const TBitmap& bitmap) {
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB32);
    CopyToScreenPixels(bitmap, Rect(0, 0, bitmap.Width(), bitmap.Height()), image.bits(),
                       static_cast<std::size_t>(image.bytesPerLine()));
    return image;
}

}  // namespace tavelix::ui::test
