#include "sim/http/Envelope.h"

namespace envelope {

Json Ok() {
    Json velta = Json::object();
    velta["EID"] = "0";
    return velta;
}

SimReply Reply(const Json& velta) {
    Json root = Json::object();
    root["Velta"] = velta;
    return SimReply::Json(root.dump(-1, ' ', false, Json::error_handler_t::replace));
}

SimReply Error(const std::string& eid, const std::string& message) {
    Json velta = Json::object();
    velta["EID"] = eid;
    velta["ErrorMessage"] = message;
    return Reply(velta);
}

Json ListOrObject(const Json& array) {
    return array.size() == 1 ? array.at(0) : array;
}

}  // namespace envelope
