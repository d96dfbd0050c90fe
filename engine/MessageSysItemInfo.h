#pragma once

#include <QDateTime>
#include <QList>
#include <QMetaType>
#include <QString>

// One system-message category with its latest text and unread number.
struct MessageSysItemInfo {
    int remind_id = 0;
    QString other_name;
    QString content;
    QDateTime send_date;
    int number = 0;
    int message_id = 0;
};

// Heap records; the receiver of a list owns them.
typedef QList<MessageSysItemInfo*> MessageSysItemInfoPointers;
Q_DECLARE_METATYPE(MessageSysItemInfoPointers)
