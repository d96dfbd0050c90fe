#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <random>
#include <thread>

#include "BenchContext.h"
#include "DemoFile.h"
#include "ProcStats.h"
#include "Report.h"
#include "SimControl.h"
#include "Stages.h"
#include "base/ServicePaths.h"

using nlohmann::json;

namespace {

const char kPrefix[] = "load-";

// One long-polling client as the real one polls: the next poll leaves when the last answer is
// in, with the highest ids it has seen.
struct Poller {
    long long user_id = 0;
    std::string session;
    std::mutex mutex;
    std::vector<std::pair<int, TimePoint>> received;  // message number, arrival
};

struct Position {
    long long message = 0, log = 0, bell = 0, num_update = 0;

    std::string Form(const Poller& poller) const {
        return "User_ID=" + std::to_string(poller.user_id) + "&SessionID=" + poller.session +
               "&MaxMessage_ID=" + std::to_string(message) +
               "&MaxMessageLog_ID=" + std::to_string(log) +
               "&MaxBellLog_ID=" + std::to_string(bell) +
               "&MaxNumUpdateLog_ID=" + std::to_string(num_update) + "&MathNum=7";
    }
};

long long Id(const json& record, const char* key) {
    return std::stoll(record.value(key, std::string("0")));
}

void Take(const json& velta, TimePoint at, Poller* poller, Position* position) {
    for (const json& m : velta.value("M", json::array())) {
        position->message = std::max(position->message, Id(m, "Message_ID"));
        const std::string text = m.value("MsgContent", std::string());
        if (text.rfind(kPrefix, 0) == 0) {
            std::lock_guard<std::mutex> lock(poller->mutex);
            poller->received.push_back({std::stoi(text.substr(sizeof(kPrefix) - 1)), at});
        }
    }
    for (const json& log : velta.value("ML", json::array()))
        position->log = std::max(position->log, Id(log, "MessageLog_ID"));
    for (const json& bell : velta.value("B", json::array()))
        position->bell = std::max(position->bell, Id(bell, "BellLog_ID"));
    position->num_update = std::max(position->num_update, Id(velta, "MaxNumUpdateLog_ID"));
}

void PollLoop(int port, Poller* poller, const std::atomic<bool>* stop) {
    httplib::Client client("127.0.0.1", port);
    client.set_tcp_nodelay(true);
    client.set_read_timeout(120, 0);
    const std::string path = std::string("/unit/1001/") + service_paths::kInterfacePath +
                             service_paths::method::kMessageGetByMaxID2;
    Position position;
    while (!*stop) {
        const auto answer =
            client.Post(path.c_str(), position.Form(*poller), "application/x-www-form-urlencoded");
        if (!answer) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            continue;
        }
        const json reply = json::parse(answer->body, nullptr, false);
        if (reply.is_object() && reply.contains("Velta"))
            Take(reply["Velta"], Clock::now(), poller, &position);
    }
}

struct Sent {
    int from = 0, to = 0;  // poller indexes
    TimePoint at;
};

struct Tally {
    int lost = 0, duplicated = 0, delivered = 0;
    std::vector<double> latency_ms;
};

// Every message must reach its receiver's poller and its sender's own poller exactly once.
Tally Count(const std::vector<Sent>& sent, std::vector<Poller>& pollers) {
    Tally tally;
    std::vector<std::map<int, int>> seen(pollers.size());
    for (size_t p = 0; p < pollers.size(); ++p) {
        std::lock_guard<std::mutex> lock(pollers[p].mutex);
        for (const auto& entry : pollers[p].received)
            ++seen[p][entry.first];
    }
    for (size_t n = 0; n < sent.size(); ++n) {
        for (int p : {sent[n].from, sent[n].to}) {
            const int times = seen[p].count(static_cast<int>(n)) ? seen[p][static_cast<int>(n)] : 0;
            tally.lost += times == 0;
            tally.duplicated += times > 1;
            tally.delivered += times >= 1;
        }
        std::lock_guard<std::mutex> lock(pollers[sent[n].to].mutex);
        for (const auto& entry : pollers[sent[n].to].received) {
            if (entry.first == static_cast<int>(n))
                tally.latency_ms.push_back(MsBetween(sent[n].at, entry.second));
        }
    }
    return tally;
}

int Received(std::vector<Poller>& pollers) {
    int total = 0;
    for (Poller& poller : pollers) {
        std::lock_guard<std::mutex> lock(poller.mutex);
        total += static_cast<int>(poller.received.size());
    }
    return total;
}

std::vector<Sent> SendAll(const BenchConfig& config, SimControl& control) {
    std::mt19937 random(11);
    const int total = config.load_rate * config.load_seconds;
    std::vector<Sent> sent;
    const TimePoint start = Clock::now();
    for (int n = 0; n < total; ++n) {
        std::this_thread::sleep_until(start +
                                      std::chrono::microseconds(1000000LL * n / config.load_rate));
        Sent one;
        one.from = static_cast<int>(random() % config.load_clients);
        one.to = static_cast<int>((one.from + 1 + random() % (config.load_clients - 1)) %
                                  config.load_clients);
        one.at = Clock::now();
        control.Send(demo_file::ExtraLogin(one.from), demo_file::ExtraLogin(one.to),
                     kPrefix + std::to_string(n));
        sent.push_back(one);
    }
    return sent;
}

}  // namespace

void stages::SimLoad(BenchContext& bench) {
    const BenchConfig& config = bench.Config();
    const int port = config.port + 3;
    const std::string demo = config.work + "/demo-load.json";
    demo_file::Options options;
    options.extra_users = config.load_clients;
    ChildProcess sim;
    if (!demo_file::Write(config.demo_json, demo, options) || !bench.StartSim(sim, port, demo))
        return;
    SimControl control(port);
    std::vector<Poller> pollers(static_cast<size_t>(config.load_clients));
    for (int i = 0; i < config.load_clients; ++i) {
        pollers[i].user_id = demo_file::kFirstExtraUser + i;
        pollers[i].session = control.Session(demo_file::ExtraLogin(i));
    }
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (Poller& poller : pollers)
        threads.emplace_back(PollLoop, port, &poller, &stop);
    // Every client has asked once and is held.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const proc_stats::Sample before = proc_stats::Take(sim.Pid());
    const TimePoint start = Clock::now();
    const std::vector<Sent> sent = SendAll(config, control);
    const TimePoint deadline = Clock::now() + std::chrono::seconds(30);
    while (Received(pollers) < 2 * static_cast<int>(sent.size()) && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const proc_stats::Sample after = proc_stats::Take(sim.Pid());
    const double seconds = MsBetween(start, Clock::now()) / 1000;
    stop = true;
    sim.Stop();
    for (std::thread& thread : threads)
        thread.join();

    const Tally tally = Count(sent, pollers);
    Report& table = bench.Table();
    const std::string load = std::to_string(config.load_clients) + " clients polling, " +
                             std::to_string(config.load_rate) + " msg/s";
    table.Check("platform-sim, " + load + ": every message delivered once",
                tally.lost == 0 && tally.duplicated == 0,
                std::to_string(tally.delivered) + " of " + std::to_string(2 * sent.size()) +
                    " deliveries, " + std::to_string(tally.lost) + " lost, " +
                    std::to_string(tally.duplicated) + " twice");
    table.Value("platform-sim, " + load + ": CPU", (after.cpu_ms - before.cpu_ms) / seconds / 10,
                "% of a core", 0);
    table.Value("platform-sim, " + load + ": sent to received, median", Median(tally.latency_ms),
                "ms", 0);
    table.Value("platform-sim, " + load + ": sent to received, worst", Worst(tally.latency_ms),
                "ms", 0);
}
