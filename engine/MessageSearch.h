#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <functional>

#include "MsgSearchItemInfo.h"

class QSqlQuery;

// Finds stored messages whose text or file name contains a query, newest first: through the
// search index for the rows it holds when the query has three characters in a row without a
// wildcard, otherwise (and for rows the index does not hold: not built yet, or just stored) by
// reading message_all in pieces, at most kScanBudget rows per call. The query is always a bound
// value and matched as plain text. Runs on the calling thread's connection.
class MessageSearch {
public:
    static constexpr int kPageSize = 50;
    static constexpr int kScanBudget = 100000;
    static constexpr int kScanPiece = 10000;

    struct Page {
        // Grouped by conversation: the conversation of the newest message first, each group
        // newest first.
        MsgSearchItemInfoPointers items;
        // There may be more below next_before_id: ask again with it as before_id.
        bool more = false;
        int next_before_id = 0;
        // Given up between two pieces because `cancelled` said so; items is empty.
        bool cancelled = false;
    };

    // Messages with an id below `before_id` (0: from the newest) containing the query (the
    // typed text, see SearchText::Query), at most kPageSize. `cancelled` is asked before every
    // piece read without the index.
    static Page Find(const QString& typed, int before_id = 0,
                     const std::function<bool()>& cancelled = std::function<bool()>());

private:
    // One search as it goes: what it found and how much it may still read without the index.
    struct Reading {
        QString query;
        std::function<bool()> cancelled;
        int wanted = kPageSize + 1;
        int budget = kScanBudget;
        bool was_cancelled = false;
        MsgSearchItemInfoPointers found;

        bool Done() const { return found.size() >= wanted || was_cancelled; }
    };

    // Reads the rows below before_id; returns the id it read down to (1: to the oldest).
    static int Read(Reading* reading, int before_id);
    static Page PageOf(Reading* reading, int reached);
    // Rows with ids in (above, top) through the index.
    static void FindIndexed(Reading* reading, int above, int top);
    // Rows with ids in [floor, top) read in pieces, newest first, within the budget. Returns
    // the id it read down to: floor when it got there.
    static int FindScanned(Reading* reading, int floor, int top);
    static void ReadHits(QSqlQuery* sql, const QString& query, MsgSearchItemInfoPointers* found);
    static MsgSearchItemInfoPointers Grouped(const MsgSearchItemInfoPointers& items);
    static void NameConversations(const MsgSearchItemInfoPointers& items);
};
