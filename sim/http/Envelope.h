#pragma once

#include "sim/http/SimReply.h"

#include <nlohmann/json.hpp>

#include <string>

// The "Velta" reply envelope. Every value the client reads is a JSON string.
namespace envelope {

using Json = nlohmann::ordered_json;

// {"EID": "0"} to be filled by the caller.
Json Ok();
SimReply Reply(const Json& velta);
SimReply Error(const std::string& eid, const std::string& message);
// The platform answers one record as a bare object where the client accepts both shapes.
Json ListOrObject(const Json& array);

}  // namespace envelope
