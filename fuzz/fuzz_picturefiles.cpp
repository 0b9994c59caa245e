// Picture files through the engine: the input's first byte picks the name (".bmp" or ".jpg",
// either letter case) and the JPEG quality, the rest is the file. Whatever loads is saved and
// loaded again in both formats, and turned black and white. A load reports failure exactly
// when it told the user, and leaves the target alone; no file is left behind.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/tavelix.h"
#include "fuzz_common.h"
#include "raster/jpegimage.h"
#include "tempfolder.h"

using namespace tavelix;

namespace {

namespace fs = std::filesystem;

// A folder of this process's own, removed at exit.
const fs::path& Folder() {
    static const test::TTempFolder folder("tavelix-fuzz");
    return folder.Path();
}

void WriteFile(const fs::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    FUZZ_CHECK(out.good());
}

bool FolderEmpty() { return fs::is_empty(Folder()); }

// Whether the file would take seconds to decode (see fuzz_common.h).
bool TooCostly(std::span<const std::uint8_t> file, bool jpeg) {
    if (!jpeg) return fuzz::BmpTooCostly(file);
    try {
        TJPEGImage header;
        header.LoadFromBytes(file);
        const std::uint64_t w = std::uint64_t(header.Width()), h = std::uint64_t(header.Height());
        return w * h > fuzz::MaxJpegPixels && PaddedRowBytes(header.Width(), 8) * h <= TBitmap::MaxStoreBytes;
    } catch (const TPictureError&) {
        return false;
    }
}

FUZZ_UNTRACED bool SameColours(const TBitmap& a, const TBitmap& b) {
    for (std::int32_t y = 0; y < a.Height(); ++y)
        for (std::int32_t x = 0; x < a.Width(); ++x)
            if (a.Pixel(x, y) != b.Pixel(x, y)) return false;
    return true;
}

// Saves picture under a name with extension and loads it back; the reloaded picture must
// be the one saved (a BMP), a colour picture of its size (a JPEG), or one of the same colours
// (a PNG).
void CheckSaveAndLoad(TTavelix& engine, fuzz::TSilentHost& host, const TBitmap& picture,
                      const std::string& extension, int quality) {
    const std::string name = (Folder() / ("saved" + extension)).string();
    const bool jpeg = PictureExtension(extension) == ".jpg";
    // JPEG files hold at most 65500 pixels a side.
    const bool fits = !jpeg || (picture.Width() <= 65500 && picture.Height() <= 65500);
    try {
        engine.SavePicture(picture, name, quality);
    } catch (const TPictureError& error) {
        if (fits) std::fprintf(stderr, "save to %s fails: %s\n", extension.c_str(), error.what());
        FUZZ_CHECK(!fits && FolderEmpty());
        return;
    }
    FUZZ_CHECK(fits);
    TBitmap again;
    const int messages = host.Messages;
    FUZZ_CHECK(engine.LoadPicture(again, name));
    FUZZ_CHECK(host.Messages == messages);
    FUZZ_CHECK(again.Width() == picture.Width() && again.Height() == picture.Height());
    if (jpeg) {
        FUZZ_CHECK(again.Layout() == TPixelLayout::Rgb(24));
    } else if (PictureExtension(extension) == ".png") {
        FUZZ_CHECK(SameColours(again, picture));
    } else {
        const TPixelLayout written = picture.Layout().Device ? TPixelLayout::Rgb(32) : picture.Layout();
        FUZZ_CHECK(again.Layout() == written);
        // A table the program made is written whole: 2^bits entries, those past its end zero.
        std::vector<TRGBQuad> table = picture.Palette();
        if (written.IsIndexed() && picture.Format().File.ClrUsed == 0)
            table.resize(std::size_t{1} << written.BitCount);
        FUZZ_CHECK(again.Palette() == table && again.TopDown() == picture.TopDown());
        const auto a = picture.StoreBytes(), b = again.StoreBytes();
        FUZZ_CHECK(a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size()) == 0);
    }
    fs::remove(name);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const bool jpeg = data[0] & 1;
    const bool upper = data[0] & 2;
    const int quality = 1 + (data[0] >> 2) * 99 / 63;
    const std::string extension = jpeg ? (upper ? ".JPG" : ".jpg") : (upper ? ".BMP" : ".bmp");
    const std::span<const std::uint8_t> file(data + 1, size - 1);
    if (TooCostly(file, jpeg)) return 0;

    const fs::path input = Folder() / ("input" + extension);
    WriteFile(input, file);

    fuzz::TSilentHost host;
    TTavelix engine(host);
    TBitmap target;
    target.Allocate(2, 1, TStoreFormat{});
    const TBitmap before(target);
    const bool loaded = engine.LoadPicture(target, input.string());
    fs::remove(input);
    if (!loaded) {
        // The message names the file and says why.
        FUZZ_CHECK(host.Messages == 1 && host.Failures == 1 && host.LastMessage.rfind("Error: ", 0) == 0 &&
                   host.LastMessage.find(input.string()) != std::string::npos);
        FUZZ_CHECK(target.SharesStoreWith(before) && target.Width() == 2 && target.Height() == 1);
        FUZZ_CHECK(FolderEmpty());
        return 0;
    }
    FUZZ_CHECK(host.Messages == 0 && host.Failures == 0);
    if (file.empty()) {
        FUZZ_CHECK(!jpeg && target.Empty());
        return 0;
    }
    FUZZ_CHECK(!target.Empty());
    if (jpeg) FUZZ_CHECK(target.Layout() == TPixelLayout::Rgb(24) || target.Layout() == TPixelLayout::Indexed(8));

    if (std::uint64_t(target.Width()) * std::uint64_t(target.Height()) <= fuzz::MaxJpegPixels) {
        CheckSaveAndLoad(engine, host, target, extension, quality);
        CheckSaveAndLoad(engine, host, target, jpeg ? ".bmp" : ".jpg", quality);
        CheckSaveAndLoad(engine, host, target, ".png", quality);

        // Names of other kinds write nothing; those of kinds only read are refused.
        engine.SavePicture(target, (Folder() / "saved.gif").string(), quality);
        bool refused = false;
        try {
            engine.SavePicture(target, (Folder() / "saved.webp").string(), quality);
        } catch (const TPictureError& error) {
            refused = error.GetKind() == TPictureError::Kind::Unwritable;
        }
        FUZZ_CHECK(refused && FolderEmpty());

        // Black and white goes through the JPEG encoder, which takes at most 65500 pixels a side;
        // a failure leaves the picture as it was.
        const std::int32_t width = target.Width(), height = target.Height();
        const bool fits = width <= 65500 && height <= 65500;
        const TBitmap colour(target);
        try {
            engine.MakeBlackWhite(target, target);
        } catch (const TPictureError& error) {
            if (fits) std::fprintf(stderr, "black and white fails: %s\n", error.what());
            FUZZ_CHECK(!fits && target.SharesStoreWith(colour));
            FUZZ_CHECK(FolderEmpty());
            return 0;
        }
        FUZZ_CHECK(fits && target.Width() == width && target.Height() == height);
        FUZZ_CHECK(target.Layout() == TPixelLayout::Indexed(8));
        FUZZ_CHECK(!target.Palette().empty() && target.Palette().size() <= 236);
        for (const TRGBQuad& q : target.Palette()) FUZZ_CHECK(q.Red == q.Green && q.Green == q.Blue);
    }
    FUZZ_CHECK(FolderEmpty());
    return 0;
}
