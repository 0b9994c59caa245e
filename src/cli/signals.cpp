#include "cli/signals.h"

#include <signal.h>
#include <unistd.h>

#include <string>

#include "cli/i18n.h"

namespace tavelix::cli {

namespace {

TRunSignals GSignals;
std::string GStopText;  // made before the handlers are installed: a handler may only write it

// The first signal asks the run to stop after the files in progress; a second one ends the
// program at once (the safe save keeps every original whole even then).
extern "C" void OnStopSignal(int signal) {
    if (GSignals.Stop.exchange(true)) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    if (GSignals.Running.load()) {
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, GStopText.data(), GStopText.size());
    }
}

}  // namespace

TRunSignals& InstallSignals() {
    GStopText = std::string("\ntavelix-cli: ") +
                _("stopping after the files in progress (press Ctrl-C again to stop at once)") + "\n";
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no restart: a password prompt waiting for a key must see the stop
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A write past a file-size limit then fails with EFBIG, which the save reports, instead
    // of ending the process.
    ::signal(SIGXFSZ, SIG_IGN);
    // Output closed early (-v piped into head): the files still matter more than the lines.
    ::signal(SIGPIPE, SIG_IGN);
    return GSignals;
}

}  // namespace tavelix::cli
