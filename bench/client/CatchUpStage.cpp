#include <QDir>
#include <QString>
#include <cstdio>

#include "BenchContext.h"
#include "ClientHome.h"
#include "ClientSession.h"
#include "DemoFile.h"
#include "MsgDbProbe.h"
#include "Report.h"
#include "SimControl.h"
#include "Stages.h"
#include "XWatch.h"

namespace {

const char kUser[] = "zhanglei";

// The store benchmark's time to store a 100-message reply, per message: the mean of its
// figures at 0 and at 100 000 stored messages, the range a catch-up of 100 000 covers.
double StoreReplyUs(BenchContext& bench) {
    ChildProcess store;
    if (!store.Start(bench.Program("bench_msgstore"), {"0", "100000"}, {}, bench.Config().work) ||
        !store.WaitClosed(900000))
        return -1;
    // Rows of its table start with the number of stored messages and the reply per message.
    std::vector<double> figures;
    for (const std::string& line : store.LastLines()) {
        long long stored = -1;
        double reply_us = 0;
        if (std::sscanf(line.c_str(), "%lld %lf", &stored, &reply_us) == 2 &&
            (stored == 0 || stored == 100000))
            figures.push_back(reply_us);
    }
    return figures.size() == 2 ? (figures[0] + figures[1]) / 2 : -1;
}

}  // namespace

void stages::CatchUp(BenchContext& bench) {
    const BenchConfig& config = bench.Config();
    const int port = config.port + 2;
    const std::string demo = config.work + "/demo-backlog.json";
    demo_file::Options options;
    options.extra_users = 200;
    options.backlog_to = 10001;
    options.backlog = config.backlog;
    if (!demo_file::Write(config.demo_json, demo, options))
        return bench.Log("cannot write " + demo);
    bench.Log("platform-sim stores " + std::to_string(config.backlog) + " waiting messages");
    ChildProcess sim;
    if (!bench.StartSim(sim, port, demo))
        return;
    SimControl control(port);
    // Sent last, so its arrival means every message before it is stored.
    const auto last = control.Send(demo_file::ExtraLogin(0), kUser, "bench-catch-up-last");
    ClientHome home(config.work + "/catch-up");
    home.RememberLogin(kUser, "123456", "10001", control.UnitRecord("330110", "1001"));
    ClientSession session(bench, home.Env(config.display));
    if (!last || !session.LogIn(nullptr))
        return;
    MsgDbProbe probe(home.MsgDb(kUser, "1001"));
    const auto stored = probe.Open() ? probe.WaitMessageCalmly(*last, 900000) : std::nullopt;
    const auto drawn =
        stored ? bench.X().WaitPainted(session.MainWindow(), *stored, 30000) : std::nullopt;
    if (!drawn)
        return bench.Log("the waiting messages were not all stored and shown");
    const long long count = probe.Count();
    const double total_ms = MsBetween(session.Clicked(), *drawn);
    const double store_us = StoreReplyUs(bench);
    bench.Table().Ratio("catch-up: login to " + std::to_string(count) +
                            " waiting messages stored and the list drawn, per message",
                        total_ms * 1000 / count, "us", "store benchmark reply", store_us, 2);
    bench.Table().Note("Catch-up of " + std::to_string(count) + " messages took " +
                       Fixed(total_ms / 1000, 1) + " s.");
}
