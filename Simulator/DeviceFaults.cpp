// The faults overlay over every domain of the simulated device (see DeviceFaults.h).
#include "DeviceFaults.h"

#include "ScriptedOperator.h"

#include "OperatorPowerRadio.h"

#include <Device/SimAudio.h>
#include <Device/SimCamera.h>
#include <Device/SimPower.h>
#include <Device/SimRadios.h>
#include <Device/SimSensors.h>
#include <Device/SimTouchKeys.h>

#include <algorithm>
#include <set>

namespace {

// The names of a domain whose parts are numbered from 0 to `count` - 1.
template <class Domain>
std::vector<std::string> numberedPartNames(size_t count) {
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) {
        names.emplace_back(Domain::partName(static_cast<typename Domain::Part>(i)));
    }
    return names;
}

} // namespace

const std::vector<FaultDomain>& faultDomains() {
    static const std::vector<FaultDomain> domains = {
        {"sensors", &SimSensors::partNames,
         [](const std::string& path, std::string* error) { return SimSensors::current().loadFaults(path, error); }},
        {"audio", [] { return numberedPartNames<SimAudio>(SimAudio::kPartCount); },
         [](const std::string& path, std::string* error) { return SimAudio::current().loadFaults(path, error); }},
        {"cameras and display",
         [] {
             return std::vector<std::string>{"backCamera", "frontCamera", "torch",  "flash",
                                             "display",    "backlight",   "storage"};
         },
         [](const std::string& path, std::string* error) { return SimCamera::current().loadFaults(path, error); }},
        {"touch and keys", [] { return SimTouchKeys::partNames(); },
         [](const std::string& path, std::string* error) { return SimTouchKeys::current().loadFaults(path, error); }},
        {"power and radios",
         [] {
             auto names = numberedPartNames<SimPower>(4);
             auto radios = numberedPartNames<SimRadios>(5);
             names.insert(names.end(), radios.begin(), radios.end());
             return names;
         },
         [](const std::string& path, std::string* error) { return operator_power_radio::loadFaults(path, error); }},
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
