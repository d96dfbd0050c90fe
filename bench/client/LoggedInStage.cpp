#include <QDir>
#include <QString>
#include <cstdlib>
#include <random>
#include <thread>

#include "BenchContext.h"
#include "ClientHome.h"
#include "ClientMsgDb.h"
#include "ClientSession.h"
#include "MsgDbProbe.h"
#include "ProcStats.h"
#include "Report.h"
#include "SimControl.h"
#include "Stages.h"

namespace {

const char kUser[] = "zhanglei";
const char kUserId[] = "10001";
const char kUnit[] = "1001";
const char kDistrict[] = "330110";
// 王芳: the other side of the conversation opened and of the messages delivered.
const char kPeer[] = "wangfang";
const int kPeerId = 10002;

struct Profile {
    std::string name;
    ClientHome home;
    long long messages;
};

// A user who logged in before with a remembered password and keeps `messages` in msg.db; the
// largest conversation, with a tenth of them, is 王芳's and the most recent.
bool Prepare(BenchContext& bench, const Profile& profile, const std::string& unit_record) {
    ClientHome home = profile.home;
    home.RememberLogin(kUser, "123456", kUserId, unit_record);
    QDir().mkpath(QString::fromStdString(home.UnitFolder(kUser, kUnit)));
    bench.Log("writing msg.db with " + std::to_string(profile.messages) + " messages");
    return WriteClientMsgDb(home.MsgDb(kUser, kUnit), profile.messages, std::stoi(kUserId),
                            kPeerId);
}

struct Run {
    double login_ms = -1;
    double anon_mib = -1;
    bool page = false;
    bool quit = false;
};

Run LogInOnce(BenchContext& bench, const Profile& profile, SimControl& control) {
    Run run;
    ClientSession session(bench, profile.home.Env(bench.Config().display));
    if (!session.LogIn(&run.login_ms))
        return run;
    session.Settle(60000);
    run.page = session.OpenConversation(control, kPeer);
    if (!run.page)
        bench.Log("the conversation did not open:\n" + session.Process().LastLinesText());
    session.Settle(30000);
    run.anon_mib = proc_stats::StatusKb(session.Process().Pid(), "RssAnon") / 1024.0;
    run.quit = session.Quit();
    return run;
}

void LoginAndMemory(BenchContext& bench, const Profile& empty, const Profile& big,
                    SimControl& control) {
    const int runs = bench.Config().login_runs;
    // One login each first: the file's pages come into the cache, demo messages are stored.
    LogInOnce(bench, empty, control);
    LogInOnce(bench, big, control);
    std::vector<double> login_empty, login_big, anon_empty, anon_big;
    bool pages = true;
    bool quits = true;
    for (int i = 0; i < runs; ++i) {
        for (const Profile* profile : {&empty, &big}) {
            const Run run = LogInOnce(bench, *profile, control);
            (profile == &big ? login_big : login_empty).push_back(run.login_ms);
            (profile == &big ? anon_big : anon_empty).push_back(run.anon_mib);
            pages = pages && run.page;
            quits = quits && run.quit;
        }
    }
    Report& table = bench.Table();
    const std::string big_name = std::to_string(big.messages) + " messages";
    table.Ratio("login click to main window drawn, " + big_name + " in msg.db (best of " +
                    std::to_string(runs) + ")",
                Best(login_big), "ms", "empty msg.db", Best(login_empty), 1.5);
    table.Ratio("private memory (RssAnon), " + big_name + ", largest conversation open",
                Median(anon_big), "MiB", "empty msg.db", Median(anon_empty), 1.3);
    if (!pages)
        table.Note("The conversation page did not show the opening message in every run.");
    // Killed, it leaves msg.db's log behind and the next login reads the whole file.
    if (!quits)
        table.Note("The client did not always quit by itself at SIGTERM within 3 s.");
}

void Idle(BenchContext& bench, ClientSession& session) {
    const int seconds = bench.Config().idle_seconds;
    const pid_t pid = session.Process().Pid();
    const proc_stats::Sample before = proc_stats::Take(pid);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const proc_stats::Sample after = proc_stats::Take(pid);
    const std::string over = " over " + std::to_string(seconds) + " s, poll held";
    bench.Table().Value("idle: client CPU" + over,
                        (after.cpu_ms - before.cpu_ms) / (seconds * 1000.0) * 100, "% of a core",
                        0.5);
    bench.Table().Value("idle: client wake-ups" + over,
                        static_cast<double>(after.switches - before.switches) / seconds, "per s",
                        0);
}

void Delivery(BenchContext& bench, ClientSession& session, SimControl& control,
              const std::string& msg_db) {
    MsgDbProbe probe(msg_db);
    if (!probe.Open()) {
        bench.Log("cannot read " + msg_db);
        return;
    }
    const std::string session_id = control.Session(kUser);
    ChildProcess& client = session.Process();
    std::mt19937 random(7);
    std::vector<double> stored, loaded, shown, plain;
    for (int i = 0; i < bench.Config().deliveries; ++i) {
        // Apart from any timer of the client's.
        std::this_thread::sleep_for(std::chrono::milliseconds(150 + random() % 250));
        plain.push_back(control.PlainRoundTripMs(kUserId, session_id));
        const std::string text =
            "bench-delivery-" + std::to_string(i) + "-" + std::to_string(random() % 100000);
        const int loader = client.Expect("MsgLoader::msg_load_ready: " + std::to_string(kPeerId));
        // The page logs the message's display text; the poll reply in the log holds it too.
        const int page = client.Expect("<p>" + text + "</p>");
        const TimePoint start = Clock::now();
        const auto id = control.Send(kPeer, kUser, text);
        const auto in_db = id ? probe.WaitMessage(*id, 5000) : std::nullopt;
        const auto in_loader = client.Wait(loader, 5000);
        const auto on_page = client.Wait(page, 2000);
        stored.push_back(in_db ? MsBetween(start, *in_db) : -1);
        loaded.push_back(in_loader ? MsBetween(start, *in_loader) : -1);
        shown.push_back(on_page ? MsBetween(start, *on_page) : -1);
        if (std::getenv("CORAL_BENCH_EACH"))
            bench.Log("delivery " + std::to_string(i) + ": plain " + std::to_string(plain.back()) +
                      " ms, stored " + std::to_string(stored.back()) + " ms, shown " +
                      std::to_string(shown.back()) + " ms");
    }
    Report& table = bench.Table();
    const std::string count = std::to_string(bench.Config().deliveries);
    const double round_trip = Median(plain);
    table.Ratio("delivery: sent to stored in msg.db, median of " + count, Median(stored), "ms",
                "plain request", round_trip, 3);
    table.Value("delivery: sent to stored in msg.db, worst", Worst(stored), "ms", 0);
    table.Ratio("delivery: sent to the loader's records for the page, median", Median(loaded), "ms",
                "plain request", round_trip, 0);
    if (Median(shown) < 0) {
        table.Note("The conversation page showed none of the delivered messages.");
        return;
    }
    table.Ratio("delivery: sent to shown in its open conversation page, median", Median(shown),
                "ms", "plain request", round_trip, 3);
    table.Value("delivery: sent to shown in its open conversation page, worst", Worst(shown), "ms",
                0);
}

}  // namespace

void stages::LoggedIn(BenchContext& bench) {
    const BenchConfig& config = bench.Config();
    const int port = config.port + 1;
    ChildProcess sim;
    if (!bench.StartSim(sim, port, std::string()))
        return;
    SimControl control(port);
    const std::string unit_record = control.UnitRecord(kDistrict, kUnit);
    const Profile empty{"empty", ClientHome(config.work + "/empty"), 0};
    const Profile big{"big", ClientHome(config.work + "/big"), config.big_db};
    if (unit_record.empty() || !Prepare(bench, empty, unit_record) ||
        !Prepare(bench, big, unit_record)) {
        bench.Log("could not prepare the users' folders");
        return;
    }
    LoginAndMemory(bench, empty, big, control);

    ClientSession session(bench, empty.home.Env(config.display));
    if (!session.LogIn(nullptr))
        return;
    session.Settle(60000);
    session.OpenConversation(control, kPeer);
    session.Settle(30000);
    Idle(bench, session);
    Delivery(bench, session, control, empty.home.MsgDb(kUser, kUnit));
}
