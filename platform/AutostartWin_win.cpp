#include "AutostartWin_win.h"

#include <windows.h>

#include <QSettings>

namespace {
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
}

bool AutostartWin::IsWow64() {
    auto fn = reinterpret_cast<IsWow64ProcessFn>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "IsWow64Process"));
    BOOL wow64 = FALSE;
    if (!fn || !fn(GetCurrentProcess(), &wow64))
        return false;
    return wow64 != FALSE;
}

void AutostartWin::Register(const QString& app_folder) {
    const QString key =
        IsWow64() ? QStringLiteral(
                        "HKEY_LOCAL_"
                        "MACHINE\\SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run")
                  : QStringLiteral(
                        "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    QSettings settings(key, QSettings::NativeFormat);
    QString value = QStringLiteral("\"%1osprey.exe\"").arg(app_folder);
    value.replace(QLatin1Char('/'), QLatin1Char('\\'));
    settings.setValue(QStringLiteral("CORALBRIDGE"), value);
}
