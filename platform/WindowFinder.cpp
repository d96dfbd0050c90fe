#include "WindowFinder.h"

#include <QGuiApplication>

#ifdef Q_OS_WIN
#include "WindowFinderWin_win.h"
#else
#include "WindowFinderX11.h"
#endif

namespace {

class NoWindowFinder : public WindowFinder {
public:
    bool WindowAt(const QPoint&, WId, QRect*) override { return false; }
    void RaiseOverlay(WId) override {}
};

}  // namespace

std::unique_ptr<WindowFinder> WindowFinder::Create() {
#ifdef Q_OS_WIN
    return std::make_unique<WindowFinderWin>();
#else
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        auto finder = std::make_unique<WindowFinderX11>();
        if (finder->IsConnected())
            return finder;
    }
    return std::make_unique<NoWindowFinder>();
#endif
}
