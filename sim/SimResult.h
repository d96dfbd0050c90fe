#pragma once

#include <cstdint>
#include <string>

// The outcome of a control operation: a message id or a session id on success.
struct SimResult {
    bool ok = false;
    std::string error;
    int64_t id = 0;
    std::string text;

    static SimResult Fail(std::string error) { return {false, std::move(error), 0, {}}; }
    static SimResult Done(int64_t id = 0, std::string text = {}) {
        return {true, {}, id, std::move(text)};
    }
};
