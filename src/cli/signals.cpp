#include "cli/signals.h"

#include <signal.h>
#include <unistd.h>

namespace tavelix::cli {

namespace {

TRunSignals GSignals;

// The first signal asks the run to stop after the files in progress; a second one ends the
// program at once (the safe save keeps every original whole even then).
extern "C" void OnStopSignal(int signal) {
    if (GSignals.Stop.exchange(true)) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    if (GSignals.Running.load()) {
        static const char text[] =
            "\ntavelix-cli: stopping after the files in progress (press Ctrl-C again to stop at once)\n";
        [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, text, sizeof text - 1);
    }
}

}  // namespace

TRunSignals& InstallSignals() {
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
