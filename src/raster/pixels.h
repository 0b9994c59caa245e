// Reading, writing and converting pixels of every store format. Internal to the raster layer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "raster/bitmap.h"
#include "raster/types.h"

namespace tavelix::pixels {

// The value stored for pixel x of a row: an index, or the packed colour bits.
inline std::uint32_t ReadRaw(const std::uint8_t* row, std::int32_t x, unsigned bits) {
    switch (bits) {
        case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
        case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
        case 8: return row[x];
        case 16: {
            const std::uint8_t* p = row + std::size_t(x) * 2;
            return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8);
        }
        case 24: {
            const std::uint8_t* p = row + std::size_t(x) * 3;
            return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16);
        }
        default: {
            std::uint32_t v;
            std::memcpy(&v, row + std::size_t(x) * 4, 4);
            return v;
        }
    }
}

inline void WriteRaw(std::uint8_t* row, std::int32_t x, unsigned bits, std::uint32_t v) {
    switch (bits) {
        case 1: {
            const unsigned shift = 7 - (x & 7);
            row[x >> 3] = std::uint8_t((row[x >> 3] & ~(1u << shift)) | ((v & 1u) << shift));
            break;
        }
        case 4: {
            const unsigned shift = (x & 1) ? 0 : 4;
            row[x >> 1] = std::uint8_t((row[x >> 1] & ~(0xFu << shift)) | ((v & 0xFu) << shift));
            break;
        }
        case 8: row[x] = std::uint8_t(v); break;
        case 16: {
            std::uint8_t* p = row + std::size_t(x) * 2;
            p[0] = std::uint8_t(v);
            p[1] = std::uint8_t(v >> 8);
            break;
        }
        case 24: {
            std::uint8_t* p = row + std::size_t(x) * 3;
            p[0] = std::uint8_t(v);
            p[1] = std::uint8_t(v >> 8);
            p[2] = std::uint8_t(v >> 16);
            break;
        }
        default: std::memcpy(row + std::size_t(x) * 4, &v, 4); break;
    }
}

// Every bit a pixel of this many bits can hold.
constexpr std::uint32_t RawMask(unsigned bits) { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1; }

// Copies count pixels between rows of the same bit count, without conversion.
void CopyRaw(std::uint8_t* dst, std::int32_t dstX, const std::uint8_t* src, std::int32_t srcX,
             std::int32_t count, unsigned bits);

// Converts between colours and the stored values of one format. Colours written into an
// indexed format take the nearest entry the table has (never an index past its end); into
// 16 bits, the nearest value the masks hold; into a store with alpha, opaque.
class TColorCodec {
public:
    explicit TColorCodec(const TStoreFormat& format);

    unsigned Bits() const { return FBits; }
    TColor Decode(std::uint32_t raw) const;
    std::uint32_t Encode(TColor color) const;

private:
    struct Channel {
        unsigned Shift = 0, Width = 0;
    };
    static Channel MakeChannel(std::uint32_t mask);
    static std::uint8_t Expand(std::uint32_t value, Channel c);
    static std::uint32_t Reduce(std::uint8_t value, Channel c);
    std::uint32_t NearestIndex(TColor color) const;

    unsigned FBits;
    bool FIndexed, FMasked;
    Channel FRed, FGreen, FBlue;
    std::uint32_t FOpaque = 0;   // the alpha bits of a store with opacity, all set
    std::vector<TColor> FTable;  // indexed: 2^bits colours, entries past the table black
    std::size_t FHeld = 0;       // entries the table really has; the nearest is one of them
    // A small cache of nearest-entry look-ups: colour in bits 0-23, index in 24-31, bit 32 set
    // when the slot holds an answer.
    mutable std::array<std::uint64_t, 1024> FCache{};
};

// Whether two formats store the same colours the same way, so raw values can be copied.
bool SameRawFormat(const TStoreFormat& a, const TStoreFormat& b);

}  // namespace tavelix::pixels
