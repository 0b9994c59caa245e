// JPEG files made by libjpeg alone: the reference our codec is held against, and the maker of
// kinds of files our encoder never writes (gray, CMYK, progressive).
#pragma once

#include <cstdint>
#include <cstdio>  // jpeglib.h needs FILE declared
#include <functional>
#include <span>
#include <vector>

#include <jpeglib.h>

namespace tavelix::test {

struct TPlainJpegSettings {
    J_COLOR_SPACE ColorSpace = JCS_RGB;                  // of the samples given
    std::function<void(jpeg_compress_struct&)> Adjust;  // after the defaults and the quality
};

// samples: height rows top-down of width * components bytes each. The library's defaults with
// jpeg_set_quality(quality, TRUE), the rows written one per call; a library error ends the
// process (libjpeg's own handler).
std::vector<std::uint8_t> PlainJpegEncode(std::span<const std::uint8_t> samples, int width, int height,
                                          int components, int quality, const TPlainJpegSettings& settings = {});

}  // namespace tavelix::test
