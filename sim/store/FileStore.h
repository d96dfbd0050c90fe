#pragma once

#include <string>

class SimDb;

// Uploaded attachments, addressed by a random reference ("MsgFile/<hex>.<suffix>").
class FileStore {
public:
    explicit FileStore(SimDb& db) : db_(db) {}

    std::string Put(const std::string& name, const std::string& data);
    bool Get(const std::string& reference, std::string* name, std::string* data);

private:
    SimDb& db_;
};
