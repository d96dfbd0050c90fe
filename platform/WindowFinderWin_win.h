#pragma once

#include "WindowFinder.h"

// Windows: asks the window manager for the child window under the cursor, level by level, with
// the overlay disabled so that it is skipped.
class WindowFinderWin : public WindowFinder {
public:
    bool WindowAt(const QPoint& cursor, WId overlay, QRect* rect) override;
    void RaiseOverlay(WId overlay) override;
};
