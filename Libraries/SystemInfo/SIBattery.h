// SIBattery: the battery's state and level, and estimates of the time left for an activity from
// the level and the model's rated hours (the device information file). Class operations only;
// battery monitoring is switched on before every read and left on.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>
#include <UIKit/UIDevice.h>

class SIBattery : public NSObject {
    NS_OBJECT(SIBattery, NSObject)
public:
    // The current device, with battery monitoring on.
    static Ref<UIDevice> device();
    static Ref<NSDictionary> infoForDevice();
    static bool batteryFullCharged();
    // Charging or full.
    static bool inCharge();
    // Any state but unplugged (an unknown state counts as plugged in).
    static bool devicePluggedIntoPower();
    // 0 unknown, 1 unplugged, 2 charging, 3 full.
    static NSInteger batteryState();
    // Percent; -1.0 when the level is unknown.
    static double batteryLevel();

    // "h:mm" left for the activity; "NS" when the model has no rated hours for it; "ND" when the
    // time cannot be told (an unknown level).
    static Ref<NSString> remainingHoursForStandby();
    static Ref<NSString> remainingHoursFor3gConversation();
    static Ref<NSString> remainingHoursFor2gConversation();
    static Ref<NSString> remainingHoursForInternet3g();
    static Ref<NSString> remainingHoursForInternetWiFi();
    static Ref<NSString> remainingHoursForVideo();
    static Ref<NSString> remainingHoursForAudio();
};
