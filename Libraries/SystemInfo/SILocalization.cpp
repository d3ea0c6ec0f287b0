#include <SystemInfo/SILocalization.h>

#include <Foundation/NSLocale.h>
#include <Foundation/NSTimeZone.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(SILocalization, NSObject) {}

Ref<NSString> SILocalization::language() {
    auto languages = NSLocale::preferredLanguages();
    return languages && languages->count() > 0 ? cast<NSString>(languages->objectAtIndex(0)) : nullptr;
}

Ref<NSString> SILocalization::timeZone() {
    return NSTimeZone::systemTimeZone()->name();
}

Ref<NSString> SILocalization::currencySymbol() {
    return cast<NSString>(NSLocale::currentLocale()->objectForKey(NSLocaleCurrencySymbol()));
}

Ref<NSString> SILocalization::currencyCode() {
    return cast<NSString>(NSLocale::currentLocale()->objectForKey(NSLocaleCurrencyCode()));
}

Ref<NSString> SILocalization::country() {
    return NSLocale::currentLocale()->localeIdentifier();
}

Ref<NSString> SILocalization::measurementSystem() {
    return cast<NSString>(NSLocale::currentLocale()->objectForKey(NSLocaleMeasurementSystem()));
}
