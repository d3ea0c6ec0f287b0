#include "StationFile.h"

#include <Categorys/DXUtility.h>
#include <Core/AdditionalTestManager.h>
#include <Foundation/NSCharacterSet.h>
#include <Foundation/NSData.h>
#include <Foundation/NSFileManager.h>

namespace dx_station {

namespace {

Ref<NSString> stationFilePath() {
    auto folders = NSSearchPathForDirectoriesInDomains(NSDocumentDirectory, NSUserDomainMask, true);
    auto documents = cast<NSString>(folders ? folders->firstObject() : nullptr);
    return documents ? documents->stringByAppendingPathComponent(DXStationFileName()) : nullptr;
}

} // namespace

Ref<NSDictionary> readStationFile(bool base64) {
    auto path = stationFilePath();
    auto text = path ? NSString::stringWithContentsOfFile(path) : nullptr;
    if (!text) {
        return nullptr;
    }
    if (base64) {
        auto trimmed = text->stringByTrimmingCharactersInSet(NSCharacterSet::whitespaceAndNewlineCharacterSet());
        auto data = trimmed->length() > 0 ? NSData::dataWithBase64EncodedStringOptions(trimmed, 0) : nullptr;
        auto decoded = data ? NSString::stringWithDataEncoding(data, NSUTF8StringEncoding) : nullptr;
        if (decoded) {
            text = decoded;
        }
    }
    return cast<NSDictionary>(DXUtility::dictionaryWithJsonString(text));
}

Ref<NSString> stationText(const char* key, bool base64) {
    auto dictionary = readStationFile(base64);
    return dictionary ? cast<NSString>(dictionary->objectForKey(NSString::from(key))) : nullptr;
}

} // namespace dx_station
