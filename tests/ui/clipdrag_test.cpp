// The clip drag without a mouse: the frames it has inverted and erased, the caption's size,
// the clip, and every way it ends. A frame counts as on the picture when it was inverted an
// odd number of times, so "nothing left" is checked by counting, not by reading the code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

#include "ui/clipdrag.h"

namespace tavelix::ui {
namespace {

// How often each outline was inverted; an outline counted odd times is still on the picture.
struct TPicture {
    std::map<std::tuple<int, int, int, int>, int> Inverted;
    void Invert(const TRect& frame) {
        // Left/Right and Top/Bottom in either order give the same outline.
        const auto key = std::make_tuple(std::min(frame.Left, frame.Right), std::min(frame.Top, frame.Bottom),
                                         std::max(frame.Left, frame.Right), std::max(frame.Top, frame.Bottom));
        ++Inverted[key];
    }
    // Outlines still on it, leaving out those without pixels (a point).
    int Shown() const {
        int shown = 0;
        for (const auto& [frame, count] : Inverted) {
            const auto [left, top, right, bottom] = frame;
            if (count % 2 == 1 && (left != right || top != bottom)) ++shown;
        }
        return shown;
    }
};

struct TPoint {
    int X, Y;
};

// Start, drag-over at each point, End: what is offered.
std::optional<TRect> Drag(TClipDrag& drag, TPicture& picture, const std::vector<TPoint>& points) {
    drag.Start();
    for (const TPoint& p : points)
        for (const TRect& frame : drag.DragOver(p.X, p.Y).Invert) picture.Invert(frame);
    const TClipDrag::TEnd end = drag.End();
    if (end.Erase) picture.Invert(*end.Erase);
    return end.Clip;
}

TEST(ClipDrag, EveryDragErasesItsFrameAndOffersTheFramedPart) {
    const struct {
        const char* name;
        std::vector<TPoint> points;
        std::optional<TRect> clip;
    } cases[] = {
        {"down and to the right", {{10, 20}, {60, 40}, {110, 70}}, Rect(10, 20, 110, 70)},
        {"up and to the left", {{110, 70}, {60, 40}, {10, 20}}, Rect(10, 20, 110, 70)},
        {"down and to the left", {{110, 20}, {60, 40}, {10, 70}}, Rect(10, 20, 110, 70)},
        {"through the top-left pixel", {{15, 15}, {0, 0}, {30, 30}}, Rect(15, 15, 30, 30)},
        {"ending on the top-left pixel", {{40, 30}, {20, 10}, {0, 0}}, Rect(0, 0, 40, 30)},
        {"horizontal", {{10, 20}, {60, 20}, {110, 20}}, std::nullopt},
        {"vertical", {{10, 20}, {10, 50}, {10, 70}}, std::nullopt},
        {"back to the start", {{10, 20}, {60, 60}, {10, 20}}, std::nullopt},
        {"no second drag-over", {{195, 50}}, std::nullopt},
        {"no drag-over at all", {}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TClipDrag drag;
        TPicture picture;
        EXPECT_EQ(Drag(drag, picture, c.points), c.clip);
        EXPECT_EQ(picture.Shown(), 0);
        EXPECT_FALSE(drag.Dragging());
        EXPECT_EQ(std::vector<int>({drag.StartX(), drag.StartY(), drag.EndX(), drag.EndY()}),
                  std::vector<int>({0, 0, 0, 0}));
    }
}

TEST(ClipDrag, EachStepShowsOneFrameAndItsSize) {
    TClipDrag drag;
    TPicture picture;
    drag.Start();
    const TClipDrag::TStep first = drag.DragOver(10, 20);  // the start corner, nothing shown
    EXPECT_TRUE(first.Invert.empty());
    EXPECT_FALSE(first.Size);
    for (const TPoint& p : {TPoint{60, 40}, TPoint{110, 70}, TPoint{110, 70}, TPoint{5, 90}}) {
        const TClipDrag::TStep step = drag.DragOver(p.X, p.Y);
        for (const TRect& frame : step.Invert) picture.Invert(frame);
        EXPECT_EQ(picture.Shown(), 1);
        ASSERT_TRUE(step.Size);
        EXPECT_EQ(std::make_pair(step.Size->Width, step.Size->Height), std::make_pair(std::abs(p.X - 10), p.Y - 20));
    }
    EXPECT_EQ(std::vector<int>({drag.StartX(), drag.StartY(), drag.EndX(), drag.EndY()}),
              std::vector<int>({10, 20, 5, 90}));
    // a second drag starts at its own first drag-over
    TPicture second;
    EXPECT_EQ(Drag(drag, second, {{100, 60}, {150, 90}}), Rect(100, 60, 150, 90));
}

// A command during a drag ends it without a clip; a picture changed under it ends it with
// nothing to erase, since its frame went with the picture it was drawn on.
TEST(ClipDrag, DropAndAChangedPictureEndTheDrag) {
    TClipDrag drag;
    TPicture picture;
    drag.Start();
    for (const TPoint& p : {TPoint{10, 20}, TPoint{60, 40}})
        for (const TRect& frame : drag.DragOver(p.X, p.Y).Invert) picture.Invert(frame);
    const std::optional<TRect> erase = drag.Drop();
    ASSERT_TRUE(erase);
    picture.Invert(*erase);
    EXPECT_EQ(picture.Shown(), 0);
    EXPECT_FALSE(drag.Dragging());
    EXPECT_FALSE(drag.Drop());

    drag.Start();
    drag.DragOver(10, 20);
    drag.DragOver(60, 40);
    drag.PictureChanged();
    EXPECT_FALSE(drag.Dragging());
    EXPECT_EQ(drag.End().Erase, std::nullopt);

    // a button down on the picture starts no drag after either
    for (const bool command : {true, false}) {
        drag.SetPending(true);
        command ? void(drag.Drop()) : drag.PictureChanged();
        EXPECT_FALSE(drag.Pending());
    }
}

}  // namespace
}  // namespace tavelix::ui
