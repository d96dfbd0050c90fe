#pragma once

#include "sim/store/SimStatement.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

// The simulator's one SQLite connection. Callers hold Lock() for every sequence of statements
// that must be seen as a whole by the other request threads.
class SimDb {
public:
    SimDb() = default;
    ~SimDb();
    SimDb(const SimDb&) = delete;
    SimDb& operator=(const SimDb&) = delete;

    // An empty path opens a private in-memory database.
    bool Open(const std::string& path, std::string* error);

    std::unique_lock<std::recursive_mutex> Lock() {
        return std::unique_lock<std::recursive_mutex>(mutex_);
    }

    bool Exec(const std::string& sql);
    // Kept prepared: a statement in use is out of the cache, so two threads never share one.
    SimStatement Prepare(const std::string& sql);
    // A statement of Prepare's, done with: reset and kept for the next Prepare of its text.
    void GiveBack(const std::string& sql, sqlite3_stmt* stmt);
    int64_t LastInsertId() const;

    std::string Meta(const std::string& key) const;
    void SetMeta(const std::string& key, const std::string& value);

    // True on the first start of this database: the demo history is seeded only then.
    bool IsNew() const { return is_new_; }

private:
    bool CreateSchema();
    void StartSequences();

    static constexpr size_t kMaxCached = 128;

    sqlite3* db_ = nullptr;
    std::recursive_mutex mutex_;
    std::mutex cache_mutex_;
    std::unordered_map<std::string, sqlite3_stmt*> cache_;
    bool is_new_ = false;
};
