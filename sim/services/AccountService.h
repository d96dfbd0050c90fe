#pragma once

#include "sim/http/SimReply.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <string>

class SimContext;
class SimRequest;

// Login, user information and the avatar pictures.
class AccountService {
public:
    explicit AccountService(SimContext& context) : context_(context) {}

    SimReply Login(const SimRequest& request);
    SimReply UserInfo(const SimRequest& request);
    // Answers "upload/headpic/..." under a unit; false for other paths.
    bool Picture(const SimRequest& request, SimReply* reply);

    // The picture's path under the unit base: "UpLoad/HeadPic/u<id>.png" or ".../g<id>.png".
    static std::string HeadPic(int64_t id);

private:
    std::string PictureOf(int64_t id);

    SimContext& context_;
    std::mutex mutex_;
    std::map<int64_t, std::string> pictures_;
};
