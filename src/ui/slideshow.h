// TSlideShow: the autoshow without a window. It holds the picture list and the index of the
// picture in view, walks the list forward and back (in a loop, or at random without showing a
// picture twice in a row), keeps the options of the show's menu and its delay, and says when
// its timer is to run. The window shows the picture it names, mirrors the options in the
// check marks of the show's menu and starts and stops the slide timer when told to.
#pragma once

#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace tavelix::ui {

class TSlideShow {
public:
    // A file name, in the UTF-16 code units the window holds it in.
    using TName = std::u16string;

    // The picture list: the full names chosen in the last use of the open dialog. Setting it
    // puts the show on its first picture; the options and the delay stay as they are.
    void SetPictures(std::vector<TName> names);
    const std::vector<TName>& Pictures() const { return FPictures; }
    std::int32_t Count() const { return static_cast<std::int32_t>(FPictures.size()); }
    // The index of the picture in view: 0 <= Index() < Count(), or 0 for an empty list.
    std::int32_t Index() const { return FIndex; }
    // The name at the index; nullptr for an empty list.
    const TName* Current() const { return FPictures.empty() ? nullptr : &FPictures[FIndex]; }

    // One step forward: at random, or to the next picture (after the last one, the first with
    // Loop, none without). One step back: to the previous picture (before the first one, the
    // last with Loop); never at random. True when the show moved; the timer then starts afresh,
    // so the full delay runs from the step on.
    bool Next();
    bool Previous();
    // Where the next step forward and back would go; -1 for nowhere. At Random the pick is
    // made by the first of these calls and kept: the step forward then goes there, so a
    // picture made ready for it in advance is the one shown.
    std::int32_t NextIndex();
    std::int32_t PreviousIndex() const;
    // Another index than the current one, drawn at random; 0 when there is no other picture.
    void PickRandomSlide();
    void Seed(std::uint32_t seed) {
        FRandom.seed(seed);
        FPicked = -1;
    }

    // The options of the show's menu. At Random can be chosen in a show of more than two
    // pictures only (with two, every step goes to the other one anyway).
    bool AtRandom() const { return FAtRandom; }
    void SetAtRandom(bool value) {
        FAtRandom = value;
        FPicked = -1;
    }
    bool CanPickAtRandom() const { return Count() > 2; }
    bool Loop() const { return FLoop; }
    void SetLoop(bool value) { FLoop = value; }
    bool Autoassemble() const { return FAutoassemble; }
    void SetAutoassemble(bool value) { FAutoassemble = value; }
    bool Autosize() const { return FAutosize; }
    void SetAutosize(bool value) { FAutosize = value; }

    // The delay between two pictures in milliseconds; 0 ("Manual") moves the show only by
    // the user's steps.
    int Delay() const { return FDelay; }
    void SetDelay(int milliseconds);
    // Whether the show wants its timer (during a show, except while a question pauses it).
    bool TimerEnabled() const { return FTimerEnabled; }
    void SetTimerEnabled(bool enabled);
    // Whether the timer runs: enabled, and a delay that is not "Manual".
    bool TimerRuns() const { return FTimerEnabled && FDelay > 0; }
    // Called whenever the timer is to be set anew (enabled or not, a new delay, a step): the
    // window starts it afresh with Delay() as its interval when TimerRuns(), else stops it.
    std::function<void()> OnTimer;

private:
    std::int32_t RandomOther();
    void TimerChanged() {
        if (OnTimer) OnTimer();
    }

    std::vector<TName> FPictures;
    std::int32_t FIndex = 0;
    std::int32_t FPicked = -1;  // the random pick of the next step, once made
    bool FAtRandom = false;
    bool FLoop = true;
    bool FAutoassemble = false;
    bool FAutosize = true;
    int FDelay = 3000;
    bool FTimerEnabled = false;
    std::mt19937 FRandom;  // the order of "At Random"
};

}  // namespace tavelix::ui
