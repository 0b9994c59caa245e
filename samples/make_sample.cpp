// Draws the sample picture shipped in samples/ (a colourful picture with fine detail, so
// that a scrambled copy looks nothing like it) and saves it with the engine.
// Usage: tavelix_make_sample OUT.jpg [quality]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/tavelix.h"

namespace {

using namespace tavelix;

class TQuietHost : public TPictureHost {
public:
    void ShowMessage(std::string_view text) override { std::fprintf(stderr, "%.*s\n", int(text.size()), text.data()); }
    void ProcessMessages() override {}
    TSize ScreenSize() const override { return {1280, 1024}; }
};

// Hue 0..1 at full saturation, value v.
TColor Hue(double h, double v) {
    h = (h - std::floor(h)) * 6;
    const double f = h - std::floor(h);
    const auto c = [&](double x) { return std::uint8_t(std::lround(255 * v * x)); };
    switch (int(h)) {
    case 0: return RGB(c(1), c(f), c(0));
    case 1: return RGB(c(1 - f), c(1), c(0));
    case 2: return RGB(c(0), c(1), c(f));
    case 3: return RGB(c(0), c(1 - f), c(1));
    case 4: return RGB(c(f), c(0), c(1));
    default: return RGB(c(1), c(0), c(1 - f));
    }
}

TColor PixelAt(int x, int y, int width, int height) {
    // A Mandelbrot set in the middle, smooth colours outside it.
    const double cx = -0.7453 + (x - width / 2.0) * 0.0000085 * 1.6;
    const double cy = 0.1127 + (y - height / 2.0) * 0.0000085 * 1.6;
    double zx = 0, zy = 0;
    int i = 0;
    const int limit = 600;
    while (i < limit && zx * zx + zy * zy < 256) {
        const double t = zx * zx - zy * zy + cx;
        zy = 2 * zx * zy + cy;
        zx = t;
        ++i;
    }
    TColor colour;
    if (i == limit) {
        colour = RGB(10, 10, 30);
    } else {
        const double smooth = i + 1 - std::log2(std::log2(zx * zx + zy * zy));
        colour = Hue(smooth / 60.0, 0.55 + 0.45 * std::sin(smooth / 7.0) * std::sin(smooth / 7.0));
    }
    // A frame of squares along the edges, numbered by colour, shows the arrangement at a glance.
    const int border = 24;
    if (x < border || y < border || x >= width - border || y >= height - border) {
        const int cell = (x / border + y / border);
        colour = cell % 2 ? Hue(double(x + y) / (width + height), 1.0) : RGB(250, 250, 245);
    }
    return colour;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.jpg [quality]\n", argv[0]);
        return 2;
    }
    const int width = 960, height = 720;
    TBitmap picture;
    TStoreFormat format;
    format.Layout = TPixelLayout::Rgb(24);
    picture.Allocate(width, height, format);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.SetPixel(x, y, PixelAt(x, y, width, height));
    TQuietHost host;
    TTavelix view(host);
    view.SavePicture(picture, argv[1], argc > 2 ? std::atoi(argv[2]) : 90);
    return 0;
}
