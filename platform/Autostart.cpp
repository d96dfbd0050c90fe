#include "Autostart.h"

#ifdef Q_OS_WIN
#include "AutostartWin_win.h"
#else
#include "AutostartXdg.h"
#endif

std::unique_ptr<Autostart> Autostart::Create() {
#ifdef Q_OS_WIN
    return std::make_unique<AutostartWin>();
#else
    return std::make_unique<AutostartXdg>();
#endif
}
