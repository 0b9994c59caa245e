#include "cli/password.h"

#include <fcntl.h>
#include <string.h>  // explicit_bzero
#include <termios.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace tavelix::cli {

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

std::string DecodePassword(std::string_view utf8, TSecret& out) {
    out.Clear();
    std::size_t pos = 0;
    std::size_t characters = 0;
    std::string error;
    while (pos < utf8.size() && error.empty()) {
        const std::optional<char32_t> cp = NextCodePoint(utf8, pos);
        ++characters;
        // Positions only: a message must not show any part of the password.
        const std::string where = "character " + std::to_string(characters) + " of the password";
        if (!cp) {
            error = where + " is not valid UTF-8";
        } else if (IsControlCharacter(*cp)) {
            error = where + " is a control character; control characters are not allowed";
        } else if (const std::optional<std::uint8_t> b = Cp1252Byte(*cp); !b) {
            error = where + " is not in the Windows Western code page (1252), in which passwords are taken;"
                            " use letters, digits and signs that code page holds";
        } else if (!out.Append(static_cast<char>(*b))) {
            error = "the password is longer than " + std::to_string(MaxPasswordCharacters) + " characters";
        }
    }
    if (error.empty() && (out.Size() < MinPasswordCharacters || out.Size() > MaxPasswordCharacters)) {
        error = "the password must be " + std::to_string(MinPasswordCharacters) + " to " +
                std::to_string(MaxPasswordCharacters) + " characters long, not " + std::to_string(out.Size());
    }
    if (!error.empty()) out.Clear();
    return error;
}

std::string ReadFirstLine(int fd, TSecret& line) {
    line.Clear();
    for (;;) {
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int error = errno;
            line.Clear();
            return std::strerror(error);
        }
        if (n == 0 || c == '\n') break;
        if (!line.Append(c)) {
            line.Clear();
            return "the first line is far longer than any password may be";
        }
    }
    if (!line.Empty() && line.View().back() == '\r') line.DropLast();
    return "";
}

namespace {

// The controlling terminal with echo off for as long as this lives.
class TQuietTerminal {
public:
    TQuietTerminal() {
        FFd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (FFd < 0) return;
        if (::tcgetattr(FFd, &FSaved) != 0) {
            ::close(FFd);
            FFd = -1;
        }
    }
    ~TQuietTerminal() {
        if (FFd < 0) return;
        if (FQuiet) ::tcsetattr(FFd, TCSAFLUSH, &FSaved);
        ::close(FFd);
    }
    TQuietTerminal(const TQuietTerminal&) = delete;
    TQuietTerminal& operator=(const TQuietTerminal&) = delete;

    bool Open() const { return FFd >= 0; }
    int Fd() const { return FFd; }
    bool EchoOff() {
        termios quiet = FSaved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;  // the Enter key still moves to the next line
        if (::tcsetattr(FFd, TCSAFLUSH, &quiet) != 0) return false;
        FQuiet = true;
        return true;
    }
    void Say(std::string_view text) const {
        while (!text.empty()) {
            const ssize_t n = ::write(FFd, text.data(), text.size());
            if (n <= 0) {
                if (n < 0 && errno == EINTR) continue;
                return;
            }
            text.remove_prefix(std::size_t(n));
        }
    }

private:
    int FFd = -1;
    bool FQuiet = false;
    termios FSaved{};
};

// One line from the terminal; Interrupted when stop is set while waiting.
TPromptResult ReadTerminalLine(int fd, TSecret& line, const std::atomic<bool>& stop, std::string& error) {
    line.Clear();
    for (;;) {
        if (stop.load()) return TPromptResult::Interrupted;
        char c;
        const ssize_t n = ::read(fd, &c, 1);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = std::strerror(errno);
            return TPromptResult::Failed;
        }
        if (n == 0) {
            error = "the terminal closed before the password was entered";
            return TPromptResult::Failed;
        }
        if (c == '\n' || c == '\r') return TPromptResult::Ok;
        if (!line.Append(c)) {
            error = "the password is longer than " + std::to_string(MaxPasswordCharacters) + " characters";
            return TPromptResult::Failed;
        }
    }
}

}  // namespace

TPromptResult PromptTwice(TSecret& line, const std::atomic<bool>& stop, std::string& error) {
    line.Clear();
    TQuietTerminal terminal;
    if (!terminal.Open()) return TPromptResult::NoTerminal;
    if (!terminal.EchoOff()) {
        error = std::string("cannot turn off the terminal's echo: ") + std::strerror(errno);
        return TPromptResult::Failed;
    }
    terminal.Say("Password (8 to 50 characters): ");
    TPromptResult result = ReadTerminalLine(terminal.Fd(), line, stop, error);
    if (result != TPromptResult::Ok) {
        line.Clear();
        terminal.Say("\n");
        return result;
    }
    TSecret again;
    terminal.Say("Password again: ");
    result = ReadTerminalLine(terminal.Fd(), again, stop, error);
    if (result != TPromptResult::Ok) {
        line.Clear();
        terminal.Say("\n");
        return result;
    }
    if (again.View() != line.View()) {
        line.Clear();
        return TPromptResult::Mismatch;
    }
    return TPromptResult::Ok;
}

}  // namespace tavelix::cli
