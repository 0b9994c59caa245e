#include "engine/password.h"

#include <string.h>  // explicit_bzero

#include <array>
#include <cstring>

namespace tavelix {

TSecret::TSecret() : FBytes(new char[Capacity]) {}

TSecret::~TSecret() { Clear(); }

bool TSecret::Append(char c) {
    if (FSize == Capacity) return false;
    FBytes[FSize++] = c;
    return true;
}

bool TSecret::Assign(std::string_view text) {
    Clear();
    if (text.size() > Capacity) return false;
    std::memcpy(FBytes.get(), text.data(), text.size());
    FSize = text.size();
    return true;
}

void TSecret::DropLast() {
    if (FSize > 0) FBytes[--FSize] = 0;
}

void TSecret::Clear() {
    // Wipe the whole buffer: a shorter password may follow a longer one.
    explicit_bzero(FBytes.get(), Capacity);
    FSize = 0;
}

namespace {

// Code points of the bytes 0x80 to 0x9F; 0 where the code page leaves the byte undefined.
constexpr std::array<char16_t, 32> Cp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,       // 88-8F
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,  // 98-9F
};

// The next code point of utf8 from pos (advanced past it); none for a sequence that is not
// well-formed UTF-8 (overlong forms, surrogates and values above U+10FFFF included).
std::optional<char32_t> NextCodePoint(std::string_view utf8, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(utf8[i]); };
    const unsigned char lead = byte(pos);
    std::size_t length;
    char32_t cp;
    char32_t least;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, cp = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, cp = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, cp = lead & 0x07, least = 0x10000;
    } else {
        return std::nullopt;
    }
    if (utf8.size() - pos < length) return std::nullopt;
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = byte(pos + i);
        if ((next & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    pos += length;
    return cp;
}

}  // namespace

std::optional<std::uint8_t> Cp1252Byte(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) return static_cast<std::uint8_t>(codePoint);
    for (std::size_t i = 0; i < Cp1252High.size(); ++i)
        if (Cp1252High[i] != 0 && Cp1252High[i] == codePoint) return static_cast<std::uint8_t>(0x80 + i);
    return std::nullopt;
}

bool IsControlCharacter(char32_t codePoint) {
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

std::string TPasswordProblem::Message() const {
    // Positions only: a message must not show any part of the password.
    const std::string where = "character " + std::to_string(Character) + " of the password";
    switch (What) {
    case Kind::InvalidUtf8:
        return where + " is not valid UTF-8";
    case Kind::ControlCharacter:
        return where + " is a control character; control characters are not allowed";
    case Kind::NotInCodePage:
        return where + " is not in the Windows Western code page (1252), in which passwords are taken;"
                       " use letters, digits and signs that code page holds";
    case Kind::TooLong:
        return "the password is longer than " + std::to_string(MaxPasswordCharacters) + " characters";
    case Kind::WrongLength:
        break;
    }
    return "the password must be " + std::to_string(MinPasswordCharacters) + " to " +
           std::to_string(MaxPasswordCharacters) + " characters long, not " + std::to_string(Character);
}

std::optional<TPasswordProblem> DecodePassword(std::string_view utf8, TSecret& out) {
    out.Clear();
    std::size_t pos = 0;
    std::size_t characters = 0;
    std::optional<TPasswordProblem> problem;
    const auto fail = [&](TPasswordProblem::Kind kind) { problem = TPasswordProblem{kind, characters}; };
    while (pos < utf8.size() && !problem) {
        const std::optional<char32_t> cp = NextCodePoint(utf8, pos);
        ++characters;
        if (!cp) {
            fail(TPasswordProblem::Kind::InvalidUtf8);
        } else if (IsControlCharacter(*cp)) {
            fail(TPasswordProblem::Kind::ControlCharacter);
        } else if (const std::optional<std::uint8_t> b = Cp1252Byte(*cp); !b) {
            fail(TPasswordProblem::Kind::NotInCodePage);
        } else if (!out.Append(static_cast<char>(*b))) {
            fail(TPasswordProblem::Kind::TooLong);
        }
    }
    if (!problem && (out.Size() < MinPasswordCharacters || out.Size() > MaxPasswordCharacters))
        problem = TPasswordProblem{TPasswordProblem::Kind::WrongLength, out.Size()};
    if (problem) out.Clear();
    return problem;
}

}  // namespace tavelix
