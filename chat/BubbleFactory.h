#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include "Bubble.h"

struct MessageItemInfo;

// Makes the bubbles of a conversation page: from stored records, for messages sent from the
// page, and the day separators between them.
class BubbleFactory {
public:
    // Where the record's attachment lies: the file a message sent here was sent from, or the
    // downloaded copy in the message folder.
    static QString LocalPathFor(const MessageItemInfo& record);
    // "HH:mm:ss" for a day that is `today`, "yyyy/M/d HH:mm:ss" otherwise.
    static QString SeparatorText(const QDateTime& date, const QDate& today);
    static bool SameDay(const QDateTime& a, const QDateTime& b);

    static Bubble FromRecord(const MessageItemInfo& record, bool group);
    static Bubble Separator(const QDateTime& date);
    // One's own bubble for a message sent from the page, before it is stored.
    static Bubble Own(const QString& content, int msg_type, bool group);
};
