#include "sim/SimCommand.h"

#include "sim/http/Base64.h"
#include "sim/http/TextUtil.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <set>
#include <sstream>

using nlohmann::json;

namespace {
const std::set<std::string> kFlags = {"not-json", "drop", "eid1", "hold", "huge", "clear"};
const std::set<std::string> kCommands = {"send",  "remind",  "unread", "expire",
                                         "fault", "publish", "session"};
}  // namespace

bool SimCommand::IsCommand(const std::string& name) {
    return kCommands.count(name) != 0;
}

int SimCommand::TypeOfFile(const std::string& name) {
    const std::string suffix = text_util::SafeSuffix(name);
    if (suffix == "png" || suffix == "jpg" || suffix == "jpeg" || suffix == "gif" ||
        suffix == "bmp")
        return 3;
    if (suffix == "wav" || suffix == "mp3" || suffix == "amr" || suffix == "m4a")
        return 4;
    if (suffix == "mp4" || suffix == "avi" || suffix == "mkv" || suffix == "flv" || suffix == "mov")
        return 5;
    return 2;
}

bool SimCommand::Options(const std::vector<std::string>& args, std::string* error) {
    for (size_t i = 1; i < args.size(); ++i) {
        if (!text_util::StartsWith(args[i], "--")) {
            *error = "unexpected argument " + args[i];
            return false;
        }
        const std::string name = args[i].substr(2);
        if (kFlags.count(name)) {
            options_[name] = "1";
        } else if (i + 1 < args.size()) {
            options_[name] = args[++i];
        } else {
            *error = "missing value for --" + name;
            return false;
        }
    }
    return true;
}

std::string SimCommand::Get(const std::string& name) const {
    const auto it = options_.find(name);
    return it == options_.end() ? std::string() : it->second;
}

bool SimCommand::Require(const std::vector<std::string>& names, std::string* error) const {
    for (const std::string& name : names) {
        if (Get(name).empty()) {
            *error = operation_ + " needs --" + name;
            return false;
        }
    }
    return true;
}

bool SimCommand::ReadFile(const std::string& path, std::string* data, std::string* error) const {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        *error = "cannot read " + path;
        return false;
    }
    std::stringstream content;
    content << file.rdbuf();
    *data = content.str();
    return true;
}

bool SimCommand::Parse(const std::vector<std::string>& args, std::string* error) {
    if (args.empty() || !IsCommand(args[0])) {
        *error = "unknown command";
        return false;
    }
    operation_ = args[0];
    if (!Options(args, error))
        return false;
    if (!Get("port").empty())
        port_ = static_cast<int>(text_util::ToInt(Get("port"), 8770));
    return BuildBody(error);
}

bool SimCommand::BuildBody(std::string* error) {
    json body = json::object();
    const auto copy = [&](const char* name) {
        if (!Get(name).empty())
            body[name] = Get(name);
    };
    for (const char* name : {"from", "to", "text", "url", "user", "remind", "num", "method",
                             "count", "version", "seconds", "type"})
        copy(name);
    if (operation_ == "send") {
        if (!Require({"from", "to"}, error))
            return false;
        if (!Get("file").empty()) {
            std::string data;
            if (!ReadFile(Get("file"), &data, error))
                return false;
            const std::string path = Get("file");
            body["name"] = path.substr(path.find_last_of("/\\") + 1);
            body["file"] = base64::Encode(data);
            if (Get("type").empty())
                body["type"] = std::to_string(TypeOfFile(path));
        } else if (!Require({"text"}, error)) {
            return false;
        }
    } else if (operation_ == "remind") {
        if (!Require({"to", "remind", "text"}, error))
            return false;
    } else if (operation_ == "unread") {
        if (!Require({"user", "remind", "num"}, error))
            return false;
    } else if (operation_ == "expire" || operation_ == "session") {
        if (!Require({"user"}, error))
            return false;
    } else if (operation_ == "publish") {
        std::string data;
        if (!Require({"version", "file"}, error) || !ReadFile(Get("file"), &data, error))
            return false;
        const std::string path = Get("file");
        body["name"] = path.substr(path.find_last_of("/\\") + 1);
        body["data"] = base64::Encode(data);
    } else if (operation_ == "fault") {
        const std::string kinds[] = {"status", "delay", "not-json", "drop",
                                     "eid1",   "hold",  "huge",     "clear"};
        for (const std::string& kind : kinds) {
            if (!Get(kind).empty()) {
                body["kind"] = kind;
                if (kind == "status" || kind == "delay")
                    body["value"] = Get(kind);
            }
        }
        if (!body.contains("kind") || (body["kind"] != "clear" && !Require({"method"}, error))) {
            if (error->empty())
                *error =
                    "fault needs one of --status N, --delay MS, --not-json, --drop, --eid1, "
                    "--hold, --huge, "
                    "--clear";
            return false;
        }
    }
    body_ = body.dump();
    return true;
}
