// Picture files chosen by their extension, and the black-and-white conversion.
#include <exception>
#include <new>
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
    return Load(target, fileName, nullptr);
}

bool TTavelix::LoadPicture(TBitmap& target, const std::string& fileName, std::vector<std::uint8_t> content) {
    return Load(target, fileName, &content);
}

bool TTavelix::Load(TBitmap& target, const std::string& fileName, std::vector<std::uint8_t>* content) {
    if (fileName.empty()) return false;
    const std::string extension = PictureExtension(fileName);
    if (extension != ".jpg" && extension != ".bmp") return false;
    try {
        std::vector<std::uint8_t> bytes = content ? std::move(*content) : ReadFileBytes(fileName);
        if (extension == ".jpg") {
            TJPEGImage jpeg;
            jpeg.LoadFromBytes(std::move(bytes));
            target.CopyFrom(jpeg);
        } else {
            LoadBmp(target, bytes);
        }
        return true;
    } catch (const TPictureError& error) {
        FHost->LoadFailed(fileName, error);
    } catch (const std::bad_alloc&) {
        FHost->LoadFailed(fileName, TPictureError(TPictureError::Kind::OutOfResources, "out of memory"));
    } catch (const std::exception& error) {
        FHost->LoadFailed(fileName, TPictureError(TPictureError::Kind::InvalidPicture, error.what()));
    }
    FHost->ShowMessage(kWrongFormat);
    return false;
}

void TTavelix::SavePicture(const TBitmap& source, const std::string& fileName, int quality, TExisting existing) {
    if (fileName.empty()) return;
    const std::string extension = PictureExtension(fileName);
    const TSaveOptions options{.Flush = FFlushOnSave, .Existing = existing};
    // Through a symbolic link the picture it names is replaced; the link stays a link.
    const std::string target = existing == TExisting::Replace ? WriteTarget(fileName) : fileName;
    if (extension == ".jpg") {
        TJPEGImage jpeg;
        jpeg.Assign(source);
        jpeg.SetQuality(quality);
        jpeg.SetFullChroma(FFullChroma);
        jpeg.Encode();  // completely, before the file is touched
        WriteFileAtomically(target, jpeg.Data(), options);
    }
    if (extension == ".bmp") {
        const TBmpFile file = EncodeBmp(source);
        WriteFileAtomically(target, {file.Head, file.Pixels}, options);
    }
}

TTavelix::TEncoded TTavelix::EncodePicture(const TBitmap& source, const std::string& fileName, int quality) const {
    TEncoded encoded;
    const std::string extension = PictureExtension(fileName);
    if (extension == ".jpg") {
        TJPEGImage jpeg;
        jpeg.Assign(source);
        jpeg.SetQuality(quality);
        jpeg.SetFullChroma(FFullChroma);
        jpeg.Encode();
        encoded.Body.assign(jpeg.Data().begin(), jpeg.Data().end());
    }
    if (extension == ".bmp") {
        TBmpFile file = EncodeBmp(source);
        encoded.Head = std::move(file.Head);
        encoded.Body.assign(file.Pixels.begin(), file.Pixels.end());
    }
    return encoded;
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
