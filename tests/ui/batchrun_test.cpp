// A batch run without the window: the order of its files, stopping after the current one,
// and what it gathers to tell after the run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/batchrun.h"

namespace tavelix::ui {
namespace {

std::vector<TBatchRun::TName> Files(int count) {
    std::vector<TBatchRun::TName> files;
    for (int i = 0; i < count; ++i) {
        std::u16string name = u"f0.bmp";
        name[1] = static_cast<char16_t>(u'0' + i);
        files.push_back(name);
    }
    return files;
}

// stopAt: the step (0-based) during which the run is stopped, as Esc or closing the window
// does; -1: never.
TEST(BatchRun, WorksOnTheFilesInOrderAndStopsAfterTheCurrentOne) {
    const struct {
        const char* name;
        int count, stopAt;
        std::size_t stepped;
        bool toTheEnd;
    } cases[] = {
        {"to the end", 5, -1, 5, true},
        {"stopped during the second file", 5, 1, 2, false},
        {"stopped during the last file: done, but not to the end", 3, 2, 3, false},
        {"no files", 0, -1, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TBatchRun run(Files(c.count), "password");
        std::vector<TBatchRun::TName> stepped;
        std::vector<std::size_t> done;
        const bool toTheEnd = run.Run(
            [&](const TBatchRun::TName& file) {
                if (static_cast<int>(stepped.size()) == c.stopAt) run.Stop();
                stepped.push_back(file);  // the file stopped in is done whole
            },
            [&](std::size_t n) { done.push_back(n); });
        EXPECT_EQ(toTheEnd, c.toTheEnd);
        EXPECT_EQ(stepped, std::vector<TBatchRun::TName>(run.Files().begin(), run.Files().begin() + c.stepped));
        ASSERT_EQ(done.size(), c.stepped);
        for (std::size_t i = 0; i < done.size(); ++i) EXPECT_EQ(done[i], i + 1);
    }
}

TEST(BatchRun, PicturesOverThePixelLimitAreLeftUnchangedWithTheirSize) {
    const struct {
        int width, height;
        bool over;
    } cases[] = {{1280, 1024, false}, {1281, 1023, false}, {1281, 1024, true}, {1, 1310721, true}, {0, 0, false}};
    TBatchRun run(Files(1));
    for (const auto& c : cases)
        EXPECT_EQ(run.OverPixelLimit(u"p.bmp", c.width, c.height), c.over) << c.width << "x" << c.height;
    run.LeaveUnchanged(u"ro.bmp", "the file is write-protected");
    ASSERT_EQ(run.Unchanged().size(), 3u);  // in the order met
    EXPECT_EQ(run.Unchanged()[0].File, u"p.bmp");
    EXPECT_EQ(run.Unchanged()[0].Why, "1281 x 1024 pixels; 1280K Pixels maximum (e.g.1280x1024)");
    EXPECT_EQ(run.Unchanged()[1].Why, "1 x 1310721 pixels; 1280K Pixels maximum (e.g.1280x1024)");
    EXPECT_EQ(run.Unchanged()[2].File, u"ro.bmp");
}

TEST(BatchRun, AnAssemblingRunWritesOnlyWhatLooksAssembledThenTheRestAnyway) {
    const std::vector<TBatchRun::TName> files = Files(4);
    const TAssemblyVerdict verdicts[] = {TAssemblyVerdict::Assembled, TAssemblyVerdict::NotAssembled,
                                         TAssemblyVerdict::Unclear, TAssemblyVerdict::ScrambledTwice};
    TBatchRun run(files, "correct horse", /*judgeAssembly=*/true);
    std::vector<bool> written;
    for (std::size_t i = 0; i < files.size(); ++i) written.push_back(run.MayWrite(files[i], verdicts[i]));
    EXPECT_EQ(written, std::vector<bool>({true, false, true, false}));
    EXPECT_EQ(run.Refused(), std::vector<TBatchRun::TName>({files[1], files[3]}));
    EXPECT_EQ(run.Unclear(), std::vector<TBatchRun::TName>({files[2]}));

    TBatchRun anyway = run.Anyway();
    EXPECT_EQ(anyway.Files(), run.Refused());
    EXPECT_EQ(anyway.Password(), "correct horse");
    EXPECT_FALSE(anyway.JudgesAssembly());
    for (const TAssemblyVerdict verdict : verdicts) EXPECT_TRUE(anyway.MayWrite(u"x.bmp", verdict));
    EXPECT_TRUE(anyway.Refused().empty());
    EXPECT_TRUE(anyway.Unclear().empty());
}

}  // namespace
}  // namespace tavelix::ui
