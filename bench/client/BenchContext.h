#pragma once

#include <string>
#include <vector>

#include "ChildProcess.h"

class Report;
class XWatch;

struct BenchConfig {
    std::string bin_dir;    // osprey, platform-sim, bench_bare_window, bench_msgstore
    std::string demo_json;  // platform-sim's demo data, the base of the variants
    std::string work;       // scratch folder
    std::string display;
    int port = 8790;  // platform-sim instances take this port and the next three
    int startup_runs = 9;
    int login_runs = 5;
    int idle_seconds = 60;
    int deliveries = 20;
    int backlog = 100000;
    long long big_db = 1000000;
    int load_clients = 200;
    int load_rate = 50;
    int load_seconds = 20;
};

// What every stage needs: the configuration, the table, the X watcher, and starting the
// programs the same way each time.
class BenchContext {
public:
    BenchContext(BenchConfig config, Report& report, XWatch& xwatch)
        : config_(std::move(config)), report_(report), xwatch_(xwatch) {}

    const BenchConfig& Config() const { return config_; }
    Report& Table() { return report_; }
    XWatch& X() { return xwatch_; }
    std::string Program(const std::string& name) const { return config_.bin_dir + "/" + name; }

    // Starts platform-sim and waits until it listens (seeding a large demo takes a while).
    bool StartSim(ChildProcess& sim, int port, const std::string& demo_file,
                  const std::vector<std::string>& more_args = {});
    // The client in its program folder, its working directory as installed.
    bool StartClient(ChildProcess& client, const std::vector<std::string>& env);
    // Waits until the process has used less than 2 % of a core for one second.
    bool Settle(pid_t pid, int timeout_ms);
    // Clicks at a point of a window with xdotool.
    bool Click(unsigned long window, int x, int y);
    void Log(const std::string& text) const;

private:
    BenchConfig config_;
    Report& report_;
    XWatch& xwatch_;
};

// Of the values that are not -1 (a failed run).
double Median(const std::vector<double>& values);
double Best(const std::vector<double>& values);
double Worst(const std::vector<double>& values);
