// CTTelephonyNetworkInfo: the SIM's provider and the radio access technology of the cellular link,
// read from the simulated device at each call.
#pragma once

#include <CoreTelephony/CTCarrier.h>

// The radio access technologies, with the platform's texts.
const Ref<NSString>& CTRadioAccessTechnologyGPRS();
const Ref<NSString>& CTRadioAccessTechnologyEdge();
const Ref<NSString>& CTRadioAccessTechnologyWCDMA();
const Ref<NSString>& CTRadioAccessTechnologyHSDPA();
const Ref<NSString>& CTRadioAccessTechnologyHSUPA();
const Ref<NSString>& CTRadioAccessTechnologyCDMA1x();
const Ref<NSString>& CTRadioAccessTechnologyCDMAEVDORev0();
const Ref<NSString>& CTRadioAccessTechnologyCDMAEVDORevA();
const Ref<NSString>& CTRadioAccessTechnologyCDMAEVDORevB();
const Ref<NSString>& CTRadioAccessTechnologyeHRPD();
const Ref<NSString>& CTRadioAccessTechnologyLTE();

class CTTelephonyNetworkInfo : public NSObject {
    NS_OBJECT(CTTelephonyNetworkInfo, NSObject)
public:
    CTTelephonyNetworkInfo() = default;

    // nil on a device without a SIM (or without a cellular radio).
    Ref<CTCarrier> subscriberCellularProvider() const;
    // nil when there is no cellular link.
    Ref<NSString> currentRadioAccessTechnology() const;
};
