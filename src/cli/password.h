// The password of a scramble or assemble run: where it comes from (a file, standard input or
// the terminal).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
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

// A UTF-8 byte-order mark, which some editors put at the start of a text file.
constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";

enum class TPromptResult { Ok, NoTerminal, Mismatch, BrokenRules, Interrupted, Failed };

// What is wrong with a first entry, for the user; none when it may be used.
using TEntryCheck = std::function<std::optional<std::string>(std::string_view entry)>;

// The first entries a prompt takes before it gives up on one that breaks the rules.
constexpr int PromptAttempts = 3;

// Asks for the password twice without echo on a terminal: the one open as fd, or with fd -1
// the controlling terminal. The first entry is checked at once: what is wrong with it is said
// and it is asked for again (PromptAttempts times in all; then BrokenRules, error says why).
// The terminal is restored whatever happens, also while the program is stopped (Ctrl-Z):
// echo is back for the shell, and off again with the prompt shown anew when the program
// continues. Interrupted: stop became true while waiting (a signal handler sets it; the wait
// must not be restarted by the handler). Failed: error says why.
TPromptResult PromptTwice(int fd, TSecret& line, const std::atomic<bool>& stop, const TEntryCheck& check,
                          std::string& error);

}  // namespace tavelix::cli
