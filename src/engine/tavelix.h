// TTavelix: the picture component. It shows one bitmap and carries every operation on
// pictures: scrambling, resizing and clipping, picture files and black and white.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/host.h"
#include "engine/image.h"
#include "engine/safesave.h"
#include "raster/bitmap.h"
#include "raster/canvas.h"

namespace tavelix {

// Pictures above this many pixels (1280 x 1024) are neither scrambled nor enlarged.
constexpr std::int64_t PixelLimit = 1310720;
// The most pixels of a picture the window holds (SetLoadPixelLimit): as many as the largest
// 24-bit picture a bitmap can store (512 MB of pixels), so every colour JPEG that can be
// decoded at all is shown. Its display copy, 4 bytes a pixel, then takes at most 716 MB; a
// picture of fewer bits a pixel (a 1-bit bitmap file takes 32 times fewer bytes than its
// display copy) cannot make that larger.
constexpr std::int64_t MaxShownPixels = std::int64_t(TBitmap::MaxStoreBytes / 3);
// Passwords are used up to this many characters.
constexpr std::size_t MaxPasswordLength = 50;

// The extension that chooses a picture file's codec: from the last "." to the end when no
// "\\" or ":" follows it, ASCII letters lower-cased (".JPG" gives ".jpg"); else "".
std::string PictureExtension(std::string_view fileName);
// Whether the engine reads fileName: its extension is ".jpg", ".bmp", ".png", ".heic", ".heif"
// or ".webp".
bool IsPictureName(std::string_view fileName);
// Whether the engine also writes fileName: ".jpg", ".bmp" or ".png". HEIF and WebP pictures are
// read, never written.
bool IsWritablePictureName(std::string_view fileName);
// The EXIF orientation (see raster/orientation.h) a ".jpg" file records in its head; 1 for other
// names and for files that cannot be read.
int RecordedOrientation(const std::string& fileName);
// The picture names for messages: ".jpg, .bmp, .png, .heic, .heif or .webp" (what is read) and
// ".jpg, .bmp or .png" (what is written).
inline constexpr std::string_view ReadPictureTypes = ".jpg, .bmp, .png, .heic, .heif or .webp";
inline constexpr std::string_view WrittenPictureTypes = ".jpg, .bmp or .png";
// The name of the copy reduced by factor: "s" and the factor inserted before the last four
// characters ("photo.jpg", 2 gives "photos2.jpg"); "" for a name of four characters or fewer,
// which has nothing before them (a copy must never take its source's name).
std::string ReducedName(std::string_view fileName, int factor);
// The program's heap setting, made once at its start (the window and tavelix-cli alike): large
// pictures' memory is kept in the heap when freed instead of going back to the system, so the
// next picture of about the same size reuses it without the page faults of fresh memory (a
// run over many pictures of one size spends a fifth of its time on them otherwise). The peak
// stays that of the largest picture.
void KeepPictureMemory();

// Whether a picture of width x height is over PixelLimit: never scrambled nor enlarged.
inline bool OverPixelLimit(std::int64_t width, std::int64_t height) { return width * height > PixelLimit; }
// The largest size within PixelLimit with the shape of width x height: the longer side as long
// as it can be, the shorter one in proportion, rounded down (4032 x 3024 fits as 1322 x 991).
// A size within the limit is its own fit.
TSize FitSize(std::int32_t width, std::int32_t height);

// fileName as messages and captions show it: control characters (a newline, a tab, an escape,
// and the line and paragraph separators) as visible escapes ("\\n", "\\t", "\\x1B", "\\u2028"),
// so that a name never breaks a line or hides a part of itself. Other bytes stay as they are.
std::string VisibleName(std::string_view fileName);

class TTavelix : public TImage {
public:
    explicit TTavelix(TPictureHost& host);

    // 10 % larger: the displayed picture becomes 11/10 of its size, drawn afresh from source.
    virtual void Enlarge(const TBitmap& source);
    // 10 % smaller: 9/10 of the displayed size, drawn afresh from source.
    virtual void Shrink(const TBitmap& source);
    // Replaces graphic by a copy of 1/factor of its size; false (graphic unchanged) when a
    // side would become 0.
    virtual bool ReduceBy(TBitmap& graphic, std::uint8_t factor);
    // Scales source to fit the primary screen into the displayed picture.
    virtual void FitToScreen(const TBitmap& source);
    // Cuts the displayed picture to rect (Right and Bottom exclusive).
    virtual void ClipTo(const TRect& rect);
    // Inverts the outline of rect on canvas; the same call again restores it.
    virtual void DrawClipFrame(TCanvas& canvas, const TRect& rect);

    // Shuffles (scramble true) or puts back (false) the column and row strips of bitmap
    // by permutations made from password (bytes; the first 50 count). Absent bitmap, empty
    // password, empty picture or more than PixelLimit pixels: no change.
    static void Scramble(TBitmap* bitmap, std::string password, bool scramble);
    // Fills index[0 .. n-1] with a permutation of 0 .. n-1 made from password.
    static void MakePermutation(std::int32_t n, std::span<std::int32_t> index, std::string_view password);

    // Reads a picture file (IsPictureName) into target by its extension. A failure leaves target as
    // it was and tells the user why, naming the file: "Error: wrong format: ..." for a file that
    // cannot be decoded, what it is for a file that cannot be read ("not a regular file but a
    // FIFO"). Returns whether target was loaded.
    bool LoadPicture(TBitmap& target, const std::string& fileName);
    // The same for content already read from the file fileName (which chooses the codec).
    bool LoadPicture(TBitmap& target, const std::string& fileName, std::vector<std::uint8_t> content);
    // Writes source as ".jpg" (at quality), ".bmp" or ".png" by the extension; other names write
    // nothing, but a type that is only read (".heic", ".heif", ".webp") throws TPictureError
    // (Unwritable). Errors are thrown; an existing file is replaced whole or not at all (through a
    // symbolic link, the file it names: see WriteTarget), or with TExisting::Refuse left alone
    // (the save then fails).
    // When given, mayWrite is asked once the picture is encoded and written beside fileName,
    // before it takes fileName's place: false leaves fileName as it was and returns false.
    bool SavePicture(const TBitmap& source, const std::string& fileName, int quality,
                     TExisting existing = TExisting::Replace, const std::function<bool()>& mayWrite = {});
    // Turns source into 8-bit gray in target (they may be the same bitmap) by one pass through
    // the JPEG encoder and decoder. Errors are thrown and leave target as it was; an empty
    // source is one (the encoder makes no data of it, and no data decodes).
    void MakeBlackWhite(const TBitmap& source, TBitmap& target);

    // The bytes SavePicture would write for fileName's extension ("" for another; a type that
    // is only read throws as there), in two pieces that follow each other (a bitmap file's head
    // and pixels; a JPEG or PNG file whole in Body).
    struct TEncoded {
        std::vector<std::uint8_t> Head, Body;
    };
    TEncoded EncodePicture(const TBitmap& source, const std::string& fileName, int quality) const;

    // Fast reductions, to the same sizes as ReduceBy (factor 2, 4 or 8). false, with target or
    // graphic as it was, when a side would become 0.
    // The JPEG file open as fd, decoded straight at 1/factor (libjpeg's scaled decoding, the
    // file read in pieces from where fd stands: only the reduced picture is held). Errors are
    // thrown (TPictureError).
    bool LoadReducedJpeg(TBitmap& target, int fd, std::uint8_t factor);
    // graphic replaced by its copy at 1/factor, each pixel the mean of the block it stands for
    // (in the format ReduceBy gives).
    bool ReduceByAveraging(TBitmap& graphic, std::uint8_t factor);
    // graphic reduced to FitSize, each new pixel the mean of the area of the source it covers
    // (parts of pixels in proportion), in the format ReduceBy gives; false (graphic unchanged)
    // when it is within the pixel limit already.
    bool ReduceToFit(TBitmap& graphic);

    // Loads refuse pictures of more than pixels (0: no limit, the default), judged by the size
    // the file's header declares, before any pixel is allocated.
    void SetLoadPixelLimit(std::int64_t pixels) { FLoadPixelLimit = pixels; }

    TPictureHost& Host() { return *FHost; }
    // Whether a save that replaces a file waits until the new one is on the disk before it
    // takes the old one's place (default). Saves to new names never wait.
    void SetFlushOnSave(bool value) { FFlushOnSave = value; }
    // Whether JPEG saves keep colour at every pixel (no chroma subsampling; off by default).
    void SetFullChromaOnSave(bool value) { FFullChroma = value; }

private:
    bool Load(TBitmap& target, const std::string& fileName, std::vector<std::uint8_t>* content);
    // Throws when a picture of this size is over the load limit.
    void CheckLoadSize(std::int64_t width, std::int64_t height) const;
    // Tells the host, then the user; false.
    bool LoadFailed(const std::string& fileName, const TPictureError& error);

    TPictureHost* FHost;
    bool FFlushOnSave = true;
    bool FFullChroma = false;
    std::int64_t FLoadPixelLimit = 0;
    std::unique_ptr<TBitmap> FClipSource;  // lives only during ClipTo
};

}  // namespace tavelix
