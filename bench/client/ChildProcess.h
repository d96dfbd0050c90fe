#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;

double MsBetween(TimePoint from, TimePoint to);

// A program started with its own environment whose output (stdout and stderr together) is read
// on a thread of its own, line by line, as it comes: a line can be waited for, and the moment it
// arrived is its time stamp. The output is not kept beyond the last lines.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // env entries are "NAME=value"; the moment just before the program is started is kept.
    bool Start(const std::string& program, const std::vector<std::string>& args,
               const std::vector<std::string>& env, const std::string& work_dir);
    pid_t Pid() const { return pid_; }
    TimePoint Started() const { return started_; }
    bool Running();

    // Registers a text to look for in lines that arrive from now on; returns its token.
    int Expect(const std::string& text);
    // The arrival of the first line holding the expected text, waiting up to timeout_ms.
    std::optional<TimePoint> Wait(int token, int timeout_ms);
    // Expect and Wait in one, for a text that is known to come later.
    std::optional<TimePoint> WaitFor(const std::string& text, int timeout_ms);
    // Waits until the program has closed its output (it ended), up to timeout_ms.
    bool WaitClosed(int timeout_ms);
    // The last lines of output, each cut to 300 bytes.
    std::vector<std::string> LastLines() const;
    std::string LastLinesText() const;

    // SIGTERM, then SIGKILL after grace_ms; returns once the process is gone, true when it
    // ended by itself.
    bool Stop(int grace_ms = 3000);

private:
    struct Watch {
        std::string text;
        std::optional<TimePoint> seen;
    };

    void ReadLoop(int fd);
    void TakeLine(const std::string& line, TimePoint at);

    pid_t pid_ = -1;
    TimePoint started_;
    std::thread reader_;
    mutable std::mutex mutex_;
    std::condition_variable seen_;
    std::map<int, Watch> watches_;
    int next_token_ = 0;
    std::deque<std::string> tail_;
    bool closed_ = false;
};
