#include "sim/store/MessageStore.h"

#include "sim/store/SimDb.h"

namespace {

const char kMessageColumns[] =
    "m.message_id, m.send_id, m.receive_id, m.remind_id, m.msg_type, m.content, m.url,"
    " m.client_message_id, m.client_code, m.send_time";

StoredMessage ReadMessage(const SimStatement& row) {
    StoredMessage m;
    m.id = row.Int(0);
    m.send_id = row.Int(1);
    m.receive_id = row.Int(2);
    m.remind_id = static_cast<int>(row.Int(3));
    m.msg_type = static_cast<int>(row.Int(4));
    m.content = row.Text(5);
    m.url = row.Text(6);
    m.client_message_id = row.Int(7);
    m.client_code = row.Text(8);
    m.send_time = row.Int(9);
    return m;
}

}  // namespace

int64_t MessageStore::Insert(const StoredMessage& m) {
    auto lock = db_.Lock();
    const bool ok =
        db_.Prepare(
               "INSERT INTO messages (send_id, receive_id, remind_id, msg_type, content,"
               " url, client_message_id, client_code, send_time) VALUES (:send_id,"
               " :receive_id, :remind_id, :msg_type, :content, :url,"
               " :client_message_id, :client_code, :send_time)")
            .Bind(":send_id", m.send_id)
            .Bind(":receive_id", m.receive_id)
            .Bind(":remind_id", m.remind_id)
            .Bind(":msg_type", m.msg_type)
            .Bind(":content", m.content)
            .Bind(":url", m.url)
            .Bind(":client_message_id", m.client_message_id)
            .Bind(":client_code", m.client_code)
            .Bind(":send_time", m.send_time)
            .Run();
    return ok ? db_.LastInsertId() : 0;
}

void MessageStore::Deliver(int64_t user, int64_t message_id, int is_read) {
    auto lock = db_.Lock();
    db_.Prepare(
           "INSERT OR IGNORE INTO inbox (user_id, message_id, is_read)"
           " VALUES (:user, :message_id, :is_read)")
        .Bind(":user", user)
        .Bind(":message_id", message_id)
        .Bind(":is_read", is_read)
        .Run();
}

std::vector<StoredMessage> MessageStore::Feed(int64_t user, int64_t after, int limit) {
    auto lock = db_.Lock();
    SimStatement query =
        db_.Prepare(std::string("SELECT ") + kMessageColumns +
                    ", i.is_read FROM inbox i JOIN messages m"
                    " ON m.message_id = i.message_id WHERE i.user_id = :user"
                    " AND i.message_id > :after ORDER BY i.message_id LIMIT :limit");
    query.Bind(":user", user).Bind(":after", after).Bind(":limit", limit);
    std::vector<StoredMessage> feed;
    while (query.Next()) {
        feed.push_back(ReadMessage(query));
        feed.back().is_read = static_cast<int>(query.Int(10));
    }
    return feed;
}

bool MessageStore::Find(int64_t message_id, StoredMessage* out) {
    auto lock = db_.Lock();
    SimStatement query = db_.Prepare(std::string("SELECT ") + kMessageColumns +
                                     " FROM messages m WHERE m.message_id = :id");
    query.Bind(":id", message_id);
    if (!query.Next())
        return false;
    *out = ReadMessage(query);
    return true;
}

int MessageStore::ReadState(int64_t user, int64_t message_id) {
    auto lock = db_.Lock();
    SimStatement query =
        db_.Prepare("SELECT is_read FROM inbox WHERE user_id = :user AND message_id = :message_id");
    query.Bind(":user", user).Bind(":message_id", message_id);
    return query.Next() ? static_cast<int>(query.Int(0)) : -1;
}

void MessageStore::SetReadState(int64_t user, int64_t message_id, int state) {
    auto lock = db_.Lock();
    db_.Prepare("UPDATE inbox SET is_read = :state WHERE user_id = :user AND message_id = :id")
        .Bind(":state", state)
        .Bind(":user", user)
        .Bind(":id", message_id)
        .Run();
}

int64_t MessageStore::AddLog(const StatusLog& log, const std::vector<int64_t>& users) {
    auto lock = db_.Lock();
    db_.Prepare(
           "INSERT INTO status_logs (message_id, send_id, send_id2, receive_id, from_stat,"
           " to_stat, log_type, log_time) VALUES (:message_id, :send_id, :send_id2,"
           " :receive_id, :from_stat, :to_stat, :log_type, :log_time)")
        .Bind(":message_id", log.message_id)
        .Bind(":send_id", log.send_id)
        .Bind(":send_id2", log.send_id2)
        .Bind(":receive_id", log.receive_id)
        .Bind(":from_stat", log.from_stat)
        .Bind(":to_stat", log.to_stat)
        .Bind(":log_type", log.log_type)
        .Bind(":log_time", log.time)
        .Run();
    const int64_t id = db_.LastInsertId();
    for (int64_t user : users) {
        db_.Prepare("INSERT OR IGNORE INTO log_inbox (user_id, log_id) VALUES (:user, :log)")
            .Bind(":user", user)
            .Bind(":log", id)
            .Run();
    }
    return id;
}

std::vector<StatusLog> MessageStore::Logs(int64_t user, int64_t after, int limit) {
    auto lock = db_.Lock();
    SimStatement query = db_.Prepare(
        "SELECT l.log_id, l.message_id, l.send_id, l.send_id2, l.receive_id, l.from_stat,"
        " l.to_stat, l.log_type, l.log_time FROM log_inbox i JOIN status_logs l"
        " ON l.log_id = i.log_id WHERE i.user_id = :user AND i.log_id > :after"
        " ORDER BY i.log_id LIMIT :limit");
    query.Bind(":user", user).Bind(":after", after).Bind(":limit", limit);
    std::vector<StatusLog> logs;
    while (query.Next()) {
        StatusLog log;
        log.id = query.Int(0);
        log.message_id = query.Int(1);
        log.send_id = query.Int(2);
        log.send_id2 = query.Int(3);
        log.receive_id = query.Int(4);
        log.from_stat = static_cast<int>(query.Int(5));
        log.to_stat = static_cast<int>(query.Int(6));
        log.log_type = static_cast<int>(query.Int(7));
        log.time = query.Int(8);
        logs.push_back(log);
    }
    return logs;
}
