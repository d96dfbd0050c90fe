#pragma once

#include "sim/http/Envelope.h"
#include "sim/http/SimReply.h"

#include <cstdint>
#include <string>

class SimContext;
class SimRequest;
struct DemoGroup;

// The contact directories: organisation tree, public, personal and discussion groups.
class DirectoryService {
public:
    explicit DirectoryService(SimContext& context) : context_(context) {}

    // Answers one of the six directory methods; false for any other method.
    bool Handle(const SimRequest& request, SimReply* reply);

private:
    envelope::Json Organisation(const std::string& unit_id, const std::string& org_id) const;
    envelope::Json Groups(const std::string& unit_id, int64_t user, int kind) const;
    envelope::Json PublicMembers(int64_t group_id) const;
    envelope::Json GroupMembers(int64_t group_id) const;
    envelope::Json Discussions(int64_t user) const;
    static envelope::Json GroupRecord(const DemoGroup& group, const std::string& creator_name);

    SimContext& context_;
};
