#include "sim/store/ReminderStore.h"

#include "sim/store/SimDb.h"

int ReminderStore::Num(int64_t user, int remind_id) {
    auto lock = db_.Lock();
    SimStatement query =
        db_.Prepare("SELECT num FROM num_update WHERE user_id = :user AND remind_id = :remind");
    query.Bind(":user", user).Bind(":remind", remind_id);
    return query.Next() ? static_cast<int>(query.Int(0)) : 0;
}

int64_t ReminderStore::SetNum(int64_t user, int remind_id, int num) {
    auto lock = db_.Lock();
    db_.Prepare("REPLACE INTO num_update (user_id, remind_id, num) VALUES (:user, :remind, :num)")
        .Bind(":user", user)
        .Bind(":remind", remind_id)
        .Bind(":num", num)
        .Run();
    db_.Prepare("INSERT INTO num_logs (user_id, remind_id, num) VALUES (:user, :remind, :num)")
        .Bind(":user", user)
        .Bind(":remind", remind_id)
        .Bind(":num", num)
        .Run();
    return db_.LastInsertId();
}

std::vector<NumUpdateLog> ReminderStore::Updates(int64_t user, int64_t after, int limit) {
    auto lock = db_.Lock();
    SimStatement query = db_.Prepare(
        "SELECT log_id, remind_id, num FROM num_logs WHERE user_id = :user AND log_id > :after"
        " ORDER BY log_id LIMIT :limit");
    query.Bind(":user", user).Bind(":after", after).Bind(":limit", limit);
    std::vector<NumUpdateLog> logs;
    while (query.Next())
        logs.push_back(
            {query.Int(0), static_cast<int>(query.Int(1)), static_cast<int>(query.Int(2))});
    return logs;
}

void ReminderStore::AddBell(int64_t user, int64_t message_id) {
    auto lock = db_.Lock();
    db_.Prepare("INSERT INTO bell_logs (user_id, message_id) VALUES (:user, :message_id)")
        .Bind(":user", user)
        .Bind(":message_id", message_id)
        .Run();
}

std::vector<BellLog> ReminderStore::Bells(int64_t user, int64_t after, int limit) {
    auto lock = db_.Lock();
    SimStatement query = db_.Prepare(
        "SELECT bell_id, message_id FROM bell_logs WHERE user_id = :user AND bell_id > :after"
        " ORDER BY bell_id LIMIT :limit");
    query.Bind(":user", user).Bind(":after", after).Bind(":limit", limit);
    std::vector<BellLog> bells;
    while (query.Next())
        bells.push_back({query.Int(0), query.Int(1)});
    return bells;
}
