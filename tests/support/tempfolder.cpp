#include "tempfolder.h"

#include <stdlib.h>

#include <cerrno>
#include <system_error>

namespace tavelix::test {

namespace fs = std::filesystem;

TTempFolder::TTempFolder(std::string_view prefix) {
    std::string pattern = (fs::temp_directory_path() / prefix).string();
    pattern += "-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw fs::filesystem_error("cannot make a temporary folder", pattern, std::error_code(errno, std::generic_category()));
    FPath = pattern;
}

TTempFolder::~TTempFolder() {
    std::error_code ignored;
    // Folders made read-only or unreadable would keep their content from being removed.
    fs::permissions(FPath, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto entry = fs::recursive_directory_iterator(FPath, fs::directory_options::skip_permission_denied, ignored);
         entry != fs::recursive_directory_iterator(); entry.increment(ignored)) {
        if (entry->is_directory(ignored) && !entry->is_symlink(ignored))
            fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(FPath, ignored);
}

}  // namespace tavelix::test
