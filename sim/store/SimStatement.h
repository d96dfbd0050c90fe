#pragma once

#include <cstdint>
#include <string>

struct sqlite3;
struct sqlite3_stmt;
class SimDb;

// One prepared statement; values are bound by ":name". Finalised when destroyed, or, taken from
// a SimDb's cache, reset and handed back to it.
class SimStatement {
public:
    SimStatement(sqlite3* db, const std::string& sql);
    SimStatement(SimDb* cache, sqlite3* db, sqlite3_stmt* stmt, std::string sql);
    ~SimStatement();
    SimStatement(const SimStatement&) = delete;
    SimStatement& operator=(const SimStatement&) = delete;
    SimStatement(SimStatement&& other) noexcept;

    bool IsValid() const { return stmt_ != nullptr; }

    SimStatement& Bind(const char* name, int64_t value);
    SimStatement& Bind(const char* name, const std::string& value);
    SimStatement& BindBlob(const char* name, const std::string& bytes);

    // Steps once; true while a row is available.
    bool Next();
    // Steps to the end; true when the statement completed without error.
    bool Run();

    int64_t Int(int column) const;
    std::string Text(int column) const;

private:
    int Index(const char* name) const;

    SimDb* cache_ = nullptr;
    std::string sql_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
    bool failed_ = false;
};
