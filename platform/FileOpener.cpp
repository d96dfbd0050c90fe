#include "FileOpener.h"

#include <QDebug>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

FileOpener::UrlHandler g_handler;

// Suffixes the desktop (or Windows) would start rather than show, compared in lower case.
const QSet<QString>& RunnableSuffixes() {
    static const QSet<QString> suffixes = {
        "sh",       "bash",    "zsh",  "csh",  "ksh", "fish", "run", "bin",        "desktop",
        "appimage", "exe",     "com",  "bat",  "cmd", "msi",  "msp", "scr",        "pif",
        "cpl",      "lnk",     "url",  "reg",  "vbs", "vbe",  "js",  "jse",        "wsf",
        "wsh",      "hta",     "ps1",  "psm1", "jar", "py",   "pyw", "pl",         "rb",
        "php",      "command", "tool", "app",  "deb", "rpm",  "apk", "flatpakref", "snap"};
    return suffixes;
}

// ELF and PE programs and "#!" scripts, whatever their name.
bool StartsLikeAProgram(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4);
    return head.startsWith(
               "\x7f"
               "ELF") ||
           head.startsWith("MZ") || head.startsWith("#!");
}

bool HandUrl(const QUrl& url) {
    if (g_handler)
        return g_handler(url);
    return QDesktopServices::openUrl(url);
}

}  // namespace

bool FileOpener::MayRun(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir())
        return false;
    // A link is judged by its own name and by what it points at.
    const QFileInfo target(info.canonicalFilePath());
    for (const QFileInfo& each : {info, target}) {
        if (RunnableSuffixes().contains(each.suffix().toLower()))
            return true;
    }
    return info.isExecutable() || StartsLikeAProgram(path);
}

FileOpener::Result FileOpener::Open(const QString& path) {
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists())
        return Result::kMissing;
    if (MayRun(path)) {
        qDebug().noquote() << "FileOpener: not started, its folder is opened:" << path;
        return HandUrl(QUrl::fromLocalFile(info.absolutePath())) ? Result::kFolderOpened
                                                                 : Result::kRefused;
    }
    return HandUrl(QUrl::fromLocalFile(info.absoluteFilePath())) ? Result::kOpened
                                                                 : Result::kRefused;
}

void FileOpener::SetUrlHandler(UrlHandler handler) {
    g_handler = std::move(handler);
}
