// The faults overlay over every domain of the simulated device (see DeviceFaults.h).
#include "DeviceFaults.h"

#include "ScriptedOperator.h"

#include <Device/SimSensors.h>

#include <algorithm>
#include <set>

const std::vector<FaultDomain>& faultDomains() {
    static const std::vector<FaultDomain> domains = {
        {"sensors", &SimSensors::partNames,
         [](const std::string& path, std::string* error) { return SimSensors::current().loadFaults(path, error); }},
    };
    return domains;
}

std::vector<std::string> knownFaultParts() {
    std::vector<std::string> parts = ScriptedOperator::questionParts();
    for (const auto& domain : faultDomains()) {
        auto names = domain.partNames();
        parts.insert(parts.end(), names.begin(), names.end());
    }
    std::sort(parts.begin(), parts.end());
    parts.erase(std::unique(parts.begin(), parts.end()), parts.end());
    return parts;
}

bool loadDeviceFaults(const std::string& path, std::map<std::string, std::string>& faults, std::string* error) {
    std::map<std::string, std::string> read;
    if (!ScriptedOperator::readFaults(path, read, error)) {
        return false;
    }
    auto known = knownFaultParts();
    for (const auto& [part, state] : read) {
        if (!std::binary_search(known.begin(), known.end(), part)) {
            std::string list;
            for (const auto& name : known) {
                list += (list.empty() ? "" : ", ") + name;
            }
            *error = path + ": unknown part \"" + part + "\" (known parts: " + list + ")";
            return false;
        }
    }
    for (const auto& domain : faultDomains()) {
        if (!domain.loadFaults(path, error)) {
            return false;
        }
    }
    faults = std::move(read);
    return true;
}
