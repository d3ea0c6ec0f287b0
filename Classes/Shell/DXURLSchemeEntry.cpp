#include <Shell/DXURLSchemeEntry.h>

#include <Foundation/NSArray.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSUserDefaults.h>

namespace {

const char* const kSchemePrefix = "enoxm://";

Ref<NSString> nonEmptyText(const Ref<NSDictionary>& parameters, const char* key) {
    auto text = cast<NSString>(parameters->objectForKey(NSString::from(key)));
    return text && text->length() > 0 ? text : nullptr;
}

void storeOrRemove(const Ref<NSUserDefaults>& defaults, const Ref<NSDictionary>& parameters, const char* key) {
    auto value = cast<NSString>(parameters->objectForKey(NSString::from(key)));
    if (value) {
        defaults->setObjectForKey(value, NSString::from(key));
    } else {
        defaults->removeObjectForKey(NSString::from(key));
    }
}

} // namespace

const Ref<NSString>& kReceiveimeiNotification() {
    static const Ref<NSString> name = "kReceiveimeiNotification"_ns;
    return name;
}

Ref<NSDictionary> DXURLSchemeParameters(const Ref<NSString>& text) {
    if (!text) {
        return nullptr;
    }
    auto rest = text;
    auto prefix = NSString::from(kSchemePrefix);
    if (rest->hasPrefix(prefix)) {
        rest = rest->substringFromIndex(prefix->length());
    }
    if (rest->length() == 0) {
        return nullptr;
    }
    auto pairs = NSMutableDictionary::dictionary();
    auto pieces = rest->componentsSeparatedByString("&"_ns);
    for (const id& item : *pieces) {
        auto parts = cast<NSString>(item)->componentsSeparatedByString("="_ns);
        auto key = cast<NSString>(parts->firstObject())->stringByRemovingPercentEncoding();
        auto value = cast<NSString>(parts->lastObject())->stringByRemovingPercentEncoding();
        if (!key || !value) {
            NSLog("parseParamAndNotify: a pair that is not valid percent-encoding is left out");
            continue;
        }
        pairs->setObjectForKey(value, key);
    }
    return pairs;
}

bool DXStoreDeviceIdentifiers(const Ref<NSDictionary>& parameters) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    auto imei = nonEmptyText(parameters, "imei");
    auto meid = nonEmptyText(parameters, "meid");
    defaults->setObjectForKey(imei ? imei : meid ? meid : ""_ns, "uniqueid"_ns);
    // The transaction sends "serial" as the serial number: an absent one is sent as "".
    auto serial = cast<NSString>(parameters->objectForKey("serial"_ns));
    defaults->setObjectForKey(serial ? serial : ""_ns, "serial"_ns);
    storeOrRemove(defaults, parameters, "product");
    storeOrRemove(defaults, parameters, "meid");
    return defaults->synchronize();
}

bool DXHasDeviceIdentifier() {
    auto stored = NSUserDefaults::standardUserDefaults()->stringForKey("uniqueid"_ns);
    return stored && stored->length() > 0;
}
