// TClipDrag: a clip drag over the displayed picture, without the mouse and without drawing.
// In the picture's pixels it keeps the start corner (where the first drag-over of the drag
// was) and the current corner (the last one), names the frames to invert as the pointer
// moves and the one to erase at the end, and the clip that the frame stands for. The window
// inverts what it names on the displayed picture.
//
// A frame belongs to the picture it was drawn on: when that picture changes by anything but
// its frames (PictureChanged), the drag is over and nothing is left to erase, so no frame is
// ever "erased" on another picture, where it would draw instead.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/host.h"
#include "raster/types.h"

namespace tavelix::ui {

class TClipDrag {
public:
    // The left button went down on the picture (true), or elsewhere or was released (false):
    // a drag begins once the pointer has moved far enough with the button held.
    void SetPending(bool pending) { FPending = pending; }
    bool Pending() const { return FPending; }

    // dmStartDrag: a new drag, with no corner recorded yet; it is no longer pending.
    void Start();
    // Between Start and the end of the drag (End, Drop, PictureChanged).
    bool Dragging() const { return FDragging; }

    // dmDragOver with the pointer at (x, y). The first drag-over of a drag records the start
    // corner and shows nothing. Each later one moves the current corner: Invert names the
    // previous frame (inverted again, it is erased) and the new one, or nothing while the
    // pointer stays put; Size is the frame's size for the caption.
    struct TStep {
        std::vector<TRect> Invert;
        std::optional<TSize> Size;
    };
    TStep DragOver(std::int32_t x, std::int32_t y);

    // dmEndDrag: the drag is over. Erase is the frame on the picture, if any; Clip, when the
    // frame has a width and a height, the rectangle it frames, its corners put in order (the
    // right column and the bottom row then lie outside, as a rectangle's do).
    struct TEnd {
        std::optional<TRect> Erase;
        std::optional<TRect> Clip;
    };
    TEnd End();
    // A command comes during a drag: the drag ends, offering no clip, and a button that went
    // down on the picture starts none. The frame to erase, if any.
    std::optional<TRect> Drop();
    // The picture changed by other means than the frames: the drag is over, and its frame,
    // gone with the picture it was drawn on, is not to be erased.
    void PictureChanged();

    // The corners; all four 0 between drags.
    std::int32_t StartX() const { return FStartX; }
    std::int32_t StartY() const { return FStartY; }
    std::int32_t EndX() const { return FEndX; }
    std::int32_t EndY() const { return FEndY; }

private:
    TRect Frame() const { return Rect(FStartX, FStartY, FEndX, FEndY); }
    void Reset();

    bool FPending = false;
    bool FDragging = false;
    // The corners alone cannot tell a start corner recorded at (0, 0) from none at all: the
    // first drag-over of a drag is marked by a flag of its own.
    bool FStarted = false;
    std::int32_t FStartX = 0, FStartY = 0, FEndX = 0, FEndY = 0;
};

}  // namespace tavelix::ui
