// Small value types shared by the whole raster layer.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace tavelix {

// A colour as 0x00BBGGRR: red in the low byte, as the platform's colour values are.
using TColor = std::uint32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;

constexpr TColor RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return TColor{r} | (TColor{g} << 8) | (TColor{b} << 16);
}
constexpr std::uint8_t GetRValue(TColor c) { return static_cast<std::uint8_t>(c); }
constexpr std::uint8_t GetGValue(TColor c) { return static_cast<std::uint8_t>(c >> 8); }
constexpr std::uint8_t GetBValue(TColor c) { return static_cast<std::uint8_t>(c >> 16); }

// One colour-table entry, laid out as in a bitmap file: blue, green, red, reserved.
struct TRGBQuad {
    std::uint8_t Blue = 0, Green = 0, Red = 0, Reserved = 0;
    friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};

constexpr TColor ToColor(TRGBQuad q) { return RGB(q.Red, q.Green, q.Blue); }
constexpr TRGBQuad ToQuad(TColor c) { return {GetBValue(c), GetGValue(c), GetRValue(c), 0}; }

struct TPoint {
    std::int32_t X = 0, Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// The width and height a picture file declares, read from its headers alone.
struct TPictureSize {
    std::int32_t Width = 0, Height = 0;
    friend bool operator==(const TPictureSize&, const TPictureSize&) = default;
};

struct TRect {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;  // Right and Bottom exclusive
    std::int32_t Width() const { return Right - Left; }
    std::int32_t Height() const { return Bottom - Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

constexpr TRect Rect(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom) {
    return {left, top, right, bottom};
}

// Every failure of the raster layer. Callers catch it and show their own texts.
class TPictureError : public std::runtime_error {
public:
    enum class Kind {
        OutOfResources,    // a store that cannot be had, or would be unreasonably large
        InvalidOperation,  // drawing that the canvas cannot do
        InvalidPicture,    // a picture source of the wrong kind (clipboard format)
        InvalidBitmap,     // a bitmap file that cannot be read
        Jpeg,              // a fatal error of the JPEG library; Code() is its message code
        Io,                // a file that cannot be opened, read or written
        InvalidPng,        // a PNG file that cannot be read; Code() is the PNG library's error
        InvalidHeif,       // a HEIF (HEIC) file that cannot be read
        InvalidWebp,       // a WebP file that cannot be read
        Unwritable,        // a picture type that is read but never written
    };
    TPictureError(Kind kind, const std::string& message, int code = 0)
        : std::runtime_error(message), FKind(kind), FCode(code) {}
    Kind GetKind() const { return FKind; }
    int Code() const { return FCode; }

private:
    Kind FKind;
    int FCode;
};

}  // namespace tavelix
