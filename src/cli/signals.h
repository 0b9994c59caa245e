// The signals of a run of tavelix-cli: SIGINT and SIGTERM stop it gently, then at once; a
// file-size limit and an output closed early are reported as errors instead of ending it.
#pragma once

#include "cli/run.h"

namespace tavelix::cli {

// Sets the handlers up and returns what they share with the run: the first SIGINT or SIGTERM
// sets Stop (and says so while files are Running), a second one ends the process at once.
// SIGXFSZ and SIGPIPE are ignored. Once per process, before the run.
TRunSignals& InstallSignals();

}  // namespace tavelix::cli
