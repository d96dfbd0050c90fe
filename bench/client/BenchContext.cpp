#include "BenchContext.h"

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "ProcStats.h"

namespace {
// A failed measurement is -1: left out.
std::vector<double> Valid(const std::vector<double>& values) {
    std::vector<double> valid;
    for (double value : values) {
        if (value >= 0)
            valid.push_back(value);
    }
    std::sort(valid.begin(), valid.end());
    return valid;
}
}  // namespace

double Median(const std::vector<double>& values) {
    const std::vector<double> valid = Valid(values);
    return valid.empty() ? -1 : valid[valid.size() / 2];
}

double Best(const std::vector<double>& values) {
    const std::vector<double> valid = Valid(values);
    return valid.empty() ? -1 : valid.front();
}

double Worst(const std::vector<double>& values) {
    const std::vector<double> valid = Valid(values);
    return valid.empty() ? -1 : valid.back();
}

void BenchContext::Log(const std::string& text) const {
    std::fprintf(stderr, "bench_client: %s\n", text.c_str());
}

bool BenchContext::StartSim(ChildProcess& sim, int port, const std::string& demo_file,
                            const std::vector<std::string>& more_args) {
    std::vector<std::string> args{"--port", std::to_string(port)};
    if (!demo_file.empty())
        args.insert(args.end(), {"--demo", demo_file});
    args.insert(args.end(), more_args.begin(), more_args.end());
    const char* path = std::getenv("PATH");
    const int listening = sim.Expect("listening on");
    if (!sim.Start(Program("platform-sim"), args, {std::string("PATH=") + (path ? path : "")},
                   config_.work)) {
        Log("cannot start " + Program("platform-sim"));
        return false;
    }
    if (!sim.Wait(listening, 300000)) {
        Log("platform-sim did not start:\n" + sim.LastLinesText());
        return false;
    }
    return true;
}

bool BenchContext::StartClient(ChildProcess& client, const std::vector<std::string>& env) {
    return client.Start(Program("osprey"), {}, env, config_.bin_dir);
}

bool BenchContext::Settle(pid_t pid, int timeout_ms) {
    const TimePoint deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
    proc_stats::Sample last = proc_stats::Take(pid);
    while (Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        const proc_stats::Sample now = proc_stats::Take(pid);
        if (!now.ok)
            return false;
        if (now.cpu_ms - last.cpu_ms < 20)
            return true;
        last = now;
    }
    return false;
}

bool BenchContext::Click(unsigned long window, int x, int y) {
    const std::string command = "DISPLAY=" + config_.display + " xdotool mousemove --window " +
                                std::to_string(window) + " " + std::to_string(x) + " " +
                                std::to_string(y) + " click 1";
    return std::system(command.c_str()) == 0;
}
