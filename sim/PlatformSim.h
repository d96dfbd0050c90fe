#pragma once

#include "sim/SimResult.h"
#include "sim/http/FaultTable.h"

#include <functional>
#include <memory>
#include <string>

struct SimOptions {
    // Loopback only: the simulator is not meant to be reachable from elsewhere.
    std::string host = "127.0.0.1";
    // 0 picks a free port.
    int port = 8770;
    // Empty: an in-memory database.
    std::string db_path;
    // Empty: the demo data compiled into the program.
    std::string demo_path;
    int hold_ms = 25000;
    // How long the answering demo user takes to reply.
    int echo_delay_ms = 1500;
    bool verbose = false;
    // Also write the demo's long conversations (hundreds of messages) into a new database. The
    // command-line simulator does; tests keep each demo history within one poll reply.
    bool long_threads = false;
    // Receives the log lines; empty: standard output.
    std::function<void(const std::string& line)> log;
};

// The platform's web services on one machine: vendor host, unit services, web pages and the
// control interface, over HTTP on loopback. Usable in-process; needs no Qt application.
class PlatformSim {
public:
    explicit PlatformSim(SimOptions options = SimOptions());
    ~PlatformSim();
    PlatformSim(const PlatformSim&) = delete;
    PlatformSim& operator=(const PlatformSim&) = delete;

    bool Start(std::string* error = nullptr);
    void Stop();

    int Port() const;
    // "http://127.0.0.1:<port>/unit/<id>/".
    std::string UnitUrl(const std::string& unit_id) const;
    // The unit record a client keeps after choosing the unit: "Unit_ID,UnitName,UnitUrl,UnitUrl2".
    std::string UnitRecord(const std::string& unit_id) const;
    // How many heartbeat requests are being held right now.
    int HeldPolls() const;

    // Control operations; users by login or id, groups by their negated id ("-301").
    SimResult SendChat(const std::string& from, const std::string& to, const std::string& text);
    SimResult SendFile(const std::string& from, const std::string& to, int msg_type,
                       const std::string& name, const std::string& data, int seconds = -1);
    SimResult Remind(const std::string& to, int remind_id, const std::string& text,
                     const std::string& url = std::string());
    SimResult SetUnread(const std::string& user, int remind_id, int num);
    SimResult ExpireSessions(const std::string& user);
    // A session as a successful login would create; the id is in `text`.
    SimResult OpenSession(const std::string& user);
    SimResult Publish(const std::string& version, const std::string& file_name,
                      const std::string& data);
    void SetFault(const SimFault& fault);
    // An empty method clears every fault.
    void ClearFaults(const std::string& method = std::string());
    // Whether a fault is still set for the method: a limited one is gone once used up.
    bool HasFault(const std::string& method) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
