// EAAccessory: an external accessory connected to the device (through the connector or
// Bluetooth), as the device reports it.
#pragma once

#include <Foundation/NSArray.h>
#include <Foundation/NSString.h>

class EAAccessory : public NSObject {
    NS_OBJECT(EAAccessory, NSObject)
public:
    EAAccessory(NSUInteger connectionID, Ref<NSString> name, Ref<NSString> manufacturer, Ref<NSString> modelNumber,
                Ref<NSString> serialNumber, Ref<NSArray> protocolStrings);

    bool isConnected() const noexcept { return true; }
    NSUInteger connectionID() const noexcept { return connectionID_; }
    const Ref<NSString>& name() const noexcept { return name_; }
    const Ref<NSString>& manufacturer() const noexcept { return manufacturer_; }
    const Ref<NSString>& modelNumber() const noexcept { return modelNumber_; }
    const Ref<NSString>& serialNumber() const noexcept { return serialNumber_; }
    const Ref<NSArray>& protocolStrings() const noexcept { return protocolStrings_; }

private:
    NSUInteger connectionID_ = 0;
    Ref<NSString> name_;
    Ref<NSString> manufacturer_;
    Ref<NSString> modelNumber_;
    Ref<NSString> serialNumber_;
    Ref<NSArray> protocolStrings_;
};
