#include "raster/orientation.h"

#include <cstddef>
#include <cstring>

namespace tavelix {

namespace {

// Reads of the TIFF structure inside the EXIF block, in its byte order, bounds checked.
struct TTiff {
    std::span<const std::uint8_t> Data;
    bool BigEndian = false;

    bool Has(std::size_t at, std::size_t count) const { return at <= Data.size() && count <= Data.size() - at; }
    std::uint32_t Get(std::size_t at, int bytes) const {
        std::uint32_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            const std::uint32_t byte = Data[at + std::size_t(BigEndian ? i : bytes - 1 - i)];
            value = (value << 8) | byte;
        }
        return value;
    }
};

constexpr std::uint16_t OrientationTag = 0x0112;
constexpr std::uint16_t ShortType = 3;

int OrientationInExif(std::span<const std::uint8_t> tiffData) {
    TTiff tiff{tiffData};
    if (!tiff.Has(0, 8)) return 1;
    if (tiffData[0] == 'M' && tiffData[1] == 'M')
        tiff.BigEndian = true;
    else if (!(tiffData[0] == 'I' && tiffData[1] == 'I'))
        return 1;
    if (tiff.Get(2, 2) != 42) return 1;
    const std::size_t directory = tiff.Get(4, 4);
    if (!tiff.Has(directory, 2)) return 1;
    const std::size_t entries = tiff.Get(directory, 2);
    for (std::size_t i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + 12 * i;
        if (!tiff.Has(entry, 12)) return 1;
        if (tiff.Get(entry, 2) != OrientationTag) continue;
        if (tiff.Get(entry + 2, 2) != ShortType || tiff.Get(entry + 4, 4) != 1) return 1;
        const std::uint32_t value = tiff.Get(entry + 8, 2);
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

}  // namespace

int JpegOrientation(std::span<const std::uint8_t> file) {
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) return 1;
    std::size_t at = 2;
    while (at + 4 <= file.size()) {
        if (file[at] != 0xFF) return 1;
        const std::uint8_t marker = file[at + 1];
        if (marker == 0xFF) {  // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return 1;  // picture data or the end: no EXIF before
        const std::size_t length = (std::size_t(file[at + 2]) << 8) | file[at + 3];
        if (length < 2 || at + 2 + length > file.size()) return 1;
        const std::span<const std::uint8_t> segment = file.subspan(at + 4, length - 2);
        static constexpr std::uint8_t ExifHead[] = {'E', 'x', 'i', 'f', 0, 0};
        if (marker == 0xE1 && segment.size() >= sizeof ExifHead && std::memcmp(segment.data(), ExifHead, sizeof ExifHead) == 0)
            return OrientationInExif(segment.subspan(sizeof ExifHead));
        at += 2 + length;
    }
    return 1;
}

TBitmap Oriented(const TBitmap& source, int orientation) {
    const std::uint16_t bits = source.Layout().BitCount;
    if (orientation <= 1 || orientation > 8 || source.Empty() || (bits != 8 && bits != 24 && bits != 32))
        return source;
    const std::int32_t W = source.Width(), H = source.Height();
    const bool swapped = orientation >= 5;
    const std::int32_t w = swapped ? H : W, h = swapped ? W : H;
    TBitmap turned;
    turned.Allocate(w, h, source.Format(), false);
    const std::size_t bytes = bits / 8;
    for (std::int32_t y = 0; y < h; ++y) {
        std::uint8_t* out = turned.ScanLine(y);
        for (std::int32_t x = 0; x < w; ++x, out += bytes) {
            // The stored pixel shown at (x, y).
            std::int32_t sx = x, sy = y;
            switch (orientation) {
            case 2: sx = W - 1 - x; break;
            case 3: sx = W - 1 - x, sy = H - 1 - y; break;
            case 4: sy = H - 1 - y; break;
            case 5: sx = y, sy = x; break;
            case 6: sx = y, sy = H - 1 - x; break;
            case 7: sx = W - 1 - y, sy = H - 1 - x; break;
            case 8: sx = W - 1 - y, sy = x; break;
            default: break;
            }
            std::memcpy(out, source.ScanLine(sy) + std::size_t(sx) * bytes, bytes);
        }
    }
    turned.Changed();
    return turned;
}

}  // namespace tavelix
