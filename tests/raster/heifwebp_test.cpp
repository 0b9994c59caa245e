// The readers of phone and web photos: HEIF (HEIC) and WebP, and the orientation a JPEG photo
// records.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codecfiles.h"
#include "raster/fileio.h"
#include "raster/heifcodec.h"
#include "raster/orientation.h"
#include "raster/webpcodec.h"
#include "testutil.h"

namespace tavelix {
namespace {

using Bytes = std::vector<std::uint8_t>;

// 64 x 48, one colour in each quarter: red top left, green top right, blue bottom left, white
// bottom right, so that every turn and mirror image tells itself apart.
TBitmap Quarters(const TStoreFormat& format = test::Rgb24Format()) {
    TBitmap picture;
    picture.Allocate(64, 48, format);
    for (std::int32_t y = 0; y < 48; ++y)
        for (std::int32_t x = 0; x < 64; ++x)
            picture.SetPixel(x, y, y < 24 ? (x < 32 ? RGB(255, 0, 0) : RGB(0, 255, 0))
                                          : (x < 32 ? RGB(0, 0, 255) : clWhite));
    return picture;
}

// The colours at the middles of the four quarters: top left, top right, bottom left, bottom
// right, each as the nearest of red, green, blue, white ("?" for none near).
std::string QuarterColours(const TBitmap& picture) {
    std::string seen;
    const std::int32_t w = picture.Width(), h = picture.Height();
    for (auto [x, y] : {std::pair{w / 4, h / 4}, {3 * w / 4, h / 4}, {w / 4, 3 * h / 4}, {3 * w / 4, 3 * h / 4}}) {
        const TColor c = picture.Pixel(x, y);
        const int r = GetRValue(c), g = GetGValue(c), b = GetBValue(c);
        seen += r > 200 && g > 200 && b > 200 ? 'W' : r > 200 && g < 60 && b < 60 ? 'R' : g > 200 && r < 60 && b < 60 ? 'G'
              : b > 200 && r < 60 && g < 60 ? 'B' : '?';
    }
    return seen;
}

TEST(Heif, ReadsThePictureUprightWhateverTheOrientationStored) {
    if (!test::CanMakeHeic()) GTEST_SKIP() << "libheif has no HEVC encoder here: no HEIC file can be made";
    struct TCase {
        int Orientation;  // numbered as in EXIF
        std::int32_t Width, Height;
        const char* Quarters;
    };
    const TCase cases[] = {
        {1, 64, 48, "RGBW"},  // as stored
        {2, 64, 48, "GRWB"},  // mirrored left to right
        {3, 64, 48, "WBGR"},  // turned 180 degrees
        {6, 48, 64, "BRWG"},  // turned 90 degrees clockwise: a phone's portrait photo
        {8, 48, 64, "GWRB"},  // turned 90 degrees anticlockwise
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Orientation);
        const Bytes file = test::MakeHeic(Quarters(), c.Orientation);
        TBitmap read;
        LoadHeif(read, file);
        EXPECT_EQ(read.Width(), c.Width);
        EXPECT_EQ(read.Height(), c.Height);
        EXPECT_EQ(ReadHeifSize(file), (TPictureSize{c.Width, c.Height}));
        EXPECT_EQ(QuarterColours(read), c.Quarters);
        EXPECT_FALSE(read.Layout().HasAlpha());
    }
}

// Each orientation turns and mirrors as libheif applies the same one to a HEIC photo, and the
// undoing one brings every stored pixel back, in each byte-aligned store.
TEST(Orientation, TurnsAsTheHeifLibraryAndIsUndoneExactly) {
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const TBitmap turned = Oriented(Quarters(), orientation);
        if (test::CanMakeHeic()) {
            TBitmap read;
            LoadHeif(read, test::MakeHeic(Quarters(), orientation));
            EXPECT_EQ((TPictureSize{turned.Width(), turned.Height()}), (TPictureSize{read.Width(), read.Height()}));
            EXPECT_EQ(QuarterColours(turned), QuarterColours(read));
        }
        for (const TStoreFormat& format : {test::Gray8Format(), test::Rgb24Format(), test::BgraFormat()}) {
            const TBitmap stored = test::MakeNoise(7, 5, 3, format);
            const TBitmap back = Oriented(Oriented(stored, orientation), UndoingOrientation(orientation));
            EXPECT_EQ(back.Layout(), stored.Layout());
            EXPECT_EQ(test::LargestDifference(back, stored), 0);
        }
    }
}

// The orientation of a JPEG file's EXIF block, in either byte order; anything unreadable is 1.
TEST(Orientation, ReadFromTheExifBlockOfAJpegFile) {
    // A file head: SOI, the segments given, the start of the picture data.
    const auto file = [](std::initializer_list<Bytes> segments) {
        Bytes bytes{0xFF, 0xD8};
        for (const Bytes& segment : segments) bytes.insert(bytes.end(), segment.begin(), segment.end());
        bytes.insert(bytes.end(), {0xFF, 0xDA, 0x00, 0x02});
        return bytes;
    };
    const auto segment = [](std::uint8_t marker, const Bytes& data) {
        Bytes bytes{0xFF, marker, std::uint8_t((data.size() + 2) >> 8), std::uint8_t(data.size() + 2)};
        for (const std::uint8_t byte : data) bytes.push_back(byte);
        return bytes;
    };
    // An EXIF block whose first directory holds another tag, then the orientation.
    const auto exif = [](bool bigEndian, std::uint16_t value, std::uint16_t type = 3) {
        Bytes data{'E', 'x', 'i', 'f', 0, 0};
        const auto put = [&](std::uint32_t v, int bytes) {
            for (int i = 0; i < bytes; ++i)
                data.push_back(std::uint8_t(v >> (8 * (bigEndian ? bytes - 1 - i : i))));
        };
        data.push_back(bigEndian ? 'M' : 'I'), data.push_back(bigEndian ? 'M' : 'I');
        put(42, 2), put(8, 4), put(2, 2);
        put(0x010F, 2), put(2, 2), put(1, 4), put(0, 4);      // the maker, an empty text
        put(0x0112, 2), put(type, 2), put(1, 4), put(value, 2), put(0, 2);
        put(0, 4);
        return data;
    };
    const Bytes jfif = segment(0xE0, {'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0});
    EXPECT_EQ(JpegOrientation(file({jfif})), 1);
    EXPECT_EQ(JpegOrientation(file({segment(0xE1, exif(false, 6))})), 6);
    EXPECT_EQ(JpegOrientation(file({jfif, segment(0xE1, exif(true, 8))})), 8);
    EXPECT_EQ(JpegOrientation(file({segment(0xE1, {'h', 't', 't', 'p', ':'}), segment(0xE1, exif(true, 3))})), 3);
    EXPECT_EQ(JpegOrientation(file({segment(0xE1, exif(false, 9))})), 1);     // no such orientation
    EXPECT_EQ(JpegOrientation(file({segment(0xE1, exif(false, 6, 4))})), 1);  // not a short
    Bytes cut = file({segment(0xE1, exif(false, 6))});
    cut.resize(30);  // cut short inside the block
    EXPECT_EQ(JpegOrientation(cut), 1);
    EXPECT_EQ(JpegOrientation(Bytes{0x89, 'P', 'N', 'G'}), 1);
}

TEST(Heif, KeepsAlpha) {
    if (!test::CanMakeHeic()) GTEST_SKIP() << "libheif has no HEVC encoder here: no HEIC file can be made";
    TBitmap picture = Quarters(test::BgraFormat());
    for (std::int32_t y = 0; y < picture.Height(); ++y)
        for (std::int32_t x = 0; x < picture.Width(); ++x)
            picture.SetRawPixel(x, y, (picture.RawPixel(x, y) & 0xFFFFFF) | (x < 32 ? 0u : 0x80000000u));
    TBitmap read;
    LoadHeif(read, test::MakeHeic(picture, 1, 95));
    ASSERT_TRUE(read.Layout().HasAlpha());
    EXPECT_LE(test::LargestDifference(read, picture), 40);  // lossy, at the quarters' edges most
    EXPECT_EQ(read.RawPixel(10, 10) >> 24, 0u);
    EXPECT_NEAR(int(read.RawPixel(50, 10) >> 24), 0x80, 4);
}

TEST(Webp, ReadsLosslessFilesExactlyAndLossyOnesClosely) {
    for (bool alpha : {false, true})
        for (bool lossless : {true, false}) {
            SCOPED_TRACE(std::string(alpha ? "alpha, " : "") + (lossless ? "lossless" : "lossy"));
            const TBitmap picture = alpha ? test::MakeNoise(33, 21, 5, test::BgraFormat()) : test::MakePhotoLike(33, 21, 5);
            const Bytes file = test::MakeWebp(picture, lossless);
            TBitmap read;
            LoadWebp(read, file);
            EXPECT_EQ(read.Layout().HasAlpha(), alpha);
            EXPECT_EQ(ReadWebpSize(file), (TPictureSize{33, 21}));
            if (lossless)
                EXPECT_TRUE(test::SamePixels(read, picture)) << test::FirstDifference(read, picture);
            else
                EXPECT_LE(test::LargestDifference(read, picture), alpha ? 255 : 48);
        }
}

// A lossless WebP file whose header claims 16384 x 16384 pixels with alpha (1 GB of pixels).
Bytes HugeWebp() {
    Bytes file = test::MakeWebp(test::MakeNoise(8, 8, 1, test::BgraFormat()), true);
    const auto at = std::search(file.begin(), file.end(), std::begin("VP8L"), std::end("VP8L") - 1);
    const std::size_t header = std::size_t(at - file.begin()) + 8 + 1;  // after the chunk head and 0x2F
    for (std::size_t i = 0; i < 3; ++i) file[header + i] = 0xFF;     // width - 1, height - 1: 14 bits each
    file[header + 3] = std::uint8_t((file[header + 3] & 0xF0) | 0x0F);
    return file;
}

// A HEIC file whose picture claims width x height in its header (the last size property, the
// primary picture's; the coded picture before it has one of its own), the coded data unchanged.
Bytes ClaimingHeic(std::uint32_t width, std::uint32_t height) {
    Bytes file = test::MakeHeic(Quarters());
    const auto at = std::find_end(file.begin(), file.end(), std::begin("ispe"), std::end("ispe") - 1);
    std::size_t p = std::size_t(at - file.begin()) + 4 + 4;
    for (std::uint32_t v : {width, height})
        for (int shift : {24, 16, 8, 0}) file[p++] = std::uint8_t(v >> shift);
    return file;
}

template <class Load>
void ExpectFailure(Load load, const Bytes& file, TPictureError::Kind kind) {
    const TBitmap before = test::MakeNoise(3, 2, 9, test::Rgb24Format());
    TBitmap target = before;
    try {
        load(target, file);
        ADD_FAILURE() << "no error";
    } catch (const TPictureError& error) {
        EXPECT_EQ(error.GetKind(), kind) << error.what();
    }
    EXPECT_TRUE(test::SamePixels(target, before));
}

TEST(Webp, HostileFilesFailClearlyAndLeaveThePictureAlone) {
    const Bytes good = test::MakeWebp(test::MakePhotoLike(64, 48, 2), false);
    const auto load = [](TBitmap& target, const Bytes& file) { LoadWebp(target, file); };
    for (const auto& [name, file, kind] :
         {std::tuple{"empty", Bytes{}, TPictureError::Kind::InvalidWebp},
          {"not a WebP", Bytes(64, 'R'), TPictureError::Kind::InvalidWebp},
          {"header only", Bytes(good.begin(), good.begin() + 30), TPictureError::Kind::InvalidWebp},
          {"cut in half", Bytes(good.begin(), good.begin() + std::ptrdiff_t(good.size() / 2)), TPictureError::Kind::InvalidWebp},
          {"over the store", HugeWebp(), TPictureError::Kind::OutOfResources}}) {
        SCOPED_TRACE(name);
        ExpectFailure(load, file, kind);
    }
}

TEST(Heif, HostileFilesFailClearlyAndLeaveThePictureAlone) {
    if (!test::CanMakeHeic()) GTEST_SKIP() << "libheif has no HEVC encoder here: no HEIC file can be made";
    const Bytes good = test::MakeHeic(Quarters());
    Bytes damaged = good;
    for (std::size_t i = good.size() / 2; i < good.size(); i += 5) damaged[i] ^= 0xA5;
    const auto load = [](TBitmap& target, const Bytes& file) { LoadHeif(target, file); };
    for (const auto& [name, file, kind] :
         {std::tuple{"empty", Bytes{}, TPictureError::Kind::InvalidHeif},
          {"not a HEIF", Bytes(64, 'R'), TPictureError::Kind::InvalidHeif},
          {"cut short", Bytes(good.begin(), good.begin() + std::ptrdiff_t(good.size() * 3 / 4)), TPictureError::Kind::InvalidHeif},
          {"damaged", damaged, TPictureError::Kind::InvalidHeif},
          {"over the store", ClaimingHeic(60000, 60000), TPictureError::Kind::OutOfResources},
          {"side over 32768", ClaimingHeic(5, 64279), TPictureError::Kind::OutOfResources},
          // Found by fuzz_heif: a grid whose canvas would take 1.9 GB, for a picture of 100 x 16.
          {"grid canvas far beyond the picture",
           ReadFileBytes(std::string(TAVELIX_CRASHERS) + "/heif/grid_canvas_634874688_pixels_for_100x16.heic"),
           TPictureError::Kind::InvalidHeif},
          // The same, its grid found only where the library's reading of the location list finds it.
          {"grid located as the library locates it",
           ReadFileBytes(std::string(TAVELIX_CRASHERS) + "/heif/grid_in_idat_read_as_the_library_reads_iloc.heic"),
           TPictureError::Kind::InvalidHeif},
          // Found by fuzz_heif: an identity made from an item the file lacks (the library asserts).
          {"derived from no picture",
           ReadFileBytes(std::string(TAVELIX_CRASHERS) + "/heif/identity_made_from_a_missing_item.heic"),
           TPictureError::Kind::InvalidHeif}}) {
        SCOPED_TRACE(name);
        ExpectFailure(load, file, kind);
    }
}

}  // namespace
}  // namespace tavelix
