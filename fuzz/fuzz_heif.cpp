// Any bytes as a HEIF (HEIC) file. A failed load leaves the target alone; what loads has the
// size the headers declare, upright, and is 24-bit, or 32-bit with alpha.
#include "fuzz_common.h"
#include "raster/heifcodec.h"

using namespace tavelix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return fuzz::CheckReadOnlyDecoder(
        std::span<const std::uint8_t>(data, size), [](auto file) { return ReadHeifSize(file); },
        [](TBitmap& target, auto file) { LoadHeif(target, file); });
}
