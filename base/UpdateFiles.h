#pragma once

#include <QString>

// The files of an update: what the main window's download leaves in the update folder and the
// start-up check offers, and how versions compare. No widgets: the download runs on a worker
// thread.
class UpdateFiles {
public:
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
