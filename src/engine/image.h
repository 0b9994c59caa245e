// TImage: a picture control without a toolkit. It holds one bitmap and, with AutoSize on,
// takes that bitmap's size as its own; whoever draws it listens to OnPictureChange.
#pragma once

#include <cstdint>
#include <functional>

#include "raster/bitmap.h"

namespace tavelix {

class TImage {
public:
    TImage();
    virtual ~TImage();
    TImage(const TImage&) = delete;
    TImage& operator=(const TImage&) = delete;

    // The displayed picture. Always a bitmap: an empty one until something is put in it.
    TBitmap& Picture() { return FPicture; }
    const TBitmap& Picture() const { return FPicture; }

    // With AutoSize on, Width and Height follow the picture's size at every change.
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);
    bool Stretch() const { return FStretch; }
    void SetStretch(bool value);

    std::int32_t Left = 0, Top = 0;  // position in the parent
    std::int32_t Width() const { return FWidth; }
    std::int32_t Height() const { return FHeight; }
    void SetBounds(std::int32_t width, std::int32_t height);

    // Called after every change of the picture's pixels or size.
    std::function<void()> OnPictureChange;

private:
    void PictureChanged();

    TBitmap FPicture;
    bool FAutoSize = false;
    bool FStretch = false;
    std::int32_t FWidth = 105, FHeight = 105;  // a fresh control's size before it fits a picture
};

}  // namespace tavelix
