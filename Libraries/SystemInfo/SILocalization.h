// SILocalization: the user's language, the time zone and the current locale's currency, country
// and measurement system. Class operations only.
#pragma once

#include <Foundation/NSString.h>

class SILocalization : public NSObject {
    NS_OBJECT(SILocalization, NSObject)
public:
    static Ref<NSString> language();
    static Ref<NSString> timeZone();
    static Ref<NSString> currencySymbol();
    static Ref<NSString> currencyCode();
    // The current locale's identifier ("en_US").
    static Ref<NSString> country();
    static Ref<NSString> measurementSystem();
};
