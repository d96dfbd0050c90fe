#include <string>
#include <vector>

#include "BenchContext.h"
#include "ClientHome.h"
#include "Report.h"
#include "Stages.h"
#include "XWatch.h"

namespace {

// Milliseconds from starting the program to its window drawn, or -1.
double TimeToShown(BenchContext& bench, const std::string& program, const std::string& title,
                   const std::vector<std::string>& env) {
    ChildProcess child;
    if (!child.Start(program, {}, env, bench.Config().bin_dir))
        return -1;
    const auto shown = bench.X().WaitShown(title, child.Started(), 30000);
    if (!shown)
        bench.Log(program + " showed no window \"" + title + "\":\n" + child.LastLinesText());
    child.Stop();
    return shown ? MsBetween(child.Started(), shown->painted) : -1;
}

}  // namespace

void stages::StartUp(BenchContext& bench) {
    const BenchConfig& config = bench.Config();
    ChildProcess sim;
    // The client asks the vendor host for the latest version at start.
    if (!bench.StartSim(sim, config.port, std::string()))
        return;
    const ClientHome home(config.work + "/startup");
    const std::vector<std::string> env = home.Env(config.display);
    const std::string client = bench.Program("osprey");
    const std::string bare = bench.Program("bench_bare_window");
    // The first start makes the folders, the device id and the autostart entry: not counted.
    TimeToShown(bench, client, "登录", env);
    TimeToShown(bench, bare, "bench-bare", env);
    std::vector<double> client_ms, bare_ms;
    for (int run = 0; run < config.startup_runs; ++run) {
        client_ms.push_back(TimeToShown(bench, client, "登录", env));
        bare_ms.push_back(TimeToShown(bench, bare, "bench-bare", env));
    }
    bench.Log("start-up ms, client: " + Fixed(Median(client_ms), 1) +
              " median; bare: " + Fixed(Median(bare_ms), 1) + " median");
    bench.Table().Ratio("start-up: process start to login window drawn (best of " +
                            std::to_string(config.startup_runs) + ")",
                        Best(client_ms), "ms", "bare Qt window", Best(bare_ms), 1.5);
}
