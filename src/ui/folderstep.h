// Stepping through the pictures of a folder, as a viewer does: by name, as a file manager sorts.
#pragma once

#include <string>
#include <vector>

namespace tavelix::ui {

// Whether a comes before b as a file manager sorts names: letters without regard to case, and
// runs of digits by their value ("photo 9" before "photo 10").
bool NameBefore(const std::string& a, const std::string& b);

// The picture step places after (or, step -1, before) current among pictures (file names of
// one folder), in name order and wrapping at the ends; current need not be among them (a file
// deleted meanwhile steps from where it would stand). "" when there is no picture.
std::string StepAmong(std::vector<std::string> pictures, const std::string& current, int step);

// The same over the folder of the file path: its files that Tavelix opens. The full path of
// the picture stepped to; "" when there is none, or the folder cannot be read.
std::string StepInFolder(const std::string& path, int step);

}  // namespace tavelix::ui
