#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The full-text index of msg.db: an FTS5 table with the trigram tokenizer over a view of
// message_all, so every substring of three characters or more is found through the index. Each
// message is indexed by its text, an attachment by its file name; system messages are left out.
//
// message_search_state holds the range of row ids the index holds, (indexed_above,
// indexed_upto], and whether the index has been merged since it was built:
// - rows stored from now on are added by CatchUp, which the stores call last in the transaction
//   that stored them (FTS5 writes out its pending rows at every statement savepoint, so one
//   statement per transaction instead of a trigger per row);
// - triggers on message_all take the rows of that range along when their text or file name
//   changes or they are deleted, inside the statement that does it;
// - rows stored before the index existed are indexed newest first by BuildStep, and the index
//   is merged by MergeStep, both in short steps (SearchIndexBuilder).
//
// The table has detail=none: it keeps only which rows hold a trigram, a fraction of the full
// index, and substring queries (LIKE) are checked against the text itself.
class SearchIndex {
public:
    // Bumped whenever what is indexed changes: an index of another version is built anew.
    static constexpr int kVersion = 1;

    // Creates the index, its view, triggers and state when missing (or of another version),
    // in one transaction; the rows stored so far wait for BuildStep. False when SQLite cannot
    // make the table (no FTS5 or trigram tokenizer): searches then read message_all.
    static bool Install();
    // Drops everything Install made.
    static bool Remove();

    struct Range {
        int above = -1;  // -1: no index
        int upto = -1;
        bool IsValid() const { return above >= 0; }
    };
    static Range Indexed();
    // Rows with an id above this are in the index (up to Indexed().upto); -1 without an index.
    static int IndexedAbove() { return Indexed().above; }

    // Adds the rows stored since the last call; inside the caller's transaction when one is
    // open. True when there is no index.
    static bool CatchUp();
    // Indexes up to `max_rows` of the newest rows not indexed yet, in one transaction with the
    // mark (inside the caller's, when one is open). The new mark, or -1 on failure.
    static int BuildStep(int max_rows);
    // After the build: merges the index's pieces, up to `pages` pages of it. A freshly built
    // index is in many pieces that FTS5 would otherwise merge bit by bit in the commits of the
    // next poll replies. 1 while there is more to merge, 0 when merged, -1 on failure.
    static int MergeStep(int pages);
    static bool IsMerged();

    // The text indexed for a message_all row, as SQL over the columns of `row` ("old.", "m.").
    static QString BodyExpression(const QString& row);
    // Checks the index against message_all (FTS5 "integrity-check" with its content); only
    // meaningful once every row is indexed.
    static bool Verify();

    static QStringList CreateStatements();

private:
    static bool RunAll(const QStringList& statements);
    // Runs `work` in a transaction of its own (inside the caller's, when one is open).
    static bool InTransaction(const std::function<bool()>& work);
    static int InstalledVersion();
    static bool IndexRows(int above, int upto);
};
