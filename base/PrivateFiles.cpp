#include "PrivateFiles.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace {

const QFile::Permissions kFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
const QFile::Permissions kFile = QFile::ReadOwner | QFile::WriteOwner;

// The private files a folder may hold, looked up by name: attachment folders hold thousands of
// files that need not be listed.
void PrivateFilesIn(const QString& folder) {
    PrivateFiles::File(folder + QStringLiteral("/cfg.ini"));
    PrivateFiles::Database(folder + QStringLiteral("/msg.db"));
}

}  // namespace

void PrivateFiles::Folder(const QString& path) {
    QFile::setPermissions(path, kFolder);
}

void PrivateFiles::File(const QString& path) {
    if (QFileInfo::exists(path))
        QFile::setPermissions(path, kFile);
}

void PrivateFiles::Database(const QString& db_path) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        File(db_path + QLatin1String(suffix));
}

void PrivateFiles::Tree(const QString& root) {
    if (root.isEmpty() || !QFileInfo(root).isDir())
        return;
    Folder(root);
    PrivateFilesIn(root);
    QDirIterator folders(root, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
                         QDirIterator::Subdirectories);
    while (folders.hasNext()) {
        const QString folder = folders.next();
        Folder(folder);
        PrivateFilesIn(folder);
    }
}

bool PrivateFiles::MakeFolder(const QString& path) {
    // The folders that are missing, outermost first.
    QStringList missing;
    for (QString folder = QDir::cleanPath(path); !folder.isEmpty() && !QFileInfo::exists(folder);
         folder = QFileInfo(folder).path()) {
        missing.prepend(folder);
        if (folder == QFileInfo(folder).path())
            break;
    }
    if (!QDir().mkpath(path))
        return false;
    for (const QString& folder : missing)
        Folder(folder);
    return true;
}
