#include "raster/bitmap.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "raster/canvas.h"
#include "raster/pixels.h"

namespace tavelix {

std::uint32_t TPixelLayout::EffectiveRedMask() const {
    if (BitCount == 16) return BitFields && (RedMask | GreenMask | BlueMask) ? RedMask : BitFields ? 0xF800 : 0x7C00;
    if (BitCount == 32) return BitFields && (RedMask | GreenMask | BlueMask) ? RedMask : 0xFF0000;
    return 0;
}
std::uint32_t TPixelLayout::EffectiveGreenMask() const {
    if (BitCount == 16) return BitFields && (RedMask | GreenMask | BlueMask) ? GreenMask : BitFields ? 0x07E0 : 0x03E0;
    if (BitCount == 32) return BitFields && (RedMask | GreenMask | BlueMask) ? GreenMask : 0x00FF00;
    return 0;
}
std::uint32_t TPixelLayout::EffectiveBlueMask() const {
    if (BitCount == 16) return BitFields && (RedMask | GreenMask | BlueMask) ? BlueMask : 0x001F;
    if (BitCount == 32) return BitFields && (RedMask | GreenMask | BlueMask) ? BlueMask : 0x0000FF;
    return 0;
}

std::uint64_t PaddedRowBytes(std::int64_t width, std::uint32_t bitCount) {
    if (width < 0 || bitCount == 0 || bitCount > 32) return 0;
    return (std::uint64_t(width) * bitCount + 31) / 32 * 4;
}

namespace {

[[noreturn]] void OutOfResources(const std::string& what) {
    throw TPictureError(TPictureError::Kind::OutOfResources, "Out of system resources: " + what);
}

bool ValidBitCount(std::uint32_t bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// Size of the pixel data of a store, checked against the bound before anything is allocated.
std::size_t CheckedStoreSize(std::int32_t width, std::int32_t height, const TStoreFormat& format,
                             std::uint32_t& stride) {
    if (!ValidBitCount(format.Layout.BitCount))
        throw TPictureError(TPictureError::Kind::InvalidOperation, "Invalid pixel format");
    if (format.Layout.Device && format.Layout.BitCount != 32)
        throw TPictureError(TPictureError::Kind::InvalidOperation, "Invalid device format");
    if (width < 0 || height < 0) OutOfResources("negative bitmap size");
    const std::uint64_t row = PaddedRowBytes(width, format.Layout.BitCount);
    if (row > TBitmap::MaxStoreBytes) OutOfResources("bitmap too large");
    const std::uint64_t total = row * std::uint64_t(height);
    if (total > TBitmap::MaxStoreBytes) OutOfResources("bitmap too large");
    stride = std::uint32_t(row);
    return std::size_t(total);
}

std::unique_ptr<std::uint8_t[]> AllocateBits(std::size_t size) {
    if (size == 0) return nullptr;
    std::unique_ptr<std::uint8_t[]> bits(new (std::nothrow) std::uint8_t[size]);
    if (!bits) OutOfResources("no memory for the pixels");
    return bits;
}

// One row's worth of the fill colour, to be copied into rows and row tails.
std::vector<std::uint8_t> FillRow(const TStoreFormat& format, std::int32_t width, std::uint32_t stride,
                                  TColor color) {
    std::vector<std::uint8_t> row(stride, 0);
    const pixels::TColorCodec codec(format);
    const std::uint32_t raw = codec.Encode(color);
    const unsigned bits = format.Layout.BitCount;
    for (std::int32_t x = 0; x < width; ++x) pixels::WriteRaw(row.data(), x, bits, raw);
    return row;
}

}  // namespace

TPixelStore::TPixelStore(std::int32_t width, std::int32_t height, TStoreFormat format, NoFill)
    : FWidth(width), FHeight(height), FStride(0), FFormat(std::move(format)), FSize(0) {
    FSize = CheckedStoreSize(width, height, FFormat, FStride);
    FBits = AllocateBits(FSize);
}

TPixelStore::TPixelStore(std::int32_t width, std::int32_t height, TStoreFormat format)
    : TPixelStore(width, height, std::move(format), NoFill{}) {
    if (FSize) std::memset(FBits.get(), 0, FSize);
}

TPixelStore::TPixelStore(const TPixelStore& other)
    : FWidth(other.FWidth), FHeight(other.FHeight), FStride(other.FStride), FFormat(other.FFormat),
      FSize(other.FSize), FBits(AllocateBits(other.FSize)) {
    if (FSize) std::memcpy(FBits.get(), other.FBits.get(), FSize);
}

std::shared_ptr<TPixelStore> TPixelStore::Uninitialised(std::int32_t width, std::int32_t height,
                                                        const TStoreFormat& format) {
    std::shared_ptr<TPixelStore> store(new TPixelStore(width, height, format, NoFill{}));
    // The padding at the end of each row (and the unused bits of a last partial byte) is set
    // to zero: no pixel writes it, and it goes into bitmap files as it is.
    const std::size_t used = std::size_t(width) * format.Layout.BitCount / 8;
    if (store->FSize && used < store->FStride)
        for (std::int32_t y = 0; y < height; ++y) std::memset(store->Row(y) + used, 0, store->FStride - used);
    return store;
}

TBitmap::TBitmap() = default;
TBitmap::~TBitmap() = default;

TBitmap::TBitmap(const TBitmap& other) noexcept
    : FWidth(other.FWidth), FHeight(other.FHeight), FStore(other.FStore) {}

TBitmap& TBitmap::operator=(const TBitmap& other) {
    CopyFrom(other);
    return *this;
}

const TStoreFormat& TBitmap::Format() const {
    static const TStoreFormat device{};
    return FStore ? FStore->Format() : device;
}

TPixelFormat TBitmap::PixelFormat() const {
    const TPixelLayout& l = Layout();
    if (l.Device) return TPixelFormat::pfDevice;
    switch (l.BitCount) {
        case 1: return TPixelFormat::pf1bit;
        case 4: return TPixelFormat::pf4bit;
        case 8: return TPixelFormat::pf8bit;
        case 16:
            if (l.EffectiveRedMask() == 0x7C00 && l.EffectiveGreenMask() == 0x03E0 && l.EffectiveBlueMask() == 0x1F)
                return TPixelFormat::pf15bit;
            if (l.EffectiveRedMask() == 0xF800 && l.EffectiveGreenMask() == 0x07E0 && l.EffectiveBlueMask() == 0x1F)
                return TPixelFormat::pf16bit;
            return TPixelFormat::pfCustom;
        case 24: return TPixelFormat::pf24bit;
        default:
            if (l.EffectiveRedMask() == 0xFF0000 && l.EffectiveGreenMask() == 0xFF00 && l.EffectiveBlueMask() == 0xFF)
                return TPixelFormat::pf32bit;
            return TPixelFormat::pfCustom;
    }
}

void TBitmap::Changed() {
    if (OnChange) OnChange();
}

TCanvas& TBitmap::Canvas() {
    if (!FCanvas) FCanvas = std::make_unique<TCanvas>(*this);
    return *FCanvas;
}

void TBitmap::CopyFrom(const TBitmap& source) {
    if (&source == this) return;
    FStore = source.FStore;
    FWidth = source.FWidth;
    FHeight = source.FHeight;
    Changed();
}

void TBitmap::Clear() {
    FStore.reset();
    FWidth = FHeight = 0;
    Changed();
}

void TBitmap::SetFileInfo(const TBmpInfo& info) {
    if (!FStore || FStore->Format().File == info) return;
    MutableStore().Format().File = info;
}

void TBitmap::SetWidth(std::int32_t value) {
    value = std::max(value, 0);
    if (value == FWidth) return;
    Resize(value, FHeight);
    Changed();
}

void TBitmap::SetHeight(std::int32_t value) {
    value = std::max(value, 0);
    if (value == FHeight) return;
    Resize(FWidth, value);
    Changed();
}

void TBitmap::SetSize(std::int32_t width, std::int32_t height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (width == FWidth && height == FHeight) return;
    Resize(width, height);
    Changed();
}

void TBitmap::Resize(std::int32_t width, std::int32_t height) {
    if (!FStore && (width == 0 || height == 0)) {  // stays empty until both are set
        FWidth = width;
        FHeight = height;
        return;
    }
    TStoreFormat format = FStore ? FStore->Format() : TStoreFormat{};
    if (FStore && height != FHeight) format.TopDown = false;  // a new height means bottom-up rows
    auto store = TPixelStore::Uninitialised(width, height, format);
    if (store->Size()) {
        const TColor fill = FCanvas ? FCanvas->Brush.Color : clWhite;
        const std::vector<std::uint8_t> white = FillRow(format, width, store->Stride(), fill);
        const unsigned bits = format.Layout.BitCount;
        const std::int32_t keepWidth = FStore ? std::min(width, FStore->Width()) : 0;
        const std::int32_t keepHeight = FStore ? std::min(height, FStore->Height()) : 0;
        // Kept pixels first, then white for the rest of the row, each byte written once.
        const std::size_t keptBytes = std::size_t(keepWidth) * bits / 8;
        for (std::int32_t y = 0; y < height; ++y) {
            std::uint8_t* row = store->Row(y);
            if (y < keepHeight && keepWidth > 0) {
                std::memcpy(row + keptBytes, white.data() + keptBytes, store->Stride() - keptBytes);
                pixels::CopyRaw(row, 0, FStore->Row(y), 0, keepWidth, bits);
            } else {
                std::memcpy(row, white.data(), store->Stride());
            }
        }
    }
    FStore = std::move(store);
    FWidth = width;
    FHeight = height;
}

void TBitmap::Allocate(std::int32_t width, std::int32_t height, const TStoreFormat& format, bool zeroed) {
    auto store = zeroed ? std::make_shared<TPixelStore>(width, height, format)
                        : TPixelStore::Uninitialised(width, height, format);
    FStore = std::move(store);
    FWidth = width;
    FHeight = height;
}

TPixelStore& TBitmap::MutableStore(bool preserve) {
    if (!FStore) throw TPictureError(TPictureError::Kind::InvalidOperation, "Bitmap has no pixels");
    // A store is used by one thread at a time (a bitmap handed to another thread leaves no
    // copy behind), so use_count is exact.
    if (FStore.use_count() > 1) {
        FStore = preserve ? std::make_shared<TPixelStore>(*FStore)
                          : TPixelStore::Uninitialised(FStore->Width(), FStore->Height(), FStore->Format());
        }
    return *FStore;
}

std::uint8_t* TBitmap::ScanLine(std::int32_t y) { return MutableStore().Row(y); }

std::span<const std::uint8_t> TBitmap::StoreBytes() const {
    if (!FStore || !FStore->Size()) return {};
    return {FStore->Bits(), FStore->Size()};
}

std::uint32_t TBitmap::RawPixel(std::int32_t x, std::int32_t y) const {
    if (Empty() || x < 0 || y < 0 || x >= FWidth || y >= FHeight) return 0;
    return pixels::ReadRaw(FStore->Row(y), x, Layout().BitCount);
}

TColor TBitmap::Pixel(std::int32_t x, std::int32_t y) const {
    if (Empty() || x < 0 || y < 0 || x >= FWidth || y >= FHeight) return clBlack;
    return pixels::TColorCodec(Format()).Decode(RawPixel(x, y));
}

void TBitmap::SetRawPixel(std::int32_t x, std::int32_t y, std::uint32_t value) {
    if (Empty() || x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
    const unsigned bits = Layout().BitCount;
    pixels::WriteRaw(MutableStore().Row(y), x, bits, value & pixels::RawMask(bits));
    Changed();
}

void TBitmap::SetPixel(std::int32_t x, std::int32_t y, TColor color) {
    if (Empty()) return;
    SetRawPixel(x, y, pixels::TColorCodec(Format()).Encode(color));
}

void TBitmap::LoadFromClipboard(std::uint32_t format, const TClipboardBitmap* clip) {
    if (format != CF_BITMAP || clip == nullptr || clip->Width <= 0 || clip->Height <= 0)
        throw TPictureError(TPictureError::Kind::InvalidPicture, "Invalid picture: no bitmap on the clipboard");
    TStoreFormat storeFormat;
    if (clip->DeviceIndependent) {
        storeFormat.Layout = clip->Format.Layout;
        storeFormat.Palette = clip->Format.Palette;
    }
    storeFormat.File = {};  // a pasted picture is never written back in the OS/2 form
    auto store = TPixelStore::Uninitialised(clip->Width, clip->Height, storeFormat);
    const std::uint64_t rowBytes = store->Stride();
    if (clip->Pixels.size() < rowBytes * std::uint64_t(clip->Height))
        throw TPictureError(TPictureError::Kind::InvalidPicture, "Invalid picture: clipboard bitmap too short");
    for (std::int32_t y = 0; y < clip->Height; ++y)
        std::memcpy(store->Row(y), clip->Pixels.data() + rowBytes * std::uint64_t(y), rowBytes);
    FStore = std::move(store);
    FWidth = clip->Width;
    FHeight = clip->Height;
    Changed();
}

}  // namespace tavelix
