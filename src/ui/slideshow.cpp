#include "ui/slideshow.h"

#include <utility>

namespace tavelix::ui {

void TSlideShow::SetPictures(std::vector<TName> names) {
    FPictures = std::move(names);
    FIndex = 0;
    FPicked = -1;
}

bool TSlideShow::Next() {
    const std::int32_t next = NextIndex();
    if (next < 0) return false;  // the show stays on the last picture
    FIndex = next;
    FPicked = -1;
    SetTimerEnabled(true);
    return true;
}

bool TSlideShow::Previous() {
    const std::int32_t previous = PreviousIndex();
    if (previous < 0) return false;
    FIndex = previous;
    SetTimerEnabled(true);
    return true;
}

std::int32_t TSlideShow::NextIndex() {
    const std::int32_t count = Count();
    if (count == 0) return -1;
    if (FAtRandom) {
        if (FPicked < 0) FPicked = RandomOther();
        return FPicked;
    }
    if (FIndex == count - 1 && !FLoop) return -1;
    return FIndex + 1 < count ? FIndex + 1 : 0;
}

std::int32_t TSlideShow::PreviousIndex() const {
    if (FAtRandom || FPictures.empty()) return -1;
    if (FIndex == 0) return FLoop ? Count() - 1 : -1;
    return FIndex - 1;
}

void TSlideShow::PickRandomSlide() {
    FIndex = RandomOther();
    FPicked = -1;
}

std::int32_t TSlideShow::RandomOther() {
    const std::int32_t count = Count();
    if (count < 2) return 0;  // no other picture to go to
    std::uniform_int_distribution<std::int32_t> pick(0, count - 1);
    std::int32_t index = FIndex;
    while (index == FIndex) index = pick(FRandom);
    return index;
}

void TSlideShow::SetDelay(int milliseconds) {
    FDelay = milliseconds;
    TimerChanged();
}

void TSlideShow::SetTimerEnabled(bool enabled) {
    FTimerEnabled = enabled;
    TimerChanged();
}

}  // namespace tavelix::ui
