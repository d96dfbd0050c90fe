#pragma once

#include <QString>

// Process-wide values set once at start-up, before any worker thread exists.
class AppInfo {
public:
    static QString Version() { return QStringLiteral("2.0.18"); }
    // Name of the installed desktop entry, the AppStream id and the icon's theme name.
    static constexpr const char* kDesktopId = "org.coralbridge.Coralbridge";

    // Folder of the program: its working directory, with a trailing "/".
    static QString AppPath();
    static QString ToolsPath();
    static QString TmpPath();
    static void SetAppPath(const QString& app_path);

    // "host:port" of the vendor web host, compiled in; tests point it at their own server.
    static QString VendorHost();
    static void SetVendorHost(const QString& host);
};
