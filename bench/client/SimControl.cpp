#include "SimControl.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "ChildProcess.h"
#include "base/ServicePaths.h"

using nlohmann::json;

std::optional<std::string> SimControl::Post(const std::string& path, const std::string& body,
                                            const char* content_type) {
    httplib::Client client("127.0.0.1", port_);
    client.set_tcp_nodelay(true);
    client.set_keep_alive(false);
    const auto answer = client.Post(path.c_str(), body, content_type);
    if (!answer || answer->status != 200)
        return std::nullopt;
    return answer->body;
}

std::optional<long long> SimControl::Send(const std::string& from, const std::string& to,
                                          const std::string& text) {
    const json request{{"from", from}, {"to", to}, {"text", text}};
    const auto answer = Post("/_sim/send", request.dump(), "application/json");
    const json reply = answer ? json::parse(*answer, nullptr, false) : json();
    if (!reply.is_object() || !reply.value("ok", false))
        return std::nullopt;
    return std::stoll(reply.value("id", std::string("0")));
}

std::string SimControl::Session(const std::string& user) {
    const auto answer = Post("/_sim/session", json{{"user", user}}.dump(), "application/json");
    const json reply = answer ? json::parse(*answer, nullptr, false) : json();
    return reply.is_object() ? reply.value("text", std::string()) : std::string();
}

std::string SimControl::UnitBase(const std::string& unit_id) const {
    return "/unit/" + unit_id + "/";
}

std::string SimControl::UnitRecord(const std::string& district, const std::string& unit_id) {
    const auto answer =
        Post(std::string(service_paths::kVendorPath) + service_paths::method::kUnitGetList,
             "area_id=" + district + "&keyword=", "application/x-www-form-urlencoded");
    const json reply = answer ? json::parse(*answer, nullptr, false) : json();
    if (!reply.is_object())
        return std::string();
    json units = reply["Velta"]["R"];
    if (units.is_object())
        units = json::array({units});
    for (const json& unit : units) {
        if (unit.value("Unit_ID", std::string()) == unit_id)
            return unit_id + "," + unit.value("UnitName", std::string()) + "," +
                   unit.value("UnitUrl", std::string()) + "," +
                   unit.value("UnitUrl2", std::string());
    }
    return std::string();
}

double SimControl::PlainRoundTripMs(const std::string& user_id, const std::string& session) {
    const std::string path =
        UnitBase("1001") + service_paths::kInterfacePath + service_paths::method::kUserInfoGet;
    const TimePoint start = Clock::now();
    const auto answer =
        Post(path, "User_ID=" + user_id + "&SessionID=" + session + "&GetUser_ID=" + user_id,
             "application/x-www-form-urlencoded");
    return answer ? MsBetween(start, Clock::now()) : -1;
}
