#pragma once

#include <cstdint>
#include <string>

class SimDb;

// Login sessions: several per user (one per device), all valid until the user's are expired.
class SessionStore {
public:
    explicit SessionStore(SimDb& db) : db_(db) {}

    std::string Open(int64_t user);
    // The user of a session, 0 when it is unknown or expired.
    int64_t UserOf(const std::string& session);
    // Ends every session of the user; returns how many there were.
    int Expire(int64_t user);

private:
    SimDb& db_;
};
