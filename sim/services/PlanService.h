#pragma once

#include "sim/http/Envelope.h"
#include "sim/http/SimReply.h"

class SimContext;
class SimRequest;

// To-do items and meetings, page by page.
class PlanService {
public:
    explicit PlanService(SimContext& context) : context_(context) {}

    // Answers the to-do or meeting method; false for any other method.
    bool Handle(const SimRequest& request, SimReply* reply);

private:
    SimReply Todos(int page, int size) const;
    SimReply Meetings(int page, int size) const;

    SimContext& context_;
};
