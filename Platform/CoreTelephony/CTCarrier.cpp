#include <CoreTelephony/CTCarrier.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(CTCarrier, NSObject) {
    using C = CTCarrier;
    b.readonlyProperty("carrierName", &C::carrierName);
    b.readonlyProperty("isoCountryCode", &C::isoCountryCode);
    b.readonlyProperty("mobileCountryCode", &C::mobileCountryCode);
    b.readonlyProperty("mobileNetworkCode", &C::mobileNetworkCode);
    b.readonlyProperty("allowsVOIP", &C::allowsVOIP);
}

CTCarrier::CTCarrier(Ref<NSString> carrierName, Ref<NSString> isoCountryCode, Ref<NSString> mobileCountryCode,
                     Ref<NSString> mobileNetworkCode, bool allowsVOIP)
    : carrierName_(std::move(carrierName)), isoCountryCode_(std::move(isoCountryCode)),
      mobileCountryCode_(std::move(mobileCountryCode)), mobileNetworkCode_(std::move(mobileNetworkCode)),
      allowsVOIP_(allowsVOIP) {}

Ref<NSString> CTCarrier::description() const {
    return NSString::stringWithFormat("CTCarrier (%p) {Carrier name: [%@] Mobile Country Code: [%@] Mobile Network "
                                      "Code:[%@] ISO Country Code:[%@] Allows VOIP? [%s]}",
                                      static_cast<const void*>(this), carrierName_, mobileCountryCode_,
                                      mobileNetworkCode_, isoCountryCode_, allowsVOIP_ ? "YES" : "NO");
}
