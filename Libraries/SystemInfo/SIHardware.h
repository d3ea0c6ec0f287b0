// SIHardware: the device's model, names, screen, uptime, marketing name and its device
// information file (a property list of the bundle named after the marketing name without blanks).
// Class operations only; each reads the platform afresh.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

class SIHardware : public NSObject {
    NS_OBJECT(SIHardware, NSObject)
public:
    static Ref<NSDictionary> infoForDevice();
    static Ref<NSString> deviceModel();
    static Ref<NSString> deviceName();
    static Ref<NSString> systemName();
    static Ref<NSString> systemVersion();
    static NSInteger screenWidth();
    static NSInteger screenHeight();
    // 0 to 100.
    static double brightness();
    // "iPhone 6 Plus" for "iPhone7,1"; the family ("iPhone", "iPad", "iPod") for an identifier the
    // table does not know; nil for anything else.
    static Ref<NSString> platformType();
    // The time since the system started, "hh:mm:ss" (hours not wrapped at 24).
    static Ref<NSString> bootTime();
    // Whether proximity monitoring can be switched on (it is switched back off when it was off).
    static bool proximitySensor();
    static bool multitaskingEnabled();

    // Values of the device information file (nil when the file or the key is missing).
    static id sim();
    static id dimensions();
    static id weight();
    static id displayType();
    static id displayDensity();
    static id WLAN();
    static id bluetooth();
    static id cameraPrimary();
    static id cameraSecondary();
    static id cpu();
    static id gpu();
    // YES only when the file's value is exactly "Yes".
    static bool siri();
    static bool touchID();
};

// The marketing name of a machine identifier, by the rules of SIHardware::platformType.
Ref<NSString> SIPlatformTypeForMachine(const std::string& machine);
// The device information file of this model (shared with SIBattery).
Ref<NSDictionary> SIInfoForDevice();
