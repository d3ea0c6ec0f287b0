// Setting the simulated device up for a run: the parts a faults overlay breaks, and the strict
// reading of the files a run is given. Only this side of the simulator reads an overlay; what it
// hands on is what a person sees of the device by eye (the looks of the casing and the glass), the
// scripted operator's only knowledge of it.
#pragma once

#include <nlohmann/json.hpp>

#include <map>
#include <string>

// Breaks the device's parts as the overlay at `path` says (every domain of the device applies it),
// and answers in `looks` the looks of the casing and the glass it gives (look -> state). False, with
// the reason in `error`, for an overlay that cannot be read or names an unknown part or state, or a
// part this device lacks.
bool loadFaultsForRun(const std::string& path, std::map<std::string, std::string>& looks, std::string* error);

// Reads the JSON object in the file at `path`, read to its last byte as the device reads an overlay
// (sim_faults::parseDocument: nothing but blanks after the value, no NUL byte anywhere, at most
// sim_faults::kMaximumDepth levels of arrays and objects). False with the reason in `error`, which
// names the file (a directory is said to be one); `what` says what the object holds ("test keys and
// answers") for a document that is no object.
bool readJSONObject(const std::string& path, const std::string& what, nlohmann::ordered_json& object,
                    std::string* error);
