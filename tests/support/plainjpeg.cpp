#include "plainjpeg.h"

#include <cstdlib>

namespace tavelix::test {

std::vector<std::uint8_t> PlainJpegEncode(std::span<const std::uint8_t> samples, int width, int height,
                                          int components, int quality, const TPlainJpegSettings& settings) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = components;
    info.in_color_space = settings.ColorSpace;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    if (settings.Adjust) settings.Adjust(info);
    jpeg_start_compress(&info, TRUE);
    const std::size_t rowBytes = std::size_t(width) * std::size_t(components);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(samples.data() + rowBytes * info.next_scanline);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> file(buffer, buffer + size);
    std::free(buffer);
    return file;
}

}  // namespace tavelix::test
