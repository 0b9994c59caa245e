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
    TOptions grayToExtension = gray;
    grayToExtension.Out = "sub/.jpg";
    const Case cases[] = {
        {"in place", Options(TCommand::Scramble, {"a.jpg", "b.txt"}), {{"a.jpg", "a.jpg", true}, {"b.txt", "b.txt", true}},
         false},
        {"-o", Options(TCommand::Assemble, {"a.jpg"}, "c.bmp"), {{"a.jpg", "c.bmp", false}}, false},
        {"-o naming the file itself", Options(TCommand::Assemble, {"a.jpg"}, "a.jpg"), {{"a.jpg", "a.jpg", true}}, false},
        {"-o with two files", Options(TCommand::Assemble, {"a.jpg", "b.jpg"}, "c.bmp"), {}, true},
        {"-o not a picture", Options(TCommand::Scramble, {"a.jpg"}, "c.png"), {}, true},
        {"-o .jpg (a file -o.jpg)", Options(TCommand::Scramble, {"a.jpg"}, ".jpg"), {}, true},
        {"-o dir/.BMP", Options(TCommand::Scramble, {"a.jpg"}, "dir/.BMP"), {}, true},
        {"-o dir/..jpg (one dot before the extension)", Options(TCommand::Scramble, {"a.jpg"}, "dir/..jpg"), {{"a.jpg", "dir/..jpg", false}}, false},
        {"reduced copies", Options(TCommand::Reduce, {"x/photo.jpg"}), {{"x/photo.jpg", "x/photos4.jpg", false}}, false},
        {"gray", gray, {{"in.bmp", "out.JPG", false}}, false},
        {"gray to another kind", grayToPng, {}, true},
        {"gray to an extension alone", grayToExtension, {}, true},
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
