#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <functional>

#include "MsgSearchItemInfo.h"

class QSqlQuery;

// Finds stored messages whose text or file name contains a query, newest first: through the
// search index for the rows it holds when the query has three characters in a row without a
// wildcard, otherwise (and for rows the index does not hold yet) by reading message_all in
// pieces, at most kScanBudget rows per call. The query is always a bound value and matched
// as plain text. Runs on the calling thread's connection.
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
    struct Scan {
        int top = 0;  // ids below this are read
        int wanted = 0;
        int budget = kScanBudget;
    };

    static void FindIndexed(const QString& query, int floor, int before,
                            MsgSearchItemInfoPointers* found);
    // Returns the id the scan stopped at (1 when it reached the oldest row).
    static int FindScanned(const QString& query, const Scan& scan,
                           const std::function<bool()>& cancelled, bool* was_cancelled,
                           MsgSearchItemInfoPointers* found);
    static void ReadHits(QSqlQuery* sql, const QString& query, MsgSearchItemInfoPointers* found);
    static MsgSearchItemInfoPointers Grouped(const MsgSearchItemInfoPointers& items);
    static void NameConversations(const MsgSearchItemInfoPointers& items);
};
