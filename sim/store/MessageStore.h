#pragma once

#include <cstdint>
#include <string>
#include <vector>

class SimDb;

// A stored message; `receive_id` is a user id or a negated group id, `is_read` the state for
// the user it was read for (0 new, 1 delivered, 2 read).
struct StoredMessage {
    int64_t id = 0, send_id = 0, receive_id = 0;
    int remind_id = 0, msg_type = 1;
    std::string content, url;
    int64_t client_message_id = 0;
    std::string client_code;
    int64_t send_time = 0;
    int is_read = 0;
};

struct StatusLog {
    int64_t id = 0, message_id = 0, send_id = 0, send_id2 = 0, receive_id = 0;
    int from_stat = 1, to_stat = 2, log_type = 1;
    int64_t time = 0;
};

// Messages with one inbox row per user who sees them, and the status logs of read receipts.
// Callers hold the database lock around sequences that belong together.
class MessageStore {
public:
    explicit MessageStore(SimDb& db) : db_(db) {}

    int64_t Insert(const StoredMessage& message);
    void Deliver(int64_t user, int64_t message_id, int is_read);
    // The user's messages after `after`, oldest first.
    std::vector<StoredMessage> Feed(int64_t user, int64_t after, int limit);
    bool Find(int64_t message_id, StoredMessage* out);
    // The user's state of a message, -1 when it was never delivered to them.
    int ReadState(int64_t user, int64_t message_id);
    void SetReadState(int64_t user, int64_t message_id, int state);

    int64_t AddLog(const StatusLog& log, const std::vector<int64_t>& users);
    std::vector<StatusLog> Logs(int64_t user, int64_t after, int limit);

private:
    SimDb& db_;
};
