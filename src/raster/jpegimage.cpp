#include "raster/jpegimage.h"

#include <algorithm>
#include <cstring>
#include <array>
#include <climits>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <memory>
#include <utility>

#include <cerrno>
#include <unistd.h>

#include <jpeglib.h>
// jerror.h only declares the message codes and the ERREXIT/WARNMS macros.
#include <jerror.h>

#include "raster/fileio.h"
#include "raster/pixels.h"

// libjpeg is C and reports fatal errors through a callback that must not return. Ours
// longjmps back into a small function that called setjmp; every frame between the two
// (libjpeg's and our callbacks) holds only plain C data, so nothing with a destructor is
// skipped. Exceptions are thrown only after that function has returned, with the library
// object already destroyed or about to be by a guard that lives above the setjmp frame.

namespace tavelix {

namespace {

// --- errors -------------------------------------------------------------------------------

struct TJpegError {
    jpeg_error_mgr Pub;  // first member: the library sees only this part
    std::jmp_buf Jump;
};

extern "C" {
static void JpegErrorExit(j_common_ptr info) {
    std::longjmp(reinterpret_cast<TJpegError*>(info->err)->Jump, 1);
}
// Warnings (damaged or truncated data) and trace messages are not reported.
static void JpegEmitMessage(j_common_ptr, int) {}
static void JpegOutputMessage(j_common_ptr) {}
}

void InitError(TJpegError& error) {
    jpeg_std_error(&error.Pub);
    error.Pub.error_exit = JpegErrorExit;
    error.Pub.emit_message = JpegEmitMessage;
    error.Pub.output_message = JpegOutputMessage;
}

[[noreturn]] void ThrowJpeg(int code) {
    throw TPictureError(TPictureError::Kind::Jpeg, "JPEG-Fehler #" + std::to_string(code), code);
}

// --- source: the compressed data in memory ------------------------------------------------

struct TMemorySource {
    jpeg_source_mgr Pub;  // first member
    const JOCTET* Data;
    std::size_t Size;
    bool Started;
};

// What the source hands out once the data is used up: the decoder then finishes the picture
// with what it has instead of failing.
constexpr JOCTET FakeEndOfImage[2] = {0xFF, JPEG_EOI};

extern "C" {
static void SourceInit(j_decompress_ptr) {}

static boolean SourceFill(j_decompress_ptr info) {
    auto* source = reinterpret_cast<TMemorySource*>(info->src);
    if (!source->Started) {
        source->Started = true;
        if (source->Size == 0) ERREXIT(info, JERR_INPUT_EMPTY);  // does not return
        source->Pub.next_input_byte = source->Data;
        source->Pub.bytes_in_buffer = source->Size;
        return TRUE;
    }
    WARNMS(info, JWRN_JPEG_EOF);
    source->Pub.next_input_byte = FakeEndOfImage;
    source->Pub.bytes_in_buffer = sizeof FakeEndOfImage;
    return TRUE;
}

// Skips count bytes of the input, refilling as often as needed (our sources never suspend).
static void SkipInput(j_decompress_ptr info, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* source = info->src;
    auto left = static_cast<std::size_t>(count);
    while (left > source->bytes_in_buffer) {
        left -= source->bytes_in_buffer;
        source->fill_input_buffer(info);
    }
    source->next_input_byte += left;
    source->bytes_in_buffer -= left;
}

static void SourceTerm(j_decompress_ptr) {}
}

void InitSource(TMemorySource& source, std::span<const std::uint8_t> data) {
    source.Pub.init_source = SourceInit;
    source.Pub.fill_input_buffer = SourceFill;
    source.Pub.skip_input_data = SkipInput;
    source.Pub.resync_to_restart = jpeg_resync_to_restart;
    source.Pub.term_source = SourceTerm;
    source.Pub.next_input_byte = nullptr;
    source.Pub.bytes_in_buffer = 0;  // the first read hands out the data
    source.Data = data.data();
    source.Size = data.size();
    source.Started = false;
}

// --- source: a file read in pieces -----------------------------------------------------

struct TFileSource {
    jpeg_source_mgr Pub;  // first member
    int Fd;
    JOCTET Buffer[64 * 1024];
};

extern "C" {
static boolean FileSourceFill(j_decompress_ptr info) {
    auto* source = reinterpret_cast<TFileSource*>(info->src);
    ssize_t got;
    do {
        got = ::read(source->Fd, source->Buffer, sizeof source->Buffer);
    } while (got < 0 && errno == EINTR);
    if (got <= 0) {
        // The end, or a read error: the picture is finished with what was read, as for
        // truncated data in memory.
        WARNMS(info, JWRN_JPEG_EOF);
        source->Pub.next_input_byte = FakeEndOfImage;
        source->Pub.bytes_in_buffer = sizeof FakeEndOfImage;
        return TRUE;
    }
    source->Pub.next_input_byte = source->Buffer;
    source->Pub.bytes_in_buffer = static_cast<std::size_t>(got);
    return TRUE;
}
}

void InitFileSource(TFileSource& source, int fd) {
    source.Pub.init_source = SourceInit;
    source.Pub.fill_input_buffer = FileSourceFill;
    source.Pub.skip_input_data = SkipInput;
    source.Pub.resync_to_restart = jpeg_resync_to_restart;
    source.Pub.term_source = SourceTerm;
    source.Pub.next_input_byte = nullptr;
    source.Pub.bytes_in_buffer = 0;
    source.Fd = fd;
}

// --- destination: a growing block of bytes ------------------------------------------------

struct TMemoryDestination {
    jpeg_destination_mgr Pub;  // first member
    std::vector<std::uint8_t>* Out;
    std::size_t InitialSize;
};

// Catches the allocation failure here, so that no exception meets a libjpeg frame.
bool GrowOutput(std::vector<std::uint8_t>& out, std::size_t size) noexcept {
    try {
        out.resize(size);
        return true;
    } catch (...) {
        return false;
    }
}

extern "C" {
static void DestinationInit(j_compress_ptr info) {
    auto* dest = reinterpret_cast<TMemoryDestination*>(info->dest);
    if (!GrowOutput(*dest->Out, dest->InitialSize)) ERREXIT1(info, JERR_OUT_OF_MEMORY, 0);
    dest->Pub.next_output_byte = dest->Out->data();
    dest->Pub.free_in_buffer = dest->Out->size();
}

// Called when the block is full: it doubles, and the encoder goes on behind what it wrote.
static boolean DestinationEmpty(j_compress_ptr info) {
    auto* dest = reinterpret_cast<TMemoryDestination*>(info->dest);
    const std::size_t used = dest->Out->size();
    if (!GrowOutput(*dest->Out, used * 2)) ERREXIT1(info, JERR_OUT_OF_MEMORY, 1);
    dest->Pub.next_output_byte = dest->Out->data() + used;
    dest->Pub.free_in_buffer = dest->Out->size() - used;
    return TRUE;
}

static void DestinationTerm(j_compress_ptr info) {
    auto* dest = reinterpret_cast<TMemoryDestination*>(info->dest);
    dest->Out->resize(dest->Out->size() - dest->Pub.free_in_buffer);  // shrinks: no allocation
}
}

void InitDestination(TMemoryDestination& dest, std::vector<std::uint8_t>& out,
                     std::size_t initialSize) {
    dest.Pub.init_destination = DestinationInit;
    dest.Pub.empty_output_buffer = DestinationEmpty;
    dest.Pub.term_destination = DestinationTerm;
    dest.Pub.next_output_byte = nullptr;
    dest.Pub.free_in_buffer = 0;
    dest.Out = &out;
    dest.InitialSize = std::max<std::size_t>(initialSize, 4096);
}

// --- decoding -----------------------------------------------------------------------------

// Everything libjpeg touches during a decode, plain C data only.
struct TDecodeJob {
    jpeg_decompress_struct Info;
    TJpegError Error;
    TMemorySource Source;
    TFileSource* File;  // when set, the data comes from there instead
};

// Destroys the decompression object on every way out. Destroying an object that was never
// created is harmless: the job starts zeroed.
struct TDecompressGuard {
    jpeg_decompress_struct* Info;
    ~TDecompressGuard() { jpeg_destroy_decompress(Info); }
};

void InitDecodeJob(TDecodeJob& job, std::span<const std::uint8_t> data) {
    InitError(job.Error);
    job.Info.err = &job.Error.Pub;
    InitSource(job.Source, data);
}

// The setjmp frames. Each returns false when the library failed; the message code is then
// in job->Error.Pub.msg_code.
bool RunReadHeader(TDecodeJob* job) {
    if (setjmp(job->Error.Jump)) return false;
    jpeg_create_decompress(&job->Info);
    job->Info.src = job->File ? &job->File->Pub : &job->Source.Pub;
    jpeg_read_header(&job->Info, TRUE);
    return true;
}

bool RunStartDecompress(TDecodeJob* job) {
    if (setjmp(job->Error.Jump)) return false;
    jpeg_start_decompress(&job->Info);
    return true;
}

// Reads all rows straight into the bitmap rows. The library hands out as many rows per call
// as it has ready; the pixels are the same as when asking for one row at a time.
bool RunReadRows(TDecodeJob* job, JSAMPROW* rows) {
    if (setjmp(job->Error.Jump)) return false;
    jpeg_decompress_struct* info = &job->Info;
    while (info->output_scanline < info->output_height) {
        const JDIMENSION got = jpeg_read_scanlines(info, rows + info->output_scanline,
                                                   info->output_height - info->output_scanline);
        if (got == 0) ERREXIT(info, JERR_INPUT_EOF);  // cannot happen: the source never suspends
    }
    jpeg_finish_decompress(info);
    return true;
}

// Whether every component's DC coefficients are known to within their last bit (the scans
// that carry them so far have been read). Only for a progressive file, whose coefficients
// arrive in several scans: the first usually holds the DC but its last bit, which comes only
// after most of the other scans (in the library's own progression, after 6 of 10).
bool DcKnown(const jpeg_decompress_struct* info) {
    if (info->coef_bits == nullptr) return false;  // not progressive: the library keeps none
    for (int c = 0; c < info->num_components; ++c)
        if (info->coef_bits[c][0] < 0 || info->coef_bits[c][0] > 1) return false;
    return true;
}

// A progressive file read in buffered-image mode as far as its DC coefficients go, then
// decoded at 1/8: each pixel the mean of its block of 8 x 8, off by at most one step of the
// DC's quantisation (a level or two: the quantiser divided by 8), and colour the mean of the
// colour block. The rest of the file, mostly detail finer than the blocks, is not read (for
// the 11 progressive photographs of bench/, 5 to 36 % of the file is read, in pieces of 64 KB).
// A file that ends first gives what it has, as a truncated file does.
bool RunReadDcRows(TDecodeJob* job, JSAMPROW* rows) {
    if (setjmp(job->Error.Jump)) return false;
    jpeg_decompress_struct* info = &job->Info;
    // The library marks a scan's coefficients at its start: look when a scan is complete.
    for (int read = JPEG_SCAN_COMPLETED; read != JPEG_REACHED_EOI;) {
        read = jpeg_consume_input(info);
        if (read == JPEG_SUSPENDED) ERREXIT(info, JERR_INPUT_EOF);  // cannot happen: the source never suspends
        if (read == JPEG_SCAN_COMPLETED && DcKnown(info)) break;
    }
    jpeg_start_output(info, info->input_scan_number);
    while (info->output_scanline < info->output_height) {
        const JDIMENSION got = jpeg_read_scanlines(info, rows + info->output_scanline,
                                                   info->output_height - info->output_scanline);
        if (got == 0) ERREXIT(info, JERR_INPUT_EOF);
    }
    jpeg_finish_output(info);
    return true;  // the rest of the file is left unread; destroying the object ends the decode
}

// Four-component output (CMYK, also what the library makes of YCCK) converted to the
// bitmap's blue, green, red. Adobe's programs write the inks inverted (0 = full ink).
void CmykRowToBgr(const JSAMPLE* cmyk, std::uint8_t* bgr, JDIMENSION width, bool inverted) {
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
        unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        // now the amounts of light left: multiply, rounding to nearest
        bgr[0] = static_cast<std::uint8_t>((y * k + 127) / 255);
        bgr[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
        bgr[2] = static_cast<std::uint8_t>((c * k + 127) / 255);
    }
}

bool RunReadCmykRows(TDecodeJob* job, JSAMPROW buffer, std::uint8_t* const* rows) {
    if (setjmp(job->Error.Jump)) return false;
    jpeg_decompress_struct* info = &job->Info;
    const bool inverted = info->saw_Adobe_marker;
    while (info->output_scanline < info->output_height) {
        const JDIMENSION y = info->output_scanline;
        if (jpeg_read_scanlines(info, &buffer, 1) == 0) ERREXIT(info, JERR_INPUT_EOF);
        CmykRowToBgr(buffer, rows[y], info->output_width, inverted);
    }
    jpeg_finish_decompress(info);
    return true;
}

constexpr int GrayLevels = 236;

// dcSuffices: at 1/8, a progressive file is read only as far as its DC coefficients go.
TBitmap DecodeJpeg(std::span<const std::uint8_t> data, bool grayOutput, unsigned scaleDenominator = 1,
                   TFileSource* file = nullptr, TPoint* fullSize = nullptr, bool dcSuffices = false) {
    TDecodeJob job{};
    InitDecodeJob(job, data);
    job.File = file;
    TDecompressGuard guard{&job.Info};
    if (!RunReadHeader(&job)) ThrowJpeg(job.Error.Pub.msg_code);

    jpeg_decompress_struct& info = job.Info;
    if (fullSize) *fullSize = {static_cast<std::int32_t>(info.image_width), static_cast<std::int32_t>(info.image_height)};
    info.scale_num = 1;
    info.scale_denom = scaleDenominator;
    info.do_block_smoothing = TRUE;
    info.buffered_image = FALSE;
    const bool fourComponents = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    if (grayOutput)
        info.out_color_space = JCS_GRAYSCALE;  // the library refuses this for four components
    else if (fourComponents)
        info.out_color_space = JCS_CMYK;
    else if (info.out_color_space != JCS_GRAYSCALE)
        info.out_color_space = JCS_EXT_BGR;  // the bitmap's byte order, same values as RGB
    const bool quantized = info.out_color_space == JCS_GRAYSCALE;
    if (quantized) {
        info.quantize_colors = TRUE;
        info.desired_number_of_colors = GrayLevels;
    }

    // Refuse a picture too large for a bitmap before the library allocates for it (the size
    // of the output, which the scale makes smaller; rounded up as the library rounds).
    const std::uint64_t outWidth = (std::uint64_t{info.image_width} + scaleDenominator - 1) / scaleDenominator;
    const std::uint64_t outHeight = (std::uint64_t{info.image_height} + scaleDenominator - 1) / scaleDenominator;
    const std::uint64_t rowBytes = PaddedRowBytes(static_cast<std::int64_t>(outWidth), quantized ? 8 : 24);
    if (rowBytes == 0 || rowBytes * outHeight > TBitmap::MaxStoreBytes)
        throw TPictureError(TPictureError::Kind::OutOfResources, "JPEG picture too large");
    info.mem->max_memory_to_use =
        static_cast<long>(std::min<std::uint64_t>(4 * TBitmap::MaxStoreBytes, LONG_MAX));
    // A sequential file may also come in several scans (one per component), with every
    // coefficient of a block at once: only a progressive one has its DC first.
    const bool dcOnly = dcSuffices && scaleDenominator == 8 && !quantized && !fourComponents &&
                        info.progressive_mode;
    info.buffered_image = dcOnly ? TRUE : FALSE;
    if (dcOnly) info.do_block_smoothing = FALSE;  // it would guess the missing detail from the neighbours

    if (!RunStartDecompress(&job)) ThrowJpeg(job.Error.Pub.msg_code);
    const int components = quantized ? 1 : fourComponents ? 4 : 3;
    if (info.output_components != components) ThrowJpeg(JERR_CONVERSION_NOTIMPL);

    TStoreFormat format;
    if (quantized) {
        format.Layout = TPixelLayout::Indexed(8);
        format.Palette.reserve(static_cast<std::size_t>(info.actual_number_of_colors));
        for (int i = 0; i < info.actual_number_of_colors; ++i) {
            const std::uint8_t v = info.colormap[0][i];
            format.Palette.push_back({v, v, v, 0});
        }
    } else {
        format.Layout = TPixelLayout::Rgb(24);
    }
    const auto width = static_cast<std::int32_t>(info.output_width);
    const auto height = static_cast<std::int32_t>(info.output_height);
    TBitmap bitmap;
    bitmap.Allocate(width, height, format);
    std::vector<JSAMPROW> rows(static_cast<std::size_t>(height));
    for (std::int32_t y = 0; y < height; ++y) rows[static_cast<std::size_t>(y)] = bitmap.ScanLine(y);

    bool done;
    if (fourComponents && !quantized) {
        std::vector<JSAMPLE> buffer(std::size_t{info.output_width} * 4);
        done = RunReadCmykRows(&job, buffer.data(), rows.data());
    } else {
        done = dcOnly ? RunReadDcRows(&job, rows.data()) : RunReadRows(&job, rows.data());
    }
    if (!done) ThrowJpeg(job.Error.Pub.msg_code);
    bitmap.Changed();
    return bitmap;
}

struct THeaderSize {
    std::int32_t Width = 0, Height = 0;
};

THeaderSize ReadHeaderSize(std::span<const std::uint8_t> data) {
    TDecodeJob job{};
    InitDecodeJob(job, data);
    TDecompressGuard guard{&job.Info};
    if (!RunReadHeader(&job)) ThrowJpeg(job.Error.Pub.msg_code);
    return {static_cast<std::int32_t>(job.Info.image_width),
            static_cast<std::int32_t>(job.Info.image_height)};
}

// --- encoding -----------------------------------------------------------------------------

// How the encoder gets row y of the bitmap: as stored where the library reads the store's
// byte order itself, else converted into one row of blue, green, red by the bitmap's own
// colour rules (indexed through the table, 16 bits and unusual masks through the masks).
struct TRowFeed {
    const TBitmap* Bitmap;
    bool Direct;
    J_COLOR_SPACE Space;
    int Components;
    std::uint8_t* Buffer;               // one converted row when not direct
    const pixels::TColorCodec* Codec;   // when not direct
    const std::uint8_t* Table;          // 8-bit indexed: blue, green, red of each entry
};

JSAMPROW FeedRow(const TRowFeed& feed, std::int32_t y) noexcept {
    const std::uint8_t* stored = feed.Bitmap->ScanLine(y);
    if (feed.Direct) return const_cast<JSAMPROW>(stored);  // the library only reads it
    const std::int32_t width = feed.Bitmap->Width();
    const unsigned bits = feed.Codec->Bits();
    std::uint8_t* out = feed.Buffer;
    if (feed.Table) {
        for (std::int32_t x = 0; x < width; ++x, out += 3) std::memcpy(out, feed.Table + 3 * stored[x], 3);
        return feed.Buffer;
    }
    for (std::int32_t x = 0; x < width; ++x, out += 3) {
        const TColor c = feed.Codec->Decode(pixels::ReadRaw(stored, x, bits));
        out[0] = GetBValue(c);
        out[1] = GetGValue(c);
        out[2] = GetRValue(c);
    }
    return feed.Buffer;
}

struct TEncodeJob {
    jpeg_compress_struct Info;
    TJpegError Error;
    TMemoryDestination Destination;
};

struct TCompressGuard {
    jpeg_compress_struct* Info;
    ~TCompressGuard() { jpeg_destroy_compress(Info); }
};

bool RunEncode(TEncodeJob* job, const TRowFeed* feed, int quality, bool fullChroma) {
    if (setjmp(job->Error.Jump)) return false;
    jpeg_compress_struct* info = &job->Info;
    jpeg_create_compress(info);
    info->dest = &job->Destination.Pub;
    info->image_width = static_cast<JDIMENSION>(feed->Bitmap->Width());
    info->image_height = static_cast<JDIMENSION>(feed->Bitmap->Height());
    info->input_components = feed->Components;
    info->in_color_space = feed->Space;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, quality, TRUE);
    if (fullChroma && info->num_components == 3) {
        // Colour at every pixel, as the brightness: no chroma sample spans two pixels.
        info->comp_info[0].h_samp_factor = 1;
        info->comp_info[0].v_samp_factor = 1;
    }
    jpeg_start_compress(info, TRUE);
    while (info->next_scanline < info->image_height) {
        JSAMPROW row = FeedRow(*feed, static_cast<std::int32_t>(info->next_scanline));
        jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
    return true;
}

bool IsBgrx(const TPixelLayout& layout) {
    return layout.BitCount == 32 &&
           (layout.Device || (layout.EffectiveRedMask() == 0xFF0000 &&
                              layout.EffectiveGreenMask() == 0x00FF00 &&
                              layout.EffectiveBlueMask() == 0x0000FF));
}

// The bitmap as a baseline JFIF file. The library gets red, green, blue samples: the
// store's blue-green-red bytes read in that order (its BGR input spaces give the very same
// file as handing over converted RGB rows).
std::vector<std::uint8_t> EncodeJpeg(const TBitmap& bitmap, int quality, bool fullChroma) {
    const TPixelLayout& layout = bitmap.Layout();
    std::optional<pixels::TColorCodec> codec;
    std::vector<std::uint8_t> buffer;
    std::array<std::uint8_t, 3 * 256> table{};
    TRowFeed feed{&bitmap, false, JCS_EXT_BGR, 3, nullptr, nullptr, nullptr};
    if (layout.BitCount == 24 && !layout.Device) {
        feed.Direct = true;
    } else if (IsBgrx(layout)) {
        feed.Direct = true;
        feed.Space = JCS_EXT_BGRX;
        feed.Components = 4;
    } else {
        codec.emplace(bitmap.Format());
        feed.Codec = &*codec;
        buffer.resize(static_cast<std::size_t>(bitmap.Width()) * 3);
        feed.Buffer = buffer.data();
        if (layout.BitCount == 8) {  // gray pictures: one look-up per pixel
            for (std::uint32_t i = 0; i < 256; ++i) {
                const TColor c = codec->Decode(i);
                table[3 * i] = GetBValue(c);
                table[3 * i + 1] = GetGValue(c);
                table[3 * i + 2] = GetRValue(c);
            }
            feed.Table = table.data();
        }
    }

    std::vector<std::uint8_t> out;
    const std::uint64_t pixelCount = std::uint64_t(bitmap.Width()) * std::uint64_t(bitmap.Height());
    TEncodeJob job{};
    InitError(job.Error);
    job.Info.err = &job.Error.Pub;
    // About 4 bits per pixel to start with; the block doubles when that is not enough.
    InitDestination(job.Destination, out,
                    static_cast<std::size_t>(std::min<std::uint64_t>(pixelCount / 2 + 4096, 64u << 20)));
    TCompressGuard guard{&job.Info};
    if (!RunEncode(&job, &feed, quality, fullChroma)) ThrowJpeg(job.Error.Pub.msg_code);
    return out;
}

}  // namespace

// --- TJPEGImage ---------------------------------------------------------------------------

TJPEGImage::TJPEGImage() = default;
TJPEGImage::~TJPEGImage() = default;

TJPEGImage::TJPEGImage(const TJPEGImage& other)
    : FData(other.FData),
      FDataWidth(other.FDataWidth),
      FDataHeight(other.FDataHeight),
      FBitmap(other.FBitmap),
      FQuality(other.FQuality),
      FGrayOutput(other.FGrayOutput),
      FFullChroma(other.FFullChroma) {}

TJPEGImage& TJPEGImage::operator=(const TJPEGImage& other) {
    if (this != &other) {
        std::optional<TBitmap> bitmap(other.FBitmap);
        FData = other.FData;
        FDataWidth = other.FDataWidth;
        FDataHeight = other.FDataHeight;
        FBitmap = std::move(bitmap);
        FQuality = other.FQuality;
        FGrayOutput = other.FGrayOutput;
        FFullChroma = other.FFullChroma;
    }
    return *this;
}

TJPEGImage::TJPEGImage(TJPEGImage&& other) noexcept
    : FData(std::move(other.FData)),
      FDataWidth(other.FDataWidth),
      FDataHeight(other.FDataHeight),
      FBitmap(std::move(other.FBitmap)),
      FQuality(other.FQuality),
      FGrayOutput(other.FGrayOutput),
      FFullChroma(other.FFullChroma) {}

TJPEGImage& TJPEGImage::operator=(TJPEGImage&& other) noexcept {
    if (this != &other) {
        FData = std::move(other.FData);
        FDataWidth = other.FDataWidth;
        FDataHeight = other.FDataHeight;
        FBitmap = std::move(other.FBitmap);
        FQuality = other.FQuality;
        FGrayOutput = other.FGrayOutput;
        FFullChroma = other.FFullChroma;
    }
    return *this;
}

void TJPEGImage::LoadFromBytes(std::span<const std::uint8_t> bytes) {
    LoadFromBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
}

void TJPEGImage::LoadFromBytes(std::vector<std::uint8_t>&& bytes) {
    THeaderSize size;
    if (!bytes.empty()) size = ReadHeaderSize(bytes);
    auto data = std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes));
    FData = std::move(data);
    FDataWidth = size.Width;
    FDataHeight = size.Height;
    FBitmap.reset();
    Changed();
}

void TJPEGImage::LoadFromFile(const std::string& fileName) {
    LoadFromBytes(ReadFileBytes(fileName));
}

void TJPEGImage::Assign(const TBitmap& source) {
    TBitmap copy(source);
    FBitmap = std::move(copy);
    FData.reset();
    FDataWidth = 0;
    FDataHeight = 0;
    Changed();
}

void TJPEGImage::DecodeIfNeeded() const {
    if (!FBitmap) FBitmap = DecodeJpeg(Data(), FGrayOutput);
}

const TBitmap& TJPEGImage::Bitmap() const {
    DecodeIfNeeded();
    return *FBitmap;
}

void TJPEGImage::EncodeIfNeeded() {
    if (HasData()) return;
    if (!FBitmap || FBitmap->Empty()) return;
    Encode();
}

void TJPEGImage::Encode() {
    if (!FBitmap) {
        if (!HasData()) return;
        DecodeIfNeeded();
    }
    if (FBitmap->Empty()) {
        FData.reset();
        FDataWidth = 0;
        FDataHeight = 0;
        return;
    }
    auto data = std::make_shared<const std::vector<std::uint8_t>>(EncodeJpeg(*FBitmap, FQuality, FFullChroma));
    FData = std::move(data);
    FDataWidth = FBitmap->Width();
    FDataHeight = FBitmap->Height();
}

std::span<const std::uint8_t> TJPEGImage::Data() const {
    if (!FData) return {};
    return *FData;
}

std::int32_t TJPEGImage::Width() const { return FBitmap ? FBitmap->Width() : FDataWidth; }
std::int32_t TJPEGImage::Height() const { return FBitmap ? FBitmap->Height() : FDataHeight; }

void TJPEGImage::SetGrayOutput(bool value) {
    if (value == FGrayOutput) return;
    FGrayOutput = value;
    FBitmap.reset();
    Changed();
}

void TJPEGImage::Changed() {
    if (OnChange) OnChange();
}

TBitmap DecodeJpegScaled(std::span<const std::uint8_t> data, unsigned scaleDenominator) {
    if (scaleDenominator != 1 && scaleDenominator != 2 && scaleDenominator != 4 && scaleDenominator != 8)
        throw TPictureError(TPictureError::Kind::InvalidOperation, "JPEG scale must be 1/1, 1/2, 1/4 or 1/8");
    return DecodeJpeg(data, false, scaleDenominator);
}

TBitmap DecodeJpegScaledFromFile(int fd, unsigned scaleDenominator, TPoint* fullSize) {
    if (scaleDenominator != 1 && scaleDenominator != 2 && scaleDenominator != 4 && scaleDenominator != 8)
        throw TPictureError(TPictureError::Kind::InvalidOperation, "JPEG scale must be 1/1, 1/2, 1/4 or 1/8");
    auto source = std::make_unique<TFileSource>();
    InitFileSource(*source, fd);
    return DecodeJpeg({}, false, scaleDenominator, source.get(), fullSize, true);
}

// TBitmap's conversion from the JPEG picture type lives with that type.
void TBitmap::CopyFrom(const TJPEGImage& source) { CopyFrom(source.Bitmap()); }

}  // namespace tavelix
