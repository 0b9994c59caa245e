// The password of a scramble or assemble run: where it comes from, the rules it must follow,
// and memory of its own that is wiped when the run ends.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tavelix::cli {

// Bytes of a password (or of the line it was read from) in a buffer of fixed size that is
// never reallocated, so no copy is left behind in freed memory; wiped on Clear and on
// destruction.
class TSecret {
public:
    static constexpr std::size_t Capacity = 1024;

    TSecret();
    ~TSecret();
    TSecret(const TSecret&) = delete;
    TSecret& operator=(const TSecret&) = delete;

    std::string_view View() const { return {FBytes.get(), FSize}; }
    std::size_t Size() const { return FSize; }
    bool Empty() const { return FSize == 0; }
    // Adds one byte; false (nothing added) when the buffer is full.
    bool Append(char c);
    // Replaces the content; false (left empty) when text does not fit.
    bool Assign(std::string_view text);
    // Removes the last byte, if any, wiping it.
    void DropLast();
    void Clear();

private:
    std::unique_ptr<char[]> FBytes;
    std::size_t FSize = 0;
};

// Passwords are 8 to 50 characters long.
constexpr std::size_t MinPasswordCharacters = 8;
constexpr std::size_t MaxPasswordCharacters = 50;

// The byte of the Windows Western code page (1252) for a Unicode code point; none when that
// code page cannot hold it (and for the C1 controls U+0080 to U+009F, which it does not hold).
std::optional<std::uint8_t> Cp1252Byte(char32_t codePoint);

// Control characters: U+0000 to U+001F, U+007F and U+0080 to U+009F.
bool IsControlCharacter(char32_t codePoint);

// Turns a password typed as UTF-8 into its Windows-1252 bytes in out and checks the rules:
// valid UTF-8, no control character, every character held by the code page, 8 to 50
// characters. Returns "" when the password is good, else a message for the user that never
// repeats the password or any of its characters; out is then empty.
std::string DecodePassword(std::string_view utf8, TSecret& out);

// Reads the first line of fd into line, without its line end (LF, CR LF or a lone CR at the
// end of the data). Reads one byte at a time, so nothing beyond the line is consumed and no
// buffer of the C library holds a copy. Returns "" or why it failed.
std::string ReadFirstLine(int fd, TSecret& line);

enum class TPromptResult { Ok, NoTerminal, Mismatch, Interrupted, Failed };

// Asks for the password twice on the controlling terminal without echo, and restores the
// terminal whatever happens. Interrupted: stop became true while waiting (a signal handler
// sets it; the wait must not be restarted by the handler). Failed: error says why.
TPromptResult PromptTwice(TSecret& line, const std::atomic<bool>& stop, std::string& error);

}  // namespace tavelix::cli
