// Setting the simulated device up for a run: the parts a faults overlay breaks. Only this side of
// the simulator reads an overlay; what it hands on is what a person sees of the device by eye (the
// looks of the casing and the glass), the scripted operator's only knowledge of it.
#pragma once

#include <map>
#include <string>

// Breaks the device's parts as the overlay at `path` says (every domain of the device applies it),
// and answers in `looks` the looks of the casing and the glass it gives (look -> state). False, with
// the reason in `error`, for an overlay that cannot be read or names an unknown part or state, or a
// part this device lacks.
bool loadFaultsForRun(const std::string& path, std::map<std::string, std::string>& looks, std::string* error);
