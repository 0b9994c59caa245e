#include "ui/clipdrag.h"

#include <cstdlib>
#include <utility>

namespace tavelix::ui {

void TClipDrag::Start() {
    Reset();
    FDragging = true;
}

TClipDrag::TStep TClipDrag::DragOver(std::int32_t x, std::int32_t y) {
    TStep step;
    if (!FStarted) {
        FStarted = true;
        FStartX = FEndX = x;
        FStartY = FEndY = y;
        return step;
    }
    if (x != FEndX || y != FEndY) {
        step.Invert = {Frame(), Rect(FStartX, FStartY, x, y)};
        FEndX = x;
        FEndY = y;
    }
    step.Size = TSize{std::abs(x - FStartX), std::abs(y - FStartY)};
    return step;
}

TClipDrag::TEnd TClipDrag::End() {
    TEnd end;
    if (FStarted) end.Erase = Frame();
    if (FEndX != FStartX && FEndY != FStartY) {
        if (FEndX < FStartX) std::swap(FStartX, FEndX);
        if (FEndY < FStartY) std::swap(FStartY, FEndY);
        end.Clip = Frame();
    }
    Reset();
    return end;
}

std::optional<TRect> TClipDrag::Drop() {
    if (!FDragging) {
        FPending = false;
        return std::nullopt;
    }
    return End().Erase;
}

void TClipDrag::PictureChanged() { Reset(); }

void TClipDrag::Reset() {
    FPending = FDragging = FStarted = false;
    FStartX = FStartY = FEndX = FEndY = 0;
}

}  // namespace tavelix::ui
