#pragma once

#include <QString>
#include <QUrl>
#include <functional>

// Hands a local file to the desktop's default application and never runs it: for a program or
// a script the folder holding it is opened instead. Usable from any thread of the program.
class FileOpener {
public:
    enum class Result { kOpened, kFolderOpened, kMissing, kRefused };
    // Does what the desktop would do with a local-file URL; true when it took it.
    using UrlHandler = std::function<bool(const QUrl& url)>;

    static Result Open(const QString& path);
    // True for what the desktop might start instead of showing: the executable bit, a suffix of
    // a program, script or launcher, or the first bytes of a program or script.
    static bool MayRun(const QString& path);
    // Tests replace the desktop before any thread opens files; nullptr restores it.
    static void SetUrlHandler(UrlHandler handler);
};
