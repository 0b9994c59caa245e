// File names: which files the engine reads and writes, the names of reduced copies, and
// which names reach the same file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tavelix::cli {

// Whether the engine reads and writes fileName: its extension (the engine's rule) is
// ".jpg" or ".bmp" in any letter case.
bool IsPictureName(std::string_view fileName);

// The name of the copy reduced by factor: "s" and the factor inserted before the last four
// characters ("photo.jpg", 2 gives "photos2.jpg"); "" for a name of four characters or fewer.
std::string ReducedName(std::string_view fileName, int factor);

// The reduced copy's name for a file as given on the command line. The insertion works on
// the full name, so a short relative name (".jpg") is first made absolute.
std::string ReducedCopyName(const std::string& fileName, int factor);

// Names under which fileName's file is known: its absolute path with links and "." and ".."
// resolved as far as the path exists, and, for an existing file, its device and inode (so
// hard links meet). Two names that share a key reach the same file.
std::vector<std::string> FileKeys(const std::string& fileName);

}  // namespace tavelix::cli
