#include "cli/password.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tavelix::cli {

std::optional<std::string> ReadFirstLine(int fd, TSecret& line) {
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
    return std::nullopt;
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
