#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "cli/run.h"

namespace tavelix::cli {
namespace {

TOptions Options(TCommand command, std::vector<std::string> files, std::string output = "") {
    TOptions options;
    options.Command = command;
    options.Files = std::move(files);
    options.Output = std::move(output);
    options.Factor = 4;
    return options;
}

TEST(PlanJobs, OneJobPerFileOrAUsageErrorAndNoJobs) {
    struct Case {
        const char* Name;
        TOptions Given;
        std::vector<std::tuple<std::string, std::string, bool>> Jobs;  // input, output, in place
        bool Usage;
    };
    TOptions gray = Options(TCommand::Gray, {});
    gray.In = "in.bmp";
    gray.Out = "out.JPG";
    TOptions grayToPng = gray;
    grayToPng.Out = "out.png";
    TOptions grayToWebp = gray;
    grayToWebp.Out = "out.webp";
    TOptions grayToExtension = gray;
    grayToExtension.Out = "sub/.jpg";
    // The options of pipelines and --out-dir, set on a copy.
    auto with = [](TOptions options, auto change) {
        change(options);
        return options;
    };
    const TOptions stdinScramble = with(Options(TCommand::Scramble, {"-"}), [](TOptions& o) { o.Format = "jpg"; });
    const Case cases[] = {
        {"in place", Options(TCommand::Scramble, {"a.jpg", "b.txt"}), {{"a.jpg", "a.jpg", true}, {"b.txt", "b.txt", true}},
         false},
        {"-o", Options(TCommand::Assemble, {"a.jpg"}, "c.bmp"), {{"a.jpg", "c.bmp", false}}, false},
        {"-o naming the file itself", Options(TCommand::Assemble, {"a.jpg"}, "a.jpg"), {{"a.jpg", "a.jpg", true}}, false},
        {"-o with two files", Options(TCommand::Assemble, {"a.jpg", "b.jpg"}, "c.bmp"), {}, true},
        {"-o not a picture", Options(TCommand::Scramble, {"a.jpg"}, "c.gif"), {}, true},
        {"-o of a kind only read", Options(TCommand::Scramble, {"a.heic"}, "c.HEIC"), {}, true},
        {"-o png", Options(TCommand::Scramble, {"a.webp"}, "c.png"), {{"a.webp", "c.png", false}}, false},
        {"-o .jpg (a file -o.jpg)", Options(TCommand::Scramble, {"a.jpg"}, ".jpg"), {}, true},
        {"-o dir/.BMP", Options(TCommand::Scramble, {"a.jpg"}, "dir/.BMP"), {}, true},
        {"-o dir/..jpg (one dot before the extension)", Options(TCommand::Scramble, {"a.jpg"}, "dir/..jpg"), {{"a.jpg", "dir/..jpg", false}}, false},
        {"reduced copies", Options(TCommand::Reduce, {"x/photo.jpg"}), {{"x/photo.jpg", "x/photos4.jpg", false}}, false},
        {"gray", gray, {{"in.bmp", "out.JPG", false}}, false},
        {"gray to png", grayToPng, {{"in.bmp", "out.png", false}}, false},
        {"gray to a kind only read", grayToWebp, {}, true},
        {"gray to an extension alone", grayToExtension, {}, true},
        {"- in and out", stdinScramble, {{"-", "-", false}}, false},
        {"- needs --format", Options(TCommand::Scramble, {"-"}), {}, true},
        {"--format needs -", with(Options(TCommand::Scramble, {"a.jpg"}), [](TOptions& o) { o.Format = "bmp"; }), {}, true},
        {"- twice", with(Options(TCommand::Check, {"-", "-"}), [](TOptions& o) { o.Format = "bmp"; }), {}, true},
        {"- and --password-stdin", with(stdinScramble, [](TOptions& o) { o.PasswordStdin = true; }), {}, true},
        {"- and --out-dir", with(stdinScramble, [](TOptions& o) { o.OutDir = "out"; }), {}, true},
        {"file to standard output", with(Options(TCommand::Assemble, {"a.jpg"}, "-"), [](TOptions& o) { o.Format = "bmp"; }),
         {{"a.jpg", "-", false}}, false},
        {"-o and --out-dir", with(Options(TCommand::Assemble, {"a.jpg"}, "c.bmp"), [](TOptions& o) { o.OutDir = "out"; }), {}, true},
        {"--out-dir", with(Options(TCommand::Assemble, {"x/a.jpg", "b.bmp"}), [](TOptions& o) { o.OutDir = "out"; }),
         {{"x/a.jpg", "out/a.jpg", false}, {"b.bmp", "out/b.bmp", false}}, false},
        {"--out-dir reduced", with(Options(TCommand::Reduce, {"x/photo.jpg"}), [](TOptions& o) { o.OutDir = "out/"; }),
         {{"x/photo.jpg", "out/photos4.jpg", false}}, false},
        {"--out-dir gray", with(gray, [](TOptions& o) { o.OutDir = "out"; }), {{"in.bmp", "out/out.JPG", false}}, false},
        {"--out-dir gray to an absolute OUT", with(gray, [](TOptions& o) { o.OutDir = "out", o.Out = "/tmp/o.jpg"; }), {}, true},
        {"check", Options(TCommand::Check, {"a.jpg", "b.bmp"}), {{"a.jpg", "", false}, {"b.bmp", "", false}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<TFileJob> jobs{{"left", "over", false}};
        const std::optional<std::string> usage = PlanJobs(c.Given, jobs);
        EXPECT_EQ(usage.has_value(), c.Usage);
        ASSERT_EQ(jobs.size(), c.Jobs.size());
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            EXPECT_EQ(jobs[i].Input, std::get<0>(c.Jobs[i]));
            EXPECT_EQ(jobs[i].Output, std::get<1>(c.Jobs[i]));
            EXPECT_EQ(jobs[i].InPlace, std::get<2>(c.Jobs[i]));
        }
    }
}

}  // namespace
}  // namespace tavelix::cli
