#include <CoreTelephony/CTTelephonyNetworkInfo.h>

#include <Device/SimDevice.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(CTTelephonyNetworkInfo, NSObject) {
    using T = CTTelephonyNetworkInfo;
    b.readonlyProperty("subscriberCellularProvider", &T::subscriberCellularProvider);
    b.readonlyProperty("currentRadioAccessTechnology", &T::currentRadioAccessTechnology);
}

#define DX_TECHNOLOGY(name)                                                                                            \
    const Ref<NSString>& name() {                                                                                      \
        static const Ref<NSString>& text = *new Ref<NSString>(NSString::from(#name));                                  \
        return text;                                                                                                   \
    }
DX_TECHNOLOGY(CTRadioAccessTechnologyGPRS)
DX_TECHNOLOGY(CTRadioAccessTechnologyEdge)
DX_TECHNOLOGY(CTRadioAccessTechnologyWCDMA)
DX_TECHNOLOGY(CTRadioAccessTechnologyHSDPA)
DX_TECHNOLOGY(CTRadioAccessTechnologyHSUPA)
DX_TECHNOLOGY(CTRadioAccessTechnologyCDMA1x)
DX_TECHNOLOGY(CTRadioAccessTechnologyCDMAEVDORev0)
DX_TECHNOLOGY(CTRadioAccessTechnologyCDMAEVDORevA)
DX_TECHNOLOGY(CTRadioAccessTechnologyCDMAEVDORevB)
DX_TECHNOLOGY(CTRadioAccessTechnologyeHRPD)
DX_TECHNOLOGY(CTRadioAccessTechnologyLTE)
#undef DX_TECHNOLOGY

namespace {

Ref<CTCarrier> readProvider() {
    auto carrier = SimDevice::current().carrier();
    if (!carrier) {
        return nullptr;
    }
    auto text = [](const std::string& s) { return s.empty() ? Ref<NSString>() : NSString::from(s); };
    return make<CTCarrier>(text(carrier->name), text(carrier->isoCountryCode), text(carrier->mobileCountryCode),
                           text(carrier->mobileNetworkCode), carrier->allowsVOIP);
}

Ref<NSString> readTechnology() {
    auto technology = SimDevice::current().radioAccessTechnology();
    return technology.empty() ? nullptr : NSString::from(technology);
}

} // namespace

Ref<CTCarrier> CTTelephonyNetworkInfo::subscriberCellularProvider() const {
    return readProvider();
}

Ref<NSString> CTTelephonyNetworkInfo::currentRadioAccessTechnology() const {
    return readTechnology();
}
