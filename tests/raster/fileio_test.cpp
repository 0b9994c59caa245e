#include "raster/fileio.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "raster/types.h"
#include "tempfolder.h"

namespace tavelix {
namespace {

namespace fs = std::filesystem;

// The message of the error reading fileName throws, or "" when it reads.
std::string ReadFailure(const std::string& fileName) {
    try {
        ReadFileBytes(fileName);
        return "";
    } catch (const TPictureError& error) {
        EXPECT_EQ(error.GetKind(), TPictureError::Kind::Io);
        return error.what();
    }
}

TEST(ReadFileBytes, RefusesWhatIsNoPictureFileBeforeReadingIt) {
    test::TTempFolder folder("tavelix-fileio");
    const std::string fifo = folder.At("fifo.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder.At("folder.bmp"));
    fs::create_symlink("/dev/zero", folder.At("zero.bmp"));
    // A file of one byte more than any picture file, its size known without reading it.
    const std::string huge = folder.At("huge.bmp");
    std::ofstream{huge};
    ASSERT_EQ(::truncate(huge.c_str(), off_t(MaxPictureFileBytes + 1)), 0);

    struct Case {
        std::string name;
        std::string says;
    } cases[] = {
        {"fifo.jpg", "not a regular file but a FIFO"},  // without a writer: opening must not wait
        {"folder.bmp", "not a regular file but a folder"},
        {"zero.bmp", "not a regular file but a character device"},  // endless bytes behind a link
        {"huge.bmp", "too large for a picture file (" + std::to_string(MaxPictureFileBytes + 1) + " bytes"},
        {"missing.jpg", "No such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string why = ReadFailure(folder.At(c.name));
        EXPECT_NE(why.find(folder.At(c.name)), std::string::npos) << why;
        EXPECT_NE(why.find(c.says), std::string::npos) << why;
    }
}

TEST(ReadFileBytes, TakesNoByteOutOfAFifo) {
    test::TTempFolder folder("tavelix-fileio");
    const std::string fifo = folder.At("x.jpg");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::write(writer, "\xFF\xD8picture", 9), 9);
    EXPECT_NE(ReadFailure(fifo).find("a FIFO"), std::string::npos);
    char left[16];
    EXPECT_EQ(::read(reader, left, sizeof left), 9) << "bytes were taken from the FIFO";
    ::close(writer);
    ::close(reader);
}

TEST(ReadFileBytes, ReadsRegularFilesWholeWhateverSizeTheyTell) {
    test::TTempFolder folder("tavelix-fileio");
    std::string content(200000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = char(i * 7 + i / 251);
    std::ofstream(folder.At("a.bmp"), std::ios::binary) << content;
    std::ofstream(folder.At("empty.jpg"), std::ios::binary);
    const std::vector<std::uint8_t> bytes = ReadFileBytes(folder.At("a.bmp"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), content);
    EXPECT_TRUE(ReadFileBytes(folder.At("empty.jpg")).empty());
    // System files tell a size of 0 and have content all the same.
    EXPECT_FALSE(ReadFileBytes("/proc/self/status").empty());
}

}  // namespace
}  // namespace tavelix
