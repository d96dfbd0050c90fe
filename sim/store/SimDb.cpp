#include "sim/store/SimDb.h"

#include <sqlite3.h>

#include <ctime>
#include <iostream>

namespace {

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value TEXT)",
    "CREATE TABLE IF NOT EXISTS sessions (session_id TEXT PRIMARY KEY, user_id INTEGER)",
    "CREATE TABLE IF NOT EXISTS messages (message_id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " send_id INTEGER, receive_id INTEGER, remind_id INTEGER, msg_type INTEGER, content TEXT,"
    " url TEXT, client_message_id INTEGER, client_code TEXT, send_time INTEGER)",
    "CREATE TABLE IF NOT EXISTS inbox (user_id INTEGER, message_id INTEGER, is_read INTEGER,"
    " PRIMARY KEY (user_id, message_id))",
    "CREATE TABLE IF NOT EXISTS status_logs (log_id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " message_id INTEGER, send_id INTEGER, send_id2 INTEGER, receive_id INTEGER,"
    " from_stat INTEGER, to_stat INTEGER, log_type INTEGER, log_time INTEGER)",
    "CREATE TABLE IF NOT EXISTS log_inbox (user_id INTEGER, log_id INTEGER,"
    " PRIMARY KEY (user_id, log_id))",
    "CREATE TABLE IF NOT EXISTS num_update (user_id INTEGER, remind_id INTEGER, num INTEGER,"
    " PRIMARY KEY (user_id, remind_id))",
    "CREATE TABLE IF NOT EXISTS num_logs (log_id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " user_id INTEGER, remind_id INTEGER, num INTEGER)",
    "CREATE TABLE IF NOT EXISTS bell_logs (bell_id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " user_id INTEGER, message_id INTEGER)",
    "CREATE TABLE IF NOT EXISTS files (reference TEXT PRIMARY KEY, name TEXT, data BLOB)",
    "CREATE TABLE IF NOT EXISTS versions (version_id INTEGER PRIMARY KEY AUTOINCREMENT,"
    " no TEXT, url TEXT, data BLOB)",
};

const char* const kSequences[] = {"messages", "status_logs", "num_logs", "bell_logs"};

}  // namespace

SimDb::~SimDb() {
    for (const auto& entry : cache_)
        sqlite3_finalize(entry.second);
    sqlite3_close(db_);
}

bool SimDb::Open(const std::string& path, std::string* error) {
    const std::string name = path.empty() ? ":memory:" : path;
    if (sqlite3_open(name.c_str(), &db_) != SQLITE_OK) {
        if (error)
            *error = std::string("cannot open database ") + name + ": " + sqlite3_errmsg(db_);
        return false;
    }
    sqlite3_busy_timeout(db_, 5000);
    Exec("PRAGMA journal_mode=WAL");
    Exec("PRAGMA synchronous=NORMAL");
    if (!CreateSchema()) {
        if (error)
            *error = std::string("cannot create the schema: ") + sqlite3_errmsg(db_);
        return false;
    }
    is_new_ = Meta("created").empty();
    if (is_new_) {
        StartSequences();
        SetMeta("created", std::to_string(std::time(nullptr)));
    }
    return true;
}

bool SimDb::CreateSchema() {
    for (const char* sql : kSchema) {
        if (!Exec(sql))
            return false;
    }
    return true;
}

// A client keeps its highest ids across server restarts; starting every new database above
// the ids of any earlier one (seconds since a fixed day) keeps such a client receiving.
void SimDb::StartSequences() {
    const int64_t base = static_cast<int64_t>(std::time(nullptr)) - 1700000000;
    for (const char* table : kSequences) {
        Prepare("INSERT INTO sqlite_sequence (name, seq) VALUES (:name, :seq)")
            .Bind(":name", std::string(table))
            .Bind(":seq", base > 0 ? base : 0)
            .Run();
    }
}

bool SimDb::Exec(const std::string& sql) {
    char* message = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        std::cerr << "platform-sim: SQL error: " << (message ? message : "") << ": " << sql
                  << std::endl;
        sqlite3_free(message);
        return false;
    }
    return true;
}

SimStatement SimDb::Prepare(const std::string& sql) {
    {
        std::lock_guard<std::mutex> lock(cache_mutex_);
        const auto it = cache_.find(sql);
        if (it != cache_.end()) {
            sqlite3_stmt* stmt = it->second;
            cache_.erase(it);
            return SimStatement(this, db_, stmt, sql);
        }
    }
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
        SQLITE_OK) {
        std::cerr << "platform-sim: SQL error: " << sqlite3_errmsg(db_) << ": " << sql << std::endl;
        sqlite3_finalize(stmt);
        stmt = nullptr;
    }
    return SimStatement(this, db_, stmt, sql);
}

void SimDb::GiveBack(const std::string& sql, sqlite3_stmt* stmt) {
    sqlite3_reset(stmt);
    sqlite3_clear_bindings(stmt);
    std::lock_guard<std::mutex> lock(cache_mutex_);
    if (cache_.size() >= kMaxCached || !cache_.emplace(sql, stmt).second)
        sqlite3_finalize(stmt);
}

int64_t SimDb::LastInsertId() const {
    return sqlite3_last_insert_rowid(db_);
}

std::string SimDb::Meta(const std::string& key) const {
    SimStatement query(db_, "SELECT value FROM meta WHERE key = :key");
    query.Bind(":key", key);
    return query.Next() ? query.Text(0) : std::string();
}

void SimDb::SetMeta(const std::string& key, const std::string& value) {
    Prepare("REPLACE INTO meta (key, value) VALUES (:key, :value)")
        .Bind(":key", key)
        .Bind(":value", value)
        .Run();
}
