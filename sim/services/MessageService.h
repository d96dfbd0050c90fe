#pragma once

#include "sim/http/SimReply.h"
#include "sim/messaging/FeedBuilder.h"

#include <string>

class SimContext;
class SimRequest;

// The heartbeat with its long poll, sending, receipts and attachments.
class MessageService {
public:
    explicit MessageService(SimContext& context);

    SimReply Poll(const SimRequest& request);
    SimReply Send(const SimRequest& request);
    SimReply SendFile(const SimRequest& request);
    SimReply ReadMulti(const SimRequest& request);
    SimReply Download(const SimRequest& request);
    // Answers "upload/<reference>" with the stored file; false for other paths.
    bool Attachment(const std::string& path, SimReply* reply);

private:
    SimReply Posted(const struct PostResult& result) const;

    SimContext& context_;
    FeedBuilder feed_;
};
