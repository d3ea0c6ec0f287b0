// The station file "quorvane_temp.txt" in the documents folder, as the status screens read it: a
// JSON object, written by the testing station as plain UTF-8 text or as Base64 of that text.
#pragma once

#include <Foundation/NSDictionary.h>

namespace dx_station {

// The file's object, read afresh; nil when the file is missing, unreadable or not a JSON object.
// With `base64`, text that decodes as Base64 (surrounding white space, such as a trailing line
// feed, is allowed) is decoded first.
Ref<NSDictionary> readStationFile(bool base64);
// The text at `key` of the file's object, or nil when it is missing or not a text.
Ref<NSString> stationText(const char* key, bool base64);

} // namespace dx_station
