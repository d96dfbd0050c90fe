#pragma once

#include "sim/http/Envelope.h"

#include <cstdint>

class DemoData;
class Messenger;
struct StatusLog;
struct StoredMessage;

// The four ids a poll sends: how far the client has got in each of its four lists.
struct PollPosition {
    int64_t message = 0, log = 0, bell = 0, num_update = 0;
};

// Builds the heartbeat answer for one user: the chat and system messages as this user sees
// them, the status logs, the bell logs and the unread-number changes after the position.
class FeedBuilder {
public:
    FeedBuilder(const DemoData& demo, Messenger& messenger) : demo_(demo), messenger_(messenger) {}

    // Fills "M", "ML", "B", "NumUpdate" and "MaxNumUpdateLog_ID"; false when all lists are empty.
    bool Build(int64_t user, const PollPosition& position, envelope::Json* velta) const;

    static const int kPageSize = 100;

private:
    envelope::Json Message(int64_t viewer, const StoredMessage& message) const;
    static envelope::Json Log(const StatusLog& log);
    std::string UserName(int64_t id) const;
    std::string TargetName(int64_t id) const;

    const DemoData& demo_;
    Messenger& messenger_;
};
