#pragma once

#include <QDateTime>
#include <QString>

// The values of one message_all row as the engine writes it: an element of "Velta.M" or a
// message written here.
struct MessageRecord {
    int user_id = 0;
    QString user_name;
    int unit_id = 0;
    int other_id = 0;
    int other_id2 = 0;
    QString other_name;
    int send_or_receive = 0;
    int is_send = 1;
    int message_id = 0;
    // "Send_ID" of a polled message; not a column.
    int send_id = 0;
    QString content;
    int client_message_id = 0;
    QDateTime send_date;
    int msg_type = 0;
    QString url;
    int is_read = 0;
    int is_del = 0;
    QString client_code;
};
