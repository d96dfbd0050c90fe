#pragma once

#include <xcb/xcb.h>

#include "WindowFinder.h"

// X11: walks the window tree from the root, topmost child first, through a connection of its
// own to the display the program shows on.
class WindowFinderX11 : public WindowFinder {
public:
    WindowFinderX11();
    ~WindowFinderX11() override;

    bool IsConnected() const { return connection_ != nullptr; }
    bool WindowAt(const QPoint& cursor, WId overlay, QRect* rect) override;
    void RaiseOverlay(WId overlay) override;

private:
    struct Child {
        xcb_window_t window = XCB_NONE;
        QPoint origin;  // of its inside, in the parent's coordinates
        QSize size;
    };

    // The topmost viewable child of `parent` containing `point` (parent coordinates).
    bool ChildAt(xcb_window_t parent, const QPoint& point, xcb_window_t skip, Child* found);
    QVector<xcb_window_t> Children(xcb_window_t parent, xcb_window_t* grand_parent);
    // The child of the root that holds `window`: the window manager's frame, if there is one.
    xcb_window_t TopLevelOf(xcb_window_t window);
    bool RootRect(QRect* rect);

    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_NONE;
};
