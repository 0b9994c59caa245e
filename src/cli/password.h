// The password of a scramble or assemble run: where it comes from (a file, standard input or
// the terminal).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/password.h"

namespace tavelix::cli {

using tavelix::TSecret;

// Reads the first line of fd into line, without its line end (LF, CR LF or a lone CR at the
// end of the data). Reads one byte at a time, so nothing beyond the line is consumed and no
// buffer of the C library holds a copy. Returns why it failed (line is then empty), or none.
std::optional<std::string> ReadFirstLine(int fd, TSecret& line);

enum class TPromptResult { Ok, NoTerminal, Mismatch, Interrupted, Failed };

// Asks for the password twice on the controlling terminal without echo, and restores the
// terminal whatever happens. Interrupted: stop became true while waiting (a signal handler
// sets it; the wait must not be restarted by the handler). Failed: error says why.
TPromptResult PromptTwice(TSecret& line, const std::atomic<bool>& stop, std::string& error);

}  // namespace tavelix::cli
