// CTCarrier: the provider of the SIM, as the device reports it when the object is made.
#pragma once

#include <Foundation/NSString.h>

class CTCarrier : public NSObject {
    NS_OBJECT(CTCarrier, NSObject)
public:
    CTCarrier(Ref<NSString> carrierName, Ref<NSString> isoCountryCode, Ref<NSString> mobileCountryCode,
              Ref<NSString> mobileNetworkCode, bool allowsVOIP);

    const Ref<NSString>& carrierName() const noexcept { return carrierName_; }
    const Ref<NSString>& isoCountryCode() const noexcept { return isoCountryCode_; }
    const Ref<NSString>& mobileCountryCode() const noexcept { return mobileCountryCode_; }
    const Ref<NSString>& mobileNetworkCode() const noexcept { return mobileNetworkCode_; }
    bool allowsVOIP() const noexcept { return allowsVOIP_; }

    Ref<NSString> description() const override;

private:
    Ref<NSString> carrierName_;
    Ref<NSString> isoCountryCode_;
    Ref<NSString> mobileCountryCode_;
    Ref<NSString> mobileNetworkCode_;
    bool allowsVOIP_ = false;
};
