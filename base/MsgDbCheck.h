#pragma once

#include <QDateTime>
#include <QString>

#include <atomic>

struct sqlite3;

// Looks at an existing msg.db before it is used. A file SQLite does not take for a database, one
// shorter than its header says, one that fails its quick check, or one whose tables cannot be
// read is damaged: it is moved aside, never deleted, and a new one is made.
//
// Reading every page of a large history takes a noticeable part of a second, so a login reads
// them all only when the last session did not close the file (its log is still there) or a
// check during a session found damage; otherwise it looks at the header and the tables, and the
// whole file is read in the background after the login (BackgroundDbCheck).
class MsgDbCheck {
public:
    enum class Depth {
        // The header, the size it gives and the tables.
        kShallow,
        // Also SQLite's quick check of every page.
        kFull,
    };
    enum class State {
        kHealthy,
        kDamaged,
        // The check itself could not run (no permission, a locked or full disk): the file is
        // left alone.
        kUnknown,
    };

    // Opens the file read only on a connection of its own, closed again before returning. A
    // check told to stop ends early as kUnknown.
    static State Check(const QString& db_path, Depth depth = Depth::kFull,
                       const std::atomic<bool>* stop = nullptr);
    // The depth a login needs: kFull after an unclean end or a damage found in the background.
    static Depth DepthForLogin(const QString& db_path);
    // Remembers damage found while the file was in use, for the next login to act on.
    static void MarkDamaged(const QString& db_path);
    // The file beside db_path that MarkDamaged leaves.
    static QString DamageMark(const QString& db_path);
    // Moves the file with its -wal, -shm and -journal files to a dated name in its folder;
    // the new path of the database file, or empty when it could not be moved.
    static QString MoveAside(const QString& db_path, const QDateTime& when);
    // "msg-damaged-20240506-081011.db" beside db_path; "-2", "-3" ... when that is taken.
    static QString AsideName(const QString& db_path, const QDateTime& when);

private:
    static State Examine(sqlite3* db, Depth depth);
    static bool HeaderSound(const QString& db_path);
};
