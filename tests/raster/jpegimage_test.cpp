#include "raster/jpegimage.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "raster/pictureregistry.h"
#include "plainjpeg.h"
#include "tempfolder.h"
#include "testutil.h"

#if __has_include(<valgrind/valgrind.h>)
#include <valgrind/valgrind.h>
// Valgrind cannot follow some of libjpeg-turbo's AVX2 routines and calls correct output bytes
// uninitialised. Under valgrind the library runs its plain C routines (same results) instead;
// it reads this setting when it first compresses or decompresses.
[[maybe_unused]] static const bool PlainLibjpegRoutinesUnderValgrind = [] {
    if (RUNNING_ON_VALGRIND) setenv("JSIMD_FORCENONE", "1", 1);
    return true;
}();
#endif

namespace tavelix {
namespace {

using Bytes = std::vector<std::uint8_t>;

// --- pictures -----------------------------------------------------------------------------

// Samples of a picture as the JPEG library takes them: rows top-down, components interleaved.
struct TSamples {
    int Width = 0, Height = 0, Components = 3;
    std::vector<std::uint8_t> Data;
    const std::uint8_t* Row(int y) const { return Data.data() + std::size_t(y) * Width * Components; }
    std::uint8_t* Row(int y) { return Data.data() + std::size_t(y) * Width * Components; }
};

// Gradients with a little deterministic noise: detail the codec has to work for.
TSamples DetailedRgb(int width, int height, unsigned seed = 1) {
    TSamples s{width, height, 3, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
    unsigned state = seed * 2654435761u + 1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 28) - 8;
            std::uint8_t* p = s.Row(y) + x * 3;
            p[0] = std::uint8_t(std::clamp(x * 255 / std::max(1, width - 1) + noise, 0, 255));
            p[1] = std::uint8_t(std::clamp(y * 255 / std::max(1, height - 1) + noise, 0, 255));
            p[2] = std::uint8_t(std::clamp(128 + (x - y) / 2 + noise, 0, 255));
        }
    return s;
}

// Gentle gradients only (a few levels a pixel at most), for round trips whose error should
// stay small whatever the size.
TSamples SmoothRgb(int width, int height) {
    TSamples s{width, height, 3, std::vector<std::uint8_t>(std::size_t(width) * height * 3)};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = s.Row(y) + x * 3;
            p[0] = std::uint8_t(60 + x * 90 / std::max(45, width));
            p[1] = std::uint8_t(50 + y * 120 / std::max(60, height));
            p[2] = std::uint8_t(180 - (x + y) * 60 / std::max(60, width + height));
        }
    return s;
}

// A 24-bit bitmap holding RGB samples (stored blue, green, red).
TBitmap BitmapFromRgb(const TSamples& s) {
    TBitmap bitmap;
    TStoreFormat format;
    format.Layout = TPixelLayout::Rgb(24);
    bitmap.Allocate(s.Width, s.Height, format);
    for (int y = 0; y < s.Height; ++y) {
        std::uint8_t* row = bitmap.ScanLine(y);
        const std::uint8_t* in = s.Row(y);
        for (int x = 0; x < s.Width; ++x) {
            row[3 * x] = in[3 * x + 2];
            row[3 * x + 1] = in[3 * x + 1];
            row[3 * x + 2] = in[3 * x];
        }
    }
    bitmap.Changed();
    return bitmap;
}

// --- the library used directly, as the reference -----------------------------------------

using TPlainEncodeOptions = test::TPlainJpegSettings;

Bytes PlainEncode(const TSamples& s, int quality, const TPlainEncodeOptions& options = {}) {
    return test::PlainJpegEncode(s.Data, s.Width, s.Height, s.Components, quality, options);
}

struct TPlainDecoded {
    TSamples Samples;
    std::vector<std::uint8_t> Colormap;  // gray output only
};

// Decodes one row per call: RGB, or 236 quantized gray levels.
TPlainDecoded PlainDecode(const Bytes& data, bool gray, unsigned scaleDenominator = 1) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    info.do_block_smoothing = TRUE;
    info.scale_num = 1;
    info.scale_denom = scaleDenominator;
    if (gray) {
        info.out_color_space = JCS_GRAYSCALE;
        info.quantize_colors = TRUE;
        info.desired_number_of_colors = 236;
    } else {
        info.out_color_space = JCS_RGB;
    }
    jpeg_start_decompress(&info);
    TPlainDecoded result;
    TSamples& s = result.Samples;
    s.Width = int(info.output_width);
    s.Height = int(info.output_height);
    s.Components = info.output_components;
    s.Data.resize(std::size_t(s.Width) * s.Height * s.Components);
    if (gray)
        for (int i = 0; i < info.actual_number_of_colors; ++i) result.Colormap.push_back(info.colormap[0][i]);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = s.Row(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return result;
}

// --- checks -------------------------------------------------------------------------------

// Every pixel of a 24-bit bitmap equals the RGB samples.
::testing::AssertionResult SameAsRgb(const TBitmap& bitmap, const TSamples& s) {
    if (bitmap.Width() != s.Width || bitmap.Height() != s.Height)
        return ::testing::AssertionFailure() << "size " << bitmap.Width() << "x" << bitmap.Height();
    if (bitmap.Layout() != TPixelLayout::Rgb(24)) return ::testing::AssertionFailure() << "not 24-bit";
    for (int y = 0; y < s.Height; ++y)
        for (int x = 0; x < s.Width; ++x) {
            const std::uint8_t* b = bitmap.ScanLine(y) + 3 * x;
            const std::uint8_t* r = s.Row(y) + 3 * x;
            if (b[0] != r[2] || b[1] != r[1] || b[2] != r[0])
                return ::testing::AssertionFailure() << "pixel (" << x << ", " << y << ") differs";
        }
    return ::testing::AssertionSuccess();
}

double MeanError(const TBitmap& bitmap, const TSamples& s) {
    double sum = 0;
    for (int y = 0; y < s.Height; ++y)
        for (int x = 0; x < s.Width; ++x) {
            const TColor c = bitmap.Pixel(x, y);
            const std::uint8_t* r = s.Row(y) + 3 * x;
            sum += std::abs(GetRValue(c) - r[0]) + std::abs(GetGValue(c) - r[1]) + std::abs(GetBValue(c) - r[2]);
        }
    return sum / (3.0 * s.Width * s.Height);
}

::testing::AssertionResult CloseColour(TColor got, TColor want, int tolerance) {
    const int dr = std::abs(GetRValue(got) - GetRValue(want));
    const int dg = std::abs(GetGValue(got) - GetGValue(want));
    const int db = std::abs(GetBValue(got) - GetBValue(want));
    if (std::max({dr, dg, db}) <= tolerance) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hex << "got 0x" << got << ", want 0x" << want;
}

void ExpectJpegError(const std::function<void()>& action, int code) {
    try {
        action();
        ADD_FAILURE() << "no error";
    } catch (const TPictureError& error) {
        EXPECT_EQ(error.GetKind(), TPictureError::Kind::Jpeg);
        EXPECT_EQ(error.Code(), code);
        EXPECT_EQ(std::string(error.what()), "JPEG-Fehler #" + std::to_string(code));
    }
}

// --- markers of a written file ------------------------------------------------------------

struct TSegment {
    std::uint8_t Marker;
    Bytes Body;  // without the length field
};

// The segments from SOI up to and including SOS; fails on malformed structure.
std::vector<TSegment> HeaderSegments(const Bytes& file) {
    std::vector<TSegment> segments;
    if (file.size() < 4 || file[0] != 0xFF || file[1] != 0xD8) {
        ADD_FAILURE() << "no SOI";
        return segments;
    }
    std::size_t at = 2;
    while (at + 4 <= file.size()) {
        if (file[at] != 0xFF) {
            ADD_FAILURE() << "no marker at " << at;
            break;
        }
        const std::uint8_t marker = file[at + 1];
        const std::size_t length = std::size_t(file[at + 2]) << 8 | file[at + 3];
        if (length < 2 || at + 2 + length > file.size()) {
            ADD_FAILURE() << "bad length at " << at;
            break;
        }
        segments.push_back({marker, Bytes(file.begin() + long(at) + 4, file.begin() + long(at + 2 + length))});
        at += 2 + length;
        if (marker == 0xDA) break;  // SOS: entropy-coded data follows
    }
    return segments;
}

// The quantization tables of the JPEG standard (annex K), in natural (row by row) order.
constexpr int StandardLuminance[64] = {
    16, 11, 10, 16, 24,  40,  51,  61,  12, 12, 14, 19, 26,  58,  60,  55,
    14, 13, 16, 24, 40,  57,  69,  56,  14, 17, 22, 29, 51,  87,  80,  62,
    18, 22, 37, 56, 68,  109, 103, 77,  24, 35, 55, 64, 81,  104, 113, 92,
    49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
constexpr int StandardChrominance[64] = {
    17, 18, 24, 47, 99, 99, 99, 99, 18, 21, 26, 66, 99, 99, 99, 99,
    24, 26, 56, 99, 99, 99, 99, 99, 47, 66, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
    99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99};

// Natural index of each position of the zigzag order the tables are stored in.
std::vector<int> ZigzagOrder() {
    std::vector<int> order;
    for (int sum = 0; sum <= 14; ++sum) {
        const int low = std::max(0, sum - 7), high = std::min(sum, 7);
        for (int i = 0; i <= high - low; ++i) {
            const int row = sum % 2 == 0 ? high - i : low + i;
            order.push_back(row * 8 + (sum - row));
        }
    }
    return order;
}

// A standard table scaled for a quality as the IJG library documents it, with baseline
// limits, in zigzag order.
Bytes ExpectedTable(const int (&base)[64], int quality) {
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    Bytes table;
    for (int natural : ZigzagOrder())
        table.push_back(std::uint8_t(std::clamp((base[natural] * scale + 50) / 100, 1, 255)));
    return table;
}

TEST(JpegImageEncode, WritesBaselineJfifWithScaledTables) {
    struct Case {
        int Set;          // what SetQuality is given
        int Effective;    // the quality the tables are made for
    };
    const TBitmap picture = BitmapFromRgb(DetailedRgb(40, 24));
    for (const Case c : {Case{100, 100}, Case{1, 1}, Case{50, 50}, Case{90, 90}, Case{356, 100}, Case{257, 1}}) {
        SCOPED_TRACE(testing::Message() << "quality " << c.Set);
        TJPEGImage jpeg;
        jpeg.Assign(picture);
        jpeg.SetQuality(c.Set);
        jpeg.EncodeIfNeeded();
        const Bytes file(jpeg.Data().begin(), jpeg.Data().end());
        ASSERT_GE(file.size(), 4u);
        EXPECT_EQ(file[file.size() - 2], 0xFF);
        EXPECT_EQ(file[file.size() - 1], 0xD9);

        const std::vector<TSegment> segments = HeaderSegments(file);
        ASSERT_FALSE(segments.empty());
        // JFIF APP0 first: version, density unit 0, density 1 x 1, no thumbnail
        EXPECT_EQ(segments[0].Marker, 0xE0);
        EXPECT_EQ(segments[0].Body, (Bytes{'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}));

        std::map<int, Bytes> tables;
        int frames = 0;
        for (const TSegment& s : segments) {
            EXPECT_NE(s.Marker, 0xC1) << "extended sequential frame";
            EXPECT_NE(s.Marker, 0xC2) << "progressive frame";
            if (s.Marker == 0xDB) {
                for (std::size_t at = 0; at + 65 <= s.Body.size(); at += 65) {
                    EXPECT_EQ(s.Body[at] >> 4, 0) << "16-bit table";
                    tables[s.Body[at] & 15] = Bytes(s.Body.begin() + long(at) + 1, s.Body.begin() + long(at) + 65);
                }
                EXPECT_EQ(s.Body.size() % 65, 0u);
            }
            if (s.Marker == 0xC0) {
                ++frames;
                // precision 8, height 24, width 40, three components: Y 2x2 table 0, Cb and Cr 1x1 table 1
                EXPECT_EQ(s.Body, (Bytes{8, 0, 24, 0, 40, 3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}));
            }
        }
        EXPECT_EQ(frames, 1);
        ASSERT_EQ(tables.size(), 2u);
        EXPECT_EQ(tables[0], ExpectedTable(StandardLuminance, c.Effective));
        EXPECT_EQ(tables[1], ExpectedTable(StandardChrominance, c.Effective));
        if (c.Effective == 100) {
            EXPECT_EQ(tables[0], Bytes(64, 1));
            EXPECT_EQ(tables[1], Bytes(64, 1));
        }
    }
}

TEST(JpegImageEncode, SameFileAsThePlainLibrary) {
    for (auto [w, h, q] : {std::tuple{1, 1, 90}, {17, 9, 75}, {64, 48, 90}, {129, 33, 1}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h << " q" << q);
        const TSamples samples = DetailedRgb(w, h, unsigned(w * h));
        TJPEGImage jpeg;
        jpeg.Assign(BitmapFromRgb(samples));
        jpeg.SetQuality(q);
        jpeg.Encode();
        const Bytes ours(jpeg.Data().begin(), jpeg.Data().end());
        EXPECT_EQ(ours, PlainEncode(samples, q));
    }
}

// --- decoding -----------------------------------------------------------------------------

TEST(JpegImageDecode, ColourFileGivesTheLibrarysPixelsIn24Bits) {
    struct Case {
        const char* Name;
        int Width, Height;
        bool Progressive;
    };
    for (const Case c : {Case{"tiny", 1, 1, false}, Case{"odd", 37, 23, false}, Case{"wide", 300, 17, false},
                         Case{"progressive", 61, 45, true}}) {
        SCOPED_TRACE(c.Name);
        TPlainEncodeOptions options;
        if (c.Progressive) options.Adjust = [](jpeg_compress_struct& info) { jpeg_simple_progression(&info); };
        const Bytes file = PlainEncode(DetailedRgb(c.Width, c.Height), 85, options);
        TJPEGImage jpeg;
        jpeg.LoadFromBytes(file);
        EXPECT_FALSE(jpeg.HasBitmap());
        EXPECT_EQ(jpeg.Width(), c.Width);
        EXPECT_EQ(jpeg.Height(), c.Height);
        EXPECT_TRUE(SameAsRgb(jpeg.Bitmap(), PlainDecode(file, false).Samples));
        EXPECT_TRUE(jpeg.HasBitmap());
    }
}

TEST(JpegImageDecode, GrayscaleFileGives236GrayLevelsWhateverGrayOutputSays) {
    TSamples gray{45, 30, 1, {}};
    for (int y = 0; y < gray.Height; ++y)
        for (int x = 0; x < gray.Width; ++x) gray.Data.push_back(std::uint8_t((x * 5 + y * 3) % 256));
    const Bytes file = PlainEncode(gray, 90, {JCS_GRAYSCALE, nullptr});
    const TPlainDecoded reference = PlainDecode(file, true);
    ASSERT_EQ(reference.Colormap.size(), 236u);

    for (bool grayOutput : {false, true}) {
        SCOPED_TRACE(grayOutput ? "GrayOutput on" : "GrayOutput off");
        TJPEGImage jpeg;
        jpeg.SetGrayOutput(grayOutput);
        jpeg.LoadFromBytes(file);
        const TBitmap& bitmap = jpeg.Bitmap();
        EXPECT_EQ(bitmap.Layout(), TPixelLayout::Indexed(8));
        ASSERT_EQ(bitmap.Palette().size(), 236u);
        for (std::size_t i = 0; i < 236; ++i) {
            const std::uint8_t v = reference.Colormap[i];
            EXPECT_EQ(bitmap.Palette()[i], (TRGBQuad{v, v, v, 0})) << "entry " << i;
        }
        EXPECT_EQ(bitmap.Palette().front().Red, 0);
        EXPECT_EQ(bitmap.Palette().back().Red, 255);
        for (int y = 0; y < gray.Height; ++y)
            for (int x = 0; x < gray.Width; ++x)
                ASSERT_EQ(bitmap.ScanLine(y)[x], reference.Samples.Row(y)[x]) << x << ", " << y;
    }
}

TEST(JpegImageDecode, GrayOutputGivesGrayOfTheSameSizeAndCanBeSwitchedBack) {
    const Bytes file = PlainEncode(DetailedRgb(50, 34), 90);
    TJPEGImage jpeg;
    int changes = 0;
    jpeg.OnChange = [&] { ++changes; };
    jpeg.LoadFromBytes(file);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(jpeg.Bitmap().Layout(), TPixelLayout::Rgb(24));

    jpeg.SetGrayOutput(true);
    EXPECT_EQ(changes, 2);
    EXPECT_FALSE(jpeg.HasBitmap());  // dropped; the data stays
    EXPECT_EQ(jpeg.Data().size(), file.size());
    EXPECT_EQ(jpeg.Width(), 50);
    jpeg.SetGrayOutput(true);
    EXPECT_EQ(changes, 2);  // no change, no notice

    const TBitmap& gray = jpeg.Bitmap();
    EXPECT_EQ(gray.Width(), 50);
    EXPECT_EQ(gray.Height(), 34);
    EXPECT_EQ(gray.Layout(), TPixelLayout::Indexed(8));
    EXPECT_EQ(gray.Palette().size(), 236u);
    for (const TRGBQuad& q : gray.Palette()) {
        EXPECT_EQ(q.Red, q.Green);
        EXPECT_EQ(q.Red, q.Blue);
    }
    const TPlainDecoded reference = PlainDecode(file, true);
    for (int y = 0; y < 34; ++y)
        for (int x = 0; x < 50; ++x) ASSERT_EQ(gray.ScanLine(y)[x], reference.Samples.Row(y)[x]);

    jpeg.SetGrayOutput(false);
    EXPECT_EQ(jpeg.Bitmap().Layout(), TPixelLayout::Rgb(24));
}

TEST(JpegImageDecode, GrayOutputDropsTheBitmapAlsoWithoutData) {
    // A picture held only as a copied bitmap must not go on answering in colour: with no data
    // left there is nothing to decode.
    TJPEGImage jpeg;
    jpeg.Assign(BitmapFromRgb(SmoothRgb(8, 8)));
    jpeg.SetGrayOutput(true);
    EXPECT_FALSE(jpeg.HasBitmap());
    EXPECT_EQ(jpeg.Width(), 0);
    try {
        jpeg.Bitmap();
        ADD_FAILURE() << "an empty picture decoded";
    } catch (const TPictureError& error) {
        EXPECT_EQ(error.GetKind(), TPictureError::Kind::Jpeg);
    }
}

TEST(JpegImageDecode, TruncatedDataDecodesWithoutError) {
    constexpr int Size = 128;
    const TSamples samples = DetailedRgb(Size, Size);
    for (bool progressive : {false, true}) {
        SCOPED_TRACE(progressive ? "progressive" : "baseline");
        TPlainEncodeOptions options;
        if (progressive) options.Adjust = [](jpeg_compress_struct& info) { jpeg_simple_progression(&info); };
        const Bytes file = PlainEncode(samples, 90, options);
        const Bytes sos{0xFF, 0xDA};
        const auto scan = std::size_t(std::search(file.begin(), file.end(), sos.begin(), sos.end()) - file.begin());
        ASSERT_LT(scan, file.size());
        TJPEGImage whole;
        whole.LoadFromBytes(file);

        struct Cut {
            const char* Name;
            std::size_t Keep;
            int SameRows;  // rows complete before the cut (baseline)
        };
        for (const Cut cut : {Cut{"no end marker", file.size() - 2, Size},
                              Cut{"half the scan data", scan + (file.size() - scan) / 2, 8},
                              Cut{"right after the scan header", scan + 14, 0}}) {
            SCOPED_TRACE(cut.Name);
            TJPEGImage jpeg;
            jpeg.LoadFromBytes(std::span(file.data(), cut.Keep));
            const TBitmap* bitmap = nullptr;
            ASSERT_NO_THROW(bitmap = &jpeg.Bitmap());
            EXPECT_EQ(bitmap->Width(), Size);
            EXPECT_EQ(bitmap->Height(), Size);
            EXPECT_EQ(bitmap->Layout(), TPixelLayout::Rgb(24));
            for (int y = 0; !progressive && y < cut.SameRows; ++y)
                ASSERT_EQ(0, std::memcmp(bitmap->ScanLine(y), whole.Bitmap().ScanLine(y), Size * 3)) << "row " << y;
        }
    }
}

TEST(JpegImageDecode, EmptyDataLoadsButFailsToDecode) {
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(Bytes{});
    EXPECT_FALSE(jpeg.HasData());
    EXPECT_EQ(jpeg.Width(), 0);
    EXPECT_TRUE(jpeg.Empty());
    ExpectJpegError([&] { jpeg.DecodeIfNeeded(); }, JERR_INPUT_EMPTY);
    EXPECT_FALSE(jpeg.HasBitmap());

    TBitmap target = BitmapFromRgb(SmoothRgb(3, 2));
    ExpectJpegError([&] { target.CopyFrom(jpeg); }, JERR_INPUT_EMPTY);
    EXPECT_EQ(target.Width(), 3);  // kept its picture
}

TEST(JpegImageDecode, DataTheLibraryRejectsFailsToLoadAndKeepsThePicture) {
    const Bytes good = PlainEncode(SmoothRgb(20, 10), 90);
    struct Case {
        const char* Name;
        Bytes Data;
        int Code;
    };
    Bytes headerOnly(good.begin(), good.begin() + 30);
    const Case cases[] = {
        {"text", Bytes{'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'}, JERR_NO_SOI},
        {"bitmap file", Bytes{'B', 'M', 0x36, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0}, JERR_NO_SOI},
        {"SOI then garbage", Bytes{0xFF, 0xD8, 1, 2, 3, 4, 5}, JERR_NO_IMAGE},
        {"cut inside the header", headerOnly, JERR_NO_IMAGE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TJPEGImage jpeg;
        jpeg.LoadFromBytes(good);
        int changes = 0;
        jpeg.OnChange = [&] { ++changes; };
        ExpectJpegError([&] { jpeg.LoadFromBytes(c.Data); }, c.Code);
        EXPECT_EQ(changes, 0);
        EXPECT_EQ(jpeg.Data().size(), good.size());
        EXPECT_EQ(jpeg.Width(), 20);
        EXPECT_EQ(jpeg.Bitmap().Height(), 10);
    }
}

// A header may claim any size up to 65500 x 65500; the decoder refuses what no bitmap may
// hold before the library allocates for it.
TEST(JpegImageDecode, AHugeClaimedSizeFailsBeforeAnythingIsAllocated) {
    // progressive: the library would want memory for the whole picture's coefficients
    Bytes file = PlainEncode(SmoothRgb(16, 16), 90,
                             {JCS_RGB, [](jpeg_compress_struct& info) { jpeg_simple_progression(&info); }});
    const Bytes sof{0xFF, 0xC2};
    const auto at = std::size_t(std::search(file.begin(), file.end(), sof.begin(), sof.end()) - file.begin());
    ASSERT_LT(at + 9, file.size());
    for (std::size_t i : {at + 5, at + 7}) {  // height, then width: 60000 each
        file[i] = 60000 >> 8;
        file[i + 1] = 60000 & 0xFF;
    }
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(file);
    EXPECT_EQ(jpeg.Width(), 60000);
    EXPECT_EQ(jpeg.Height(), 60000);
    try {
        jpeg.DecodeIfNeeded();
        ADD_FAILURE() << "decoded a 60000 x 60000 picture";
    } catch (const TPictureError& error) {
        EXPECT_EQ(error.GetKind(), TPictureError::Kind::OutOfResources);
    }
    EXPECT_FALSE(jpeg.HasBitmap());
}

TEST(JpegImageDecode, ScaledDecodeGivesTheLibrarysScaledPixels) {
    const Bytes file = PlainEncode(DetailedRgb(37, 23, 5), 85);
    for (unsigned scale : {1u, 2u, 4u, 8u}) {
        SCOPED_TRACE(scale);
        const TBitmap bitmap = DecodeJpegScaled(file, scale);
        EXPECT_EQ(bitmap.Width(), int((37 + scale - 1) / scale));
        EXPECT_EQ(bitmap.Height(), int((23 + scale - 1) / scale));
        EXPECT_TRUE(SameAsRgb(bitmap, PlainDecode(file, false, scale).Samples));
    }
    for (unsigned scale : {0u, 3u, 16u}) {
        SCOPED_TRACE(scale);
        try {
            DecodeJpegScaled(file, scale);
            ADD_FAILURE() << "decoded at 1/" << scale;
        } catch (const TPictureError& error) {
            EXPECT_EQ(error.GetKind(), TPictureError::Kind::InvalidOperation);
        }
    }
}

TEST(JpegImageDecode, ScaledDecodeOfGrayFileGivesGrayLevels) {
    TSamples gray{16, 16, 1, std::vector<std::uint8_t>(256)};
    for (std::size_t i = 0; i < gray.Data.size(); ++i) gray.Data[i] = std::uint8_t(i);
    const TBitmap bitmap = DecodeJpegScaled(PlainEncode(gray, 90, {JCS_GRAYSCALE, {}}), 2);
    EXPECT_EQ(bitmap.Width(), 8);
    EXPECT_EQ(bitmap.Layout(), TPixelLayout::Indexed(8));
}

// From a file: the pixels of the decode in memory, except that at 1/8 a progressive file is
// read only until its DC coefficients are known but their last bit (each pixel then within
// that bit of the whole file's), the rest left unread.
TEST(JpegImageDecode, ScaledDecodeFromAFileReadsWhatTheScaleNeeds) {
    const test::TTempFolder folder("tavelix-scaled");
    const auto progressive = [](jpeg_compress_struct& info) {
        jpeg_simple_progression(&info);
        for (int c = 0; c < 3; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    };
    for (const bool isProgressive : {false, true}) {
        SCOPED_TRACE(isProgressive ? "progressive" : "baseline");
        test::TPlainJpegSettings settings;
        if (isProgressive) settings.Adjust = progressive;
        const Bytes file = PlainEncode(DetailedRgb(1600, 1200, 3), 85, settings);  // several 64 KB reads
        const std::string name = folder.At("f.jpg");
        std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
        for (unsigned scale : {1u, 2u, 4u, 8u}) {
            SCOPED_TRACE(scale);
            const int fd = ::open(name.c_str(), O_RDONLY);
            ASSERT_GE(fd, 0);
            TPoint full;
            const TBitmap fromFile = DecodeJpegScaledFromFile(fd, scale, &full);
            const off_t read = ::lseek(fd, 0, SEEK_CUR);
            ::close(fd);
            EXPECT_EQ(full.X, 1600);
            EXPECT_EQ(full.Y, 1200);
            const TBitmap inMemory = DecodeJpegScaled(file, scale);
            ASSERT_EQ(fromFile.Width(), inMemory.Width());
            ASSERT_EQ(fromFile.Height(), inMemory.Height());
            if (!isProgressive || scale != 8) {
                EXPECT_TRUE(test::SamePixels(fromFile, inMemory));
                EXPECT_EQ(std::size_t(read), file.size());
                continue;
            }
            int worst = 0;
            for (std::int32_t y = 0; y < fromFile.Height(); ++y)
                for (std::int32_t i = 0; i < fromFile.Width() * 3; ++i)
                    worst = std::max(worst, std::abs(int(fromFile.ScanLine(y)[i]) - int(inMemory.ScanLine(y)[i])));
            EXPECT_LE(worst, 3);
            EXPECT_LT(std::size_t(read), file.size() / 2);
        }
    }
}

// A preview decodes at 1/8, but a progressive file needs the coefficients of the whole
// picture: a huge claimed size must still fail, not allocate or hang.
TEST(JpegImageDecode, ScaledDecodeOfAHugeClaimedSizeFails) {
    Bytes file = PlainEncode(SmoothRgb(16, 16), 90,
                             {JCS_RGB, [](jpeg_compress_struct& info) { jpeg_simple_progression(&info); }});
    const Bytes sof{0xFF, 0xC2};
    const auto at = std::size_t(std::search(file.begin(), file.end(), sof.begin(), sof.end()) - file.begin());
    ASSERT_LT(at + 9, file.size());
    for (std::size_t i : {at + 5, at + 7}) {
        file[i] = 60000 >> 8;
        file[i + 1] = 60000 & 0xFF;
    }
    EXPECT_THROW(DecodeJpegScaled(file, 8), TPictureError);
}

// Four-component files are converted to 24 bits. Three 16 x 16 blocks: red, middle gray from
// black ink alone, and a sky blue; the samples as cyan, magenta, yellow, black.
TEST(JpegImageDecode, FourComponentFilesAreConvertedToRgb) {
    const std::uint8_t inks[3][4] = {{0, 255, 255, 0}, {0, 0, 0, 128}, {255, 128, 0, 0}};
    const TColor expected[3] = {RGB(255, 0, 0), RGB(127, 127, 127), RGB(0, 127, 255)};
    struct Case {
        const char* Name;
        J_COLOR_SPACE Stored;
        bool AdobeMarker;  // Adobe's inverted inks (255 = no ink) go with its marker
    };
    for (const Case c : {Case{"CMYK", JCS_CMYK, false}, Case{"Adobe CMYK", JCS_CMYK, true},
                         Case{"Adobe YCCK", JCS_YCCK, true}}) {
        SCOPED_TRACE(c.Name);
        TSamples cmyk{48, 16, 4, {}};
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 48; ++x)
                for (int k = 0; k < 4; ++k) {
                    const std::uint8_t ink = inks[x / 16][k];
                    cmyk.Data.push_back(c.AdobeMarker ? std::uint8_t(255 - ink) : ink);
                }
        TPlainEncodeOptions options{JCS_CMYK, [&](jpeg_compress_struct& info) {
                                        jpeg_set_colorspace(&info, c.Stored);
                                        info.write_Adobe_marker = c.AdobeMarker;
                                    }};
        const Bytes file = PlainEncode(cmyk, 95, options);
        TJPEGImage jpeg;
        jpeg.LoadFromBytes(file);
        const TBitmap& bitmap = jpeg.Bitmap();
        EXPECT_EQ(bitmap.Layout(), TPixelLayout::Rgb(24));
        for (int block = 0; block < 3; ++block)
            EXPECT_TRUE(CloseColour(bitmap.Pixel(block * 16 + 8, 8), expected[block], 6)) << "block " << block;

        // The library has no gray output for four components: a plain load error.
        jpeg.SetGrayOutput(true);
        ExpectJpegError([&] { jpeg.DecodeIfNeeded(); }, JERR_CONVERSION_NOTIMPL);
    }
}

TEST(JpegImageDecode, BitmapCopyFromTakesTheDecodedPicture) {
    const Bytes file = PlainEncode(DetailedRgb(30, 20), 90);
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(file);
    TBitmap target;
    int changes = 0;
    target.OnChange = [&] { ++changes; };
    target.CopyFrom(jpeg);
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(target.SharesStoreWith(jpeg.Bitmap()));
    EXPECT_TRUE(SameAsRgb(target, PlainDecode(file, false).Samples));
}

TEST(JpegImageDecode, LoadFromFileReadsTheWholeFile) {
    const Bytes file = PlainEncode(DetailedRgb(21, 13), 90);
    const test::TTempFolder folder;
    const std::filesystem::path path = folder.Path() / "load.jpg";
    {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    }
    TJPEGImage jpeg;
    jpeg.LoadFromFile(path.string());
    std::filesystem::remove(path);
    EXPECT_TRUE(std::equal(file.begin(), file.end(), jpeg.Data().begin(), jpeg.Data().end()));
    EXPECT_EQ(jpeg.Width(), 21);
    EXPECT_EQ(jpeg.Height(), 13);

    try {
        jpeg.LoadFromFile(path.string());
        ADD_FAILURE() << "loaded a missing file";
    } catch (const TPictureError& error) {
        EXPECT_EQ(error.GetKind(), TPictureError::Kind::Io);
    }
    EXPECT_EQ(jpeg.Width(), 21);
}

// --- round trips and picture states -------------------------------------------------------

TEST(JpegImageRoundTrip, KeepsSizeAndCloseColours) {
    for (auto [w, h] : {std::pair{1, 1}, {7, 5}, {33, 17}, {320, 200}}) {
        SCOPED_TRACE(testing::Message() << w << "x" << h);
        const TSamples samples = SmoothRgb(w, h);
        TJPEGImage out;
        out.Assign(BitmapFromRgb(samples));
        out.EncodeIfNeeded();
        TJPEGImage in;
        in.LoadFromBytes(out.Data());
        EXPECT_EQ(in.Width(), w);
        EXPECT_EQ(in.Height(), h);
        const TBitmap& back = in.Bitmap();
        EXPECT_EQ(back.Layout(), TPixelLayout::Rgb(24));
        EXPECT_LT(MeanError(back, samples), 2.0);
    }
}

// Two 16 x 16 blocks of one colour each, in every kind of store the encoder may meet; each
// block comes back as the colour the store shows.
TEST(JpegImageRoundTrip, EncodesEverySourceFormatInItsColours) {
    std::vector<test::TNamedFormat> formats = test::AllFormats();
    formats.push_back({"8bit gray", test::Gray8Format()});
    for (const test::TNamedFormat& f : formats) {
        SCOPED_TRACE(f.Name);
        TBitmap source;
        source.Allocate(32, 16, f.Format);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x) source.SetPixel(x, y, x < 16 ? RGB(255, 0, 0) : RGB(0, 128, 255));
        const TColor want[2] = {source.Pixel(8, 8), source.Pixel(24, 8)};

        TJPEGImage out;
        out.Assign(source);
        out.EncodeIfNeeded();
        TJPEGImage in;
        in.LoadFromBytes(out.Data());
        const TBitmap& back = in.Bitmap();
        ASSERT_EQ(back.Layout(), TPixelLayout::Rgb(24));
        for (int block = 0; block < 2; ++block)
            for (auto [x, y] : {std::pair{4, 4}, {11, 11}, {4, 12}})
                EXPECT_TRUE(CloseColour(back.Pixel(block * 16 + x, y), want[block], 4))
                    << "block " << block << " at " << x << ", " << y;
    }
}

TEST(JpegImageState, AssignEncodeAndTheirData) {
    const TBitmap picture = BitmapFromRgb(DetailedRgb(24, 16));
    TJPEGImage jpeg;
    jpeg.Encode();  // nothing to encode
    EXPECT_FALSE(jpeg.HasData());
    jpeg.EncodeIfNeeded();
    EXPECT_FALSE(jpeg.HasData());

    jpeg.LoadFromBytes(PlainEncode(SmoothRgb(9, 9), 90));
    int changes = 0;
    jpeg.OnChange = [&] { ++changes; };
    jpeg.Assign(picture);
    EXPECT_EQ(changes, 1);
    EXPECT_FALSE(jpeg.HasData());  // the old data is gone
    EXPECT_TRUE(jpeg.Bitmap().SharesStoreWith(picture));
    EXPECT_EQ(jpeg.Width(), 24);
    EXPECT_EQ(jpeg.Height(), 16);

    jpeg.EncodeIfNeeded();
    const TJPEGImage::TData first = jpeg.SharedData();
    ASSERT_TRUE(jpeg.HasData());
    jpeg.EncodeIfNeeded();
    EXPECT_EQ(jpeg.SharedData(), first);  // data present: nothing encoded
    jpeg.SetQuality(20);
    jpeg.Encode();
    EXPECT_NE(jpeg.SharedData(), first);
    EXPECT_LT(jpeg.Data().size(), first->size());
    EXPECT_EQ(changes, 1);  // encoding does not change the picture

    // A copy shares data and store and leaves its own hook alone.
    TJPEGImage copy(jpeg);
    EXPECT_EQ(copy.SharedData(), jpeg.SharedData());
    EXPECT_TRUE(copy.Bitmap().SharesStoreWith(picture));
    EXPECT_FALSE(copy.OnChange);
    EXPECT_EQ(copy.Quality(), 20);
}

TEST(JpegImageState, AnEmptyBitmapEncodesToNoData) {
    TBitmap empty;
    empty.SetWidth(10);  // a width but no height: still empty
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(PlainEncode(SmoothRgb(4, 4), 90));
    jpeg.Assign(empty);
    jpeg.EncodeIfNeeded();
    EXPECT_FALSE(jpeg.HasData());
    EXPECT_TRUE(jpeg.Data().empty());
    jpeg.Encode();
    EXPECT_FALSE(jpeg.HasData());
}

TEST(JpegImageState, EncodingFailureIsAJpegErrorAndLeavesNoData) {
    TStoreFormat format;
    format.Layout = TPixelLayout::Rgb(24);
    TBitmap tooWide;
    tooWide.Allocate(JPEG_MAX_DIMENSION + 1, 1, format);
    TJPEGImage jpeg;
    jpeg.LoadFromBytes(PlainEncode(SmoothRgb(6, 6), 90));
    jpeg.Assign(tooWide);
    ExpectJpegError([&] { jpeg.EncodeIfNeeded(); }, JERR_IMAGE_TOO_BIG);
    EXPECT_FALSE(jpeg.HasData());
    ExpectJpegError([&] { jpeg.Encode(); }, JERR_IMAGE_TOO_BIG);
    EXPECT_FALSE(jpeg.HasData());
    EXPECT_EQ(jpeg.Width(), JPEG_MAX_DIMENSION + 1);
}

// Objects on different threads share nothing: parallel work gives the same bytes.
TEST(JpegImageState, ParallelDecodeAndEncodeAgree) {
    const Bytes file = PlainEncode(DetailedRgb(96, 64), 90);
    auto work = [&file] {
        TJPEGImage in;
        in.LoadFromBytes(file);
        TJPEGImage out;
        out.Assign(in.Bitmap());
        out.SetQuality(70);
        out.Encode();
        return Bytes(out.Data().begin(), out.Data().end());
    };
    const Bytes expected = work();
    std::vector<Bytes> results(4);
    std::vector<std::thread> threads;
    for (Bytes& result : results) threads.emplace_back([&result, &work] { result = work(); });
    for (std::thread& t : threads) t.join();
    for (const Bytes& result : results) EXPECT_EQ(result, expected);
}

// --- the picture-type registry ------------------------------------------------------------

TEST(PictureRegistry, JpegTypeUnderBothExtensions) {
    RegisterJpegPictureType();
    EXPECT_EQ(PictureTypeDescription("jpg"), "JPEG Image File");
    EXPECT_EQ(PictureTypeDescription("JPEG"), "JPEG Image File");
    EXPECT_FALSE(PictureTypeDescription("jpe").has_value());
    const auto types = RegisteredPictureTypes();
    EXPECT_NE(std::find(types.begin(), types.end(), TPictureType{"jpeg", "JPEG Image File"}), types.end());
    EXPECT_NE(std::find(types.begin(), types.end(), TPictureType{"jpg", "JPEG Image File"}), types.end());

    RegisterJpegPictureType();  // twice: still one entry each
    EXPECT_EQ(RegisteredPictureTypes().size(), types.size());

    UnregisterJpegPictureType();
    EXPECT_FALSE(PictureTypeDescription("jpg").has_value());
    EXPECT_FALSE(PictureTypeDescription("jpeg").has_value());
}

TEST(PictureRegistry, ReplacesDescriptionsAndKeepsOrder) {
    RegisterPictureType("TVX1", "first");
    RegisterPictureType("tvx2", "second");
    RegisterPictureType("tvx1", "again");
    std::vector<TPictureType> ours;
    for (const TPictureType& t : RegisteredPictureTypes())
        if (t.Extension.starts_with("tvx")) ours.push_back(t);
    EXPECT_EQ(ours, (std::vector<TPictureType>{{"tvx1", "again"}, {"tvx2", "second"}}));
    UnregisterPictureType("Tvx1");
    UnregisterPictureType("tvx2");
    EXPECT_FALSE(PictureTypeDescription("tvx1").has_value());
    EXPECT_FALSE(PictureTypeDescription("tvx2").has_value());
}

}  // namespace
}  // namespace tavelix
