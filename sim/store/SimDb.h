#pragma once

#include "sim/store/SimStatement.h"

#include <cstdint>
#include <mutex>
#include <string>

struct sqlite3;

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
    SimStatement Prepare(const std::string& sql);
    int64_t LastInsertId() const;

    std::string Meta(const std::string& key) const;
    void SetMeta(const std::string& key, const std::string& value);

    // True on the first start of this database: the demo history is seeded only then.
    bool IsNew() const { return is_new_; }

private:
    bool CreateSchema();
    void StartSequences();

    sqlite3* db_ = nullptr;
    std::recursive_mutex mutex_;
    bool is_new_ = false;
};
