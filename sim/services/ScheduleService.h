#pragma once

#include "sim/http/Envelope.h"
#include "sim/http/SimReply.h"

#include <cstdint>
#include <vector>

class SimContext;
class SimRequest;
struct DemoEntry;

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
    // Local midnights of the days on which `entry` takes place, limited to [first, last].
    std::vector<int64_t> Days(const DemoEntry& entry, int64_t first, int64_t last) const;
    bool ListedTo(const DemoEntry& entry, int64_t user, bool own) const;

    SimContext& context_;
};
