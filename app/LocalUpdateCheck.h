#pragma once

#include <QString>

// At start, before the login window: offers a downloaded installer that is newer than the
// running version.
class LocalUpdateCheck {
public:
    static constexpr const char* kDeclined = "dont_update";

    // Empty (nothing to run), "dont_update" (declined), or the installer's path.
    static QString Run();
    // Whether `latest` is newer than the running version: a plain text comparison.
    static bool IsNewer(const QString& latest);
};
