#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"

// Watches the X server for top-level windows being mapped and first drawn into, on a thread of
// its own: "shown" is the first drawing after the map (the X Damage extension), or the map when
// the server has no Damage. Needs DISPLAY.
class XWatch {
public:
    struct Shown {
        TimePoint mapped;
        TimePoint painted;
        unsigned long window = 0;
    };

    XWatch() = default;
    ~XWatch();
    bool Start();
    bool HasDamage() const { return has_damage_; }

    // The first window whose title is `title`, mapped at or after `after` and drawn into.
    std::optional<Shown> WaitShown(const std::string& title, TimePoint after, int timeout_ms);
    // The first drawing into the window at or after `after`.
    std::optional<TimePoint> WaitPainted(unsigned long window, TimePoint after, int timeout_ms);

private:
    struct Window {
        unsigned long id = 0;
        unsigned long damage = 0;
        std::string title;
        std::optional<TimePoint> mapped;
        std::optional<TimePoint> painted;
        // Every drawing since the map, oldest first.
        std::vector<TimePoint> paints;
    };

    void Loop();
    Window* Find(unsigned long id);

    void* display_ = nullptr;
    bool has_damage_ = false;
    int damage_event_ = 0;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Window> windows_;
};
