// A fresh folder of its own for a test, a fuzz target or a benchmark.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace tavelix::test {

// Made empty under the system's temporary folder ($TMPDIR, else /tmp) with a name no other
// process uses, and removed with everything in it when this goes (permissions taken away
// from folders inside are given back first). Throws std::filesystem::filesystem_error when the
// folder cannot be made.
class TTempFolder {
public:
    explicit TTempFolder(std::string_view prefix = "tavelix");
    ~TTempFolder();
    TTempFolder(const TTempFolder&) = delete;
    TTempFolder& operator=(const TTempFolder&) = delete;

    const std::filesystem::path& Path() const { return FPath; }
    // The full name of name inside the folder.
    std::string At(std::string_view name) const { return (FPath / name).string(); }

private:
    std::filesystem::path FPath;
};

}  // namespace tavelix::test
