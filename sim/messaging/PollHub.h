#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>

// Wakes the long polls of a user when something new is stored for them. A poll reads the
// user's generation before it looks for news, so a change in between is never missed.
class PollHub {
public:
    uint64_t Generation(int64_t user);
    void Notify(int64_t user);
    // Waits until the user's generation moves past `seen` or the deadline passes; false once
    // the hub is shut down.
    bool Wait(int64_t user, uint64_t seen, std::chrono::steady_clock::time_point deadline);
    // Releases every waiting poll at once and makes later waits return immediately.
    void Shutdown();
    // How many polls are being held right now.
    int Waiting();

private:
    // One per user, so news wakes only that user's polls, not every held one.
    struct Slot {
        uint64_t generation = 0;
        std::condition_variable changed;
    };

    std::mutex mutex_;
    // Never shrinks: a slot stays where it is while polls wait on it.
    std::map<int64_t, Slot> slots_;
    bool shutdown_ = false;
    int waiting_ = 0;
};
