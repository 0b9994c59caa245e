#include "ui/folderstep.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "engine/tavelix.h"

namespace tavelix::ui {

bool NameBefore(const std::string& a, const std::string& b) {
    auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (digit(a[i]) && digit(b[j])) {
            // Runs of digits by value: without their leading zeros, the longer is larger.
            std::size_t ei = i, ej = j;
            while (ei < a.size() && digit(a[ei])) ++ei;
            while (ej < b.size() && digit(b[ej])) ++ej;
            std::size_t si = i, sj = j;
            while (si + 1 < ei && a[si] == '0') ++si;
            while (sj + 1 < ej && b[sj] == '0') ++sj;
            if (ei - si != ej - sj) return ei - si < ej - sj;
            const int order = a.compare(si, ei - si, b, sj, ej - sj);
            if (order != 0) return order < 0;
            i = ei, j = ej;
            continue;
        }
        const int x = std::tolower(static_cast<unsigned char>(a[i])), y = std::tolower(static_cast<unsigned char>(b[j]));
        if (x != y) return x < y;
        ++i, ++j;
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;  // names alike but for case or leading zeros: still one order
}

std::string StepAmong(std::vector<std::string> pictures, const std::string& current, int step) {
    if (pictures.empty()) return {};
    std::sort(pictures.begin(), pictures.end(), NameBefore);
    const auto at = std::lower_bound(pictures.begin(), pictures.end(), current, NameBefore);
    const auto n = static_cast<std::ptrdiff_t>(pictures.size());
    std::ptrdiff_t index = at - pictures.begin();
    const bool there = at != pictures.end() && *at == current;
    // From a name not among them, the next is the one that would follow it.
    if (step > 0) index = there ? index + 1 : index;
    else index = index - 1;
    index = ((index % n) + n) % n;
    return pictures[static_cast<std::size_t>(index)];
}

std::string StepInFolder(const std::string& path, int step) {
    namespace fs = std::filesystem;
    const fs::path file(path);
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    std::vector<std::string> pictures;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        std::error_code kind;
        if (IsPictureName(name) && entry->is_regular_file(kind)) pictures.push_back(name);
    }
    if (error) return {};
    const std::string next = StepAmong(std::move(pictures), file.filename().string(), step);
    return next.empty() ? std::string() : (folder / next).string();
}

}  // namespace tavelix::ui
