#pragma once

#include "sim/SimResult.h"
#include "sim/http/FaultTable.h"
#include "sim/http/SimReply.h"

#include <string>

class SimContext;
class SimRequest;

// What tests and the demo drive the simulator with, as C++ calls and as JSON endpoints under
// "/_sim/". Users are named by login or id; groups by their id negated ("-301").
class ControlService {
public:
    ControlService(SimContext& context, FaultTable& faults) : context_(context), faults_(faults) {}

    SimResult Send(const std::string& from, const std::string& to, const std::string& text);
    // `count` messages, each text ending in " #1", " #2" ...; the id of the last.
    SimResult SendMany(const std::string& from, const std::string& to, const std::string& text,
                       int count);
    SimResult SendFile(const std::string& from, const std::string& to, int msg_type,
                       const std::string& name, const std::string& data, int seconds);
    SimResult Remind(const std::string& to, int remind_id, const std::string& text,
                     const std::string& url);
    SimResult SetUnread(const std::string& user, int remind_id, int num);
    SimResult Expire(const std::string& user);
    SimResult OpenSession(const std::string& user);
    SimResult Publish(const std::string& version, const std::string& name, const std::string& data);
    void SetFault(const SimFault& fault) { faults_.Set(fault); }
    void ClearFaults(const std::string& method) { faults_.Clear(method); }

    // POST "/_sim/<operation>" with a JSON object; false for other paths.
    bool Handle(const SimRequest& request, SimReply* reply);

private:
    int64_t UserId(const std::string& login_or_id) const;
    int64_t TargetId(const std::string& target) const;
    SimResult Dispatch(const std::string& operation, const std::string& body);

    SimContext& context_;
    FaultTable& faults_;
};
