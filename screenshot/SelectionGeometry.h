#pragma once

#include <QPoint>
#include <QRect>
#include <Qt>

// The nine regions of a selection (four corners, four sides, the inside) and what dragging
// each of them does to it.
class SelectionGeometry {
public:
    enum Region {
        kInside,
        kTopLeft,
        kTop,
        kTopRight,
        kRight,
        kBottomRight,
        kBottom,
        kBottomLeft,
        kLeft,
    };

    // The region of `point` in a selection of `size`, in the selection's own coordinates;
    // sides are `edge` pixels wide, narrower on a small selection so its inside stays movable.
    static Region RegionAt(const QSize& size, const QPoint& point, int edge);
    static Qt::CursorShape CursorFor(Region region);
    // `start` with `region` dragged to `cursor`: spanned between the cursor and the opposite
    // corner (for a side, the opposite side, keeping the other dimension). Dragging past the
    // opposite corner or side flips the rectangle.
    static QRect Resized(const QRect& start, Region region, const QPoint& cursor);
};
