#include "raster/bmpcodec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "raster/types.h"

namespace tavelix {

namespace {

constexpr std::uint64_t FileHeaderSize = 14;
constexpr std::uint32_t CoreHeaderSize = 12;
constexpr std::uint32_t InfoHeaderSize = 40;
constexpr std::uint32_t MaskBytes = 12;
// Headers from 52 bytes on carry the red, green and blue masks right after their first
// 40 bytes; a 40-byte header is followed by them when the pixels are bit fields.
constexpr std::uint32_t MasksInHeaderSize = 52;

enum : std::uint32_t { BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3 };

[[noreturn]] void Invalid(const char* why) {
    throw TPictureError(TPictureError::Kind::InvalidBitmap, std::string("invalid bitmap: ") + why);
}

std::uint16_t Get16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Get32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}

// Bytes of one row of a file's pixel data, padded to 4.
std::uint64_t FileRowBytes(std::uint32_t width, std::uint32_t bitCount) {
    return (std::uint64_t{width} * bitCount + 31) / 32 * 4;
}

bool FitsStore(std::uint64_t rowBytes, std::uint32_t height) {
    return rowBytes > 0 && rowBytes <= TBitmap::MaxStoreBytes / height;
}

// Everything the headers say, checked: sizes, bit count and compression are all usable.
struct THeader {
    bool Core = false;                 // 12-byte OS/2 core header, 3-byte colour entries
    std::uint32_t Width = 0, Height = 0;
    bool TopDown = false;
    std::uint16_t BitCount = 0;
    std::uint32_t Compression = BI_RGB;
    std::uint32_t Masks[3] = {0, 0, 0};
    std::int32_t XPelsPerMeter = 0, YPelsPerMeter = 0;
    std::uint32_t ClrImportant = 0;
    std::uint32_t ColourCount = 0;     // entries of the colour table, bounded
    std::uint64_t TableOffset = 0;     // where the colour table starts
    std::uint64_t PixelOffset = 0;     // where the pixel data starts (at most the file size)
    std::uint64_t FileRow = 0;         // padded bytes of one row of uncompressed data
};

THeader ReadHeader(std::span<const std::uint8_t> file) {
    const std::uint8_t* p = file.data();
    const std::uint64_t size = file.size();
    if (size < FileHeaderSize + 4) Invalid("file too short");
    if (p[0] != 'B' || p[1] != 'M') Invalid("no BM signature");
    const std::uint32_t offBits = Get32(p + 10);
    const std::uint32_t headerSize = Get32(p + 14);

    THeader h;
    std::uint32_t planes = 0, clrUsed = 0;
    std::int64_t width = 0, height = 0;
    const std::uint8_t* info = p + FileHeaderSize;
    if (headerSize == CoreHeaderSize) {
        if (size < FileHeaderSize + CoreHeaderSize) Invalid("header past the end of the file");
        h.Core = true;
        width = Get16(info + 4);
        height = Get16(info + 6);
        planes = Get16(info + 8);
        h.BitCount = Get16(info + 10);
    } else if (headerSize >= InfoHeaderSize) {
        if (size < FileHeaderSize + headerSize) Invalid("header past the end of the file");
        width = static_cast<std::int32_t>(Get32(info + 4));
        height = static_cast<std::int32_t>(Get32(info + 8));
        planes = Get16(info + 12);
        h.BitCount = Get16(info + 14);
        h.Compression = Get32(info + 16);
        h.XPelsPerMeter = static_cast<std::int32_t>(Get32(info + 24));
        h.YPelsPerMeter = static_cast<std::int32_t>(Get32(info + 28));
        clrUsed = Get32(info + 32);
        h.ClrImportant = Get32(info + 36);
    } else {
        Invalid("unsupported header size");
    }

    if (planes != 1) Invalid("planes must be 1");
    if (width <= 0) Invalid("width must be above 0");
    // Negative heights mark top-down rows. Held in 64 bits, INT32_MIN negates safely; its
    // positive twin does not exist as a height and is refused.
    if (height == 0) Invalid("height must not be 0");
    h.TopDown = height < 0;
    if (h.TopDown) height = -height;
    if (height > INT32_MAX) Invalid("height out of range");
    h.Width = static_cast<std::uint32_t>(width);
    h.Height = static_cast<std::uint32_t>(height);

    const std::uint16_t bits = h.BitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        Invalid("unsupported bit count");
    switch (h.Compression) {
    case BI_RGB: break;
    case BI_RLE8: if (bits != 8) Invalid("RLE8 needs 8 bits per pixel"); break;
    case BI_RLE4: if (bits != 4) Invalid("RLE4 needs 4 bits per pixel"); break;
    case BI_BITFIELDS: if (bits != 16 && bits != 32) Invalid("bit fields need 16 or 32 bits"); break;
    default: Invalid("unsupported compression");
    }
    const bool rle = h.Compression == BI_RLE8 || h.Compression == BI_RLE4;
    if (rle && h.TopDown) Invalid("run-length encoded rows cannot be top-down");

    // Refuse sizes no store may have before anything else is read or allocated.
    h.FileRow = FileRowBytes(h.Width, bits);
    if (!FitsStore(h.FileRow, h.Height)) Invalid("picture too large");
    if (rle && !FitsStore(FileRowBytes(h.Width, 32), h.Height)) Invalid("picture too large");

    h.TableOffset = FileHeaderSize + headerSize;
    if (h.Compression == BI_BITFIELDS) {
        std::uint64_t maskOffset = FileHeaderSize + InfoHeaderSize;
        if (headerSize < MasksInHeaderSize) {
            maskOffset = h.TableOffset;
            h.TableOffset += MaskBytes;
            if (h.TableOffset > size) Invalid("colour masks past the end of the file");
        }
        for (int i = 0; i < 3; ++i) h.Masks[i] = Get32(p + maskOffset + 4 * i);
    }

    const std::uint32_t tableLimit = bits <= 8 ? 1u << bits : 256;
    if (h.Core)
        h.ColourCount = bits <= 8 ? tableLimit : 0;
    else if (clrUsed == 0)
        h.ColourCount = bits <= 8 ? tableLimit : 0;
    else
        h.ColourCount = std::min(clrUsed, tableLimit);
    const std::uint64_t tableEnd = h.TableOffset + std::uint64_t{h.ColourCount} * (h.Core ? 3 : 4);
    if (tableEnd > size) Invalid("colour table past the end of the file");

    // The pixels start at bfOffBits when it leaves the colour table whole and lies inside the
    // file (a gap before the pixels is skipped), else right after the table.
    h.PixelOffset = offBits >= tableEnd && offBits < size ? offBits : tableEnd;
    return h;
}

std::vector<TRGBQuad> ReadColourTable(std::span<const std::uint8_t> file, const THeader& h) {
    std::vector<TRGBQuad> table(h.ColourCount);
    const std::size_t entry = h.Core ? 3 : 4;
    const std::uint8_t* p = file.data() + h.TableOffset;
    for (TRGBQuad& q : table) {
        q = {p[0], p[1], p[2], 0};  // the reserved byte is not part of the colour
        p += entry;
    }
    return table;
}

TPixelLayout FileLayout(const THeader& h) {
    if (h.BitCount <= 8) return TPixelLayout::Indexed(h.BitCount);
    if (h.Compression != BI_BITFIELDS) return TPixelLayout::Rgb(h.BitCount);
    if (h.Masks[0] == 0 && h.Masks[1] == 0 && h.Masks[2] == 0) {
        // Bit fields declared without masks: 5-6-5 and 8-8-8.
        if (h.BitCount == 16) return TPixelLayout::Masks(16, 0xF800, 0x07E0, 0x001F);
        return TPixelLayout::Masks(32, 0xFF0000, 0x00FF00, 0x0000FF);
    }
    return TPixelLayout::Masks(h.BitCount, h.Masks[0], h.Masks[1], h.Masks[2]);
}

// Uncompressed rows, copied as they are. Rows the file does not hold stay zero.
void ReadRows(TBitmap& picture, std::span<const std::uint8_t> data, const THeader& h) {
    const std::uint64_t copyRow = std::min<std::uint64_t>(h.FileRow, picture.RowBytes());
    const std::int32_t height = static_cast<std::int32_t>(h.Height);
    for (std::int32_t r = 0; r < height; ++r) {  // r counts rows in file order
        const std::uint64_t start = static_cast<std::uint64_t>(r) * h.FileRow;
        if (start >= data.size()) break;
        const std::size_t n = static_cast<std::size_t>(std::min(copyRow, data.size() - start));
        std::memcpy(picture.ScanLine(h.TopDown ? r : height - 1 - r), data.data() + start, n);
    }
}

using TDevicePixel = std::array<std::uint8_t, 4>;  // blue, green, red, unused

// Run-length encoded rows (8 or 4 bits per index) into a device-format picture whose
// pixels are all colour 0. Runs are bottom-up. Structure that leaves the picture (a run
// past the end of a row, a delta or a row past the picture) is an error; data that ends
// early, with or without an end-of-bitmap mark, leaves the rest at colour 0, as uncompressed
// pixel data that ends early leaves the rest at zero.
void DecodeRle(TBitmap& picture, std::span<const std::uint8_t> data, bool fourBits,
               const std::array<TDevicePixel, 256>& colours) {
    const std::uint32_t width = static_cast<std::uint32_t>(picture.Width());
    const std::uint32_t height = static_cast<std::uint32_t>(picture.Height());
    const std::uint8_t* d = data.data();
    const std::size_t n = data.size();
    std::uint32_t x = 0, y = 0;  // y counts rows from the bottom
    std::size_t i = 0;
    auto row = [&] { return picture.ScanLine(static_cast<std::int32_t>(height - 1 - y)); };
    auto put = [&](std::uint8_t* line, std::uint32_t at, std::uint8_t index) {
        std::memcpy(line + 4 * std::size_t{at}, colours[index].data(), 4);
    };

    while (i + 2 <= n) {
        const std::uint8_t first = d[i], second = d[i + 1];
        i += 2;
        if (first > 0) {  // a run of one index, or of two alternating nibbles
            if (y >= height || first > width - x) Invalid("run past the end of a row");
            std::uint8_t* line = row();
            for (std::uint32_t k = 0; k < first; ++k) {
                const std::uint8_t index =
                    !fourBits ? second : (k & 1) ? (second & 0x0F) : (second >> 4);
                put(line, x + k, index);
            }
            x += first;
        } else if (second == 0) {  // end of line
            x = 0;
            if (++y > height) Invalid("rows past the picture");
        } else if (second == 1) {  // end of bitmap
            return;
        } else if (second == 2) {  // delta: right and up
            if (i + 2 > n) return;
            x += d[i];
            y += d[i + 1];
            i += 2;
            if (x > width || y > height) Invalid("delta past the picture");
        } else {  // absolute run of `second` indices, padded to a 16-bit boundary
            const std::uint32_t count = second;
            if (y >= height || count > width - x) Invalid("absolute run past the end of a row");
            const std::size_t bytes = fourBits ? (count + 1) / 2 : count;
            const std::size_t present = std::min(bytes, n - i);
            const std::uint32_t pixels =
                std::min<std::uint32_t>(count, static_cast<std::uint32_t>(fourBits ? present * 2 : present));
            std::uint8_t* line = row();
            for (std::uint32_t k = 0; k < pixels; ++k) {
                const std::uint8_t index =
                    !fourBits ? d[i + k] : (k & 1) ? (d[i + k / 2] & 0x0F) : (d[i + k / 2] >> 4);
                put(line, x + k, index);
            }
            if (present < bytes) return;
            i = std::min(n, i + ((bytes + 1) & ~std::size_t{1}));
            x += count;
        }
    }
}

void LoadRle(TBitmap& picture, std::span<const std::uint8_t> file, const THeader& h) {
    std::array<TDevicePixel, 256> colours{};  // indices beyond the table show black
    const std::vector<TRGBQuad> table = ReadColourTable(file, h);
    for (std::size_t k = 0; k < table.size(); ++k)
        colours[k] = {table[k].Blue, table[k].Green, table[k].Red, 0};

    TStoreFormat format;
    format.Layout = TPixelLayout::DeviceFormat();
    format.File.XPelsPerMeter = h.XPelsPerMeter;
    format.File.YPelsPerMeter = h.YPelsPerMeter;
    picture.Allocate(static_cast<std::int32_t>(h.Width), static_cast<std::int32_t>(h.Height), format);
    if (colours[0] != TDevicePixel{}) {
        for (std::int32_t y = 0; y < picture.Height(); ++y) {
            std::uint8_t* line = picture.ScanLine(y);
            for (std::uint32_t x = 0; x < h.Width; ++x)
                std::memcpy(line + 4 * std::size_t{x}, colours[0].data(), 4);
        }
    }
    DecodeRle(picture, file.subspan(h.PixelOffset), h.Compression == BI_RLE4, colours);
}

void LoadUncompressed(TBitmap& picture, std::span<const std::uint8_t> file, const THeader& h) {
    TStoreFormat format;
    format.Layout = FileLayout(h);
    format.Palette = ReadColourTable(file, h);
    format.TopDown = h.TopDown;
    format.File.Os2Header = h.Core;
    format.File.XPelsPerMeter = h.XPelsPerMeter;
    format.File.YPelsPerMeter = h.YPelsPerMeter;
    format.File.ClrUsed = h.ColourCount;
    format.File.ClrImportant = h.ClrImportant;
    // Only the rows the picture needs are read, whatever biSizeImage claims.
    const std::uint64_t needed = h.FileRow * h.Height;
    const std::span<const std::uint8_t> data = file.subspan(h.PixelOffset);
    const bool whole = data.size() >= needed && h.FileRow == PaddedRowBytes(h.Width, h.BitCount);
    picture.Allocate(static_cast<std::int32_t>(h.Width), static_cast<std::int32_t>(h.Height), format, !whole);
    if (whole) {
        // The file holds every row in the store's own order and padding: one copy.
        const std::int32_t first = h.TopDown ? 0 : static_cast<std::int32_t>(h.Height) - 1;
        std::memcpy(picture.ScanLine(first), data.data(), static_cast<std::size_t>(needed));
        return;
    }
    ReadRows(picture, data.first(static_cast<std::size_t>(std::min<std::uint64_t>(needed, data.size()))), h);
}

class TByteWriter {
public:
    explicit TByteWriter(std::size_t capacity) { FBytes.reserve(capacity); }
    void U8(std::uint8_t v) { FBytes.push_back(v); }
    void U16(std::uint32_t v) { U8(static_cast<std::uint8_t>(v)); U8(static_cast<std::uint8_t>(v >> 8)); }
    void U32(std::uint32_t v) { U16(v & 0xFFFF); U16(v >> 16); }
    std::vector<std::uint8_t> Take() { return std::move(FBytes); }

private:
    std::vector<std::uint8_t> FBytes;
};

}  // namespace

TBmpSize ReadBmpSize(std::span<const std::uint8_t> file) {
    const THeader h = ReadHeader(file);
    return {static_cast<std::int32_t>(h.Width), static_cast<std::int32_t>(h.Height)};
}

void LoadBmp(TBitmap& target, std::span<const std::uint8_t> file) {
    if (file.empty()) {
        target.Clear();
        return;
    }
    const THeader header = ReadHeader(file);
    TBitmap loaded;
    if (header.Compression == BI_RLE8 || header.Compression == BI_RLE4)
        LoadRle(loaded, file, header);
    else
        LoadUncompressed(loaded, file, header);
    target.CopyFrom(loaded);
}

TBmpFile EncodeBmp(const TBitmap& source) {
    if (source.Empty() || !source.HasStore()) return {};
    const TStoreFormat& format = source.Format();
    const TPixelLayout& layout = format.Layout;
    const std::uint32_t width = static_cast<std::uint32_t>(source.Width());
    const std::uint32_t height = static_cast<std::uint32_t>(source.Height());
    // The device format is written as plain pixels of its depth, without a colour table.
    const bool device = layout.Device;
    const std::uint16_t bits = layout.BitCount;
    const bool indexed = !device && bits <= 8;
    const bool fields = !device && layout.BitFields && (bits == 16 || bits == 32);

    // A table read from a file is written with the count it was read with. A table the
    // program made (a decoded gray JPEG holds 236 entries) is written whole, 2^bits entries,
    // those past its end zero. Above 8 bits only a palette kept from a file is written.
    const std::size_t limit = indexed ? std::size_t{1} << bits : 256;
    std::size_t colours = device ? 0 : std::min(format.Palette.size(), limit);
    if (indexed && (colours == 0 || format.File.ClrUsed == 0)) colours = limit;
    // The core header cannot express top-down rows, bit fields, sizes above 16 bits or a
    // table above 8 bits; such pictures fall back to the 40-byte header.
    const bool core = format.File.Os2Header && !device && !fields && !format.TopDown &&
                      width <= 0xFFFF && height <= 0xFFFF && (indexed || colours == 0);
    if (core && indexed) colours = limit;  // a core table always has 2^bits entries

    const std::uint64_t fileRow = FileRowBytes(width, bits);
    const std::uint64_t imageSize = fileRow * height;
    const std::uint64_t entry = core ? 3 : 4;
    const std::uint64_t offBits = FileHeaderSize + (core ? CoreHeaderSize : InfoHeaderSize) +
                                  (fields ? MaskBytes : 0) + entry * colours;
    const std::uint64_t fileSize = offBits + imageSize;
    if (fileSize > UINT32_MAX)
        throw TPictureError(TPictureError::Kind::OutOfResources, "bitmap too large for a file");

    TByteWriter out(static_cast<std::size_t>(offBits));
    out.U8('B');
    out.U8('M');
    out.U32(static_cast<std::uint32_t>(fileSize));
    out.U32(0);
    out.U32(static_cast<std::uint32_t>(offBits));
    if (core) {
        out.U32(CoreHeaderSize);
        out.U16(width);
        out.U16(height);
        out.U16(1);
        out.U16(bits);
    } else {
        out.U32(InfoHeaderSize);
        out.U32(width);
        out.U32(format.TopDown ? static_cast<std::uint32_t>(-static_cast<std::int64_t>(height)) : height);
        out.U16(1);
        out.U16(bits);
        out.U32(fields ? BI_BITFIELDS : BI_RGB);
        out.U32(static_cast<std::uint32_t>(imageSize));
        out.U32(static_cast<std::uint32_t>(format.File.XPelsPerMeter));
        out.U32(static_cast<std::uint32_t>(format.File.YPelsPerMeter));
        // A count of entries not written would make readers take pixels for a table.
        out.U32(static_cast<std::uint32_t>(colours));
        out.U32(device ? 0 : format.File.ClrImportant);
        if (fields) {
            out.U32(layout.EffectiveRedMask());
            out.U32(layout.EffectiveGreenMask());
            out.U32(layout.EffectiveBlueMask());
        }
    }
    for (std::size_t k = 0; k < colours; ++k) {
        const TRGBQuad q = k < format.Palette.size() ? format.Palette[k] : TRGBQuad{};
        out.U8(q.Blue);
        out.U8(q.Green);
        out.U8(q.Red);
        if (!core) out.U8(0);
    }

    // Rows exactly as stored, in the store's order: store rows are padded as file rows are.
    const std::span<const std::uint8_t> stored = source.StoreBytes();
    if (source.RowBytes() != fileRow || stored.size() < imageSize)
        throw TPictureError(TPictureError::Kind::InvalidOperation, "bitmap store does not match its size");
    return {out.Take(), stored.first(static_cast<std::size_t>(imageSize))};
}

std::vector<std::uint8_t> SaveBmp(const TBitmap& source) {
    TBmpFile file = EncodeBmp(source);
    std::vector<std::uint8_t> bytes = std::move(file.Head);
    bytes.insert(bytes.end(), file.Pixels.begin(), file.Pixels.end());
    return bytes;
}

}  // namespace tavelix
