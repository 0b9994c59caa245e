#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "cli/password.h"

namespace tavelix::cli {
namespace {

// Writes text into a pipe and closes its writing end; returns the reading end.
int PipeWith(const std::string& text) {
    int ends[2];
    EXPECT_EQ(::pipe(ends), 0);
    EXPECT_EQ(::write(ends[1], text.data(), text.size()), ssize_t(text.size()));
    ::close(ends[1]);
    return ends[0];
}

TEST(ReadFirstLine, TakesTheFirstLineWithoutItsEnd) {
    struct Case {
        const char* name;
        std::string data, line, rest;
    } cases[] = {
        {"LF", "secret word\nsecond line\n", "secret word", "second line\n"},
        {"CR LF", "secret word\r\nnext", "secret word", "next"},
        {"no line end", "secret word", "secret word", ""},
        {"only CR at the end", "secret word\r", "secret word", ""},
        {"empty", "", "", ""},
        {"empty first line", "\nsecret word\n", "", "secret word\n"},
        {"inner CR kept", "sec\rret\n", "sec\rret", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const int fd = PipeWith(c.data);
        TSecret line;
        EXPECT_EQ(ReadFirstLine(fd, line), std::nullopt);
        EXPECT_EQ(line.View(), c.line);
        // Nothing past the line is consumed: it is still there for its next reader.
        std::string rest(64, '\0');
        const ssize_t n = ::read(fd, rest.data(), rest.size());
        rest.resize(std::size_t(std::max<ssize_t>(n, 0)));
        EXPECT_EQ(rest, c.rest);
        ::close(fd);
    }
}

TEST(ReadFirstLine, RefusesALineLongerThanTheBuffer) {
    const int fd = PipeWith(std::string(TSecret::Capacity + 1, 'x') + "\n");
    TSecret line;
    EXPECT_NE(ReadFirstLine(fd, line), std::nullopt);
    EXPECT_TRUE(line.Empty());
    ::close(fd);
}

TEST(ReadFirstLine, ReportsAnUnreadableDescriptor) {
    TSecret line;
    const int fd = ::open("/", O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    const std::optional<std::string> error = ReadFirstLine(fd, line);  // EISDIR
    ASSERT_NE(error, std::nullopt);
    EXPECT_FALSE(error->empty());
    ::close(fd);
}

TEST(PromptTwice, WithoutATerminalSaysSo) {
    // The tests run without a controlling terminal in CI; where one exists, skip.
    const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY);
    if (tty >= 0) {
        ::close(tty);
        GTEST_SKIP() << "a controlling terminal exists here; the prompt would wait for a key";
    }
    TSecret line;
    std::string error;
    std::atomic<bool> stop{false};
    EXPECT_EQ(PromptTwice(-1, line, stop, [](std::string_view) { return std::nullopt; }, error),
              TPromptResult::NoTerminal);
}

}  // namespace
}  // namespace tavelix::cli
