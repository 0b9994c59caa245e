// Replacing a file whole or not at all.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>

namespace tavelix {

// Writes bytes to fileName so that the file either holds all of them or, after any failure
// (disk full, a file-size limit, an interrupted process), is exactly as it was. The bytes go
// to an unnamed temporary file in the same folder (a named one where the file system has no
// unnamed ones), which is linked into place only when complete. A replaced file keeps its
// permissions. With flush, a file that replaces another reaches the disk before it takes the
// old one's place; a new file is never waited for (a crash can lose it, but nothing else).
// Throws TPictureError (Io) naming the file and the reason.
void WriteFileAtomically(const std::string& fileName, std::span<const std::uint8_t> bytes, bool flush = true);
// The same for a file made of several pieces, written one after the other.
void WriteFileAtomically(const std::string& fileName, std::initializer_list<std::span<const std::uint8_t>> pieces,
                         bool flush = true);

}  // namespace tavelix
