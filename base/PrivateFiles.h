#pragma once

#include <QString>

// Keeps what the program stores per user readable by that user alone: folders 0700, the
// settings file (it may hold the remembered password) and the message database 0600.
class PrivateFiles {
public:
    static void Folder(const QString& path);
    // Only when the file exists.
    static void File(const QString& path);
    // The message database with its -wal, -shm and -journal files.
    static void Database(const QString& db_path);
    // `root` and every folder below it, and the settings file and message database in each;
    // brings what earlier versions made in line.
    static void Tree(const QString& root);
    // Creates the folder with its missing parents; the folders it made are private.
    static bool MakeFolder(const QString& path);
};
