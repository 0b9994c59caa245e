#include "cli/helpformatter.h"

#include <sstream>
#include <utility>

#include "cli/i18n.h"

namespace tavelix::cli {

THelpFormatter::THelpFormatter() {
    column_width(24);
    label("Positionals", _("Files"));
    label("Usage", _("Usage"));
}

void THelpFormatter::ListAs(const CLI::App& command, std::string entry) { FEntries[&command] = std::move(entry); }

std::string THelpFormatter::make_option_name(const CLI::Option* option, bool positional) const {
    std::string name;
    for (const char c : Formatter::make_option_name(option, positional)) {
        name += c;
        if (c == ',') name += ' ';
    }
    return name;
}

std::string THelpFormatter::make_option_opts(const CLI::Option* option) const {
    if (option->get_positional()) return option->get_expected_max() > 1 ? " ..." : "";
    return option->get_option_text().empty() ? "" : " " + option->get_option_text();
}

std::string THelpFormatter::make_description(const CLI::App* app) const {
    return Formatter::make_description(app) + "\n";
}

std::string THelpFormatter::make_subcommand(const CLI::App* command) const {
    std::stringstream out;
    const auto entry = FEntries.find(command);
    CLI::detail::format_help(out, command->get_name(),
                             entry != FEntries.end() ? entry->second : command->get_description(), column_width_);
    return out.str();
}

std::string THelpFormatter::make_usage(const CLI::App* app, std::string name) const {
    if (app->get_parent() == nullptr) return std::string(_("Usage: tavelix-cli COMMAND [OPTIONS] [--] FILE...")) + "\n";
    std::string usage = Formatter::make_usage(app, std::move(name));
    const std::string options = "[OPTIONS] ";
    const std::size_t at = usage.find(options);
    if (at == std::string::npos) return usage;
    return usage.substr(0, at + options.size()) + "[--] " + usage.substr(at + options.size());
}

}  // namespace tavelix::cli
