#pragma once

#include "sim/store/FileStore.h"
#include "sim/store/MessageStore.h"
#include "sim/store/ReminderStore.h"

#include <functional>
#include <string>
#include <vector>

class DemoData;
class PollHub;
class SimDb;

// One message to post; `to` is a user id or a negated group id. Files carry their bytes.
struct PostRequest {
    int64_t from = 0, to = 0;
    int msg_type = 1;
    std::string content, file_name, file_data;
    // Audio length in seconds; -1 reads it from a WAV file.
    int seconds = -1;
    int64_t client_message_id = 0;
    std::string client_code;
    // 0: now.
    int64_t time = 0;
    // Seeded history that the receivers have read already.
    bool read = false;
};

struct PostResult {
    bool ok = false;
    std::string error;
    int64_t message_id = 0;
};

// The messaging rules: fan-out to the receivers' inboxes, reminders with their unread numbers,
// and receipts turned into status logs. Every change wakes the long polls of those it concerns.
class Messenger {
public:
    using Listener = std::function<void(int64_t recipient, const StoredMessage& message)>;

    Messenger(const DemoData& demo, SimDb& db, PollHub& hub);

    PostResult Post(const PostRequest& request);
    PostResult Remind(int64_t user, int remind_id, const std::string& text, const std::string& url,
                      int64_t time, bool unread);
    bool SetUnread(int64_t user, int remind_id, int num);
    // State 1 marks delivery, 2 reading (with status logs); returns how many messages changed.
    int Receipt(int64_t reader, const std::vector<int64_t>& message_ids, int state);

    // Called for every receiver of a new chat message, after it is stored.
    void SetListener(Listener listener) { listener_ = std::move(listener); }

    MessageStore& Messages() { return messages_; }
    FileStore& Files() { return files_; }
    ReminderStore& Reminders() { return reminders_; }

private:
    std::string CheckTarget(const PostRequest& request) const;
    std::string AttachmentUrl(const PostRequest& request);
    std::vector<int64_t> Receivers(int64_t from, int64_t to) const;
    void MarkRead(int64_t reader, const StoredMessage& message, std::vector<int>* categories);

    const DemoData& demo_;
    SimDb& db_;
    PollHub& hub_;
    MessageStore messages_;
    FileStore files_;
    ReminderStore reminders_;
    Listener listener_;
};
