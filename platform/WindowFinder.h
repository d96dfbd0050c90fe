#pragma once

#include <QRect>
#include <QWindow>
#include <memory>

// Finds the window under the cursor for the screenshot overlay, which must not find itself.
// Points and rectangles are in device pixels of the whole desktop.
class WindowFinder {
public:
    virtual ~WindowFinder() = default;

    // The rectangle of the deepest visible window at `cursor`, skipping `overlay` and its
    // children; over no window, the desktop's. False where windows cannot be seen.
    virtual bool WindowAt(const QPoint& cursor, WId overlay, QRect* rect) = 0;
    // Puts `overlay` above every other window.
    virtual void RaiseOverlay(WId overlay) = 0;

    // The finder of the running platform; one that finds nothing where no window system can be
    // asked (offscreen, Wayland).
    static std::unique_ptr<WindowFinder> Create();
};
