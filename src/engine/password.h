// Passwords: the bytes that key the scrambler, made from text typed by a person, and memory
// of their own that is wiped when they are no longer needed. The window and the command-line
// companion both use this, so the same text always gives the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tavelix {

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
// Passwords are taken as bytes of that code page, in which the program's users on Windows
// type them, so an accented password assembles the same pictures on every system.
std::optional<std::uint8_t> Cp1252Byte(char32_t codePoint);

// Control characters: U+0000 to U+001F, U+007F and U+0080 to U+009F.
bool IsControlCharacter(char32_t codePoint);

// Why a typed password cannot be used. Message() names positions only, never a character.
struct TPasswordProblem {
    enum class Kind { InvalidUtf8, ControlCharacter, NotInCodePage, TooLong, WrongLength };
    Kind What;
    // The 1-based position of the offending character; for WrongLength, the number of
    // characters given.
    std::size_t Character;

    std::string Message() const;
};

// Turns a password typed as UTF-8 into its Windows-1252 bytes in out and checks the rules:
// valid UTF-8, no control character, every character held by the code page, 8 to 50
// characters. Returns the first problem found (out is then empty), or none.
std::optional<TPasswordProblem> DecodePassword(std::string_view utf8, TSecret& out);

}  // namespace tavelix
