// SICarrier: the SIM's cellular provider. Class operations only; nil texts and NO without a SIM.
#pragma once

#include <Foundation/NSString.h>

class SICarrier : public NSObject {
    NS_OBJECT(SICarrier, NSObject)
public:
    static Ref<NSString> carrierName();
    static Ref<NSString> carrierISOCountryCode();
    static Ref<NSString> carrierMobileCountryCode();
    static Ref<NSString> carrierMobileNetworkCode();
    static bool carrierAllowsVOIP();
};
