#pragma once

#include <QString>

// At start, before the login window: offers a downloaded installer that is newer than the
// running version. UpdateDownload leaves the installer and the version reply in the update folder
// (UpdateFiles).
class LocalUpdateCheck {
public:
    static constexpr const char* kDeclined = "dont_update";

    // Empty (nothing to run), "dont_update" (declined), or the installer's path.
    static QString Run();
    // Makes the accepted installer runnable and starts it on its own; false when it did not start.
    static bool StartInstaller(const QString& path);
};
