#pragma once

#include <chrono>
#include <cstdint>
#include <string>

class DemoData;
class Messenger;
class PollHub;
class SessionStore;
class SimDb;
class SimRequest;
class VersionStore;
struct DemoUnit;
struct SimReply;

// What every service shares: the demo world, the state and the server's own address.
class SimContext {
public:
    SimContext(const DemoData& demo, SimDb& db, SessionStore& sessions, Messenger& messenger,
               VersionStore& versions, PollHub& hub)
        : demo(demo),
          db(db),
          sessions(sessions),
          messenger(messenger),
          versions(versions),
          hub(hub) {}

    std::string HostPort() const;
    // "http://127.0.0.1:<port>/unit/<id>/".
    std::string UnitUrl(const std::string& unit_id) const;
    // The school web site, with or without "http://" as the unit's record says.
    std::string SiteUrl(const DemoUnit& unit) const;
    // The user of the request's session when the session is valid for the unit of the path and
    // agrees with a "User_ID" field, else 0.
    int64_t SessionUser(const SimRequest& request) const;
    static SimReply Expired();

    const DemoData& demo;
    SimDb& db;
    SessionStore& sessions;
    Messenger& messenger;
    VersionStore& versions;
    PollHub& hub;
    int port = 0;
    std::chrono::milliseconds hold{25000};
};
