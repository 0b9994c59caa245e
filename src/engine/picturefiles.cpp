// Picture files chosen by their extension, and the black-and-white conversion.
#include <exception>
#include <string>

#include "engine/safesave.h"
#include "engine/tavelix.h"
#include "raster/bmpcodec.h"
#include "raster/fileio.h"
#include "raster/jpegimage.h"

namespace tavelix {

namespace {
constexpr const char* kWrongFormat = "Error: wrong format";
}

std::string PictureExtension(std::string_view fileName) {
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string_view::npos) return "";
    std::string extension(fileName.substr(dot));
    if (extension.find_first_of("\\:") != std::string::npos) return "";
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return extension;
}

bool TTavelix::LoadPicture(TBitmap& target, const std::string& fileName) {
    if (fileName.empty()) return false;
    const std::string extension = PictureExtension(fileName);
    bool loaded = false;
    auto failed = [&](const char* reason) {
        FHost->LoadFailed(fileName, reason);
        FHost->ShowMessage(kWrongFormat);
    };
    if (extension == ".jpg") {
        try {
            TJPEGImage jpeg;
            jpeg.LoadFromFile(fileName);
            target.CopyFrom(jpeg);
            loaded = true;
        } catch (const std::exception& error) {
            failed(error.what());
        }
    }
    if (extension == ".bmp") {
        try {
            LoadBmp(target, ReadFileBytes(fileName));
            loaded = true;
        } catch (const std::exception& error) {
            failed(error.what());
        }
    }
    return loaded;
}

void TTavelix::SavePicture(const TBitmap& source, const std::string& fileName, int quality) {
    if (fileName.empty()) return;
    const std::string extension = PictureExtension(fileName);
    if (extension == ".jpg") {
        TJPEGImage jpeg;
        jpeg.Assign(source);
        jpeg.SetQuality(quality);
        jpeg.Encode();  // completely, before the file is touched
        WriteFileAtomically(fileName, jpeg.Data(), FFlushOnSave);
    }
    if (extension == ".bmp") {
        const TBmpFile file = EncodeBmp(source);
        WriteFileAtomically(fileName, {file.Head, file.Pixels}, FFlushOnSave);
    }
}

void TTavelix::MakeBlackWhite(const TBitmap& source, TBitmap& target) {
    TJPEGImage jpeg;
    jpeg.SetQuality(100);
    jpeg.Assign(source);
    jpeg.Encode();
    FHost->ProcessMessages();
    jpeg.SetGrayOutput(true);  // drops the decoded picture: only the encoded data is left
    jpeg.DecodeIfNeeded();
    FHost->ProcessMessages();
    target.CopyFrom(jpeg);
}

}  // namespace tavelix
