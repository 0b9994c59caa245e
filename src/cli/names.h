// File names as the command line gives them: the names of reduced copies, and which names
// reach the same file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavelix::cli {

// The reduced copy's name (the engine's ReducedName) for a file as given on the command line.
// The insertion works on the full name, so a short relative name (".jpg") is first made
// absolute.
std::string ReducedCopyName(const std::string& fileName, int factor);

// Names under which fileName's file is known: its absolute path with links and "." and ".."
// resolved as far as the path exists, and, for an existing file, its device and inode (so
// hard links meet). Two names that share a key reach the same file.
std::vector<std::string> FileKeys(const std::string& fileName);

}  // namespace tavelix::cli
