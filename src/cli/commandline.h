// The command line of tavelix-cli: its commands and options with their help, read into the
// options of a run.
#pragma once

#include <iosfwd>
#include <variant>

#include "cli/run.h"

namespace tavelix::cli {

// What the command line argv (argv[0]: the program) asks for: the options of a run; or, when
// it asks for no run, the exit status, after writing the help or the version to out, or the
// usage error to err.
std::variant<TOptions, int> ReadCommandLine(int argc, const char* const* argv, std::ostream& out,
                                            std::ostream& err);

}  // namespace tavelix::cli
