#include "sim/messaging/PollHub.h"

uint64_t PollHub::Generation(int64_t user) {
    std::lock_guard<std::mutex> lock(mutex_);
    return slots_[user].generation;
}

void PollHub::Notify(int64_t user) {
    Slot* slot = nullptr;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        slot = &slots_[user];
        ++slot->generation;
    }
    slot->changed.notify_all();
}

bool PollHub::Wait(int64_t user, uint64_t seen, std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex_);
    Slot& slot = slots_[user];
    ++waiting_;
    slot.changed.wait_until(lock, deadline, [&] { return shutdown_ || slot.generation != seen; });
    --waiting_;
    return !shutdown_;
}

void PollHub::Shutdown() {
    std::lock_guard<std::mutex> lock(mutex_);
    shutdown_ = true;
    for (auto& entry : slots_)
        entry.second.changed.notify_all();
}

int PollHub::Waiting() {
    std::lock_guard<std::mutex> lock(mutex_);
    return waiting_;
}
