#pragma once

#include <map>
#include <mutex>
#include <string>

enum class FaultKind { kNone, kDelay, kStatus, kNotJson, kDrop, kEid1 };

// A fault injected into the answers of one method ("*" for every method). `value` is the delay
// in milliseconds or the HTTP status; `count` limits how many answers it spoils (0: until cleared).
struct SimFault {
    std::string method;
    FaultKind kind = FaultKind::kNone;
    int value = 0;
    int count = 0;
};

class FaultTable {
public:
    void Set(const SimFault& fault);
    // An empty method clears every fault.
    void Clear(const std::string& method);
    // The fault for this method, if any; a limited fault is used up by the call.
    SimFault Take(const std::string& method);

    static FaultKind KindFromName(const std::string& name);

private:
    std::mutex mutex_;
    std::map<std::string, SimFault> faults_;
};
