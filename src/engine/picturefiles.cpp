// Picture files chosen by their extension, and the black-and-white conversion.
#include <exception>
#include <fstream>
#include <new>
#include <string>

#include "engine/safesave.h"
#include "engine/tavelix.h"
#include "raster/bmpcodec.h"
#include "raster/fileio.h"
#include "raster/heifcodec.h"
#include "raster/jpegimage.h"
#include "raster/orientation.h"
#include "raster/pngcodec.h"
#include "raster/webpcodec.h"

namespace tavelix {

namespace {

constexpr const char* kWrongFormat = "Error: wrong format";

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty() || from == to) return;
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
}

// 178956970 as "178,956,970".
std::string Grouped(std::int64_t number) {
    std::string digits = std::to_string(number);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
    return digits;
}

// What the user is told when fileName could not be loaded: always the file and the reason.
std::string LoadFailureMessage(const std::string& fileName, const TPictureError& error) {
    const std::string name = VisibleName(fileName);
    std::string why = error.what();
    switch (error.GetKind()) {
    case TPictureError::Kind::Io:
        ReplaceAll(why, fileName, name);  // it names the file itself: "cannot open NAME: ..."
        return "Error: " + why;
    case TPictureError::Kind::OutOfResources:
        return "Error: " + name + " was not loaded: " + why;
    case TPictureError::Kind::Jpeg:
        return std::string(kWrongFormat) + ": " + name + " is not a JPEG file, or a damaged one (" + why + ")";
    case TPictureError::Kind::InvalidBitmap:
        return std::string(kWrongFormat) + ": " + name + " is not a bitmap file, or a damaged one (" + why + ")";
    case TPictureError::Kind::InvalidPng:
        return std::string(kWrongFormat) + ": " + name + " is not a PNG file, or a damaged one (" + why + ")";
    case TPictureError::Kind::InvalidHeif:
        return std::string(kWrongFormat) + ": " + name + " is not a HEIF file, or a damaged one (" + why + ")";
    case TPictureError::Kind::InvalidWebp:
        return std::string(kWrongFormat) + ": " + name + " is not a WebP file, or a damaged one (" + why + ")";
    default:
        return std::string(kWrongFormat) + ": " + name + " (" + why + ")";
    }
}

}  // namespace

std::string PictureExtension(std::string_view fileName) {
    const std::size_t dot = fileName.find_last_of('.');
    if (dot == std::string_view::npos) return "";
    std::string extension(fileName.substr(dot));
    if (extension.find_first_of("\\:") != std::string::npos) return "";
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return extension;
}

namespace {

// The codec a picture name chooses.
enum class TCodec { None, Jpeg, Bmp, Png, Heif, Webp };

TCodec CodecOf(std::string_view fileName) {
    const std::string extension = PictureExtension(fileName);
    if (extension == ".jpg") return TCodec::Jpeg;
    if (extension == ".bmp") return TCodec::Bmp;
    if (extension == ".png") return TCodec::Png;
    if (extension == ".heic" || extension == ".heif") return TCodec::Heif;
    if (extension == ".webp") return TCodec::Webp;
    return TCodec::None;
}

// Throws for a type that is read but never written.
void CheckWritable(std::string_view fileName) {
    const TCodec codec = CodecOf(fileName);
    if (codec != TCodec::Heif && codec != TCodec::Webp) return;
    throw TPictureError(TPictureError::Kind::Unwritable,
                        "Tavelix reads " + PictureExtension(fileName) + " pictures but does not write them; save as " +
                            std::string(WrittenPictureTypes));
}

}  // namespace

bool IsPictureName(std::string_view fileName) { return CodecOf(fileName) != TCodec::None; }

bool IsWritablePictureName(std::string_view fileName) {
    const TCodec codec = CodecOf(fileName);
    return codec == TCodec::Jpeg || codec == TCodec::Bmp || codec == TCodec::Png;
}

std::string ReducedName(std::string_view fileName, int factor) {
    if (fileName.size() <= 4) return "";
    const std::size_t cut = fileName.size() - 4;
    std::string name(fileName.substr(0, cut));
    name += 's';
    name += std::to_string(factor);
    name += fileName.substr(cut);
    return name;
}

std::string VisibleName(std::string_view fileName) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string shown;
    shown.reserve(fileName.size());
    for (std::size_t i = 0; i < fileName.size(); ++i) {
        const auto c = static_cast<unsigned char>(fileName[i]);
        const auto next = [&](std::size_t k) { return i + k < fileName.size() ? static_cast<unsigned char>(fileName[i + k]) : 0; };
        if (c == '\n') {
            shown += "\\n";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (c == '\r') {
            shown += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            shown += "\\x";
            shown += Hex[c >> 4];
            shown += Hex[c & 15];
        } else if (c == 0xC2 && next(1) >= 0x80 && next(1) <= 0x9F) {  // U+0080 to U+009F, in UTF-8
            shown += "\\u00";
            shown += Hex[next(1) >> 4];
            shown += Hex[next(1) & 15];
            i += 1;
        } else if (c == 0xE2 && next(1) == 0x80 && (next(2) == 0xA8 || next(2) == 0xA9)) {  // U+2028, U+2029
            shown += next(2) == 0xA8 ? "\\u2028" : "\\u2029";
            i += 2;
        } else {
            shown += char(c);
        }
    }
    return shown;
}

void TTavelix::CheckLoadSize(std::int64_t width, std::int64_t height) const {
    if (FLoadPixelLimit <= 0 || width * height <= FLoadPixelLimit) return;
    throw TPictureError(TPictureError::Kind::OutOfResources,
                        "too large to show (" + std::to_string(width) + " x " + std::to_string(height) +
                            " pixels; at most " + Grouped(FLoadPixelLimit) + " pixels are shown)");
}

bool TTavelix::LoadPicture(TBitmap& target, const std::string& fileName) {
    return Load(target, fileName, nullptr);
}

bool TTavelix::LoadPicture(TBitmap& target, const std::string& fileName, std::vector<std::uint8_t> content) {
    return Load(target, fileName, &content);
}

bool TTavelix::Load(TBitmap& target, const std::string& fileName, std::vector<std::uint8_t>* content) {
    if (fileName.empty()) return false;
    const TCodec codec = CodecOf(fileName);
    if (codec == TCodec::None) return false;
    try {
        std::vector<std::uint8_t> bytes = content ? std::move(*content) : ReadFileBytes(fileName);
        // The size the header declares is judged before any pixel is allocated.
        const auto checked = [&](auto readSize) {
            if (FLoadPixelLimit <= 0) return;
            const auto size = readSize(std::span<const std::uint8_t>(bytes));
            CheckLoadSize(size.Width, size.Height);
        };
        switch (codec) {
        case TCodec::Jpeg: {
            TJPEGImage jpeg;
            jpeg.LoadFromBytes(std::move(bytes));  // the header only
            CheckLoadSize(jpeg.Width(), jpeg.Height());
            target.CopyFrom(jpeg);
            break;
        }
        case TCodec::Bmp:
            if (!bytes.empty()) checked(ReadBmpSize);
            LoadBmp(target, bytes);
            break;
        case TCodec::Png:
            checked(ReadPngSize);
            LoadPng(target, bytes);
            break;
        case TCodec::Heif:
            checked(ReadHeifSize);
            LoadHeif(target, bytes);
            break;
        case TCodec::Webp:
            checked(ReadWebpSize);
            LoadWebp(target, bytes);
            break;
        case TCodec::None:
            break;
        }
        return true;
    } catch (const TPictureError& error) {
        return LoadFailed(fileName, error);
    } catch (const std::bad_alloc&) {
        return LoadFailed(fileName, TPictureError(TPictureError::Kind::OutOfResources, "not enough memory"));
    } catch (const std::exception& error) {
        return LoadFailed(fileName, TPictureError(TPictureError::Kind::InvalidPicture, error.what()));
    }
}

bool TTavelix::LoadFailed(const std::string& fileName, const TPictureError& error) {
    FHost->LoadFailed(fileName, error);
    FHost->ShowMessage(LoadFailureMessage(fileName, error));
    return false;
}

namespace {

// source encoded into jpeg as a JPEG file at quality (colour at every pixel with fullChroma):
// what a ".jpg" file written by SavePicture or EncodePicture holds.
void EncodeJpeg(TJPEGImage& jpeg, const TBitmap& source, int quality, bool fullChroma) {
    jpeg.Assign(source);
    jpeg.SetQuality(quality);
    jpeg.SetFullChroma(fullChroma);
    jpeg.Encode();
}

}  // namespace

bool TTavelix::SavePicture(const TBitmap& source, const std::string& fileName, int quality, TExisting existing,
                           const std::function<bool()>& mayWrite) {
    if (fileName.empty()) return true;
    CheckWritable(fileName);
    const std::string extension = PictureExtension(fileName);
    const TSaveOptions options{.Flush = FFlushOnSave, .Existing = existing, .MayPlace = mayWrite};
    // Through a symbolic link the picture it names is replaced; the link stays a link.
    const std::string target = existing == TExisting::Replace ? WriteTarget(fileName) : fileName;
    if (extension == ".jpg") {
        TJPEGImage jpeg;
        EncodeJpeg(jpeg, source, quality, FFullChroma);  // completely, before the file is touched
        return WriteFileAtomically(target, jpeg.Data(), options);
    }
    if (extension == ".bmp") {
        const TBmpFile file = EncodeBmp(source);
        return WriteFileAtomically(target, {file.Head, file.Pixels}, options);
    }
    if (extension == ".png") {
        const std::vector<std::uint8_t> png = SavePng(source);
        return WriteFileAtomically(target, png, options);
    }
    return true;
}

TTavelix::TEncoded TTavelix::EncodePicture(const TBitmap& source, const std::string& fileName, int quality) const {
    CheckWritable(fileName);
    TEncoded encoded;
    const std::string extension = PictureExtension(fileName);
    if (extension == ".jpg") {
        TJPEGImage jpeg;
        EncodeJpeg(jpeg, source, quality, FFullChroma);
        encoded.Body.assign(jpeg.Data().begin(), jpeg.Data().end());
    }
    if (extension == ".bmp") {
        TBmpFile file = EncodeBmp(source);
        encoded.Head = std::move(file.Head);
        encoded.Body.assign(file.Pixels.begin(), file.Pixels.end());
    }
    if (extension == ".png") encoded.Body = SavePng(source);
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

int RecordedOrientation(const std::string& fileName) {
    if (PictureExtension(fileName) != ".jpg") return 1;
    std::ifstream file(fileName, std::ios::binary);
    if (!file) return 1;
    std::vector<std::uint8_t> head(std::size_t{1} << 18);  // an EXIF block is at most 64 KB, near the start
    file.read(reinterpret_cast<char*>(head.data()), std::streamsize(head.size()));
    head.resize(std::size_t(file.gcount()));
    return JpegOrientation(head);
}

}  // namespace tavelix
