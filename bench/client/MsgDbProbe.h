#pragma once

#include <optional>
#include <string>

#include "ChildProcess.h"

struct sqlite3;
struct sqlite3_stmt;

// Looks into the client's msg.db from outside, read-only, while the client writes it. A wait
// sleeps on inotify events of the file's write-ahead log and looks again after each, so a
// stored message is seen within a fraction of a millisecond without busy polling.
class MsgDbProbe {
public:
    explicit MsgDbProbe(std::string path) : path_(std::move(path)) {}
    ~MsgDbProbe();

    bool Open();
    bool HasMessage(long long message_id);
    long long Count();
    // The moment the message was first seen stored, waiting up to timeout_ms.
    std::optional<TimePoint> WaitMessage(long long message_id, int timeout_ms);
    // The same for a long wait that must not take CPU from the client: a look every 5 ms.
    std::optional<TimePoint> WaitMessageCalmly(long long message_id, int timeout_ms);
    long long CountAbove(long long above);

private:
    template <typename Check>
    std::optional<TimePoint> WaitUntil(Check check, int timeout_ms);

    std::string path_;
    sqlite3* db_ = nullptr;
    int inotify_ = -1;
};
