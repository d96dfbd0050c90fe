#pragma once

#include <QPixmap>
#include <QString>

class QScreen;

// Reads what a screen shows, for the screenshot overlay.
class ScreenGrab {
public:
    // The whole of `screen`; false with a reason for the user where the desktop does not let
    // programs read the screen (a Wayland session gives nothing or a black picture).
    static bool Grab(QScreen* screen, QPixmap* shot, QString* why);
    static bool IsAllBlack(const QImage& image);
};
