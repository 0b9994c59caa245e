// The autoshow's rules without a window: where each step goes (Loop, the ends of the list, At
// Random), and when the slide timer runs.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "ui/slideshow.h"

namespace tavelix::ui {
namespace {

TSlideShow Show(int count, bool loop = true) {
    std::vector<TSlideShow::TName> names;
    for (int i = 0; i < count; ++i) {
        std::u16string name = u"p0.bmp";
        name[1] = static_cast<char16_t>(u'0' + i);
        names.push_back(name);
    }
    TSlideShow show;
    show.SetPictures(std::move(names));
    show.SetLoop(loop);
    return show;
}

// n: a step forward, p: a step back; the index after each step.
TEST(SlideShow, StepsFollowLoopAndTheEndsOfTheList) {
    const struct {
        const char* name;
        int count;
        bool loop;
        std::string steps;
        std::vector<int> indexes;
    } cases[] = {
        {"two, loop: they alternate", 2, true, "nnn", {1, 0, 1}},
        {"two, no loop: stays on the second", 2, false, "nnn", {1, 1, 1}},
        {"three, no loop: the end holds, back goes back", 3, false, "nnnp", {1, 2, 2, 1}},
        {"three, loop: back from the first to the last", 3, true, "ppp", {2, 1, 0}},
        {"three, no loop: nothing before the first", 3, false, "pp", {0, 0}},
        {"three, loop: forward past the last to the first", 3, true, "nnnn", {1, 2, 0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TSlideShow show = Show(c.count, c.loop);
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            const int before = show.Index();
            // where a step would go is told before it is taken (-1: nowhere)
            const int told = c.steps[i] == 'n' ? show.NextIndex() : show.PreviousIndex();
            const bool moved = c.steps[i] == 'n' ? show.Next() : show.Previous();
            EXPECT_EQ(show.Index(), c.indexes[i]) << "step " << i;
            EXPECT_EQ(moved, show.Index() != before) << "step " << i;
            EXPECT_EQ(told, moved ? show.Index() : -1) << "step " << i;
            ASSERT_NE(show.Current(), nullptr);
            EXPECT_EQ(*show.Current(), show.Pictures()[show.Index()]);
        }
    }
}

TEST(SlideShow, AtRandomNeverShowsAPictureTwiceInARowAndHasNoWayBack) {
    TSlideShow show = Show(5, /*loop=*/false);
    show.SetAtRandom(true);
    show.Seed(4711);
    std::set<int> seen;
    for (int i = 0; i < 200; ++i) {
        const int before = show.Index();
        ASSERT_TRUE(show.Next());  // even from the last picture, without Loop
        ASSERT_NE(show.Index(), before);
        ASSERT_GE(show.Index(), 0);
        ASSERT_LT(show.Index(), 5);
        seen.insert(show.Index());
    }
    EXPECT_EQ(seen.size(), 5u);
    const int index = show.Index();
    EXPECT_FALSE(show.Previous());
    EXPECT_EQ(show.Index(), index);

    // Two pictures at random alternate, whatever Loop says.
    TSlideShow two = Show(2, /*loop=*/false);
    two.SetAtRandom(true);
    for (int expected : {1, 0, 1}) {
        two.Next();
        EXPECT_EQ(two.Index(), expected);
    }
    EXPECT_FALSE(two.CanPickAtRandom());
    EXPECT_TRUE(Show(3).CanPickAtRandom());
}

// The random pick of the next step is made once, when first asked for, and the step goes
// there; asking does not change the order a seed gives. A new seed or list picks anew.
TEST(SlideShow, AtRandomTheNextPickIsFixedBeforeTheStep) {
    TSlideShow peeked = Show(6), plain = Show(6);
    for (TSlideShow* show : {&peeked, &plain}) {
        show->SetAtRandom(true);
        show->Seed(99);
    }
    for (int i = 0; i < 50; ++i) {
        const int pick = peeked.NextIndex();
        ASSERT_EQ(peeked.NextIndex(), pick);
        ASSERT_EQ(peeked.PreviousIndex(), -1);
        peeked.Next();
        plain.Next();
        ASSERT_EQ(peeked.Index(), pick);
        ASSERT_EQ(plain.Index(), pick) << "step " << i;
    }
    // a fresh seed forgets a pick made under the old one
    TSlideShow again = Show(6);
    again.SetAtRandom(true);
    again.Seed(1);
    const int first = again.NextIndex();
    again.Seed(99);
    TSlideShow fresh = Show(6);
    fresh.SetAtRandom(true);
    fresh.Seed(99);
    EXPECT_EQ(again.NextIndex(), fresh.NextIndex()) << "the pick under seed 1 was " << first;
}

TEST(SlideShow, ANewListStartsAtTheFirstPictureAndKeepsTheOptions) {
    TSlideShow show = Show(3, /*loop=*/false);
    show.SetAutosize(false);
    show.SetDelay(1000);
    show.Next();
    show.SetPictures({u"a.jpg", u"b.jpg"});
    EXPECT_EQ(show.Index(), 0);
    EXPECT_EQ(*show.Current(), u"a.jpg");
    EXPECT_FALSE(show.Loop());
    EXPECT_FALSE(show.Autosize());
    EXPECT_EQ(show.Delay(), 1000);
    show.SetPictures({});
    EXPECT_EQ(show.Current(), nullptr);
    EXPECT_FALSE(show.Next());
    EXPECT_FALSE(show.Previous());
}

// What the window's timer is told, and when: each step starts it afresh (a stopped one too),
// "Manual" never runs it, a step not taken leaves it alone.
TEST(SlideShow, TheTimerRunsWithADelayAndStartsAfreshAtEachStep) {
    TSlideShow show = Show(3, /*loop=*/false);
    std::vector<bool> told;  // TimerRuns() at each call
    show.OnTimer = [&] { told.push_back(show.TimerRuns()); };
    EXPECT_EQ(show.Delay(), 3000);
    EXPECT_FALSE(show.TimerRuns());
    show.SetTimerEnabled(true);
    show.SetDelay(0);      // Manual
    show.Next();           // to 1: no timer under Manual
    show.SetDelay(500);
    show.SetTimerEnabled(false);
    show.Next();           // to 2: started again
    show.Next();           // the end, without Loop: not taken, not told
    show.Previous();       // to 1
    EXPECT_EQ(told, std::vector<bool>({true, false, false, true, false, true, true}));
    EXPECT_TRUE(show.TimerEnabled());
}

}  // namespace
}  // namespace tavelix::ui
