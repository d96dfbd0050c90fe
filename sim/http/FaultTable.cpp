#include "sim/http/FaultTable.h"

#include "sim/http/TextUtil.h"

void FaultTable::Set(const SimFault& fault) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_[text_util::Lower(fault.method)] = fault;
}

void FaultTable::Clear(const std::string& method) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (method.empty())
        faults_.clear();
    else
        faults_.erase(text_util::Lower(method));
}

SimFault FaultTable::Take(const std::string& method) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = faults_.find(text_util::Lower(method));
    if (it == faults_.end())
        it = faults_.find("*");
    if (it == faults_.end())
        return SimFault();
    const SimFault fault = it->second;
    if (fault.count > 0 && --it->second.count == 0)
        faults_.erase(it);
    return fault;
}

bool FaultTable::Has(const std::string& method) {
    std::lock_guard<std::mutex> lock(mutex_);
    return faults_.count(text_util::Lower(method)) != 0;
}

FaultKind FaultTable::KindFromName(const std::string& name) {
    const std::string key = text_util::Lower(name);
    if (key == "delay")
        return FaultKind::kDelay;
    if (key == "status")
        return FaultKind::kStatus;
    if (key == "not-json" || key == "notjson")
        return FaultKind::kNotJson;
    if (key == "drop")
        return FaultKind::kDrop;
    if (key == "eid1")
        return FaultKind::kEid1;
    if (key == "hold")
        return FaultKind::kHold;
    if (key == "huge")
        return FaultKind::kHuge;
    return FaultKind::kNone;
}
