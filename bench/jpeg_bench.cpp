// TJPEGImage against the same work done with plain libjpeg calls, on a 1280 x 1024 picture.
// After the runs the ratios (ours / plain) are printed; they should stay below 1.1.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "plainjpeg.h"
#include "raster/jpegimage.h"
#include "ratio_reporter.h"

namespace {

using tavelix::TBitmap;
using tavelix::TJPEGImage;

constexpr int Width = 1280, Height = 1024, Quality = 90;

struct TPicture {
    std::vector<std::uint8_t> Rgb;   // rows top-down, red-green-blue
    TBitmap Bitmap;                  // the same pixels, 24 bits
    std::vector<std::uint8_t> File;  // the same pixels as a JPEG file at quality 90
};

// Gradients under deterministic noise: detail the codec has to work for.
TPicture MakePicture() {
    TPicture picture;
    picture.Rgb.resize(std::size_t(Width) * Height * 3);
    unsigned state = 12345;
    for (int y = 0; y < Height; ++y)
        for (int x = 0; x < Width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int noise = int(state >> 27) - 16;
            auto clamp = [](int v) { return std::uint8_t(v < 0 ? 0 : v > 255 ? 255 : v); };
            std::uint8_t* p = &picture.Rgb[(std::size_t(y) * Width + x) * 3];
            p[0] = clamp(x * 255 / Width + noise);
            p[1] = clamp(y * 255 / Height + noise / 2);
            p[2] = clamp(128 + ((x ^ y) & 63) - 32 + noise);
        }
    tavelix::TStoreFormat format;
    format.Layout = tavelix::TPixelLayout::Rgb(24);
    picture.Bitmap.Allocate(Width, Height, format);
    for (int y = 0; y < Height; ++y) {
        std::uint8_t* row = picture.Bitmap.ScanLine(y);
        const std::uint8_t* in = &picture.Rgb[std::size_t(y) * Width * 3];
        for (int x = 0; x < Width; ++x) {
            row[3 * x] = in[3 * x + 2];
            row[3 * x + 1] = in[3 * x + 1];
            row[3 * x + 2] = in[3 * x];
        }
    }
    TJPEGImage jpeg;
    jpeg.Assign(picture.Bitmap);
    jpeg.SetQuality(Quality);
    jpeg.Encode();
    picture.File.assign(jpeg.Data().begin(), jpeg.Data().end());
    return picture;
}

const TPicture& Picture() {
    static const TPicture picture = MakePicture();
    return picture;
}

// --- plain libjpeg ------------------------------------------------------------------------

void BM_PlainDecode(benchmark::State& state) {
    const TPicture& picture = Picture();
    for (auto _ : state) {
        jpeg_decompress_struct info{};
        jpeg_error_mgr error{};
        info.err = jpeg_std_error(&error);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, picture.File.data(), static_cast<unsigned long>(picture.File.size()));
        jpeg_read_header(&info, TRUE);
        info.do_block_smoothing = TRUE;
        info.out_color_space = JCS_RGB;
        jpeg_start_decompress(&info);
        const std::size_t rowBytes = std::size_t(info.output_width) * 3;
        std::unique_ptr<std::uint8_t[]> pixels(new std::uint8_t[rowBytes * info.output_height]);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = pixels.get() + rowBytes * info.output_scanline;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::DoNotOptimize(pixels.get());
    }
}

void BM_PlainEncode(benchmark::State& state) {
    const TPicture& picture = Picture();
    for (auto _ : state) benchmark::DoNotOptimize(tavelix::test::PlainJpegEncode(picture.Rgb, Width, Height, 3, Quality));
}

// --- through TJPEGImage -------------------------------------------------------------------

void BM_TJPEGImageDecode(benchmark::State& state) {
    const TPicture& picture = Picture();
    TJPEGImage loaded;
    loaded.LoadFromBytes(picture.File);
    for (auto _ : state) {
        TJPEGImage jpeg(loaded);  // shares the data, has no bitmap yet
        benchmark::DoNotOptimize(&jpeg.Bitmap());
    }
}

// What loading a file costs once its bytes are read: copy, header, decode.
void BM_TJPEGImageLoadAndDecode(benchmark::State& state) {
    const TPicture& picture = Picture();
    for (auto _ : state) {
        TJPEGImage jpeg;
        jpeg.LoadFromBytes(picture.File);
        benchmark::DoNotOptimize(&jpeg.Bitmap());
    }
}

void BM_TJPEGImageEncode(benchmark::State& state) {
    const TPicture& picture = Picture();
    for (auto _ : state) {
        TJPEGImage jpeg;
        jpeg.Assign(picture.Bitmap);
        jpeg.SetQuality(Quality);
        jpeg.Encode();
        benchmark::DoNotOptimize(jpeg.Data().data());
    }
}

BENCHMARK(BM_PlainDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TJPEGImageDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TJPEGImageLoadAndDecode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainEncode)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TJPEGImageEncode)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    std::printf("picture %d x %d, quality %d, file %zu bytes\n", Width, Height, Quality, Picture().File.size());
    return tavelix::bench::RunWithRatios(argc, argv,
                                         {{"BM_TJPEGImageDecode", "BM_PlainDecode"},
                                          {"BM_TJPEGImageLoadAndDecode", "BM_PlainDecode"},
                                          {"BM_TJPEGImageEncode", "BM_PlainEncode"}});
}
