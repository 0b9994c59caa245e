// The command line read in-process: the options it gives a run, the usage errors, the help.
#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/commandline.h"
#include "version.h"

namespace tavelix::cli {
namespace {

struct TRead {
    std::optional<TOptions> Options;  // a run, or
    int Status = -1;                  // the exit status without one
    std::string Out, Err;
};

TRead Read(std::vector<std::string> args) {
    args.insert(args.begin(), "tavelix-cli");
    std::vector<const char*> argv;
    for (const std::string& a : args) argv.push_back(a.c_str());
    std::ostringstream out, err;
    const std::variant<TOptions, int> read = ReadCommandLine(int(argv.size()), argv.data(), out, err);
    TRead result;
    if (const int* status = std::get_if<int>(&read))
        result.Status = *status;
    else
        result.Options = std::get<TOptions>(read);
    result.Out = out.str();
    result.Err = err.str();
    return result;
}

// Every field, so that a comparison names the one that differs.
std::string Describe(const TOptions& o) {
    std::ostringstream s;
    s << "command " << int(o.Command) << ", files";
    for (const std::string& file : o.Files) s << " [" << file << "]";
    s << ", -o [" << o.Output << "], in [" << o.In << "], out [" << o.Out << "], password file [" << o.PasswordFile
      << "], password stdin " << o.PasswordStdin << ", quality " << o.Quality << ", factor " << o.Factor
      << ", jobs " << o.Jobs << ", verbose " << o.Verbose << ", no flush " << o.NoFlush << ", force " << o.Force
      << ", recursive " << o.Recursive << ", out dir [" << o.OutDir << "], dry run " << o.DryRun << ", format ["
      << o.Format << "], full chroma " << o.FullChroma << ", smooth " << o.Smooth << ", fast " << o.Fast;
    return s.str();
}

template <class Change>
TOptions With(TCommand command, Change change) {
    TOptions options;
    options.Command = command;
    change(options);
    return options;
}

TEST(CommandLine, EachOptionReachesItsField) {
    const struct Case {
        std::vector<std::string> Args;
        TOptions Expected;
    } cases[] = {
        {{"scramble", "a.jpg"}, With(TCommand::Scramble, [](TOptions& o) { o.Files = {"a.jpg"}; })},
        {{"scramble", "-o", "x.bmp", "--password-file", "key", "-q", "1", "-j", "1024", "-v", "--force", "--no-flush",
          "--full-chroma", "-r", "--out-dir", "o", "-n", "--format", "jpg", "--", "-", "-o.jpg"},
         With(TCommand::Scramble,
              [](TOptions& o) {
                  o.Output = "x.bmp", o.PasswordFile = "key", o.Quality = 1, o.Jobs = 1024, o.Verbose = true;
                  o.Force = true, o.NoFlush = true, o.FullChroma = true, o.Recursive = true, o.OutDir = "o";
                  o.DryRun = true, o.Format = "jpg", o.Files = {"-", "-o.jpg"};
              })},
        {{"assemble", "--password-stdin", "--smooth", "--output", "c.jpg", "a.jpg", "b.bmp"},
         With(TCommand::Assemble,
              [](TOptions& o) { o.PasswordStdin = true, o.Smooth = true, o.Output = "c.jpg", o.Files = {"a.jpg", "b.bmp"}; })},
        {{"reduce", "--factor", "8", "--fast", "--quality", "100", "--jobs", "1", "x.jpg"},
         With(TCommand::Reduce, [](TOptions& o) { o.Factor = 8, o.Fast = true, o.Quality = 100, o.Jobs = 1, o.Files = {"x.jpg"}; })},
        {{"gray", "--dry-run", "--out-dir", "g", "--format", "bmp", "-", "out.bmp"},
         With(TCommand::Gray, [](TOptions& o) { o.DryRun = true, o.OutDir = "g", o.Format = "bmp", o.In = "-", o.Out = "out.bmp"; })},
        {{"convert", "--verbose", "in.bmp", "out.jpg"},
         With(TCommand::Convert, [](TOptions& o) { o.Verbose = true, o.In = "in.bmp", o.Out = "out.jpg"; })},
        {{"check", "-v", "--recursive", "d", "e.jpg"},
         With(TCommand::Check, [](TOptions& o) { o.Verbose = true, o.Recursive = true, o.Files = {"d", "e.jpg"}; })},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Args[0] + " " + c.Args[1]);
        const TRead read = Read(c.Args);
        ASSERT_TRUE(read.Options.has_value()) << read.Err;
        EXPECT_EQ(Describe(*read.Options), Describe(c.Expected));
        EXPECT_EQ(read.Out + read.Err, "");
    }
}

TEST(CommandLine, UsageErrorsAreToldOnStandardErrorWithStatus2) {
    const std::string more = "\nRun with --help for more information.\n";
    const struct Case {
        std::vector<std::string> Args;
        std::string Err;
    } cases[] = {
        {{}, "A subcommand is required" + more},
        {{"shuffle", "a.bmp"}, "A subcommand is required" + more},
        {{"scramble", "--password-file", "pw.txt"}, "FILE is required" + more},
        {{"scramble", "--bogus", "a.bmp"}, "The following argument was not expected: --bogus" + more},
        {{"scramble", "-q", "0", "a.bmp"}, "--quality: Value 0 not in range 1 to 100" + more},
        {{"scramble", "-q", "101", "a.bmp"}, "--quality: Value 101 not in range 1 to 100" + more},
        {{"scramble", "-j", "0", "a.bmp"}, "--jobs: Value 0 not in range 1 to 1024" + more},
        {{"assemble", "-j", "1025", "a.bmp"}, "--jobs: Value 1025 not in range 1 to 1024" + more},
        {{"scramble", "--password-file", "pw.txt", "--password-stdin", "a.bmp"},
         "--password-file excludes --password-stdin" + more},
        {{"assemble", "--full-chroma", "a.bmp"}, "The following argument was not expected: --full-chroma" + more},
        {{"reduce", "a.bmp"}, "--factor is required" + more},
        {{"reduce", "--factor", "3", "a.bmp"}, "--factor: 3 not in {2,4,8}" + more},
        {{"check", "--format", "gif", "-"}, "--format: gif not in {jpg,bmp,png,heic,heif,webp}" + more},
        {{"check", "-q", "5", "a.bmp"}, "The following argument was not expected: -q" + more},
        {{"gray", "a.bmp"}, "OUT is required" + more},
        {{"convert", "a.bmp", "b.bmp", "c.bmp"}, "The following argument was not expected: c.bmp" + more},
        {{"help", "no-such"}, "tavelix-cli: no command no-such; run tavelix-cli --help for the commands\n"},
        {{"help", "help"}, "tavelix-cli: no command help; run tavelix-cli --help for the commands\n"},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const std::string& a : c.Args) joined += a + " ";
        SCOPED_TRACE(joined);
        const TRead read = Read(c.Args);
        EXPECT_EQ(read.Status, ExitUsage);
        EXPECT_EQ(read.Err, c.Err);
        EXPECT_EQ(read.Out, "");
    }
}

// What a help answers, on standard output with status 0.
std::string Help(const std::vector<std::string>& args) {
    const TRead read = Read(args);
    EXPECT_FALSE(read.Options.has_value());
    EXPECT_EQ(read.Status, ExitDone);
    EXPECT_EQ(read.Err, "");
    return read.Out;
}

// The option names a help lists: "-q" and "--quality" from "  -q, --quality N     JPEG ...".
std::set<std::string> OptionNames(const std::string& help) {
    std::set<std::string> names;
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);) {
        if (!line.starts_with("  -")) continue;
        std::istringstream words(line.substr(0, line.find("   ")));
        for (std::string word; words >> word;)
            if (word.starts_with("-")) names.insert(word.ends_with(",") ? word.substr(0, word.size() - 1) : word);
    }
    return names;
}

TEST(CommandLine, HelpIsWrittenForANewcomer) {
    EXPECT_EQ(Help({"--version"}), std::string("tavelix-cli ") + TAVELIX_VERSION + "\n");
    const std::string overview = Help({"--help"});
    EXPECT_EQ(Help({"-h"}), overview);
    EXPECT_EQ(Help({"help"}), overview);
    for (const char* says : {
             "Run tavelix-cli COMMAND --help",         // where the options are
             "--factor 2|4|8, -q N, -j N",             // each command's main options in the list
             "It is NOT encryption",                   // what scrambling is not
             "comes back byte for byte",               // what a round trip gives back
             "2 columns and 4 rows of a 1280 x 1024",  // ... and what it does not
             "EXIF data, comments and PNG text are not kept",
             ".heic, .heif and .webp only read",        // what is read and what is written
             "unless --force",
             "-- holidays/*.jpg",                      // -- in the examples
         })
        EXPECT_NE(overview.find(says), std::string::npos) << says << " missing from:\n" << overview;
    for (const char* command : {"scramble", "assemble", "reduce", "gray", "convert", "check"}) {
        SCOPED_TRACE(command);
        const std::string help = Help({command, "--help"});
        EXPECT_EQ(Help({"help", command}), help);
        EXPECT_EQ(Help({command, "-h", "--bogus"}), help);  // the help wins over what follows
        // Values as words, not the parser's types and ranges.
        for (const char* type : {"INT", "UINT", "TEXT", "REQUIRED", "Excludes", "in ["})
            EXPECT_EQ(help.find(type), std::string::npos) << type << " in:\n" << help;
        if (std::string(command) != "check") {
            EXPECT_NE(help.find("-q, --quality N "), std::string::npos) << help;
        }
        EXPECT_NE(help.find("[--]"), std::string::npos) << help;
    }
    EXPECT_NE(Help({"help", "reduce"}).find("-j, --jobs N "), std::string::npos);
}

// The overview lists each command with its main options, written by hand: each option it names
// must be one the command has.
TEST(CommandLine, TheOverviewNamesOnlyOptionsTheCommandsHave) {
    const std::string overview = Help({"--help"});
    std::istringstream lines(overview.substr(overview.find("\nCommands:\n") + 11));
    std::string command;
    int listed = 0;
    for (std::string line; std::getline(lines, line) && !line.empty();) {
        if (line[2] != ' ') {
            command = line.substr(2, line.find(' ', 2) - 2);
            continue;
        }
        const std::size_t first = line.find_first_not_of(' ');
        if (line[first] != '-') continue;  // assemble's, in words (below)
        const std::set<std::string> has = OptionNames(Help({command, "--help"}));
        std::istringstream items(line.substr(first));
        for (std::string item; std::getline(items, item, ',');) {
            std::string name;  // "-o" of " -o PATH"
            std::istringstream(item) >> name;
            EXPECT_TRUE(has.contains(name)) << command << " has no option " << name;
            ++listed;
        }
    }
    EXPECT_EQ(listed, 13 + 10 + 6 + 7 + 4);
    // "the options of scramble, --smooth instead of --full-chroma and --fit"
    std::set<std::string> scramble = OptionNames(Help({"scramble", "--help"}));
    scramble.erase("--full-chroma");
    scramble.erase("--fit");
    scramble.insert("--smooth");
    EXPECT_EQ(OptionNames(Help({"assemble", "--help"})), scramble);
}

}  // namespace
}  // namespace tavelix::cli
