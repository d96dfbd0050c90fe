#include "sim/http/SimRequest.h"

#include "sim/http/TextUtil.h"

SimRequest::SimRequest(std::string verb, const std::string& raw_path, std::string query,
                       std::string body)
    : verb_(std::move(verb)), query_(std::move(query)), body_(std::move(body)) {
    for (char c : raw_path) {
        if (c != '/' || path_.empty() || path_.back() != '/')
            path_.push_back(c);
    }
    key_ = text_util::Lower(path_);
    const auto slash = path_.rfind('/');
    method_ = slash == std::string::npos ? path_ : path_.substr(slash + 1);
    const std::string prefix = "/unit/";
    if (key_.compare(0, prefix.size(), prefix) == 0) {
        const auto end = path_.find('/', prefix.size());
        unit_id_ = path_.substr(prefix.size(),
                                end == std::string::npos ? std::string::npos : end - prefix.size());
        if (end != std::string::npos) {
            rest_ = path_.substr(end + 1);
            rest_key_ = key_.substr(end + 1);
        }
    }
}

void SimRequest::AddParam(const std::string& name, const std::string& value) {
    params_.emplace_back(name, value);
}

std::string SimRequest::Param(const std::string& name) const {
    for (const auto& param : params_) {
        if (text_util::EqualsIgnoreCase(param.first, name))
            return param.second;
    }
    return std::string();
}

bool SimRequest::HasParam(const std::string& name) const {
    for (const auto& param : params_) {
        if (text_util::EqualsIgnoreCase(param.first, name))
            return true;
    }
    return false;
}
