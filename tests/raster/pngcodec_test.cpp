#include "raster/pngcodec.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "codecfiles.h"
#include "testutil.h"

namespace tavelix {
namespace {

using Bytes = std::vector<std::uint8_t>;
using test::SamePixels;

void Put32(Bytes& out, std::uint32_t v) {
    for (int shift : {24, 16, 8, 0}) out.push_back(std::uint8_t(v >> shift));
}

// A chunk with its length and checksum.
void Chunk(Bytes& out, const char* type, const Bytes& data) {
    Put32(out, std::uint32_t(data.size()));
    Bytes body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    Put32(out, std::uint32_t(crc32(0, body.data(), uInt(body.size()))));
}

Bytes Deflated(const Bytes& raw) {
    uLongf size = compressBound(uLong(raw.size()));
    Bytes out(size);
    compress2(out.data(), &size, raw.data(), uLong(raw.size()), 9);
    out.resize(size);
    return out;
}

// A gray 8-bit PNG file of width x height whose image data inflates to raw, made by hand so
// that its header can claim anything; extra chunks go before the image data.
Bytes HandMadePng(std::uint32_t width, std::uint32_t height, const Bytes& raw, const Bytes& extra = {}) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    Put32(ihdr, width);
    Put32(ihdr, height);
    ihdr.insert(ihdr.end(), {8, 0, 0, 0, 0});
    Chunk(out, "IHDR", ihdr);
    out.insert(out.end(), extra.begin(), extra.end());
    Chunk(out, "IDAT", Deflated(raw));
    Chunk(out, "IEND", {});
    return out;
}

TEST(Png, ReadsEveryKindOfFile) {
    for (const test::TPngKind& kind : test::AllPngKinds()) {
        SCOPED_TRACE(kind.Name);
        const test::TPngSample sample = test::MakePng(kind, 37, 23, 7);
        TBitmap read;
        LoadPng(read, sample.File);
        EXPECT_TRUE(SamePixels(read, sample.Expected)) << test::FirstDifference(read, sample.Expected);
        EXPECT_EQ(ReadPngSize(sample.File), (TPictureSize{37, 23}));
    }
}

TEST(Png, WritesWhatItReadsBack) {
    TStoreFormat gray236 = test::Gray8Format();  // what black and white gives: fewer levels than 256
    gray236.Palette.resize(236);
    struct TCase {
        const char* Name;
        TStoreFormat Format;
        std::uint8_t ColourType;  // in the file written
        bool Indexed, Alpha;      // of the picture read back
    };
    const TCase cases[] = {
        {"24-bit", test::Rgb24Format(), 2, false, false},
        {"device", test::DeviceFormat(), 2, false, false},
        {"16-bit", test::AllFormats()[3].Format, 2, false, false},
        {"colour table", test::AllFormats()[2].Format, 2, false, false},
        {"alpha", test::BgraFormat(), 6, false, true},
        {"gray", test::Gray8Format(), 0, true, false},
        {"gray, 236 levels", gray236, 0, true, false},
        {"1-bit black and white", test::AllFormats()[0].Format, 0, true, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TBitmap picture = test::MakeNoise(29, 17, 3, c.Format);
        const Bytes file = SavePng(picture);
        ASSERT_GT(file.size(), 26u);
        EXPECT_EQ(file[24], 8) << "bit depth";
        EXPECT_EQ(file[25], c.ColourType);
        TBitmap read;
        LoadPng(read, file);
        EXPECT_EQ(test::LargestDifference(read, picture), 0);
        EXPECT_EQ(read.Layout().IsIndexed(), c.Indexed);
        EXPECT_EQ(read.Layout().HasAlpha(), c.Alpha);
    }
}

TEST(Png, HostileFilesFailClearlyAndLeaveThePictureAlone) {
    const Bytes good = SavePng(test::MakeNoise(40, 30, 1, test::Rgb24Format()));
    Bytes badHeaderCrc = good;
    badHeaderCrc[29] ^= 1;
    Bytes badDataCrc = good;
    badDataCrc[good.size() - 12 - 2] ^= 1;  // the last byte of the image data's checksum
    Bytes badData = good;
    badData[good.size() - 12 - 10] ^= 0xFF;
    const Bytes zeros(100000, 0);
    // A text chunk that inflates to 128 MB.
    Bytes text = {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 0};
    const Bytes inflated = Deflated(Bytes(std::size_t{128} << 20, 'a'));
    text.insert(text.end(), inflated.begin(), inflated.end());
    Bytes textBomb;
    Chunk(textBomb, "zTXt", text);
    Bytes row(1 + 8, 0);
    struct TCase {
        const char* Name;
        Bytes File;
        TPictureError::Kind Kind;
    };
    const TCase cases[] = {
        {"empty", {}, TPictureError::Kind::InvalidPng},
        {"not a PNG", Bytes(100, 'x'), TPictureError::Kind::InvalidPng},
        {"signature only", Bytes(good.begin(), good.begin() + 8), TPictureError::Kind::InvalidPng},
        {"cut in the header", Bytes(good.begin(), good.begin() + 20), TPictureError::Kind::InvalidPng},
        {"cut in the image data", Bytes(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2)),
         TPictureError::Kind::InvalidPng},
        {"bad header checksum", badHeaderCrc, TPictureError::Kind::InvalidPng},
        {"bad image data checksum", badDataCrc, TPictureError::Kind::InvalidPng},
        {"damaged image data", badData, TPictureError::Kind::InvalidPng},
        {"too few rows", HandMadePng(8, 20, row), TPictureError::Kind::InvalidPng},
        {"zero width", HandMadePng(0, 1, row), TPictureError::Kind::InvalidPng},
        {"side over 2^24", HandMadePng(1u << 25, 1, row), TPictureError::Kind::InvalidPng},
        // 60000 x 60000 gray would take 3.6 GB: refused before the image data is inflated.
        {"over the store", HandMadePng(60000, 60000, zeros), TPictureError::Kind::OutOfResources},
        {"text bomb", HandMadePng(8, 1, row, textBomb), TPictureError::Kind::InvalidPng},
    };
    const TBitmap before = test::MakeNoise(3, 2, 9, test::Rgb24Format());
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TBitmap target = before;
        try {
            LoadPng(target, c.File);
            ADD_FAILURE() << "no error";
        } catch (const TPictureError& error) {
            EXPECT_EQ(error.GetKind(), c.Kind) << error.what();
            EXPECT_NE(std::string(error.what()), "");
        }
        EXPECT_TRUE(SamePixels(target, before));
    }
}

TEST(Png, EmptyPictureIsNotWritten) {
    EXPECT_THROW(SavePng(TBitmap()), TPictureError);
}

}  // namespace
}  // namespace tavelix
