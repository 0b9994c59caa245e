#include "cli/i18n.h"

#include <clocale>
#include <filesystem>
#include <system_error>
#include <vector>

#ifndef TAVELIX_LOCALEDIR
#define TAVELIX_LOCALEDIR "/usr/share/locale"
#endif

namespace tavelix::cli {

namespace {

// Texts of the engine that the companion prints whole; they are looked up where they are printed.
[[maybe_unused]] constexpr const char* EngineTexts[] = {
    N_(".jpg, .bmp or .png"),
    N_(".jpg, .bmp, .png, .heic, .heif or .webp"),
    N_("the file is write-protected"),
    N_("not enough memory"),
    N_("JPEG picture too large"),
    N_("bitmap too large for a file"),
};

// share/locale beside the program's bin/ folder, so that an installed tree finds its own
// catalogues wherever its prefix is; else the folder of the configured prefix.
std::string LocaleFolder() {
    std::error_code error;
    const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
    if (!error) {
        const std::filesystem::path beside = program.parent_path().parent_path() / "share" / "locale";
        if (std::filesystem::is_directory(beside, error)) return beside.string();
    }
    return TAVELIX_LOCALEDIR;
}

}  // namespace

void SetUpTranslations() {
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    ::bindtextdomain("tavelix-cli", LocaleFolder().c_str());
    ::textdomain("tavelix-cli");
}

std::string Fill(std::string_view format, std::initializer_list<std::string_view> args) {
    const std::vector<std::string_view> values(args);
    std::string text;
    std::size_t next = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && format.substr(i + 1, 1) == "s") {
            if (next < values.size()) text += values[next++];
            ++i;
            continue;
        }
        if (format[i] == '%' && i + 3 < format.size() && format[i + 1] >= '1' && format[i + 1] <= '9' &&
            format.substr(i + 2, 2) == "$s") {
            const std::size_t n = std::size_t(format[i + 1] - '1');
            if (n < values.size()) text += values[n];
            i += 3;
            continue;
        }
        text += format[i];
    }
    return text;
}

}  // namespace tavelix::cli
