#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QString>

// Looks at an existing msg.db before it is used. A file SQLite does not take for a database,
// one that fails its quick check, or one whose tables cannot be read is damaged: it is moved
// aside, never deleted, and a new one is made.
class MsgDbCheck {
public:
    enum class State {
        kHealthy,
        kDamaged,
        // The check itself could not run (no permission, a locked or full disk): the file is
        // left alone.
        kUnknown,
    };

    // Opens the file read only on a connection of its own, closed again before returning.
    static State Check(const QString& db_path);
    // Moves the file with its -wal, -shm and -journal files to a dated name in its folder;
    // the new path of the database file, or empty when it could not be moved.
    static QString MoveAside(const QString& db_path, const QDateTime& when);
    // "msg-damaged-20240506-081011.db" beside db_path; "-2", "-3" ... when that is taken.
    static QString AsideName(const QString& db_path, const QDateTime& when);

private:
    static State Examine(QSqlDatabase& db);
};
