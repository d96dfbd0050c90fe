#include "sim/store/SimStatement.h"

#include <sqlite3.h>

#include <iostream>
#include <utility>

#include "sim/store/SimDb.h"

SimStatement::SimStatement(sqlite3* db, const std::string& sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK) {
        std::cerr << "platform-sim: SQL error: " << sqlite3_errmsg(db) << ": " << sql << std::endl;
        stmt_ = nullptr;
    }
}

SimStatement::SimStatement(SimDb* cache, sqlite3* db, sqlite3_stmt* stmt, std::string sql)
    : cache_(cache), sql_(std::move(sql)), db_(db), stmt_(stmt) {}

SimStatement::~SimStatement() {
    if (cache_ && stmt_)
        cache_->GiveBack(sql_, stmt_);
    else
        sqlite3_finalize(stmt_);
}

SimStatement::SimStatement(SimStatement&& other) noexcept
    : cache_(other.cache_),
      sql_(std::move(other.sql_)),
      db_(other.db_),
      stmt_(other.stmt_),
      failed_(other.failed_) {
    other.stmt_ = nullptr;
}

int SimStatement::Index(const char* name) const {
    const int index = stmt_ ? sqlite3_bind_parameter_index(stmt_, name) : 0;
    if (index == 0 && stmt_)
        std::cerr << "platform-sim: unknown SQL parameter " << name << std::endl;
    return index;
}

SimStatement& SimStatement::Bind(const char* name, int64_t value) {
    if (const int index = Index(name))
        sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

SimStatement& SimStatement::Bind(const char* name, const std::string& value) {
    if (const int index = Index(name))
        sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()),
                          SQLITE_TRANSIENT);
    return *this;
}

SimStatement& SimStatement::BindBlob(const char* name, const std::string& bytes) {
    if (const int index = Index(name))
        sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()),
                          SQLITE_TRANSIENT);
    return *this;
}

bool SimStatement::Next() {
    if (!stmt_ || failed_)
        return false;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        failed_ = true;
        std::cerr << "platform-sim: SQL error: " << sqlite3_errmsg(db_) << std::endl;
    }
    return false;
}

bool SimStatement::Run() {
    while (Next()) {
    }
    return stmt_ && !failed_;
}

int64_t SimStatement::Int(int column) const {
    return sqlite3_column_int64(stmt_, column);
}

std::string SimStatement::Text(int column) const {
    const void* data = sqlite3_column_blob(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    return data ? std::string(static_cast<const char*>(data), static_cast<size_t>(size))
                : std::string();
}
