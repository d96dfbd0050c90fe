#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>

// One stored chat message as a conversation page shows it.
struct MessageItemInfo {
    int id = 0;
    int other_id = 0;
    int other_id2 = 0;
    QString other_name;
    QString group_name;
    int msg_type = 0;
    QString content;
    QDateTime send_date;
    QString url;
    QString file_name;
    int send_or_receive = 0;
    int message_id = 0;
    int is_read = 0;
    int is_send = 0;
    int client_message_id = 0;
};

// Heap records; the receiver of a list owns them.
typedef QList<MessageItemInfo*> MessageItemInfoPointers;
Q_DECLARE_METATYPE(MessageItemInfoPointers)
