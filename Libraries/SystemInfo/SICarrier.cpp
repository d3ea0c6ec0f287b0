#include <SystemInfo/SICarrier.h>

#include <CoreTelephony/CTTelephonyNetworkInfo.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(SICarrier, NSObject) {}

namespace {

Ref<CTCarrier> provider() {
    return make<CTTelephonyNetworkInfo>()->subscriberCellularProvider();
}

} // namespace

Ref<NSString> SICarrier::carrierName() {
    auto carrier = provider();
    return carrier ? carrier->carrierName() : nullptr;
}

Ref<NSString> SICarrier::carrierISOCountryCode() {
    auto carrier = provider();
    return carrier ? carrier->isoCountryCode() : nullptr;
}

Ref<NSString> SICarrier::carrierMobileCountryCode() {
    auto carrier = provider();
    return carrier ? carrier->mobileCountryCode() : nullptr;
}

Ref<NSString> SICarrier::carrierMobileNetworkCode() {
    auto carrier = provider();
    return carrier ? carrier->mobileNetworkCode() : nullptr;
}

bool SICarrier::carrierAllowsVOIP() {
    auto carrier = provider();
    return carrier && carrier->allowsVOIP();
}
