#include "ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
constexpr size_t kTailLines = 40;
}

double MsBetween(TimePoint from, TimePoint to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

ChildProcess::~ChildProcess() {
    Stop(1000);
}

bool ChildProcess::Start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& env, const std::string& work_dir) {
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) != 0)
        return false;
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : env)
        envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 2);
    // The working directory is changed around the spawn: glibc 2.36 has no file action for it.
    char here[4096];
    if (!getcwd(here, sizeof(here)))
        return false;
    if (!work_dir.empty() && chdir(work_dir.c_str()) != 0)
        return false;
    started_ = Clock::now();
    const int failed =
        posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    if (chdir(here) != 0)
        return false;
    posix_spawn_file_actions_destroy(&actions);
    close(pipe_fds[1]);
    if (failed) {
        close(pipe_fds[0]);
        pid_ = -1;
        return false;
    }
    reader_ = std::thread([this, fd = pipe_fds[0]] { ReadLoop(fd); });
    return true;
}

bool ChildProcess::Running() {
    return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0;
}

void ChildProcess::ReadLoop(int fd) {
    std::string pending;
    char buffer[65536];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof(buffer));
        if (got <= 0)
            break;
        const TimePoint at = Clock::now();
        pending.append(buffer, static_cast<size_t>(got));
        size_t start = 0;
        for (size_t end = pending.find('\n'); end != std::string::npos;
             end = pending.find('\n', start)) {
            TakeLine(pending.substr(start, end - start), at);
            start = end + 1;
        }
        pending.erase(0, start);
    }
    close(fd);
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    seen_.notify_all();
}

void ChildProcess::TakeLine(const std::string& line, TimePoint at) {
    std::lock_guard<std::mutex> lock(mutex_);
    // Very long lines (whole poll replies) only ever matter by their start.
    tail_.push_back(line.substr(0, 300));
    if (tail_.size() > kTailLines)
        tail_.pop_front();
    bool any = false;
    for (auto& entry : watches_) {
        Watch& watch = entry.second;
        if (!watch.seen && line.find(watch.text) != std::string::npos) {
            watch.seen = at;
            any = true;
        }
    }
    if (any)
        seen_.notify_all();
}

int ChildProcess::Expect(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    watches_[next_token_] = Watch{text, std::nullopt};
    return next_token_++;
}

std::optional<TimePoint> ChildProcess::Wait(int token, int timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    seen_.wait_until(lock, deadline, [&] { return closed_ || watches_[token].seen.has_value(); });
    const std::optional<TimePoint> seen = watches_[token].seen;
    watches_.erase(token);
    return seen;
}

std::optional<TimePoint> ChildProcess::WaitFor(const std::string& text, int timeout_ms) {
    return Wait(Expect(text), timeout_ms);
}

bool ChildProcess::WaitClosed(int timeout_ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return seen_.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return closed_; });
}

std::vector<std::string> ChildProcess::LastLines() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return std::vector<std::string>(tail_.begin(), tail_.end());
}

std::string ChildProcess::LastLinesText() const {
    std::string out;
    for (const std::string& line : LastLines())
        out += "    | " + line + "\n";
    return out;
}

bool ChildProcess::Stop(int grace_ms) {
    bool by_itself = true;
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        const auto deadline = Clock::now() + std::chrono::milliseconds(grace_ms);
        while (waitpid(pid_, nullptr, WNOHANG) == 0) {
            if (Clock::now() > deadline) {
                kill(pid_, SIGKILL);
                waitpid(pid_, nullptr, 0);
                by_itself = false;
                break;
            }
            usleep(5000);
        }
        pid_ = -1;
    }
    if (reader_.joinable())
        reader_.join();
    return by_itself;
}
