#pragma once

#include <string>

class SimDb;

// The latest client version and its installer; starts with the demo data's record, whose
// installer is the demo installer (sim/demo/installer.sh).
class VersionStore {
public:
    VersionStore(SimDb& db, std::string demo_no, std::string demo_url)
        : db_(db), demo_no_(std::move(demo_no)), demo_url_(std::move(demo_url)) {}

    void Latest(std::string* no, std::string* url);
    void Publish(const std::string& no, const std::string& url, const std::string& data);
    bool Installer(const std::string& url, std::string* data);

private:
    SimDb& db_;
    std::string demo_no_, demo_url_;
};
