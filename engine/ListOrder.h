#pragma once

#include <QHash>
#include <QVector>

// The positions (message_order) of the conversation list while one poll reply is stored.
// Moving a conversation to the top moves every row above it down one place; done with one
// statement per message that rewrites most of the list each time. Here the moves are applied in
// memory and each row whose position changed is written once, by Flush.
class ListOrder {
public:
    struct Snapshot {
        QVector<int> ids;
        QVector<int> orders;
        QVector<int> stored;
    };

    bool Load();
    // -1 for a row not in the list.
    int OrderOf(int row_id) const;
    // "message_order = message_order+1 WHERE message_order < order".
    void MoveRowsAbove(int order);
    // "message_order = message_order+1" for every row.
    void MoveAllRows();
    // The row was just written with message_order 0.
    void WrittenOnTop(int row_id);
    // Writes the positions that differ from the table.
    bool Flush();

    Snapshot Save() const { return {ids_, orders_, stored_}; }
    void Restore(const Snapshot& snapshot);

private:
    void Reindex();

    QVector<int> ids_;
    QVector<int> orders_;
    // What the table holds now.
    QVector<int> stored_;
    QHash<int, int> index_;
};
