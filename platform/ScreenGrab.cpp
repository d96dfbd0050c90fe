#include "ScreenGrab.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

namespace {

const char kNoAccess[] =
    "当前桌面不允许程序读取屏幕内容（Wayland 会话），无法截图。\n"
    "请在 X11 会话中使用截图，或用系统自带的截图工具截图后粘贴到输入框。";

bool IsWaylandSession() {
    return qgetenv("XDG_SESSION_TYPE") == "wayland" || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

}  // namespace

bool ScreenGrab::Grab(QScreen* screen, QPixmap* shot, QString* why) {
    *why = QString::fromUtf8(kNoAccess);
    if (!screen || QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
        return false;
    *shot = screen->grabWindow(0);
    if (shot->isNull())
        return false;
    // Through XWayland the root window reads as black.
    if (IsWaylandSession() && IsAllBlack(shot->toImage()))
        return false;
    why->clear();
    return true;
}

bool ScreenGrab::IsAllBlack(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            if (qGray(line[x]) != 0)
                return false;
        }
    }
    return true;
}
