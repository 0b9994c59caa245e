// TJPEGImage: a picture held as JPEG data, as a decoded bitmap, or both, over libjpeg.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "raster/bitmap.h"

namespace tavelix {

// The compressed form is a complete JPEG file in memory, shared between copies.
// Decoding fills in the bitmap from the data, encoding fills in the data from the bitmap.
// Every libjpeg failure is a TPictureError of kind Jpeg, "JPEG-Fehler #<code>" with the
// library's message code; warnings (damaged or truncated data) are not errors.
//
// An object is used by one thread at a time (the const accessors decode on demand and so
// change the object); different objects may be used on different threads at once.
class TJPEGImage {
public:
    using TData = std::shared_ptr<const std::vector<std::uint8_t>>;

    static constexpr std::uint8_t DefaultQuality = 90;

    TJPEGImage();
    ~TJPEGImage();
    // Copies share the compressed data and the decoded bitmap's store, never OnChange.
    TJPEGImage(const TJPEGImage& other);
    TJPEGImage& operator=(const TJPEGImage& other);
    TJPEGImage(TJPEGImage&& other) noexcept;
    TJPEGImage& operator=(TJPEGImage&& other) noexcept;

    // Takes a whole JPEG file as the compressed data and records the size from its header;
    // the decoded bitmap is dropped. 0 bytes give empty data without parsing. A header the
    // library rejects throws, leaving the picture as it was. Notifies.
    void LoadFromBytes(std::span<const std::uint8_t> bytes);
    void LoadFromBytes(std::vector<std::uint8_t>&& bytes);
    // The same for a file's content; a file that cannot be read throws an Io error.
    void LoadFromFile(const std::string& fileName);

    // Takes a copy of the bitmap (shared store) as the picture; the compressed data is
    // emptied. Notifies.
    void Assign(const TBitmap& source);

    // Decodes the compressed data into the bitmap unless a bitmap is present. Empty data
    // fails (the library's empty-input error). On failure nothing changes.
    void DecodeIfNeeded() const;
    bool HasBitmap() const { return FBitmap.has_value(); }
    // The decoded bitmap, decoded first if needed. The reference holds until the picture is
    // replaced or GrayOutput changes; copy the bitmap (cheap, shared store) to keep it longer.
    const TBitmap& Bitmap() const;

    // Encodes the bitmap unless there is compressed data. No bitmap, or an empty one, leaves
    // the data empty. On failure the data stays as it was.
    void EncodeIfNeeded();
    // Encodes the picture anew at the current Quality, replacing the compressed data (a
    // picture held only as data is decoded first).
    void Encode();
    // The compressed data as it is now (no encoding happens here); empty if there is none.
    std::span<const std::uint8_t> Data() const;
    const TData& SharedData() const { return FData; }
    bool HasData() const { return FData && !FData->empty(); }

    // The decoded bitmap's size if there is one, else the size recorded from the header.
    std::int32_t Width() const;
    std::int32_t Height() const;
    bool Empty() const { return Width() <= 0 || Height() <= 0; }

    // Encoder quality 1..100. Only the low 8 bits of the value given are kept; the library
    // limits what is outside 1..100.
    std::uint8_t Quality() const { return FQuality; }
    void SetQuality(int value) { FQuality = static_cast<std::uint8_t>(value); }

    // When on, colour pictures are encoded without chroma subsampling (4:4:4): larger files
    // that keep sharp colour edges. Off by default (2 x 2 subsampling, the library's default).
    bool FullChroma() const { return FFullChroma; }
    void SetFullChroma(bool value) { FFullChroma = value; }

    // When on, decoding gives an 8-bit bitmap of gray levels. Changing it drops the decoded
    // bitmap (the data stays) and notifies; a picture held only as a bitmap is then empty.
    bool GrayOutput() const { return FGrayOutput; }
    void SetGrayOutput(bool value);

    // Called after the picture was replaced (load, assign) or GrayOutput changed.
    std::function<void()> OnChange;

private:
    void Changed();

    TData FData;
    std::int32_t FDataWidth = 0, FDataHeight = 0;  // from the header of FData
    mutable std::optional<TBitmap> FBitmap;
    std::uint8_t FQuality = DefaultQuality;
    bool FGrayOutput = false;
    bool FFullChroma = false;
};

// Decodes a whole JPEG file in memory at 1/scaleDenominator of its width and height (1, 2, 4
// or 8; sides rounded up), as the library's scaled decoding gives it: far less work than a
// full decode followed by a reduction, for previews. A 24-bit bitmap for colour files, 8-bit
// gray for gray files. Throws TPictureError as decoding does (InvalidOperation for another
// scale).
TBitmap DecodeJpegScaled(std::span<const std::uint8_t> data, unsigned scaleDenominator);
// The same, reading the file open as fd from where it stands, 64 KB at a time: only the
// scaled bitmap and the library's working rows are held, never the whole file (a progressive
// file's coefficients excepted: the library holds them all while its scans arrive). At 1/8 a
// progressive file is read only until its DC coefficients are known to within their last bit:
// each pixel is then its block's mean within a level or two, colour its colour block's mean.
// A read error ends the picture as the end of the data does (what was read is decoded).
// fullSize, when given, receives the picture's own width (X) and height (Y).
TBitmap DecodeJpegScaledFromFile(int fd, unsigned scaleDenominator, TPoint* fullSize = nullptr);

}  // namespace tavelix
