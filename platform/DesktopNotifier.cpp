#include "DesktopNotifier.h"

#ifndef Q_OS_WIN
#include "DesktopNotifierDbus.h"
#endif

std::unique_ptr<DesktopNotifier> DesktopNotifier::Create() {
#ifdef Q_OS_WIN
    // The tray's notice popup is the program's own way there.
    return nullptr;
#else
    return std::make_unique<DesktopNotifierDbus>();
#endif
}
