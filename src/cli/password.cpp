#include "cli/password.h"

#include <fcntl.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "cli/i18n.h"

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
            return _("the first line is far longer than any password may be");
        }
    }
    if (!line.Empty() && line.View().back() == '\r') line.DropLast();
    return std::nullopt;
}

namespace {

// What the handlers of the stop and continue signals need while a prompt waits. Only one
// prompt runs at a time, before any worker thread starts.
struct TPromptState {
    volatile sig_atomic_t Active = 0;     // the fields below are set
    volatile sig_atomic_t Continued = 0;  // SIGCONT came since the last stop
    int Fd = -1;
    termios Saved{}, Quiet{};
    const char* Prompt = "";
    std::size_t PromptLength = 0;
};
TPromptState GPrompt;

void WriteText(int fd, const char* text, std::size_t length) {
    while (length > 0) {
        const ssize_t n = ::write(fd, text, length);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            return;
        }
        text += n;
        length -= std::size_t(n);
    }
}

// Echo off again and the prompt anew (what was typed before the stop is gone: the terminal
// drops the line when it sends the signal). Async-signal-safe.
void Requiet() {
    if (!GPrompt.Active) return;
    ::tcsetattr(GPrompt.Fd, TCSANOW, &GPrompt.Quiet);
    WriteText(GPrompt.Fd, "\n", 1);
    WriteText(GPrompt.Fd, GPrompt.Prompt, GPrompt.PromptLength);
}

extern "C" void OnPromptContinue(int) {
    const int saved = errno;
    GPrompt.Continued = 1;
    Requiet();
    errno = saved;
}

extern "C" void OnPromptStop(int signal) {
    const int saved = errno;
    // The shell gets the terminal back as it was, echo included ...
    if (GPrompt.Active) ::tcsetattr(GPrompt.Fd, TCSANOW, &GPrompt.Saved);
    // ... and the program stops as it would without this handler.
    struct sigaction stop {}, ours {};
    stop.sa_handler = SIG_DFL;
    sigemptyset(&stop.sa_mask);
    ::sigaction(signal, &stop, &ours);
    sigset_t unblock;
    sigemptyset(&unblock);
    sigaddset(&unblock, signal);
    GPrompt.Continued = 0;
    ::sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
    ::raise(signal);
    // Continued; or never stopped (a process group without a shell to continue it is not
    // stopped by the terminal's signals), and then the continue handler did not run.
    ::sigaction(signal, &ours, nullptr);
    if (!GPrompt.Continued) Requiet();
    errno = saved;
}

// A terminal with echo off for as long as this lives, also across stops (Ctrl-Z).
class TQuietTerminal {
public:
    // fd: the terminal to use (not taken over), or -1 for the controlling terminal.
    explicit TQuietTerminal(int fd) {
        if (fd < 0) {
            FFd = FOwned = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
        } else {
            // Standard input may be open for reading only: the prompt needs to write too.
            const char* name = ::ttyname(fd);
            FOwned = name ? ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC) : -1;
            FFd = FOwned >= 0 ? FOwned : fd;
        }
        if (FFd >= 0 && ::tcgetattr(FFd, &FSaved) != 0) Close();
    }
    ~TQuietTerminal() {
        if (FQuiet) {
            GPrompt.Active = 0;
            ::tcsetattr(FFd, TCSAFLUSH, &FSaved);
            ::sigaction(SIGTSTP, &FOldStop, nullptr);
            ::sigaction(SIGCONT, &FOldContinue, nullptr);
        }
        Close();
    }
    TQuietTerminal(const TQuietTerminal&) = delete;
    TQuietTerminal& operator=(const TQuietTerminal&) = delete;

    bool Open() const { return FFd >= 0; }
    int Fd() const { return FFd; }
    bool EchoOff() {
        termios quiet = FSaved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;  // the Enter key still moves to the next line
        GPrompt.Fd = FFd;
        GPrompt.Saved = FSaved;
        GPrompt.Quiet = quiet;
        GPrompt.Active = 1;
        struct sigaction action {};
        action.sa_handler = OnPromptStop;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;  // the wait for a key goes on after the stop
        ::sigaction(SIGTSTP, &action, &FOldStop);
        action.sa_handler = OnPromptContinue;
        ::sigaction(SIGCONT, &action, &FOldContinue);
        FQuiet = true;  // from here on the destructor restores
        return ::tcsetattr(FFd, TCSAFLUSH, &quiet) == 0;
    }
    // Shows a prompt, and keeps it to show it again after a stop.
    void Ask(std::string_view prompt) {
        GPrompt.Prompt = prompt.data();
        GPrompt.PromptLength = prompt.size();
        Say(prompt);
    }
    void Say(std::string_view text) const { WriteText(FFd, text.data(), text.size()); }

private:
    void Close() {
        if (FOwned >= 0) ::close(FOwned);
        FFd = FOwned = -1;
    }

    int FFd = -1;     // the terminal
    int FOwned = -1;  // FFd when this opened it
    bool FQuiet = false;
    termios FSaved{};
    struct sigaction FOldStop {}, FOldContinue {};
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
            error = _("the terminal closed before the password was entered");
            return TPromptResult::Failed;
        }
        if (c == '\n' || c == '\r') return TPromptResult::Ok;
        if (!line.Append(c)) {
            error = Fill(_("the password is longer than %s characters"), {std::to_string(MaxPasswordCharacters)});
            return TPromptResult::Failed;
        }
    }
}

constexpr const char* FirstPrompt = N_("Password (8 to 50 characters): ");
constexpr const char* SecondPrompt = N_("Password again: ");

}  // namespace

TPromptResult PromptTwice(int fd, TSecret& line, const std::atomic<bool>& stop, const TEntryCheck& check,
                          std::string& error) {
    line.Clear();
    TQuietTerminal terminal(fd);
    if (!terminal.Open()) return TPromptResult::NoTerminal;
    if (!terminal.EchoOff()) {
        error = Fill(_("cannot turn off the terminal's echo: %s"), {std::strerror(errno)});
        return TPromptResult::Failed;
    }
    const auto give = [&](TPromptResult result) {
        line.Clear();
        if (result != TPromptResult::Mismatch) terminal.Say("\n");
        return result;
    };
    for (int attempt = 1;; ++attempt) {
        terminal.Ask(_(FirstPrompt));
        if (const TPromptResult result = ReadTerminalLine(terminal.Fd(), line, stop, error); result != TPromptResult::Ok)
            return give(result);
        const std::optional<std::string> wrong = check(line.View());
        if (!wrong) break;
        if (attempt == PromptAttempts) {
            error = *wrong;
            line.Clear();
            return TPromptResult::BrokenRules;
        }
        terminal.Say(Fill(_("%s; try again"), {*wrong}) + "\n");
    }
    TSecret again;
    terminal.Ask(_(SecondPrompt));
    if (const TPromptResult result = ReadTerminalLine(terminal.Fd(), again, stop, error); result != TPromptResult::Ok)
        return give(result);
    if (again.View() != line.View()) return give(TPromptResult::Mismatch);
    return TPromptResult::Ok;
}

}  // namespace tavelix::cli
