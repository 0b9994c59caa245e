#include "engine/image.h"

#include <algorithm>

namespace tavelix {

TImage::TImage() {
    // The picture tells us of every change of its pixels or size; TImage is neither copied
    // nor moved, so the captured this stays valid as long as the picture lives.
    FPicture.OnChange = [this] { PictureChanged(); };
}

TImage::~TImage() {
    FPicture.OnChange = nullptr;
}

void TImage::SetAutoSize(bool value) {
    FAutoSize = value;
    if (FAutoSize) {
        FWidth = FPicture.Width();
        FHeight = FPicture.Height();
    }
}

void TImage::SetStretch(bool value) {
    FStretch = value;
}

// With AutoSize on the control keeps to its picture's size, as a toolkit control that
// sizes itself does; otherwise the bounds are taken as given.
void TImage::SetBounds(std::int32_t width, std::int32_t height) {
    if (FAutoSize) {
        FWidth = FPicture.Width();
        FHeight = FPicture.Height();
        return;
    }
    FWidth = std::max<std::int32_t>(width, 0);
    FHeight = std::max<std::int32_t>(height, 0);
}

void TImage::PictureChanged() {
    if (FAutoSize) {
        FWidth = FPicture.Width();
        FHeight = FPicture.Height();
    }
    if (OnPictureChange) OnPictureChange();
}

}  // namespace tavelix
