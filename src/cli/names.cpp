#include "cli/names.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "engine/tavelix.h"

namespace tavelix::cli {

namespace fs = std::filesystem;

std::string ReducedCopyName(const std::string& fileName, int factor) {
    if (fileName.size() > 4) return ReducedName(fileName, factor);
    std::error_code error;
    const fs::path full = fs::absolute(fileName, error);
    return error ? "" : ReducedName(full.string(), factor);
}

std::vector<std::string> FileKeys(const std::string& fileName) {
    std::vector<std::string> keys;
    std::error_code error;
    fs::path path = fs::weakly_canonical(fs::absolute(fileName, error), error);
    if (error) path = fs::absolute(fileName, error).lexically_normal();
    keys.push_back("path:" + path.string());
    struct stat info {};
    if (::stat(fileName.c_str(), &info) == 0)
        keys.push_back("inode:" + std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino));
    return keys;
}

}  // namespace tavelix::cli
