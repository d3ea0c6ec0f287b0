// The faults overlay over every domain of the simulated device (see DeviceFaults.h).
#include "DeviceFaults.h"
#include "DeviceSetup.h"

#include "ScriptedOperator.h"

#include <Device/SimAudio.h>
#include <Device/SimCamera.h>
#include <Device/SimDevice.h>
#include <Device/SimFaults.h>
#include <Device/SimPower.h>
#include <Device/SimRadios.h>
#include <Device/SimSensors.h>
#include <Device/SimTouchKeys.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

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

bool cameraFitted(const std::string& part) {
    auto& device = SimDevice::current();
    if (part == "backCamera" || part == "frontCamera") {
        auto camera =
            device.camera(part == "backCamera" ? SimDevice::CameraPosition::Back : SimDevice::CameraPosition::Front);
        return camera && camera->present;
    }
    if (part == "torch" || part == "flash") {
        auto back = device.camera(SimDevice::CameraPosition::Back);
        return back && back->present && back->hasFlash;
    }
    return true; // the display, its backlight and the storage
}

bool powerRadioFitted(const std::string& part) {
    auto& device = SimDevice::current();
    if (part == "battery") {
        return device.hasBattery();
    }
    if (part == "carrier") {
        // A device with a cellular radio has a SIM's carrier or a cellular interface; a Wi-Fi-only
        // tablet or an iPod touch has neither.
        auto interfaces = device.networkInterfaces();
        return device.carrier().has_value() ||
               std::any_of(interfaces.begin(), interfaces.end(), [](const auto& i) { return i.name == "pdp_ip0"; });
    }
    return true;
}

} // namespace

const std::vector<FaultDomain>& faultDomains() {
    static const std::vector<FaultDomain> domains = {
        {"sensors", &SimSensors::partNames,
         [](const std::string& part) {
             auto p = SimSensors::partNamed(part);
             return !p || SimSensors::current().fitted(*p);
         },
         [](const std::string& path, std::string* error) { return SimSensors::current().loadFaults(path, error); }},
        {"audio", [] { return numberedPartNames<SimAudio>(SimAudio::kPartCount); },
         [](const std::string& part) {
             auto p = SimAudio::partNamed(part);
             return !p || SimAudio::current().fitted(*p);
         },
         [](const std::string& path, std::string* error) { return SimAudio::current().loadFaults(path, error); }},
        {"cameras and display",
         [] {
             return std::vector<std::string>{"backCamera", "frontCamera", "torch",  "flash",
                                             "display",    "backlight",   "storage"};
         },
         &cameraFitted,
         [](const std::string& path, std::string* error) { return SimCamera::current().loadFaults(path, error); }},
        {"touch and keys", [] { return SimTouchKeys::partNames(); },
         [](const std::string& part) { return SimTouchKeys::current().fitted(part); },
         [](const std::string& path, std::string* error) { return SimTouchKeys::current().loadFaults(path, error); }},
        {"power and radios",
         [] {
             auto names = numberedPartNames<SimPower>(4);
             auto radios = numberedPartNames<SimRadios>(5);
             names.insert(names.end(), radios.begin(), radios.end());
             return names;
         },
         &powerRadioFitted,
         [](const std::string& path, std::string* error) {
             return SimPower::current().loadFaults(path, error) && SimRadios::current().loadFaults(path, error);
         }},
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

bool readJSONObject(const std::string& path, const std::string& what, nlohmann::ordered_json& object,
                    std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) {
            *error = why;
        }
        return false;
    };
    // A directory opens as a file here and reads as nothing, which would be reported as a JSON error.
    if (std::error_code ignored; std::filesystem::is_directory(path, ignored)) {
        return fail(path + " is a directory, not a file");
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return fail("cannot read " + path);
    }
    std::stringstream text;
    text << file.rdbuf();
    nlohmann::ordered_json document;
    if (std::string why; !sim_faults::parseDocument(text.str(), document, &why)) {
        return fail(path + ": " + why);
    }
    if (!document.is_object()) {
        return fail(path + " is not a JSON object of " + what);
    }
    object = std::move(document);
    return true;
}

bool readFaultsOverlay(const std::string& path, std::map<std::string, std::string>& faults, std::string* error) {
    nlohmann::ordered_json document;
    if (!readJSONObject(path, "part names and states", document, error)) {
        return false;
    }
    for (auto& [part, state] : document.items()) {
        faults[part] = state.is_string() ? state.get<std::string>() : state.dump();
    }
    return true;
}

namespace {

std::string joined(const std::vector<std::string>& names) {
    std::string list;
    for (const auto& name : names) {
        list += (list.empty() ? "" : ", ") + name;
    }
    return list;
}

} // namespace

bool loadDeviceFaults(const std::string& path, std::map<std::string, std::string>& faults, std::string* error) {
    std::map<std::string, std::string> read;
    if (!readFaultsOverlay(path, read, error)) {
        return false;
    }
    auto known = knownFaultParts();
    auto questions = ScriptedOperator::questionParts();
    std::string device = SimDevice::current().identity().hardwareIdentifier;
    for (const auto& [part, state] : read) {
        if (!std::binary_search(known.begin(), known.end(), part)) {
            *error = path + ": unknown part \"" + part + "\" (known parts: " + joined(known) + ")";
            return false;
        }
        if (std::find(questions.begin(), questions.end(), part) != questions.end()) {
            auto states = ScriptedOperator::lookStates(part);
            if (std::find(states.begin(), states.end(), state) == states.end()) {
                *error = path + ": " + sim_faults::unknownState(part, state, states);
                return false;
            }
            continue;
        }
        for (const auto& domain : faultDomains()) {
            auto names = domain.partNames();
            if (std::find(names.begin(), names.end(), part) != names.end() && !domain.fitted(part)) {
                *error = path + ": the " + device + " has no part \"" + part + "\" to break";
                return false;
            }
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

std::map<std::string, std::string> casingLooks(const std::map<std::string, std::string>& faults) {
    std::map<std::string, std::string> looks;
    for (const auto& part : ScriptedOperator::questionParts()) {
        if (auto it = faults.find(part); it != faults.end()) {
            looks.insert(*it);
        }
    }
    return looks;
}
