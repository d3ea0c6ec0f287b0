#include <SystemInfo/SIBattery.h>

#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>
#include <SystemInfo/SIHardware.h>

#include <cmath>

NS_IMPLEMENT_CLASS(SIBattery, NSObject) {}

namespace {

Ref<NSString> remainingHours(const char* key) {
    double level = SIBattery::batteryLevel();
    auto info = SIBattery::infoForDevice();
    id value = info ? info->objectForKey(NSString::from(key)) : nullptr;
    long long rated = 0;
    if (auto text = cast<NSString>(value)) {
        rated = text->longLongValue();
    } else if (auto number = cast<NSNumber>(value)) {
        rated = number->longLongValue();
    } else {
        return "NS"_ns;
    }
    // Without a known level there is no estimate, whatever the rated hours (a small rating would
    // otherwise come out as a plausible "0:00").
    if (level < 0) {
        return "ND"_ns;
    }
    double hours = static_cast<double>(rated);
    double remaining = hours - ((100.0 - level) * hours) / 100.0;
    double minutes = remaining * 60.0;
    long h = static_cast<long>(std::trunc(minutes / 60.0));
    long m = static_cast<long>(std::trunc(minutes - static_cast<double>(h) * 60.0));
    if (h < 0 || m < 0) {
        return "ND"_ns;
    }
    return NSString::stringWithFormat("%li:%02li", h, m);
}

} // namespace

Ref<UIDevice> SIBattery::device() {
    auto device = UIDevice::currentDevice();
    device->setBatteryMonitoringEnabled(true);
    return device;
}

Ref<NSDictionary> SIBattery::infoForDevice() {
    return SIInfoForDevice();
}

bool SIBattery::batteryFullCharged() {
    return batteryLevel() == 100.0;
}

bool SIBattery::inCharge() {
    return batteryState() == UIDeviceBatteryStateCharging || batteryState() == UIDeviceBatteryStateFull;
}

bool SIBattery::devicePluggedIntoPower() {
    return batteryState() != UIDeviceBatteryStateUnplugged;
}

NSInteger SIBattery::batteryState() {
    return static_cast<NSInteger>(device()->batteryState());
}

double SIBattery::batteryLevel() {
    float level = device()->batteryLevel();
    if (level <= 0.0f) {
        return -1.0;
    }
    return static_cast<double>(level) * 100.0;
}

Ref<NSString> SIBattery::remainingHoursForStandby() {
    return remainingHours("standby");
}
Ref<NSString> SIBattery::remainingHoursFor3gConversation() {
    return remainingHours("conversation3g");
}
Ref<NSString> SIBattery::remainingHoursFor2gConversation() {
    return remainingHours("conversation2g");
}
Ref<NSString> SIBattery::remainingHoursForInternet3g() {
    return remainingHours("internet3g");
}
Ref<NSString> SIBattery::remainingHoursForInternetWiFi() {
    return remainingHours("internetwifi");
}
Ref<NSString> SIBattery::remainingHoursForVideo() {
    return remainingHours("video");
}
Ref<NSString> SIBattery::remainingHoursForAudio() {
    return remainingHours("audio");
}
