// TBitmap: a raster picture with a reference-counted, copy-on-write pixel store.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "raster/types.h"

namespace tavelix {

class TCanvas;
class TJPEGImage;

// How one pixel is laid out in a row of the store.
struct TPixelLayout {
    std::uint16_t BitCount = 32;  // 1, 4 or 8 (indexed), 16, 24 or 32
    bool BitFields = false;       // 16/32 bits: the masks below describe the pixel
    std::uint32_t RedMask = 0, GreenMask = 0, BlueMask = 0;
    bool Device = false;          // the display's own format: 32 bits, blue-green-red-unused
    // 32 bits only: the bits of the pixel that hold its opacity (0: none; the fourth byte is
    // unused). Colours written into such a store are opaque.
    std::uint32_t AlphaMask = 0;

    static TPixelLayout DeviceFormat() { return {32, false, 0, 0, 0, true}; }
    // 32 bits of blue, green, red and opacity, in that order in memory: pictures with alpha.
    static TPixelLayout Bgra() { return {32, false, 0, 0, 0, false, 0xFF000000}; }
    static TPixelLayout Indexed(std::uint16_t bits) { return {bits, false, 0, 0, 0, false}; }
    static TPixelLayout Rgb(std::uint16_t bits) { return {bits, false, 0, 0, 0, false}; }  // 16: 5-5-5
    static TPixelLayout Masks(std::uint16_t bits, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
        return {bits, true, r, g, b, false};
    }

    bool IsIndexed() const { return BitCount <= 8; }
    bool HasAlpha() const { return BitCount == 32 && AlphaMask != 0; }
    // The masks in force: 5-5-5 for plain 16 bits, 8-8-8 for plain 32 bits, 5-6-5 or 8-8-8
    // where bit fields are declared without masks.
    std::uint32_t EffectiveRedMask() const;
    std::uint32_t EffectiveGreenMask() const;
    std::uint32_t EffectiveBlueMask() const;

    friend bool operator==(const TPixelLayout&, const TPixelLayout&) = default;
};

enum class TPixelFormat { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };

// What a bitmap file told about the picture beyond its pixels, kept so that the picture
// is written back in the same form.
struct TBmpInfo {
    bool Os2Header = false;  // read from a file with the 12-byte core header
    std::int32_t XPelsPerMeter = 0, YPelsPerMeter = 0;
    // Entries of the colour table as read from the file; 0 for a table the program made.
    std::uint32_t ClrUsed = 0, ClrImportant = 0;
    friend bool operator==(const TBmpInfo&, const TBmpInfo&) = default;
};

// Everything about a store except its size and pixels.
struct TStoreFormat {
    TPixelLayout Layout = TPixelLayout::DeviceFormat();
    std::vector<TRGBQuad> Palette;  // colour table; above 8 bits only a palette kept from a file
    bool TopDown = false;           // rows stored top row first
    TBmpInfo File;
};

// A clipboard bitmap as the platform hands it over.
struct TClipboardBitmap {
    std::int32_t Width = 0, Height = 0;
    bool DeviceIndependent = false;   // false: a device bitmap (pixels as 32-bit blue-green-red-x)
    TStoreFormat Format;              // only for a device-independent bitmap
    std::vector<std::uint8_t> Pixels; // rows top-down, each padded to a multiple of 4 bytes
};
constexpr std::uint32_t CF_BITMAP = 2;

// Bytes of one stored row, padded to 4; 0 if the width or bit count cannot form a row.
std::uint64_t PaddedRowBytes(std::int64_t width, std::uint32_t bitCount);

// The shared part of a bitmap: pixels with their format. Rows are addressed top row 0.
class TPixelStore {
public:
    TPixelStore(std::int32_t width, std::int32_t height, TStoreFormat format);  // zero-filled
    TPixelStore(const TPixelStore& other);                                       // deep copy
    TPixelStore& operator=(const TPixelStore&) = delete;

    std::int32_t Width() const { return FWidth; }
    std::int32_t Height() const { return FHeight; }
    std::uint32_t Stride() const { return FStride; }
    const TStoreFormat& Format() const { return FFormat; }
    TStoreFormat& Format() { return FFormat; }
    std::size_t Size() const { return FSize; }
    std::uint8_t* Bits() { return FBits.get(); }
    const std::uint8_t* Bits() const { return FBits.get(); }
    std::uint8_t* Row(std::int32_t y) { return FBits.get() + RowOffset(y); }
    const std::uint8_t* Row(std::int32_t y) const { return FBits.get() + RowOffset(y); }

    // A store of the same format and size whose pixels are left unset, for callers that
    // write every pixel themselves. The padding after the last pixel of each row is zero.
    static std::shared_ptr<TPixelStore> Uninitialised(std::int32_t width, std::int32_t height,
                                                      const TStoreFormat& format);

private:
    struct NoFill {};
    TPixelStore(std::int32_t width, std::int32_t height, TStoreFormat format, NoFill);
    std::size_t RowOffset(std::int32_t y) const {
        const std::int32_t stored = FFormat.TopDown ? y : FHeight - 1 - y;
        return static_cast<std::size_t>(stored) * FStride;
    }

    std::int32_t FWidth, FHeight;
    std::uint32_t FStride;
    TStoreFormat FFormat;
    std::size_t FSize;
    std::unique_ptr<std::uint8_t[]> FBits;
};

class TBitmap {
public:
    // The largest store a bitmap will allocate; bigger requests fail with OutOfResources.
    static constexpr std::uint64_t MaxStoreBytes = std::uint64_t{512} << 20;

    TBitmap();
    ~TBitmap();
    // A value copy shares the store (copy on write); it never copies the owner's OnChange.
    // Assignment is CopyFrom: it notifies this bitmap's owner. There are no moves: a bitmap
    // "moved" from keeps its picture (copying it costs a reference), so no owner is left
    // showing a picture that silently went away.
    TBitmap(const TBitmap& other) noexcept;
    TBitmap& operator=(const TBitmap& other);

    std::int32_t Width() const { return FWidth; }
    std::int32_t Height() const { return FHeight; }
    // Resize: keeps the top-left pixels that fit, fills new pixels white. A bitmap that has
    // no store stays empty until both dimensions are above 0. Values below 0 count as 0.
    void SetWidth(std::int32_t value);
    void SetHeight(std::int32_t value);
    // Writing Width and then Height in one resize (one pass over the pixels, one notice).
    void SetSize(std::int32_t width, std::int32_t height);
    bool Empty() const { return FWidth <= 0 || FHeight <= 0; }

    // This bitmap becomes a copy of source (same size, format, colour table and pixels) and
    // notifies its owner.
    void CopyFrom(const TBitmap& source);
    void CopyFrom(const TJPEGImage& source);  // the JPEG picture's decoded bitmap
    // Releases store and size: the bitmap is as new (0 x 0). Notifies.
    void Clear();

    TCanvas& Canvas();
    bool HasCanvas() const { return FCanvas != nullptr; }

    bool HasStore() const { return FStore != nullptr; }
    // Format of the store; the device format for a bitmap without a store.
    const TStoreFormat& Format() const;
    const TPixelLayout& Layout() const { return Format().Layout; }
    TPixelFormat PixelFormat() const;
    const std::vector<TRGBQuad>& Palette() const { return Format().Palette; }
    bool TopDown() const { return Format().TopDown; }
    // Replaces the file information kept for writing (the pixels do not change).
    void SetFileInfo(const TBmpInfo& info);

    // Gives the bitmap a new private, zero-filled store of this size and format (with zeroed
    // false its pixels are left unset, for a caller that writes every byte). The caller fills
    // the pixels and then calls Changed(). Throws OutOfResources, leaving the bitmap.
    void Allocate(std::int32_t width, std::int32_t height, const TStoreFormat& format, bool zeroed = true);

    std::uint32_t RowBytes() const { return FStore ? FStore->Stride() : 0; }
    // Row y counted from the top, whatever the store's row order. The mutable form first
    // gives this bitmap a private store.
    const std::uint8_t* ScanLine(std::int32_t y) const { return FStore->Row(y); }
    std::uint8_t* ScanLine(std::int32_t y);
    // The pixel data exactly as stored (rows in the store's order, padded).
    std::span<const std::uint8_t> StoreBytes() const;

    // One pixel as a colour, or as the value stored (an index, or the packed bits).
    TColor Pixel(std::int32_t x, std::int32_t y) const;
    std::uint32_t RawPixel(std::int32_t x, std::int32_t y) const;
    void SetPixel(std::int32_t x, std::int32_t y, TColor color);          // nearest for the format
    void SetRawPixel(std::int32_t x, std::int32_t y, std::uint32_t value);

    // Becomes a copy of a clipboard bitmap. Throws InvalidPicture for another format or no
    // bitmap, leaving this bitmap unchanged.
    void LoadFromClipboard(std::uint32_t format, const TClipboardBitmap* clip);

    bool SharesStoreWith(const TBitmap& other) const {
        return FStore != nullptr && FStore == other.FStore;
    }

    // Tells the owner that pixels or size changed.
    void Changed();
    std::function<void()> OnChange;

private:
    friend class TCanvas;
    void Resize(std::int32_t width, std::int32_t height);
    // Gives this bitmap a store of its own. With preserve false the pixels of the new store
    // are left unset: the caller overwrites every one of them.
    TPixelStore& MutableStore(bool preserve = true);

    std::int32_t FWidth = 0, FHeight = 0;
    std::shared_ptr<TPixelStore> FStore;
    std::unique_ptr<TCanvas> FCanvas;
};

}  // namespace tavelix
