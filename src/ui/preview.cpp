#include "ui/preview.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <exception>
#include <new>
#include <optional>
#include <span>
#include <string>

#include "engine/tavelix.h"
#include "raster/bmpcodec.h"
#include "raster/fileio.h"
#include "raster/heifcodec.h"
#include "raster/jpegimage.h"
#include "raster/orientation.h"
#include "raster/pictureregistry.h"
#include "raster/pngcodec.h"
#include "raster/webpcodec.h"
#include "raster/screenpixels.h"

namespace tavelix::ui {

namespace {

QString SizeText(std::int64_t width, std::int64_t height) {
    return QStringLiteral("%1 x %2").arg(width).arg(height);
}

// The largest of 1, 2, 4 and 8 that still leaves the longer side at least as long as the box.
unsigned JpegScale(std::int64_t width, std::int64_t height, QSize box) {
    const std::int64_t longer = std::max(width, height);
    const std::int64_t wanted = std::max(box.width(), box.height());
    unsigned scale = 1;
    while (scale < 8 && longer / (2 * scale) >= wanted) scale *= 2;
    return scale;
}

// A picture with alpha keeps it: the preview box shows through its clear parts.
QImage ToImage(const TBitmap& bitmap) {
    const bool alpha = bitmap.Layout() == TPixelLayout::Bgra();
    QImage image(bitmap.Width(), bitmap.Height(), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image.isNull()) return image;
    CopyToScreenPixels(bitmap, Rect(0, 0, bitmap.Width(), bitmap.Height()), image.bits(),
                       static_cast<std::size_t>(image.bytesPerLine()));
    if (alpha)
        for (int y = 0; y < image.height(); ++y) {
            const std::uint8_t* from = bitmap.ScanLine(y);
            std::uint8_t* to = image.scanLine(y);
            for (int x = 0; x < image.width(); ++x) to[x * 4 + 3] = from[x * 4 + 3];
        }
    return image;
}

// The readers of the types besides JPEG and bitmap files: the size from the headers, the picture.
struct TReader {
    TPictureSize (*Size)(std::span<const std::uint8_t>);
    void (*Load)(TBitmap&, std::span<const std::uint8_t>);
    const char* Type;
};
std::optional<TReader> ReaderOf(const std::string& extension) {
    if (extension == ".png") return TReader{ReadPngSize, LoadPng, "PNG"};
    if (extension == ".heic") return TReader{ReadHeifSize, LoadHeif, "HEIC"};
    if (extension == ".heif") return TReader{ReadHeifSize, LoadHeif, "HEIF"};
    if (extension == ".webp") return TReader{ReadWebpSize, LoadWebp, "WebP"};
    return std::nullopt;
}

}  // namespace

TPreview MakePreview(const QString& fileName, QSize box, const TPreviewLimits& limits) {
    const std::string name = QFile::encodeName(fileName).toStdString();
    const std::string extension = PictureExtension(name);
    const bool jpeg = extension == ".jpg";
    const std::optional<TReader> reader = ReaderOf(extension);
    if (!jpeg && !reader && extension != ".bmp") return {};
    const QFileInfo info(fileName);
    if (!info.isFile()) return {};
    const QString type = jpeg     ? QString::fromStdString(PictureTypeDescription("jpg").value_or("JPEG"))
                         : reader ? QString::fromLatin1(reader->Type)
                                  : QStringLiteral("Bitmap");
    if (static_cast<std::uint64_t>(info.size()) > limits.MaxFileBytes)
        return {QImage(), QCoreApplication::translate("Tavelix", "File too large to preview")};

    try {
        const std::vector<std::uint8_t> bytes = ReadFileBytes(name);
        if (bytes.empty()) return {QImage(), jpeg || reader ? QCoreApplication::translate("Tavelix", "No preview: the file is empty")
                                                            : QCoreApplication::translate("Tavelix", "Empty picture")};
        std::int64_t width = 0, height = 0;
        TBitmap picture;
        // A JPEG photo is previewed upright, by the orientation its EXIF block records.
        const int orientation = jpeg ? JpegOrientation(bytes) : 1;
        if (jpeg) {
            TJPEGImage header;
            header.LoadFromBytes(bytes);  // reads the header only
            width = orientation >= 5 ? header.Height() : header.Width();
            height = orientation >= 5 ? header.Width() : header.Height();
        } else if (reader) {
            const TPictureSize size = reader->Size(bytes);  // upright, as the picture is shown
            width = size.Width;
            height = size.Height;
        } else {
            const TBmpSize size = ReadBmpSize(bytes);
            width = size.Width;
            height = size.Height;
        }
        const QString sizeText = SizeText(width, height);
        if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > limits.MaxPixels)
            return {QImage(), sizeText + "\n" + type + "\n" + QCoreApplication::translate("Tavelix", "Too large to preview")};
        if (jpeg)
            picture = Oriented(DecodeJpegScaled(bytes, JpegScale(width, height, box)), orientation);
        else if (reader)
            reader->Load(picture, bytes);
        else
            LoadBmp(picture, bytes);
        if (picture.Empty()) return {QImage(), sizeText + "\n" + type};

        QImage image = ToImage(picture);
        if (image.width() > box.width() || image.height() > box.height())
            image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        return {image, sizeText + "\n" + type};
    } catch (const std::bad_alloc&) {
        return {QImage(), QCoreApplication::translate("Tavelix", "Too large to preview")};
    } catch (const std::exception&) {
        return {QImage(), QCoreApplication::translate("Tavelix", "No preview: not a picture Tavelix can read")};
    }
}

}  // namespace tavelix::ui
