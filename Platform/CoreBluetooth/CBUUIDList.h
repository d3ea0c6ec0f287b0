// Internal to CoreBluetooth: the UUID texts of a filter list (nil or empty means all), and whether a
// UUID passes it.
#pragma once

#include <CoreBluetooth/CBUUID.h>
#include <Foundation/NSArray.h>

#include <string>
#include <vector>

namespace cb_detail {

// Raises NSInvalidArgumentException for an element that is not a CBUUID.
std::vector<std::string> uuidTexts(const Ref<NSArray>& list, const char* caller);
bool passes(const std::vector<std::string>& filter, const std::string& uuid);

} // namespace cb_detail
