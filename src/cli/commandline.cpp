#include "cli/commandline.h"

#include <CLI/CLI.hpp>
#include <memory>
#include <ostream>
#include <string>

#include "cli/helpformatter.h"
#include "cli/i18n.h"
#include "version.h"

namespace tavelix::cli {

namespace {

const char* const Description = N_(
    "tavelix-cli scrambles JPEG, BMP and PNG pictures with a password, so that they show a jumble\n"
    "of strips until they are assembled with the same password. It also reduces pictures, turns\n"
    "them black and white and converts them: the engine of the Tavelix window, with the same\n"
    "results. HEIC (HEIF) and WebP pictures are read too, and saved as JPEG, BMP or PNG.");

const char* const Footer = N_(
    "Run tavelix-cli COMMAND --help (or tavelix-cli help COMMAND) for the options of a command.\n"
    "\n"
    "The password: 8 to 50 characters. It is asked twice on the terminal, without echo, unless\n"
    "--password-file PATH (its first line) or --password-stdin gives it; never on the command line.\n"
    "\n"
    "What scrambling is, and what it is not:\n"
    "  Scrambling cuts a picture into column and row strips and shuffles them in an order made\n"
    "  from the password. The file stays an ordinary JPEG, BMP or PNG picture that any viewer opens,\n"
    "  showing a jumble; assemble with the same password puts it back. This hides a picture\n"
    "  from casual view. It is NOT encryption: the edges of the strips still fit together, so a\n"
    "  patient person or a program can put a picture together again without the password.\n"
    "\n"
    "What a round trip (scramble, then assemble with the same password) gives back:\n"
    "  - A BMP whose sides are multiples of its strip sizes comes back byte for byte (strips are\n"
    "    width/256+1 pixels wide and height/256+1 high, fractions dropped; so every picture under\n"
    "    256 pixels both ways comes back); a PNG comes back pixel for pixel, alpha included.\n"
    "  - In other pictures, the columns at the right and the rows at the bottom that do not fill\n"
    "    a whole strip keep their scrambled order (2 columns and 4 rows of a 1280 x 1024 picture).\n"
    "  - A JPEG loses quality at every save, more than a plain re-save as the cut strips make\n"
    "    sharp edges (20 photographs at quality 90: a PSNR of 27 to 36 dB after scramble and\n"
    "    assemble, against 47 to 68 dB after a plain re-save).\n"
    "  - EXIF data, comments and PNG text are not kept (an EXIF thumbnail would show the clear\n"
    "    picture). A HEIC photo is read upright (its stored rotation applied); a JPEG keeps the\n"
    "    order of its stored pixels.\n"
    "  Pictures over 1280 x 1024 pixels (1,310,720 in all) are not scrambled: they are reported and\n"
    "  left unchanged.\n"
    "\n"
    "Files: .jpg, .bmp and .png are read and written, .heic, .heif and .webp only read (give -o or\n"
    "OUT a .jpg, .bmp or .png name). Each file is replaced whole or not at all. scramble and\n"
    "assemble change the files named, but not one with other names (hard links) or a\n"
    "write-protected one unless --force.\n"
    "reduce, convert, gray and -o never replace an existing file unless --force. A file that another\n"
    "run of tavelix-cli is changing is reported busy and left alone: runs never wait for each other.\n"
    "\n"
    "Exit status: 0 every file done; 1 a file failed, was refused, was busy or was left undone;\n"
    "2 a usage or password error (no file touched).\n"
    "\n"
    "Examples (-- ends the options: a file named like one, such as -o.jpg, stays a file):\n"
    "  tavelix-cli scramble --password-file ~/key.txt -- holidays/*.jpg\n"
    "  printf '%s\\n' \"$KEY\" | tavelix-cli assemble --password-stdin -o clear.bmp -- secret.jpg\n"
    "  tavelix-cli reduce --factor 4 -j 2 -- photos/*.JPG      # copies photos/*s4.JPG\n"
    "  tavelix-cli gray -q 95 -- portrait.bmp portrait-bw.jpg\n"
    "  tavelix-cli check -r -- photos                   # which pictures look scrambled\n"
    "  tavelix-cli assemble -r --out-dir clear --password-file ~/key.txt -- holidays\n"
    "  tavelix-cli scramble --password-file ~/key.txt --format jpg -- - < in.jpg > out.jpg");

void AddCommonOptions(CLI::App& command, TOptions& options, const char* force) {
    command.add_option("-q,--quality", options.Quality, _("JPEG quality of the files written, 1 to 100 (default 90)"))
        ->check(CLI::Range(1, 100))
        ->option_text("N");
    command.add_flag("-v,--verbose", options.Verbose, _("tell what was done to each file, on standard output"));
    command.add_flag("--force", options.Force, force);
    command.add_flag("--no-flush", options.NoFlush,
                     _("replace files without waiting for the disk (faster;\n"
                     "a crash soon after may lose the new file)"));
}

void AddJobsOption(CLI::App& command, TOptions& options) {
    command.add_option("-j,--jobs", options.Jobs, _("files processed at once, 1 to 1024 (default: one per core)"))
        ->check(CLI::Range(1, 1024))
        ->option_text("N");
}

// -r, -n, --out-dir and --format: the options of folders and pipelines.
void AddFileOptions(CLI::App& command, TOptions& options, bool files, bool outDir) {
    if (files)
        command.add_flag("-r,--recursive", options.Recursive,
                         _("FILE may be a folder: its picture files, and those of\n"
                         "the folders in it, are taken in the order of their names\n"
                         "(links to folders are not followed)"));
    if (outDir)
        command.add_option("--out-dir", options.OutDir,
                           _("write into DIR instead, keeping the layout: a FILE named\n"
                           "goes to DIR/its name, a picture found in a folder F to\n"
                           "DIR/F/its path in F; the originals stay untouched"))
            ->option_text("DIR");
    command.add_flag("-n,--dry-run", options.DryRun, _("print what would be done and touch nothing"));
    command.add_option("--format", options.Format,
                       _("what the bytes of - are: - as a FILE (or IN) reads the picture\n"
                       "from standard input, as -o (or OUT) writes it to standard output;\n"
                       "TYPE: jpg, bmp, png, or heic, heif, webp (read only)"))
        ->check(CLI::IsMember({"jpg", "bmp", "png", "heic", "heif", "webp"}))
        ->option_text("TYPE");
}

void AddPasswordOptions(CLI::App& command, TOptions& options) {
    auto* file = command.add_option("--password-file", options.PasswordFile,
                                    _("the password is the first line of PATH (without its line end)"))
                     ->option_text("PATH");
    auto* stdinFlag = command.add_flag("--password-stdin", options.PasswordStdin,
                                       _("the password is the first line of standard input\n"
                                       "(asked twice without echo when that is a terminal)"));
    file->excludes(stdinFlag);
    stdinFlag->excludes(file);
}

// A command of the list, with the footer every command's help ends with.
CLI::App& AddCommand(CLI::App& app, const char* name, const char* description) {
    CLI::App& command = *app.add_subcommand(name, description);
    command.group(_("Commands"));
    command.footer(_("Run tavelix-cli --help for what scrambling hides and what it does not, what a\n"
                     "round trip gives back, what happens to existing files, and examples."));
    return command;
}

void AddScrambleAndAssemble(CLI::App& app, THelpFormatter& formatter, TOptions& options) {
    CLI::App& scramble = AddCommand(
        app, "scramble",
        _("Scrambles each FILE in place: its column and row strips are shuffled in an order made from\n"
        "the password. Run tavelix-cli --help for what that hides, and what it does not."));
    formatter.ListAs(scramble, _("scramble each FILE in place with a password\n"
                               "  -o PATH, --password-file PATH, --password-stdin, -q N, -j N, -v, --force,\n"
                               "  --full-chroma, --fit, -r, --out-dir DIR, -n, --format TYPE"));
    CLI::App& assemble = AddCommand(
        app, "assemble",
        _("Assembles (unscrambles) each FILE in place with the password it was scrambled with.\n"
        "Before anything is written, the edges of the strips are compared: edges that fit each\n"
        "other clearly best were most likely neighbours. A result that would part clearly more of\n"
        "them than a right password does (a wrong password, a picture that was not scrambled, or\n"
        "one scrambled twice) is refused and the file left unchanged; --force assembles it anyway.\n"
        "A right password is never refused for this. A picture that shows too little to tell\n"
        "(flat, tiny, thin, noisy or patterned ones often do) is assembled with a note."));
    formatter.ListAs(assemble, _("assemble (unscramble) each FILE in place with the same password; a result\n"
                               "that clearly does not look assembled is refused\n"
                               "  the options of scramble, --smooth instead of --full-chroma and --fit"));
    for (CLI::App* command : {&scramble, &assemble}) {
        command->add_option("-o,--output", options.Output,
                            _("write the result to PATH, a new file, instead\n"
                            "(one FILE only; .jpg, .bmp or .png by its name)"))
            ->option_text("PATH");
        AddPasswordOptions(*command, options);
        AddCommonOptions(*command, options,
                         _("also change a FILE that has other names (hard links:\n"
                         "they keep the old picture) or is write-protected,\n"
                         "and replace an existing -o PATH"));
        AddJobsOption(*command, options);
        AddFileOptions(*command, options, true, true);
        command->add_option("FILE", options.Files, _("picture files (- : standard input)"))->required();
    }
    scramble.add_flag("--full-chroma", options.FullChroma,
                      _("save JPEG files with colour at every pixel (no chroma\n"
                      "subsampling): about 1.4 x larger, and clearly better once\n"
                      "assembled (the strips' edges keep their own colour)"));
    scramble.add_flag("--fit", options.Fit,
                      _("reduce a picture over the pixel limit of 1280 x 1024 to the\n"
                      "largest size within it (each pixel the mean of the area it\n"
                      "covers) and scramble that; only into a new file (-o,\n"
                      "--out-dir, -), in place only with --force"));
    assemble.add_flag("--smooth", options.Smooth,
                      _("mend the colour along the seams of a picture that was\n"
                      "saved scrambled as a JPEG (from pixels of the same\n"
                      "brightness; edges stay); off: the window's result"));
    scramble.callback([&options] { options.Command = TCommand::Scramble; });
    assemble.callback([&options] { options.Command = TCommand::Assemble; });
}

void AddReduce(CLI::App& app, THelpFormatter& formatter, TOptions& options) {
    CLI::App& reduce = AddCommand(
        app, "reduce",
        _("Writes a copy of each FILE at 1/factor of its width and height beside it, named with \"s\" and\n"
        "the factor before the last four characters: photo.jpg gives photos2.jpg."));
    formatter.ListAs(reduce, _("write a copy of each FILE at 1/2, 1/4 or 1/8 of its size (photo.jpg: photos2.jpg)\n"
                             "  --factor 2|4|8, -q N, -j N, -v, --force, --fast, -r, --out-dir DIR, -n, --format"));
    reduce.add_option("--factor", options.Factor, _("2, 4 or 8 (required)"))
        ->required()
        ->check(CLI::IsMember({2, 4, 8}))
        ->option_text("2|4|8");
    reduce.add_flag("--fast", options.Fast,
                    _("decode JPEG files straight at the reduced size (smoother,\n"
                    "far less work); bitmaps take the mean of each block.\n"
                    "The copies have the same sizes as without it"));
    AddCommonOptions(reduce, options, _("replace a copy that exists (without: refused, nothing written)"));
    AddJobsOption(reduce, options);
    AddFileOptions(reduce, options, true, true);
    reduce.add_option("FILE", options.Files, _("picture files (- : standard input)"))->required();
    reduce.callback([&options] { options.Command = TCommand::Reduce; });
}

void AddGrayAndConvert(CLI::App& app, THelpFormatter& formatter, TOptions& options) {
    CLI::App& gray =
        AddCommand(app, "gray", _("Saves the picture IN in black and white as OUT, a JPEG, BMP or PNG file by OUT's name."));
    formatter.ListAs(gray, _("save the picture IN in black and white as OUT\n"
                           "  -q N, -v, --force, --out-dir DIR, -n, --format TYPE"));
    CLI::App& convert =
        AddCommand(app, "convert", _("Loads the picture IN and saves it as OUT, a JPEG, BMP or PNG file by OUT's name."));
    formatter.ListAs(convert, _("load the picture IN and save it as OUT (.jpg, .bmp or .png by OUT's name)\n"
                              "  -q N, -v, --force, --fit, --out-dir DIR, -n, --format TYPE"));
    for (CLI::App* command : {&gray, &convert}) {
        AddCommonOptions(*command, options, _("replace OUT when it exists (without: refused, nothing written)"));
        AddFileOptions(*command, options, false, true);
        command->add_option("IN", options.In, _("the picture to read (.jpg, .bmp, .png, .heic, .heif,\n.webp; - : standard input)"))->required();
        command->add_option("OUT", options.Out, _("the file to write (.jpg, .bmp or .png; - : standard output)"))->required();
    }
    convert.add_flag("--fit", options.Fit,
                     _("reduce a picture over the pixel limit of 1280 x 1024 to the\n"
                     "largest size within it, as scramble --fit does"));
    gray.callback([&options] { options.Command = TCommand::Gray; });
    convert.callback([&options] { options.Command = TCommand::Convert; });
}

void AddCheck(CLI::App& app, THelpFormatter& formatter, TOptions& options) {
    CLI::App& check = AddCommand(
        app, "check",
        _("Tells for each FILE whether it looks scrambled, from the edges of its strips that fit each\n"
        "other clearly best: a clear picture keeps them side by side, a scrambled one parts them.\n"
        "It says \"scrambled\" or \"not scrambled\" only where the picture tells, else \"cannot tell\"\n"
        "(flat, tiny, thin, noisy or patterned pictures often cannot), with how many of those pairs\n"
        "of edges the strips keep. Changes nothing."));
    formatter.ListAs(check, _("tell whether each FILE looks scrambled, where the picture can tell\n"
                            "  -j N, -r, -n, --format TYPE"));
    check.add_flag("-v,--verbose", options.Verbose, _("also tell the summary"));
    AddJobsOption(check, options);
    AddFileOptions(check, options, true, false);
    check.add_option("FILE", options.Files, _("picture files (- : standard input)"))->required();
    check.callback([&options] { options.Command = TCommand::Check; });
}

// help [COMMAND]: the overview, or the help of COMMAND.
CLI::App& AddHelp(CLI::App& app, THelpFormatter& formatter, std::string& topic) {
    CLI::App& help = AddCommand(app, "help", _("this help, or with a COMMAND the options of that command"));
    formatter.ListAs(help, _("this help; help COMMAND: the options of COMMAND"));
    help.add_option("COMMAND", topic, _("the command whose options to show"));
    return help;
}

int ShowHelp(CLI::App& app, const CLI::App& help, const std::string& topic, std::ostream& out, std::ostream& err) {
    if (topic.empty()) {
        out << app.get_formatter()->make_help(&app, "tavelix-cli", CLI::AppFormatMode::Normal);
        return ExitDone;
    }
    const auto named = app.get_subcommands([&](CLI::App* c) { return c != &help && c->get_name() == topic; });
    if (!named.empty()) {
        out << named.front()->help("tavelix-cli");
        return ExitDone;
    }
    err << "tavelix-cli: " << Fill(_("no command %s; run tavelix-cli --help for the commands"), {topic}) << "\n";
    return ExitUsage;
}

}  // namespace

std::variant<TOptions, int> ReadCommandLine(int argc, const char* const* argv, std::ostream& out,
                                            std::ostream& err) {
    CLI::App app{_(Description), "tavelix-cli"};
    auto formatter = std::make_shared<THelpFormatter>();
    app.formatter(formatter);
    app.set_help_flag("-h,--help", _("show this help and exit"));
    app.set_version_flag("--version", std::string("tavelix-cli ") + TAVELIX_VERSION, _("show the version and exit"));
    app.footer(_(Footer));
    app.require_subcommand(1);

    TOptions options;
    AddScrambleAndAssemble(app, *formatter, options);
    AddReduce(app, *formatter, options);
    AddGrayAndConvert(app, *formatter, options);
    AddCheck(app, *formatter, options);
    std::string topic;
    const CLI::App& help = AddHelp(app, *formatter, topic);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error, out, err) == 0 ? ExitDone : ExitUsage;
    }
    if (help.parsed()) return ShowHelp(app, help, topic, out, err);
    return options;
}

}  // namespace tavelix::cli
