#pragma once

#include <optional>
#include <string>

// Talks to a running platform-sim the way a second program would: every request on a
// connection of its own.
class SimControl {
public:
    explicit SimControl(int port) : port_(port) {}

    // The new message's id.
    std::optional<long long> Send(const std::string& from, const std::string& to,
                                  const std::string& text);
    std::string Session(const std::string& user);
    // The record the unit chooser keeps for a unit: "id,name,base URL,site URL".
    std::string UnitRecord(const std::string& district, const std::string& unit_id);
    // One plain service call ("UserInfo_Get" of the user): its round trip in ms, or -1.
    double PlainRoundTripMs(const std::string& user_id, const std::string& session);
    std::string UnitBase(const std::string& unit_id) const;

private:
    std::optional<std::string> Post(const std::string& path, const std::string& body,
                                    const char* content_type);

    int port_;
};
