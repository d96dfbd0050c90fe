// Measures the real client and platform-sim from outside, as separate processes on an X
// display of their own: start-up, login with a large msg.db, memory, idle cost, delivery of new
// messages, catching up with many waiting messages, and platform-sim under many clients.
// Prints one table of figures, each against a baseline measured in the same run.
//
//   bench_client --bin DIR --demo FILE --work DIR [--port N] [--quick] [--only STAGE,...]
//
// bench/run-client-bench starts it under Xvfb; see bench/README.md.
#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>

#include "BenchContext.h"
#include "Report.h"
#include "Stages.h"
#include "XWatch.h"

namespace {

bool ParseArgs(int argc, char* argv[], BenchConfig* config, std::string* only) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool has_value = i + 1 < argc;
        if (arg == "--quick") {
            config->startup_runs = 3;
            config->login_runs = 2;
            config->idle_seconds = 10;
            config->deliveries = 10;
            config->backlog = 10000;
            config->big_db = 100000;
            config->load_seconds = 5;
        } else if (arg == "--bin" && has_value) {
            config->bin_dir = argv[++i];
        } else if (arg == "--demo" && has_value) {
            config->demo_json = argv[++i];
        } else if (arg == "--work" && has_value) {
            config->work = argv[++i];
        } else if (arg == "--port" && has_value) {
            config->port = std::atoi(argv[++i]);
        } else if (arg == "--only" && has_value) {
            *only = argv[++i];
        } else {
            return false;
        }
    }
    return !config->bin_dir.empty() && !config->demo_json.empty() && !config->work.empty();
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    BenchConfig config;
    std::string only;
    if (!ParseArgs(argc, argv, &config, &only)) {
        std::fprintf(stderr,
                     "usage: bench_client --bin DIR --demo FILE --work DIR [--port N] [--quick] "
                     "[--only startup,loggedin,catchup,simload]\n");
        return 2;
    }
    const char* display = std::getenv("DISPLAY");
    config.display = display ? display : "";
    XWatch xwatch;
    if (config.display.empty() || !xwatch.Start()) {
        std::fprintf(stderr,
                     "bench_client: needs an X display (run it through run-client-bench)\n");
        return 2;
    }
    if (!xwatch.HasDamage())
        std::fprintf(stderr, "bench_client: no X Damage: windows count as shown when mapped\n");
    Report report;
    BenchContext bench(config, report, xwatch);
    const std::map<std::string, std::function<void(BenchContext&)>> stages = {
        {"startup", stages::StartUp},
        {"loggedin", stages::LoggedIn},
        {"catchup", stages::CatchUp},
        {"simload", stages::SimLoad}};
    for (const char* name : {"startup", "loggedin", "catchup", "simload"}) {
        if (!only.empty() && only.find(name) == std::string::npos)
            continue;
        bench.Log(std::string("stage ") + name);
        stages.at(name)(bench);
    }
    report.Print();
    return report.AllMet() ? 0 : 1;
}
