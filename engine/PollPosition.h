#pragma once

#include <QList>

// The four ids a poll asks to continue from.
struct PollPosition {
    int max_message_id = 0;
    int max_message_log_id = 0;
    int max_bell_log_id = 0;
    int max_num_update_log_id = 0;

    QList<int> ToList() const {
        return {max_message_id, max_message_log_id, max_bell_log_id, max_num_update_log_id};
    }
};
