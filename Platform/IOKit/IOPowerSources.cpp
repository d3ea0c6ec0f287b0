#include <IOKit/IOPowerSources.h>

#include <Device/SimPower.h>
#include <Foundation/NSJSONSerialization.h>

Ref<NSDictionary> IOPSCopyPowerSourceDictionary() {
    auto json = SimPower::current().powerSourceDictionary();
    if (!json || !json->is_object()) {
        return nullptr;
    }
    auto data = NSData::dataWithString(json->dump());
    return cast<NSDictionary>(NSJSONSerialization::JSONObjectWithDataOptionsError(data, 0, nullptr));
}
