#pragma once

#include <string>
#include <utility>
#include <vector>

// One request as the services see it: the path with repeated slashes collapsed, split into
// the unit (for paths under "/unit/<id>/"), the rest of the path and the method name.
class SimRequest {
public:
    SimRequest(std::string verb, const std::string& raw_path, std::string query, std::string body);

    void AddParam(const std::string& name, const std::string& value);
    // Field names are matched without regard to case, as the platform does.
    std::string Param(const std::string& name) const;
    bool HasParam(const std::string& name) const;

    const std::string& Verb() const { return verb_; }
    const std::string& Path() const { return path_; }
    // Lower-case path for matching.
    const std::string& Key() const { return key_; }
    const std::string& UnitId() const { return unit_id_; }
    // The path after "/unit/<id>/" (empty for other paths), as written and in lower case.
    const std::string& Rest() const { return rest_; }
    const std::string& RestKey() const { return rest_key_; }
    const std::string& Query() const { return query_; }
    const std::string& Body() const { return body_; }
    // The last path segment: the service method for service paths.
    const std::string& Method() const { return method_; }

private:
    std::string verb_, path_, key_, unit_id_, rest_, rest_key_, query_, body_, method_;
    std::vector<std::pair<std::string, std::string>> params_;
};
