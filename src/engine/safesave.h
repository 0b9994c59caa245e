// Replacing a file whole or not at all.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

namespace tavelix {

// What a save does when something is already under the name it writes.
enum class TExisting {
    Replace,  // a regular file there is replaced whole (through the temporary, below)
    Refuse,   // the save fails (EEXIST) and leaves it alone, even one that appears meanwhile
};

struct TSaveOptions {
    // A file that replaces another reaches the disk before it takes the old one's place. A
    // new file is never waited for (a crash can lose it, but nothing else).
    bool Flush = true;
    TExisting Existing = TExisting::Replace;
    // Always write under a temporary name, as on file systems without unnamed temporary
    // files (so tests can reach that way too).
    bool NamedTemporary = false;
};

// Writes bytes to fileName so that the file either holds all of them or, after any failure
// (disk full, a file-size limit, an interrupted process), is exactly as it was. The bytes go
// to an unnamed temporary file in the same folder (a named one where the file system has no
// unnamed ones), which takes its place only when complete; a temporary that got a name is
// removed again on every failure. Temporary names fit in the folder whatever the length of
// fileName. A replaced file keeps its permissions. Throws TPictureError (Io) naming the file
// and the reason (a target that is not a regular file is named for what it is).
void WriteFileAtomically(const std::string& fileName, std::span<const std::uint8_t> bytes,
                         const TSaveOptions& options = {});
// The same for a file made of several pieces, written one after the other.
void WriteFileAtomically(const std::string& fileName, std::initializer_list<std::span<const std::uint8_t>> pieces,
                         const TSaveOptions& options = {});

// The temporary name a save into fileName tries at its attempt-th try: hidden, beside the
// target, "." + the target's name + ".tavelix-<process>-<attempt>", the target's name cut
// (at a character boundary) so that the whole holds at most nameMax bytes.
std::string TemporaryName(const std::string& fileName, unsigned attempt, std::size_t nameMax);

}  // namespace tavelix
