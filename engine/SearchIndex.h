#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The full-text index of msg.db: an FTS5 table with the trigram tokenizer over a view of
// message_all, so every substring of three characters or more is found through the index. Each
// message is indexed by its text, an attachment by its file name; system messages are left out.
//
// Triggers on message_all keep the index in step inside the statement that changes a row, so
// inserts, the rewrite of a sent message and the delete of a re-sent one commit or roll back
// with it. Rows that existed before the index are indexed afterwards, newest first, in steps:
// message_search_state holds the mark below which rows are not indexed yet.
//
// The table has detail=none: it keeps only which rows hold a trigram, a fraction of the full
// index, and substring queries (LIKE) are checked against the text itself.
class SearchIndex {
public:
    // Bumped whenever what is indexed changes: an index of another version is built anew.
    static constexpr int kVersion = 1;

    // Creates the index, its view, triggers and state when missing (or of another version),
    // in one transaction; the rows stored so far wait for BuildStep. False when SQLite cannot
    // make the table (no FTS5 or trigram tokenizer): searches then scan message_all.
    static bool Install();
    // Drops everything Install made.
    static bool Remove();

    // Rows with an id above this are in the index; 0 when all are. -1 without an index.
    static int IndexedAbove();
    static bool IsComplete() { return IndexedAbove() == 0; }

    // Indexes up to `max_rows` of the newest rows not indexed yet, in one transaction with the
    // mark (inside the caller's, when one is open). The new mark, or -1 on failure.
    static int BuildStep(int max_rows);

    // The text indexed for a message_all row, as SQL over the columns of `row` ("new.", "m.").
    static QString BodyExpression(const QString& row);
    // Checks the index against message_all (FTS5 "integrity-check" with its content).
    static bool Verify();

    static QStringList CreateStatements();

private:
    static bool RunAll(const QStringList& statements);
    // Runs `work` in a transaction of its own (inside the caller's, when one is open).
    static bool InTransaction(const std::function<bool()>& work);
    static int InstalledVersion();
};
