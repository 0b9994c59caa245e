#include <gtest/gtest.h>

#include <optional>
#include <string>
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
        std::vector<std::pair<std::string, std::string>> Jobs;  // input, output
        bool Usage;
    };
    TOptions gray = Options(TCommand::Gray, {});
    gray.In = "in.bmp";
    gray.Out = "out.JPG";
    TOptions grayToPng = gray;
    grayToPng.Out = "out.png";
    const Case cases[] = {
        {"in place", Options(TCommand::Scramble, {"a.jpg", "b.txt"}), {{"a.jpg", "a.jpg"}, {"b.txt", "b.txt"}}, false},
        {"-o", Options(TCommand::Assemble, {"a.jpg"}, "c.bmp"), {{"a.jpg", "c.bmp"}}, false},
        {"-o with two files", Options(TCommand::Assemble, {"a.jpg", "b.jpg"}, "c.bmp"), {}, true},
        {"-o not a picture", Options(TCommand::Scramble, {"a.jpg"}, "c.png"), {}, true},
        {"reduced copies", Options(TCommand::Reduce, {"x/photo.jpg"}), {{"x/photo.jpg", "x/photos4.jpg"}}, false},
        {"gray", gray, {{"in.bmp", "out.JPG"}}, false},
        {"gray to another kind", grayToPng, {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<TFileJob> jobs{{"left", "over"}};
        const std::optional<std::string> usage = PlanJobs(c.Given, jobs);
        EXPECT_EQ(usage.has_value(), c.Usage);
        ASSERT_EQ(jobs.size(), c.Jobs.size());
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            EXPECT_EQ(jobs[i].Input, c.Jobs[i].first);
            EXPECT_EQ(jobs[i].Output, c.Jobs[i].second);
        }
    }
}

}  // namespace
}  // namespace tavelix::cli
