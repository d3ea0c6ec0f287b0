// The faults overlay over all of the simulated device: one vocabulary of part names for every
// domain of the device (sensors, audio, cameras and display, touch and keys, power and radios) and
// the looks of the casing and the glass that the operator inspects by eye. A file is checked as a
// whole before any domain applies it: a part that no domain knows, a state a part cannot be in, or a
// part the device is built without is an error, never a clean device.
//
// Only the simulator's set-up reads an overlay. The operator (Operator*.cpp, ScriptedOperator*.cpp)
// never does: it is handed the looks of the casing (`casingLooks`) and finds out everything else by
// trying the device.
#pragma once

#include <nlohmann/json.hpp>

#include <map>
#include <string>
#include <vector>

// One domain of the device that can be broken: its part names, whether the device in force is built
// with a part (a tablet has no receiver), and how it applies an overlay file (a domain passes over
// the names of other domains).
struct FaultDomain {
    const char* name;
    std::vector<std::string> (*partNames)();
    bool (*fitted)(const std::string& part);
    bool (*loadFaults)(const std::string& path, std::string* error);
};

// Every domain, in the order they apply an overlay. A new domain of the device adds its row here.
const std::vector<FaultDomain>& faultDomains();

// Every part name an overlay may use: each domain's, and the looks the operator inspects by eye.
std::vector<std::string> knownFaultParts();

// Reads an overlay ({"part": "state", ...}) into `faults` (a state that is not a text is kept as its
// JSON text); false with the reason in `error`.
bool readFaultsOverlay(const std::string& path, std::map<std::string, std::string>& faults, std::string* error);

// Reads the overlay at `path` into `faults` (part -> state), checks every part name and every look's
// state, checks that the device in force has every part named, and has every domain apply it. False,
// with the reason in `error`, for a file that cannot be read, is not an object of part names and
// states, names an unknown part or a part this device lacks, gives a look an unknown state, or that
// a domain refuses.
bool loadDeviceFaults(const std::string& path, std::map<std::string, std::string>& faults, std::string* error);

// The part of an overlay the operator sees with its own eyes: the looks of the casing and the glass
// (liquid indicator, screen, decoration, engraving), and nothing of the device's inner parts.
std::map<std::string, std::string> casingLooks(const std::map<std::string, std::string>& faults);
