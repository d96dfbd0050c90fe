#pragma once

#include <map>
#include <mutex>
#include <string>

// kHold keeps the answer back past the client's 60-second watchdog; kHuge pads it far beyond
// the size of any real answer.
enum class FaultKind { kNone, kDelay, kStatus, kNotJson, kDrop, kEid1, kHold, kHuge };

// A fault injected into the answers of one method ("*" for every method). `value` is the delay
// or hold in milliseconds, the HTTP status, or the padding in MB; `count` limits how many answers
// it spoils (0: until cleared).
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
    // Whether a fault is set for exactly this method (not counting "*").
    bool Has(const std::string& method);

    static FaultKind KindFromName(const std::string& name);

    static const int kHoldMs = 65000;
    static const int kHugeMb = 50;

private:
    std::mutex mutex_;
    std::map<std::string, SimFault> faults_;
};
