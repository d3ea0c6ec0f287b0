// The faults overlay over all of the simulated device: one vocabulary of part names for every
// domain of the device (sensors, audio, cameras and display, touch and keys, power and radios) and
// the operator's questions. A file is checked as a whole before any domain applies it: a part that
// no domain knows is an error, never a clean device.
#pragma once

#include <map>
#include <string>
#include <vector>

// One domain of the device that can be broken: its part names and how it applies an overlay file
// (a domain passes over the names of other domains).
struct FaultDomain {
    const char* name;
    std::vector<std::string> (*partNames)();
    bool (*loadFaults)(const std::string& path, std::string* error);
};

// Every domain, in the order they apply an overlay. A new domain of the device adds its row here.
const std::vector<FaultDomain>& faultDomains();

// Every part name an overlay may use: each domain's, and the parts the operator's questions ask
// about.
std::vector<std::string> knownFaultParts();

// Reads the overlay at `path` into `faults` (part -> state), checks every part name, and has every
// domain apply it. False, with the reason in `error`, for a file that cannot be read, is not an
// object of part names and states, names an unknown part, or that a domain refuses.
bool loadDeviceFaults(const std::string& path, std::map<std::string, std::string>& faults, std::string* error);
