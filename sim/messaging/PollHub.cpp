#include "sim/messaging/PollHub.h"

uint64_t PollHub::Generation(int64_t user) {
    std::lock_guard<std::mutex> lock(mutex_);
    return generations_[user];
}

void PollHub::Notify(int64_t user) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++generations_[user];
    }
    changed_.notify_all();
}

bool PollHub::Wait(int64_t user, uint64_t seen, std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    ++waiting_;
    changed_.wait_until(lock, deadline, [&] { return shutdown_ || generations_[user] != seen; });
    --waiting_;
    return !shutdown_;
}

void PollHub::Shutdown() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        shutdown_ = true;
    }
    changed_.notify_all();
}

int PollHub::Waiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    return waiting_;
}
