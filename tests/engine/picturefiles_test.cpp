#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <zlib.h>

#include "codecfiles.h"
#include "engine/tavelix.h"
#include "raster/bmpcodec.h"
#include "raster/pngcodec.h"
#include "tempfolder.h"
#include "testutil.h"

namespace tavelix {
namespace {

namespace fs = std::filesystem;
using test::MakeNoise;
using test::SamePixels;

class TRecordingHost : public TPictureHost {
public:
    void ShowMessage(std::string_view text) override { Messages.emplace_back(text); }
    void ProcessMessages() override { ++Processed; }
    TSize ScreenSize() const override { return {1024, 768}; }
    void LoadFailed(std::string_view, const TPictureError& error) override {
        Reasons.emplace_back(error.what());
        Kinds.push_back(error.GetKind());
    }
    std::vector<std::string> Messages, Reasons;
    std::vector<TPictureError::Kind> Kinds;
    int Processed = 0;
};

class PictureFiles : public testing::Test {
protected:
    std::string Path(const std::string& name) const { return FFolder.At(name); }
    static void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    static std::vector<std::uint8_t> ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    test::TTempFolder FFolder{"tavelix-files"};
    TRecordingHost FHost;
    TTavelix FView{FHost};
};

TEST(PictureExtension, LastDotWithoutFolderOrDriveAfterIt) {
    const std::pair<const char*, const char*> cases[] = {
        {"PHOTO.JPG", ".jpg"},       {"photo.Bmp", ".bmp"},     {"photo.jpeg", ".jpeg"},
        {"photo", ""},               {"C:\\pictures.jpg\\photo", ""}, {"a.jpg:stream", ""},
        {"/home/u/archive.d/x.jpg", ".jpg"}, {"", ""},          {"trailing.", "."},
        {"\xC4.JPG", ".jpg"},
    };
    for (auto [name, extension] : cases) EXPECT_EQ(PictureExtension(name), extension) << name;
}

TEST_F(PictureFiles, LoadsByExtensionAndReportsWrongFormats) {
    const TBitmap picture = MakeNoise(30, 20, 1, test::Rgb24Format());
    FView.SavePicture(picture, Path("a.bmp"), 90);
    FView.SavePicture(picture, Path("b.jpg"), 90);
    fs::copy_file(Path("a.bmp"), Path("UPPER.BMP"));
    fs::copy_file(Path("b.jpg"), Path("UPPER.JPG"));
    fs::copy_file(Path("b.jpg"), Path("other.jpeg"));
    fs::copy_file(Path("a.bmp"), Path("bmp-inside.jpg"));
    fs::copy_file(Path("b.jpg"), Path("jpg-inside.bmp"));
    FView.SavePicture(picture, Path("c.PNG"), 90);
    WriteBytes(Path("d.webp"), test::MakeWebp(picture, true));
    WriteBytes(Path("e.heic"), test::MakeHeic(picture));
    fs::copy_file(Path("e.heic"), Path("e.HEIF"));
    for (const char* name : {"bmp-inside.png", "bmp-inside.heic", "bmp-inside.webp"}) fs::copy_file(Path("a.bmp"), Path(name));
    WriteBytes(Path("empty.jpg"), {});
    ASSERT_EQ(::mkfifo(Path("fifo.jpg").c_str(), 0600), 0);  // no writer: must not be waited for
    fs::create_symlink("/dev/zero", Path("zero.bmp"));

    using Kind = TPictureError::Kind;
    struct Case {
        const char* name;
        bool loaded;
        std::optional<Kind> failure;  // the kind of error the host is told
        const char* before = "";      // the user's message: before, the file's name, after
        const char* after = "";
    } cases[] = {
        {"a.bmp", true, {}},
        {"UPPER.BMP", true, {}},
        {"b.jpg", true, {}},
        {"UPPER.JPG", true, {}},
        {"other.jpeg", false, {}},
        {"missing.jpg", false, Kind::Io, "Error: cannot open ", ": No such file or directory"},
        {"missing.bmp", false, Kind::Io, "Error: cannot open ", ": No such file or directory"},
        {"bmp-inside.jpg", false, Kind::Jpeg, "Error: wrong format: ", " is not a JPEG file, or a damaged one (JPEG-Fehler #"},
        {"jpg-inside.bmp", false, Kind::InvalidBitmap, "Error: wrong format: ",
         " is not a bitmap file, or a damaged one (invalid bitmap: "},
        {"empty.jpg", false, Kind::Jpeg, "Error: wrong format: ", " is not a JPEG file, or a damaged one"},
        {"c.PNG", true, {}},
        {"d.webp", true, {}},
        {"e.heic", true, {}},
        {"e.HEIF", true, {}},
        {"bmp-inside.png", false, Kind::InvalidPng, "Error: wrong format: ", " is not a PNG file, or a damaged one (PNG: "},
        {"bmp-inside.heic", false, Kind::InvalidHeif, "Error: wrong format: ", " is not a HEIF file, or a damaged one (HEIF: "},
        {"bmp-inside.webp", false, Kind::InvalidWebp, "Error: wrong format: ", " is not a WebP file, or a damaged one (WebP: "},
        {"fifo.jpg", false, Kind::Io, "Error: cannot read ", ": not a regular file but a FIFO"},
        {"zero.bmp", false, Kind::Io, "Error: cannot read ", ": not a regular file but a character device"},
        {"folder.jpg", false, Kind::Io, "Error: cannot read ", ": not a regular file but a folder"},
        {"", false, {}},
    };
    fs::create_directory(Path("folder.jpg"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name).starts_with("e.") && !test::CanMakeHeic()) continue;  // no HEIC file could be made
        const TBitmap previous = MakeNoise(3, 3, 2);
        TBitmap target(previous);
        FHost.Messages.clear();
        FHost.Kinds.clear();
        EXPECT_EQ(FView.LoadPicture(target, c.name[0] ? Path(c.name) : ""), c.loaded);
        if (c.loaded) {
            EXPECT_EQ(target.Width(), 30);
            EXPECT_EQ(target.Height(), 20);
        } else {
            EXPECT_TRUE(target.SharesStoreWith(previous));
        }
        EXPECT_EQ(FHost.Kinds, c.failure ? std::vector<Kind>{*c.failure} : std::vector<Kind>{});
        ASSERT_EQ(FHost.Messages.size(), c.failure ? 1u : 0u);
        if (c.failure) {
            EXPECT_EQ(FHost.Messages[0].rfind(std::string(c.before) + Path(c.name) + c.after, 0), 0u) << FHost.Messages[0];
        }
    }
    // A name that would break the message's line is shown with a visible escape.
    FHost.Messages.clear();
    TBitmap target;
    EXPECT_FALSE(FView.LoadPicture(target, Path("two\nlines.jpg")));
    EXPECT_EQ(FHost.Messages, std::vector<std::string>{"Error: cannot open " + Path("two\\nlines.jpg") +
                                                       ": No such file or directory"});
}

// The one rule the window and tavelix-cli name reduced copies by.
TEST(ReducedName, InsertsBeforeTheLastFourCharacters) {
    struct Case {
        std::string name;
        int factor;
        std::string expected;
    } cases[] = {
        {"/pics/photo.jpg", 2, "/pics/photos2.jpg"},
        {"/pics/photo.jpg", 4, "/pics/photos4.jpg"},
        {"/pics/photo.jpg", 8, "/pics/photos8.jpg"},
        {"PHOTO.JPG", 2, "PHOTOs2.JPG"},     // the letter case of the extension stays
        {"a.bmp", 4, "as4.bmp"},             // five characters: the shortest that gets a name
        {".jpg", 2, ""},                     // four characters or fewer: none (never the source's)
        {"abc", 2, ""},
        {"", 8, ""},
        {"photo.jpeg", 2, "photo.s2jpeg"},   // always four characters, whatever the extension
        {"dir.jpg/x", 2, "dir.js2pg/x"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ReducedName(c.name, c.factor), c.expected);
    }
}

TEST(IsPictureName, FollowsTheEnginesExtensionRule) {
    struct Case {
        const char* name;
        bool picture, written;
    } cases[] = {
        {"photo.jpg", true, true},     {"PHOTO.JPG", true, true},        {"a.Bmp", true, true},
        {"/x/y.z/p.bmp", true, true},  {".jpg", true, true},             {"photo.png", true, true},
        {"PHOTO.PNG", true, true},     {"photo.heic", true, false},      {"photo.HEIF", true, false},
        {"photo.webp", true, false},   {"photo.jpeg", false, false},     {"photo.jpe", false, false},
        {"photo", false, false},       {"photo.gif", false, false},      {"photo.jpg.txt", false, false},
        {"photo.png.heic", true, false}, {"pics.jpg\\photo", false, false}, {"c:photo.jpg:x", false, false},
        {"", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IsPictureName(c.name), c.picture);
        EXPECT_EQ(IsWritablePictureName(c.name), c.written);
    }
}

TEST(VisibleName, ControlCharactersBecomeEscapes) {
    const std::pair<std::string, std::string> cases[] = {
        {"plain name.jpg", "plain name.jpg"},
        {"a\nb.jpg", "a\\nb.jpg"},
        {"tab\there\r.bmp", "tab\\there\\r.bmp"},
        {std::string("esc\x1B[31m\x7F\x01", 10), "esc\\x1B[31m\\x7F\\x01"},
        {"nel\xC2\x85 sep\xE2\x80\xA8.jpg", "nel\\u0085 sep\\u2028.jpg"},
        {"caf\xC3\xA9 \xE2\x82\xAC.jpg", "caf\xC3\xA9 \xE2\x82\xAC.jpg"},  // letters of other scripts stay
        {"cut\xC2", "cut\xC2"},
    };
    for (const auto& [name, shown] : cases) EXPECT_EQ(VisibleName(name), shown) << name;
}

// A bitmap file whose header claims width x height at 1 bit a pixel, with 1000 bytes of pixels
// (the rest of the rows would be filled in on loading).
std::vector<std::uint8_t> ClaimingBitmap(std::uint32_t width, std::uint32_t height) {
    std::vector<std::uint8_t> f = {'B', 'M'};
    auto u16 = [&](std::uint32_t v) { f.push_back(std::uint8_t(v)); f.push_back(std::uint8_t(v >> 8)); };
    auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    u32(14 + 40 + 8 + 1000), u32(0), u32(14 + 40 + 8);
    u32(40), u32(width), u32(height), u16(1), u16(1);
    for (int i = 0; i < 6; ++i) u32(0);
    u32(0), u32(0xFFFFFF);  // black, white
    f.resize(f.size() + 1000, 0x55);
    return f;
}

// With a limit, a picture is judged by the size its header declares, before a pixel of it is
// allocated: a file of a kilobyte cannot make the window take gigabytes.
TEST_F(PictureFiles, PicturesOverTheLoadLimitAreRefusedByTheirHeader) {
    FView.SavePicture(MakeNoise(16, 8, 1), Path("small.jpg"), 90);
    std::vector<std::uint8_t> jpeg = ReadBytes(Path("small.jpg"));
    for (std::size_t i = 0; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // the frame header: height, then width
            jpeg[i + 5] = jpeg[i + 7] = 20000 >> 8;
            jpeg[i + 6] = jpeg[i + 8] = 20000 & 0xFF;
        }
    WriteBytes(Path("huge.jpg"), jpeg);
    // A PNG file whose header claims 20000 x 20000 pixels.
    std::vector<std::uint8_t> png = SavePng(MakeNoise(16, 8, 1));
    for (std::size_t at : {16u, 20u}) png[at + 2] = 20000 >> 8, png[at + 3] = 20000 & 0xFF;
    const std::uint32_t crc = std::uint32_t(crc32(0, png.data() + 12, 17));
    for (int i = 0; i < 4; ++i) png[29 + std::size_t(i)] = std::uint8_t(crc >> (24 - 8 * i));
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::int64_t limit;
        const char* says;  // after the name; "" when loaded
    } cases[] = {
        {"60000.bmp", ClaimingBitmap(60000, 60000), MaxShownPixels,
         " was not loaded: too large to show (60000 x 60000 pixels; at most 178,956,970 pixels are shown)"},
        {"20000.bmp", ClaimingBitmap(20000, 20000), MaxShownPixels, " was not loaded: too large to show (20000 x 20000"},
        {"over.bmp", ClaimingBitmap(13378, 13377), MaxShownPixels, " was not loaded: too large to show (13378 x 13377"},
        {"huge.jpg", jpeg, MaxShownPixels, " was not loaded: too large to show (20000 x 20000"},
        {"huge.png", png, MaxShownPixels, " was not loaded: too large to show (20000 x 20000"},
        {"at.bmp", ClaimingBitmap(13377, 13377), MaxShownPixels, ""},
        {"no-limit.bmp", ClaimingBitmap(13378, 13377), 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.bytes != jpeg) WriteBytes(Path(c.name), c.bytes);
        FView.SetLoadPixelLimit(c.limit);
        FHost.Messages.clear();
        TBitmap target = MakeNoise(3, 3, 2);
        const bool loaded = FView.LoadPicture(target, Path(c.name));
        EXPECT_EQ(loaded, *c.says == 0);
        if (loaded) {
            EXPECT_EQ(std::int64_t(target.Width()) * target.Height(), std::int64_t(c.name[0] == 'a' ? 13377 : 13378) * 13377);
        } else {
            EXPECT_EQ(target.Width(), 3);
            ASSERT_EQ(FHost.Messages.size(), 1u);
            EXPECT_EQ(FHost.Messages[0].rfind("Error: " + Path(c.name) + c.says, 0), 0u) << FHost.Messages[0];
        }
    }
}

TEST_F(PictureFiles, ContentReadBeforeIsDecodedByTheNamesCodec) {
    const TBitmap picture = MakeNoise(30, 20, 4, test::Rgb24Format());
    FView.SavePicture(picture, Path("a.bmp"), 90);
    TBitmap target;
    EXPECT_TRUE(FView.LoadPicture(target, "any/name.BMP", ReadBytes(Path("a.bmp"))));
    EXPECT_TRUE(SamePixels(target, picture));
    EXPECT_FALSE(FView.LoadPicture(target, "name.jpg", ReadBytes(Path("a.bmp"))));
    EXPECT_EQ(FHost.Kinds, std::vector<TPictureError::Kind>{TPictureError::Kind::Jpeg});
    EXPECT_TRUE(SamePixels(target, picture));
}

TEST_F(PictureFiles, EmptyBitmapFileEmptiesTheTarget) {
    WriteBytes(Path("empty.bmp"), {});
    TBitmap target = MakeNoise(4, 4, 3);
    EXPECT_TRUE(FView.LoadPicture(target, Path("empty.bmp")));
    EXPECT_TRUE(target.Empty());
    EXPECT_TRUE(FHost.Messages.empty());
}

TEST_F(PictureFiles, SavesByExtensionOnly) {
    const TBitmap gray = MakeNoise(17, 9, 4, test::Gray8Format());
    FView.SavePicture(gray, Path("g.BMP"), 90);
    FView.SavePicture(gray, Path("g.jpg"), 90);
    FView.SavePicture(gray, Path("g.png"), 90);
    FView.SavePicture(gray, Path("noextension"), 90);
    FView.SavePicture(gray, Path("g.gif"), 90);
    for (const char* readOnly : {"g.heic", "g.HEIF", "g.webp"}) {
        try {
            FView.SavePicture(gray, Path(readOnly), 90);
            ADD_FAILURE() << readOnly << " written";
        } catch (const TPictureError& error) {
            EXPECT_EQ(error.GetKind(), TPictureError::Kind::Unwritable);
            EXPECT_NE(std::string(error.what()).find("save as .jpg, .bmp or .png"), std::string::npos) << error.what();
        }
        EXPECT_THROW(FView.EncodePicture(gray, readOnly, 90), TPictureError);
        EXPECT_FALSE(fs::exists(Path(readOnly)));
    }
    EXPECT_EQ(ReadBytes(Path("g.BMP"))[0], 'B');
    EXPECT_EQ(ReadBytes(Path("g.png")), FView.EncodePicture(gray, "x.png", 90).Body);
    EXPECT_FALSE(fs::exists(Path("noextension")));
    EXPECT_FALSE(fs::exists(Path("g.gif")));

    TBitmap back;
    ASSERT_TRUE(FView.LoadPicture(back, Path("g.BMP")));
    EXPECT_TRUE(SamePixels(back, gray)) << test::FirstDifference(back, gray);
    ASSERT_TRUE(FView.LoadPicture(back, Path("g.png")));
    EXPECT_TRUE(SamePixels(back, gray)) << test::FirstDifference(back, gray);  // 8-bit gray, written as gray
    ASSERT_TRUE(FView.LoadPicture(back, Path("g.jpg")));
    EXPECT_EQ(back.Width(), 17);
    EXPECT_EQ(back.Height(), 9);
    EXPECT_EQ(back.PixelFormat(), TPixelFormat::pf24bit);  // a JPEG save is always in colour

    const TBitmap empty;
    FView.SavePicture(empty, Path("e.jpg"), 90);
    FView.SavePicture(empty, Path("e.bmp"), 90);
    EXPECT_EQ(fs::file_size(Path("e.jpg")), 0u);
    EXPECT_EQ(fs::file_size(Path("e.bmp")), 0u);
}

TEST_F(PictureFiles, FailedSavesThrowAndLeaveTheOldFile) {
    const TBitmap picture = MakeNoise(8, 8, 5);
    EXPECT_THROW(FView.SavePicture(picture, Path("no-such-folder/x.jpg"), 90), std::exception);
    EXPECT_THROW(FView.SavePicture(picture, Path("no-such-folder/x.bmp"), 90), std::exception);
    fs::create_directory(Path("folder.bmp"));
    EXPECT_THROW(FView.SavePicture(picture, Path("folder.bmp"), 90), std::exception);
    EXPECT_TRUE(fs::is_directory(Path("folder.bmp")));
}

// Every kind of PNG file: scrambled, saved as PNG, read and assembled, each pixel with its alpha
// is the one read first (the picture fills whole strips: no edge strips stay behind).
TEST_F(PictureFiles, ScrambledPngFilesAssembleToTheExactPixels) {
    for (const test::TPngKind& kind : test::AllPngKinds()) {
        SCOPED_TRACE(kind.Name);
        const test::TPngSample sample = test::MakePng(kind, 300, 260, 11);
        TBitmap picture;
        ASSERT_TRUE(FView.LoadPicture(picture, "in.png", sample.File));
        TTavelix::Scramble(&picture, "a password", true);
        FView.SavePicture(picture, Path("s.png"), 90);
        ASSERT_TRUE(FView.LoadPicture(picture, Path("s.png")));
        EXPECT_FALSE(SamePixels(picture, sample.Expected));
        TTavelix::Scramble(&picture, "a password", false);
        EXPECT_TRUE(SamePixels(picture, sample.Expected)) << test::FirstDifference(picture, sample.Expected);
    }
}

TEST_F(PictureFiles, ScrambledFileAssemblesBack) {
    const TBitmap picture = MakeNoise(300, 200, 7, test::Rgb24Format());
    TBitmap work(picture);
    TTavelix::Scramble(&work, "a password", true);
    FView.SavePicture(work, Path("s.bmp"), 90);
    TBitmap loaded;
    ASSERT_TRUE(FView.LoadPicture(loaded, Path("s.bmp")));
    TTavelix::Scramble(&loaded, "a password", false);
    EXPECT_TRUE(SamePixels(loaded, picture)) << test::FirstDifference(loaded, picture);
}

// A 24-bit bitmap file with the 12-byte OS/2 header, or a top-down one with the 40-byte header.
std::vector<std::uint8_t> BitmapFile(std::int32_t w, std::int32_t h, bool os2, bool topDown) {
    const std::uint32_t row = std::uint32_t(w * 3 + 3) / 4 * 4, header = os2 ? 12 : 40;
    std::vector<std::uint8_t> f;
    auto u16 = [&](std::uint32_t v) { f.push_back(std::uint8_t(v)); f.push_back(std::uint8_t(v >> 8)); };
    auto u32 = [&](std::uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    f.push_back('B');
    f.push_back('M');
    u32(14 + header + row * std::uint32_t(h));
    u32(0);
    u32(14 + header);
    u32(header);
    if (os2) {
        u16(std::uint32_t(w)), u16(std::uint32_t(h)), u16(1), u16(24);
    } else {
        u32(std::uint32_t(w)), u32(std::uint32_t(topDown ? -h : h)), u16(1), u16(24);
        for (int i = 0; i < 6; ++i) u32(0);
    }
    for (std::uint32_t i = 0; i < row * std::uint32_t(h); ++i) f.push_back(std::uint8_t(i * 7 + i / 5));
    return f;
}

TEST_F(PictureFiles, ScrambledBitmapFilesKeepTheirHeaderAndRowOrder) {
    for (const bool os2 : {true, false}) {
        SCOPED_TRACE(os2 ? "OS/2 header" : "top-down rows");
        const auto original = BitmapFile(300, 20, os2, !os2);
        WriteBytes(Path("p.bmp"), original);
        TBitmap picture;
        ASSERT_TRUE(FView.LoadPicture(picture, Path("p.bmp")));
        const TBitmap loaded(picture);
        TTavelix::Scramble(&picture, "a password", true);
        FView.SavePicture(picture, Path("p.bmp"), 90);
        const auto scrambled = ReadBytes(Path("p.bmp"));
        ASSERT_EQ(scrambled.size(), original.size());
        // Header size, width, height (negative: top-down), planes and bit count as before.
        EXPECT_TRUE(std::equal(scrambled.begin(), scrambled.begin() + (os2 ? 26 : 30), original.begin()));
        ASSERT_TRUE(FView.LoadPicture(picture, Path("p.bmp")));
        TTavelix::Scramble(&picture, "a password", false);
        EXPECT_TRUE(SamePixels(picture, loaded)) << test::FirstDifference(picture, loaded);
    }
}

TEST_F(PictureFiles, BlackAndWhiteGivesEightBitGray) {
    TBitmap picture = MakeNoise(40, 30, 8, test::DeviceFormat());
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        FHost.Processed = 0;
        FView.MakeBlackWhite(picture, picture);  // the same bitmap as source and target
        EXPECT_EQ(FHost.Processed, 2);
        EXPECT_EQ(picture.Width(), 40);
        EXPECT_EQ(picture.Height(), 30);
        EXPECT_EQ(picture.PixelFormat(), TPixelFormat::pf8bit);
        ASSERT_FALSE(picture.Palette().empty());
        EXPECT_LE(picture.Palette().size(), 236u);
        for (const TRGBQuad& q : picture.Palette()) {
            EXPECT_EQ(q.Red, q.Green);
            EXPECT_EQ(q.Green, q.Blue);
        }
    }
}

TEST_F(PictureFiles, BlackAndWhiteOfAnEmptyPictureFailsAndLeavesTheTarget) {
    // The encoder makes no data of an empty picture, and decoding no data fails.
    TBitmap target = MakeNoise(3, 2, 9);
    const TBitmap before(target);
    EXPECT_THROW(FView.MakeBlackWhite(TBitmap(), target), TPictureError);
    EXPECT_TRUE(target.SharesStoreWith(before));
    EXPECT_EQ(target.Width(), 3);
}

}  // namespace
}  // namespace tavelix
