// The help of tavelix-cli as people read it: "-q, --quality N" instead of the parser's value
// types, ranges and defaults (the descriptions say those in words), "--" in the usage lines,
// and in the overview each command with its main options.
#pragma once

#include <CLI/CLI.hpp>
#include <map>
#include <string>

namespace tavelix::cli {

class THelpFormatter : public CLI::Formatter {
public:
    THelpFormatter();

    // What the overview's list of commands says of command, in place of its description (which
    // opens the command's own help): a line on what it does, then its main options.
    void ListAs(const CLI::App& command, std::string entry);

    std::string make_option_name(const CLI::Option* option, bool positional) const override;
    std::string make_option_opts(const CLI::Option* option) const override;
    std::string make_description(const CLI::App* app) const override;
    std::string make_subcommand(const CLI::App* command) const override;
    std::string make_usage(const CLI::App* app, std::string name) const override;

private:
    std::map<const CLI::App*, std::string> FEntries;
};

}  // namespace tavelix::cli
