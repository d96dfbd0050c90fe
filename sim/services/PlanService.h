#pragma once

#include "sim/http/Envelope.h"
#include "sim/http/SimReply.h"

#include <cstdint>
#include <string>
#include <vector>

class SimContext;
class SimRequest;

// To-do items and meetings of the session's user, page by page.
class PlanService {
public:
    explicit PlanService(SimContext& context) : context_(context) {}

    // Answers the to-do or meeting method; false for any other method.
    bool Handle(const SimRequest& request, SimReply* reply);

private:
    SimReply Todos(int64_t user, int page, int size) const;
    SimReply Meetings(int64_t user, int page, int size) const;
    // The members' names joined by ",", as the platform lists who attends.
    std::string Names(const std::vector<int64_t>& members) const;

    SimContext& context_;
};
