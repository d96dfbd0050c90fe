#pragma once

#include <QHash>
#include <QSet>
#include <QString>

#include "MsgSearchItemInfo.h"

// Conversations and contacts known locally whose name contains a query. Conversations come
// from the conversation list and the known groups; contacts are the people of the stored
// messages (the other side of one-to-one messages, the senders of group messages), read from
// message_all once and afterwards only from the rows stored since. Lives on one thread.
class SearchNames {
public:
    static constexpr int kMaxNames = 20;

    // Reads the contacts of the messages stored since the last call.
    void Refresh();
    // Conversations in list order, then contacts without a conversation, the latest first;
    // `typed` as SearchText::Query takes it.
    MsgSearchItemInfoPointers Find(const QString& typed);

    // The name a conversation goes by: a group's own name, else the conversation list's.
    static QString ConversationName(int other_id);

private:
    struct Contact {
        QString name;
        int last_id = 0;
    };

    MsgSearchItemInfoPointers FindConversations(const QString& query, QSet<int>* listed);
    MsgSearchItemInfoPointers FindContacts(const QString& query, const QSet<int>& listed);
    static MsgSearchItemInfo* NameItem(int kind, int other_id, const QString& name,
                                       const QString& query);
    static QHash<int, QString> GroupNames();

    QHash<int, Contact> contacts_;
    int read_to_id_ = 0;
};
