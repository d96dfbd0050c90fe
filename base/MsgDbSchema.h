#pragma once

#include <QStringList>

// The tables of msg.db and the indexes of the lookups the engine runs.
class MsgDbSchema {
public:
    // The six creation statements, run in order once, when msg.db does not exist yet.
    static QStringList CreateStatements();
    // "CREATE INDEX IF NOT EXISTS" statements, run on new and existing files alike.
    static QStringList IndexStatements();
    // One statement per table naming every column the program reads; each prepares only on a
    // file whose tables are all there.
    static QStringList ReadStatements();

    // Runs the creation statements; false at the first that fails.
    static bool Create();
    // Runs the index statements; false at the first that fails.
    static bool EnsureIndexes();
};
