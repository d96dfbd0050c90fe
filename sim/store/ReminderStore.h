#pragma once

#include <cstdint>
#include <vector>

class SimDb;

struct NumUpdateLog {
    int64_t id = 0;
    int remind_id = 0;
    int num = 0;
};

struct BellLog {
    int64_t id = 0, message_id = 0;
};

// Per-user unread numbers of the system categories, each change kept as a log the poll hands
// out once, and the bell logs of new reminders.
class ReminderStore {
public:
    explicit ReminderStore(SimDb& db) : db_(db) {}

    int Num(int64_t user, int remind_id);
    // Stores the new number and logs it; returns the log id.
    int64_t SetNum(int64_t user, int remind_id, int num);
    std::vector<NumUpdateLog> Updates(int64_t user, int64_t after, int limit);

    void AddBell(int64_t user, int64_t message_id);
    std::vector<BellLog> Bells(int64_t user, int64_t after, int limit);

private:
    SimDb& db_;
};
