#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include "MessageRecord.h"

// The records of one "Message_GetByMaxID2" reply, as read by PollReplyReader.
struct PollReply {
    // One element of "Velta.NumUpdate".
    struct NumUpdate {
        int remind_id = 0;
        QString remind_name;
        int num = 0;
        int iscount = 0;
    };

    // One element of "Velta.ML".
    struct StatusLog {
        int message_id = 0;
        int message_log_id = 0;
        int send_id = 0;
        int send_id2 = 0;
        int receive_id = 0;
        int from_stat = 0;
        int to_stat = 0;
        int log_type = 0;
        QDateTime log_date;
    };

    QList<MessageRecord> messages;
    QList<NumUpdate> num_updates;
    QList<StatusLog> status_logs;
    QList<int> bell_log_ids;
    // -1 when the reply carries no "Velta.MaxNumUpdateLog_ID".
    int max_num_update_log_id = -1;

    // Nothing to store: the poll ran out of time without news.
    bool IsEmpty() const {
        return messages.isEmpty() && num_updates.isEmpty() && status_logs.isEmpty() &&
               bell_log_ids.isEmpty();
    }
};
