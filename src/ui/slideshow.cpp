#include "ui/slideshow.h"

#include <utility>

namespace tavelix::ui {

void TSlideShow::SetPictures(std::vector<TName> names) {
    FPictures = std::move(names);
    FIndex = 0;
}

bool TSlideShow::Next() {
    const std::int32_t count = Count();
    if (count == 0) return false;
    if (FIndex == count - 1 && !FLoop && !FAtRandom) return false;  // the show stays on the last picture
    if (FAtRandom)
        PickRandomSlide();
    else
        FIndex = FIndex + 1 < count ? FIndex + 1 : 0;
    SetTimerEnabled(true);
    return true;
}

bool TSlideShow::Previous() {
    if (FAtRandom || FPictures.empty()) return false;
    std::int32_t index = FIndex;
    if (index == 0 && FLoop) index = Count();
    if (index == 0) return false;
    FIndex = index - 1;
    SetTimerEnabled(true);
    return true;
}

void TSlideShow::PickRandomSlide() {
    const std::int32_t count = Count();
    if (count < 2) {  // no other picture to go to
        FIndex = 0;
        return;
    }
    const std::int32_t current = FIndex;
    std::uniform_int_distribution<std::int32_t> pick(0, count - 1);
    while (FIndex == current) FIndex = pick(FRandom);
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
