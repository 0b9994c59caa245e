// Whole-file reading for the codecs, which work on bytes in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tavelix {

// The whole content of a file. Throws TPictureError (Io) when it cannot be opened or read,
// or when it is larger than any picture this program handles (a few hundred MB).
std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName);

}  // namespace tavelix
