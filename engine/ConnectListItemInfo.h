#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>

// One entry of the recent-conversation list (a row of message_list).
struct ConnectListItemInfo {
    int id = 0;
    QString content;
    int other_id = 0;
    QString other_name;
    int send_or_receive = 0;
    QDateTime send_date;
    int msg_type = 0;
    int number = 0;
    int message_order = 0;
    bool selected = false;
};

// Heap records; the receiver of a list owns them.
typedef QList<ConnectListItemInfo*> ConnectListItemInfoPointers;
Q_DECLARE_METATYPE(ConnectListItemInfoPointers)
