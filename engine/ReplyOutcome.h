#pragma once

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariantMap>

// What storing one poll reply changed, for the signals that follow it.
struct ReplyOutcome {
    // Part of the reply (or all of it) could not be written; the poll position stays before it.
    bool store_failed = false;
    bool list_changed = false;
    // The system entry of the conversation list changed.
    bool sys_changed = false;
    QList<int> new_other_ids;
    // other_id -> the rows a short reply added to that conversation's messages, as stored (with
    // their "id"), in order.
    QMap<int, QList<QVariantMap>> new_rows;
    QList<int> received_ids;
    // (msg_type, url) of attachments to fetch at once.
    QList<QPair<int, QString>> downloads;
    QStringList avatars;
    // (other_id, message_id) of own messages the other side has read.
    QList<QPair<int, int>> read_marks;
    // Categories of the reply's system messages, latest message last.
    QList<int> sys_remind_ids;
};
