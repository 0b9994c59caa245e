// Writes the seed inputs of the fuzz targets: small bitmap files of every kind the reader
// takes, small JPEG files (colour, gray, progressive, four-component, arithmetic-coded,
// with restart markers, truncated), and scrambler inputs for every pixel format and size
// mode; PNG files of every kind (by libspng), HEIC files (by libheif: turned, with alpha) and
// WebP files (by libwebp: lossless, lossy, with alpha). Deterministic: running it again gives
// the same bytes.
//
// Usage: fuzz_make_corpus <folder>
//        (writes <folder>/bmp, jpeg, png, heif, webp, picturefiles, scramble)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "codecfiles.h"
#include "plainjpeg.h"
#include "testutil.h"
#include "raster/bmpcodec.h"
#include "raster/jpegimage.h"

using namespace tavelix;
namespace fs = std::filesystem;

namespace {

using TBytes = std::vector<std::uint8_t>;

fs::path root;

void Write(const std::string& target, const std::string& name, const TBytes& bytes) {
    const fs::path folder = root / target;
    fs::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", (folder / name).c_str());
        std::exit(1);
    }
}

// Pixels with a pattern that uses every value a small picture can show.
TBitmap Picture(std::int32_t width, std::int32_t height, TStoreFormat format) {
    TBitmap bitmap;
    bitmap.Allocate(width, height, format);
    const unsigned bits = format.Layout.BitCount;
    const std::uint32_t limit = bits <= 8 ? std::uint32_t(format.Palette.empty() ? 1u << bits : format.Palette.size())
                                          : 0;
    std::uint32_t v = 0x9E3779B9;
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            v = v * 1664525u + 1013904223u;
            std::uint32_t raw = v >> 4;
            if (bits <= 8) raw = std::uint32_t(x + 3 * y) % limit;
            else if (bits < 32) raw &= (1u << bits) - 1;
            bitmap.SetRawPixel(x, y, raw);
        }
    return bitmap;
}

std::vector<TRGBQuad> Table(unsigned entries) {
    std::vector<TRGBQuad> table(entries);
    for (unsigned k = 0; k < entries; ++k)
        table[k] = {std::uint8_t(k * 37), std::uint8_t(255 - k * 11), std::uint8_t(k * 73), 0};
    return table;
}

TStoreFormat Format(TPixelLayout layout, std::vector<TRGBQuad> palette = {}, bool topDown = false, bool os2 = false) {
    TStoreFormat format;
    format.Layout = layout;
    format.Palette = std::move(palette);
    format.TopDown = topDown;
    format.File.Os2Header = os2;
    return format;
}

void Put16(TBytes& b, std::size_t at, std::uint32_t v) {
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
}
void Put32(TBytes& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

// A run-length encoded bitmap file around the given data.
TBytes RleFile(std::uint32_t compression, std::int32_t width, std::int32_t height, unsigned colours,
               const TBytes& data) {
    const std::uint32_t offBits = 14 + 40 + 4 * colours;
    TBytes file(offBits, 0);
    file[0] = 'B';
    file[1] = 'M';
    Put32(file, 2, offBits + std::uint32_t(data.size()));
    Put32(file, 10, offBits);
    Put32(file, 14, 40);
    Put32(file, 18, std::uint32_t(width));
    Put32(file, 22, std::uint32_t(height));
    Put16(file, 26, 1);
    Put16(file, 28, compression == 1 ? 8 : 4);
    Put32(file, 30, compression);
    Put32(file, 34, std::uint32_t(data.size()));
    Put32(file, 46, colours);
    const std::vector<TRGBQuad> table = Table(colours);
    for (unsigned k = 0; k < colours; ++k) {
        file[54 + 4 * k] = table[k].Blue;
        file[55 + 4 * k] = table[k].Green;
        file[56 + 4 * k] = table[k].Red;
    }
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

// A file of ours with bit fields rewritten to carry a 124-byte header with the masks inside.
TBytes WithLongHeader(const TBytes& ours) {
    constexpr std::size_t longSize = 124;
    TBytes file(ours.begin(), ours.begin() + 14);
    TBytes header(longSize, 0);
    std::copy(ours.begin() + 14, ours.begin() + 14 + 52, header.begin());  // 40 bytes and masks
    Put32(header, 0, longSize);
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), ours.begin() + 14 + 52, ours.end());
    Put32(file, 2, std::uint32_t(file.size()));
    const std::uint32_t offBits = std::uint32_t(ours[10]) | std::uint32_t(ours[11]) << 8;  // small files
    Put32(file, 10, offBits + std::uint32_t(longSize) - 52);
    return file;
}

TBytes Truncated(const TBytes& bytes, std::size_t keep) { return TBytes(bytes.begin(), bytes.begin() + keep); }

void MakeBmps(std::vector<std::pair<std::string, TBytes>>& files) {
    auto add = [&](const std::string& name, const TBitmap& bitmap) { files.emplace_back(name, SaveBmp(bitmap)); };
    add("1bit.bmp", Picture(9, 3, Format(TPixelLayout::Indexed(1), Table(2))));
    add("4bit.bmp", Picture(5, 4, Format(TPixelLayout::Indexed(4), Table(16))));
    add("4bit_short_table.bmp", Picture(6, 2, Format(TPixelLayout::Indexed(4), Table(5))));
    add("8bit.bmp", Picture(7, 5, Format(TPixelLayout::Indexed(8), Table(20))));
    add("16bit_555.bmp", Picture(5, 3, Format(TPixelLayout::Rgb(16))));
    add("16bit_565.bmp", Picture(5, 3, Format(TPixelLayout::Masks(16, 0xF800, 0x07E0, 0x001F))));
    add("16bit_with_table.bmp", Picture(3, 2, Format(TPixelLayout::Rgb(16), Table(3))));
    add("24bit.bmp", Picture(3, 3, Format(TPixelLayout::Rgb(24))));
    add("32bit.bmp", Picture(4, 2, Format(TPixelLayout::Rgb(32))));
    const TBitmap masks = Picture(4, 3, Format(TPixelLayout::Masks(32, 0x000000FF, 0x0000FF00, 0x00FF0000)));
    add("32bit_masks.bmp", masks);
    files.emplace_back("32bit_masks_header124.bmp", WithLongHeader(SaveBmp(masks)));
    add("topdown_24bit.bmp", Picture(3, 4, Format(TPixelLayout::Rgb(24), {}, true)));
    add("topdown_8bit.bmp", Picture(5, 3, Format(TPixelLayout::Indexed(8), Table(8), true)));
    add("os2_8bit.bmp", Picture(5, 3, Format(TPixelLayout::Indexed(8), Table(256), false, true)));
    add("os2_1bit.bmp", Picture(11, 2, Format(TPixelLayout::Indexed(1), Table(2), false, true)));
    add("os2_24bit.bmp", Picture(3, 2, Format(TPixelLayout::Rgb(24), {}, false, true)));

    // Runs, absolute runs (odd lengths are padded), a delta, ends of lines and of the bitmap.
    files.emplace_back("rle8.bmp", RleFile(1, 8, 4, 4,
                                           {0x03, 0x01, 0x00, 0x03, 0x02, 0x03, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00,
                                            0x00, 0x02, 0x02, 0x01, 0x04, 0x03, 0x00, 0x00,
                                            0x08, 0x02, 0x00, 0x01}));
    files.emplace_back("rle4.bmp", RleFile(2, 8, 3, 16,
                                           {0x04, 0x12, 0x00, 0x04, 0x34, 0x56, 0x00, 0x00,
                                            0x00, 0x03, 0x78, 0x90, 0x05, 0xAB, 0x00, 0x00,
                                            0x08, 0xCD, 0x00, 0x01}));
    // Data that ends without an end-of-bitmap mark.
    files.emplace_back("rle8_unended.bmp", RleFile(1, 4, 2, 2, {0x04, 0x01, 0x00, 0x00, 0x02}));

    const TBytes big = SaveBmp(Picture(8, 8, Format(TPixelLayout::Rgb(24))));
    files.emplace_back("24bit_truncated.bmp", Truncated(big, big.size() / 2));
    files.emplace_back("empty.bmp", TBytes{});
}

// A JPEG file straight from the library, for the kinds our encoder does not write.
TBytes LibJpeg(std::int32_t width, std::int32_t height, int components, J_COLOR_SPACE space,
               const std::function<void(jpeg_compress_struct&)>& settings) {
    const std::size_t rowBytes = std::size_t(width) * std::size_t(components);
    std::vector<std::uint8_t> samples(rowBytes * std::size_t(height));
    for (std::size_t y = 0; y < std::size_t(height); ++y)
        for (std::size_t i = 0; i < rowBytes; ++i)
            samples[y * rowBytes + i] = std::uint8_t((i * 29 + y * 53 + (i % 3) * 90) & 0xFF);
    return test::PlainJpegEncode(samples, width, height, components, 80, {space, settings});
}

void MakeJpegs(std::vector<std::pair<std::string, TBytes>>& files) {
    auto none = [](jpeg_compress_struct&) {};
    TJPEGImage ours;
    ours.Assign(Picture(16, 16, Format(TPixelLayout::Rgb(24))));
    ours.SetQuality(75);
    ours.Encode();
    const TBytes colour(ours.Data().begin(), ours.Data().end());
    files.emplace_back("colour.jpg", colour);
    files.emplace_back("colour_truncated.jpg", Truncated(colour, colour.size() * 2 / 3));
    files.emplace_back("odd_13x7.jpg", LibJpeg(13, 7, 3, JCS_RGB, none));
    const TBytes gray = LibJpeg(12, 9, 1, JCS_GRAYSCALE, none);
    files.emplace_back("gray.jpg", gray);
    // The same with an EXIF block first (big-endian) recording orientation 6, as a phone's
    // portrait photo records it.
    const TBytes exif = {0xFF, 0xE1, 0, 34, 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                         0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0, 0, 0, 0, 0};
    TBytes turned(gray.begin(), gray.begin() + 2);
    turned.insert(turned.end(), exif.begin(), exif.end());
    turned.insert(turned.end(), gray.begin() + 2, gray.end());
    files.emplace_back("exif_orientation_6.jpg", turned);
    const TBytes progressive = LibJpeg(16, 12, 3, JCS_RGB, [](jpeg_compress_struct& info) { jpeg_simple_progression(&info); });
    files.emplace_back("progressive.jpg", progressive);
    files.emplace_back("progressive_truncated.jpg", Truncated(progressive, progressive.size() / 2));
    files.emplace_back("progressive_gray.jpg",
                       LibJpeg(9, 9, 1, JCS_GRAYSCALE, [](jpeg_compress_struct& info) { jpeg_simple_progression(&info); }));
    files.emplace_back("cmyk.jpg", LibJpeg(8, 8, 4, JCS_CMYK, none));
    files.emplace_back("restarts_444.jpg", LibJpeg(16, 16, 3, JCS_RGB, [](jpeg_compress_struct& info) {
        info.restart_interval = 1;
        for (int c = 0; c < info.num_components; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    }));
    files.emplace_back("arithmetic.jpg", LibJpeg(8, 8, 3, JCS_RGB, [](jpeg_compress_struct& info) { info.arith_code = TRUE; }));
    files.emplace_back("empty.jpg", TBytes{});
}

// Scrambler inputs: layout kind, flags (bit 0 top-down, bits 1-4 size mode), width, height,
// password length and bytes, pixel seed.
TBytes ScrambleInput(std::uint8_t kind, std::uint8_t flags, std::uint16_t w, std::uint16_t h, const std::string& password) {
    TBytes b = {kind, flags, std::uint8_t(w), std::uint8_t(w >> 8), std::uint8_t(h), std::uint8_t(h >> 8),
                std::uint8_t(password.size())};
    for (const char c : password) b.push_back(std::uint8_t(c));
    for (std::uint8_t k = 1; k <= 8; ++k) b.push_back(std::uint8_t(k * 31 + kind));
    return b;
}

void MakeScrambleInputs() {
    const char* kinds[] = {"1bit", "4bit", "8bit", "16bit555", "16bit565", "24bit", "32bit", "32bitmasks", "device"};
    // Size modes 0-7 make sides up to 64, 8-12 up to 300; 13 and 14 pick from the edge sizes 1, 2,
    // 3, 255, 256, 257, 299, 300, 301, 511, 512, 513, 767, 768; 15 from sizes around the pixel
    // limit.
    for (std::uint8_t kind = 0; kind < 9; ++kind) {
        const std::uint8_t flags = std::uint8_t((kind & 1) | (kind < 5 ? 0 : 8) << 1);
        Write("scramble", std::string(kinds[kind]) + ".in",
              ScrambleInput(kind, flags, std::uint16_t(17 + 31 * kind), std::uint16_t(5 + 29 * kind), "abcdefgh"));
    }
    Write("scramble", "edge_257x511.in", ScrambleInput(5, 13 << 1, 5, 9, "password"));
    Write("scramble", "edge_512x256_topdown.in", ScrambleInput(2, 1 | 14 << 1, 10, 4, "\x01\x02\x1f control"));
    Write("scramble", "limit_1280x1024.in", ScrambleInput(8, 15 << 1, 0, 0, "eight ch"));
    Write("scramble", "over_limit_1281x1024.in", ScrambleInput(0, 15 << 1, 3, 0, "eight ch"));
    Write("scramble", "empty_password.in", ScrambleInput(6, 0, 40, 40, ""));
    Write("scramble", "long_password.in",
          ScrambleInput(7, 8 << 1, 260, 270, "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"));
}

}  // namespace

// Small files of the formats read through their libraries.
void MakeNewerFormats() {
    for (const test::TPngKind& kind : test::AllPngKinds()) {
        std::string name = kind.Name;
        for (char& c : name)
            if (c == ' ' || c == '+') c = '_';
        Write("png", name + ".png", test::MakePng(kind, 13, 7, 1).File);
    }
    const TBitmap colour = test::MakePhotoLike(24, 16, 3);
    const TBitmap alpha = test::MakeNoise(12, 8, 3, test::BgraFormat());
    Write("webp", "lossless.webp", test::MakeWebp(colour, true));
    Write("webp", "lossy.webp", test::MakeWebp(colour, false));
    Write("webp", "alpha_lossless.webp", test::MakeWebp(alpha, true));
    Write("webp", "alpha_lossy.webp", test::MakeWebp(alpha, false));
    if (!test::CanMakeHeic()) {
        std::fprintf(stderr, "libheif has no HEVC encoder: no HEIC seeds written\n");
        return;
    }
    Write("heif", "plain.heic", test::MakeHeic(colour));
    Write("heif", "turned_90.heic", test::MakeHeic(colour, 6));
    Write("heif", "mirrored.heic", test::MakeHeic(colour, 2));
    Write("heif", "alpha.heic", test::MakeHeic(alpha));
}

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus folder>\n", argv[0]);
        return 2;
    }
    root = argv[1];

    std::vector<std::pair<std::string, TBytes>> bmps, jpegs;
    MakeBmps(bmps);
    MakeJpegs(jpegs);
    for (const auto& [name, bytes] : bmps) Write("bmp", name, bytes);
    for (const auto& [name, bytes] : jpegs) Write("jpeg", name, bytes);

    // Picture files: a first byte for the name and quality, then the file. Bit 0 picks ".jpg",
    // bit 1 upper case, bits 2-7 the quality.
    std::uint8_t select = 0;
    for (const auto& [name, bytes] : bmps) {
        TBytes input = {std::uint8_t((select++ & 1) << 1 | 0xA0)};
        input.insert(input.end(), bytes.begin(), bytes.end());
        Write("picturefiles", name, input);
    }
    for (const auto& [name, bytes] : jpegs) {
        TBytes input = {std::uint8_t(1 | (select++ & 1) << 1 | 0x80)};
        input.insert(input.end(), bytes.begin(), bytes.end());
        Write("picturefiles", name, input);
    }
    MakeScrambleInputs();
    MakeNewerFormats();
    return 0;
}
