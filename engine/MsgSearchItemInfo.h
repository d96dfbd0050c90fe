#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QPair>
#include <QString>

// One search result: a stored message, or a conversation or contact whose name matched.
struct MsgSearchItemInfo {
    enum Kind { kMessage = 0, kConversation = 1, kContact = 2 };

    int kind = kMessage;
    // The conversation (message, conversation), or the contact's user id, which is the id of a
    // one-to-one conversation with them.
    int other_id = 0;
    // The conversation's name (a group's own name for groups), or the contact's name.
    QString other_name;
    // Message: its message_all row id, where the conversation opens.
    int id = 0;
    // Message: when it was sent; conversation: its latest message.
    QDateTime send_date;
    int msg_type = 0;
    int send_or_receive = 0;
    // Message: who wrote it.
    QString sender_name;
    // Plain text to show, never markup: an excerpt of the message's text or file name, or the
    // name that matched.
    QString text;
    // Where the query occurs in `text`: start and length in QString positions.
    QList<QPair<int, int>> matches;
};

// Heap records; the receiver of a list owns them.
typedef QList<MsgSearchItemInfo*> MsgSearchItemInfoPointers;
Q_DECLARE_METATYPE(MsgSearchItemInfoPointers)
