#include "WindowFinderWin_win.h"

#include <windows.h>

namespace {

bool DeepestAt(const POINT& cursor, QRect* rect) {
    HWND window =
        ChildWindowFromPointEx(GetDesktopWindow(), cursor, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
    if (!window)
        return false;
    for (;;) {
        POINT client = cursor;
        ScreenToClient(window, &client);
        HWND child = ChildWindowFromPointEx(window, client, CWP_SKIPINVISIBLE);
        if (!child || child == window)
            break;
        window = child;
    }
    RECT r;
    if (!GetWindowRect(window, &r))
        return false;
    *rect = QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
    return true;
}

}  // namespace

bool WindowFinderWin::WindowAt(const QPoint&, WId overlay, QRect* rect) {
    HWND self = reinterpret_cast<HWND>(overlay);
    EnableWindow(self, FALSE);
    POINT cursor;
    const bool found = GetCursorPos(&cursor) && DeepestAt(cursor, rect);
    EnableWindow(self, TRUE);
    return found;
}

void WindowFinderWin::RaiseOverlay(WId overlay) {
    SetWindowPos(reinterpret_cast<HWND>(overlay), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
}
