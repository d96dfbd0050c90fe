#pragma once

#include "sim/http/Envelope.h"
#include "sim/http/SimReply.h"

#include <cstdint>

class SimContext;
class SimRequest;

// The schedule service: terms, weeks, day sections and the entries of a week. Dates are laid
// out around today, so the demo always has a current term and week.
class ScheduleService {
public:
    explicit ScheduleService(SimContext& context) : context_(context) {}

    // Answers one of the five schedule methods; false for any other method.
    bool Handle(const SimRequest& request, SimReply* reply);

private:
    SimReply Terms() const;
    SimReply Weeks(const SimRequest& request) const;
    SimReply Sections() const;
    SimReply Entries(const SimRequest& request, int64_t user, bool own) const;

    SimContext& context_;
};
