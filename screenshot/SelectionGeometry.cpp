#include "SelectionGeometry.h"

#include <QtGlobal>

namespace {

// -1, 0 or 1: before the first `edge` pixels of `length`, between, or in the last ones.
int Band(int position, int length, int edge) {
    if (position < edge)
        return -1;
    return position >= length - edge ? 1 : 0;
}

}  // namespace

SelectionGeometry::Region SelectionGeometry::RegionAt(const QSize& size, const QPoint& point,
                                                      int edge) {
    const int width_edge = qMin(edge, size.width() / 3);
    const int height_edge = qMin(edge, size.height() / 3);
    const int column = Band(point.x(), size.width(), width_edge);
    const int row = Band(point.y(), size.height(), height_edge);
    static const Region kRegions[3][3] = {{kTopLeft, kTop, kTopRight},
                                          {kLeft, kInside, kRight},
                                          {kBottomLeft, kBottom, kBottomRight}};
    return kRegions[row + 1][column + 1];
}

Qt::CursorShape SelectionGeometry::CursorFor(Region region) {
    switch (region) {
        case kTopLeft:
        case kBottomRight:
            return Qt::SizeFDiagCursor;
        case kTopRight:
        case kBottomLeft:
            return Qt::SizeBDiagCursor;
        case kLeft:
        case kRight:
            return Qt::SizeHorCursor;
        case kTop:
        case kBottom:
            return Qt::SizeVerCursor;
        case kInside:
            break;
    }
    return Qt::SizeAllCursor;
}

QRect SelectionGeometry::Resized(const QRect& start, Region region, const QPoint& cursor) {
    QPoint anchor;
    QPoint moving = cursor;
    switch (region) {
        case kTopLeft:
            anchor = start.bottomRight();
            break;
        case kTopRight:
            anchor = start.bottomLeft();
            break;
        case kBottomLeft:
            anchor = start.topRight();
            break;
        case kBottomRight:
            anchor = start.topLeft();
            break;
        case kLeft:
            anchor = start.bottomRight();
            moving.setY(start.top());
            break;
        case kTop:
            anchor = start.bottomRight();
            moving.setX(start.left());
            break;
        case kRight:
            anchor = start.topLeft();
            moving.setY(start.bottom());
            break;
        case kBottom:
            anchor = start.topLeft();
            moving.setX(start.right());
            break;
        case kInside:
            return start;
    }
    return QRect(anchor, moving).normalized();
}
