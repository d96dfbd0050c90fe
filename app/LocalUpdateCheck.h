#pragma once

#include <QString>

// At start, before the login window: offers a downloaded installer that is newer than the
// running version. UpdateDownload leaves the installer and the version reply in the update folder.
class LocalUpdateCheck {
public:
    static constexpr const char* kDeclined = "dont_update";

    // Empty (nothing to run), "dont_update" (declined), or the installer's path.
    static QString Run();
    // Makes the accepted installer runnable and starts it on its own; false when it did not start.
    static bool StartInstaller(const QString& path);

    // Whether `latest` is a dotted version above `running`, compared number by number
    // ("2.0.18" is above "2.0.9"); anything that is not a dotted version is not newer.
    static bool IsNewer(const QString& latest, const QString& running);
    // Against the running version.
    static bool IsNewer(const QString& latest);

    // "update.exe" and "update.json" in the update folder; the marker "nu" in the tools folder
    // turns the offer off while it exists.
    static QString InstallerPath();
    static QString ReplyPath();
    static QString MarkerPath();
};
