#include <SystemInfo/SIHardware.h>

#include <Darwin/Darwin.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSProcessInfo.h>
#include <Foundation/NSPropertyListSerialization.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIScreen.h>

#include <cmath>
#include <utility>

NS_IMPLEMENT_CLASS(SIHardware, NSObject) {}

namespace {

const std::pair<const char*, const char*> kMarketingNames[] = {
    {"i386", "Simulator"},           {"iPod3,1", "iPod Touch 3"}, {"iPod4,1", "iPod Touch 4"},
    {"iPod5,1", "iPod Touch 5"},     {"iPhone2,1", "iPhone 3Gs"}, {"iPhone3,1", "iPhone 4"},
    {"iPhone4,1", "iPhone 4s"},      {"iPhone5,1", "iPhone 5"},   {"iPhone5,2", "iPhone 5"},
    {"iPhone5,3", "iPhone 5c"},      {"iPhone5,4", "iPhone 5c"},  {"iPhone6,1", "iPhone 5s"},
    {"iPhone6,2", "iPhone 5s"},      {"iPhone7,2", "iPhone 6"},   {"iPhone7,1", "iPhone 6 Plus"},
    {"iPad2,1", "iPad 2"},           {"iPad2,2", "iPad 2"},       {"iPad2,3", "iPad 2"},
    {"iPad2,5", "iPad Mini"},        {"iPad2,6", "iPad Mini"},    {"iPad2,7", "iPad Mini"},
    {"iPad3,1", "iPad 3"},           {"iPad3,2", "iPad 3"},       {"iPad3,3", "iPad 3"},
    {"iPad3,4", "iPad 4"},           {"iPad3,5", "iPad 4"},       {"iPad3,6", "iPad 4"},
    {"iPad4,1", "iPad Air"},         {"iPad4,2", "iPad Air"},     {"iPad4,4", "iPad Mini Retina"},
    {"iPad4,5", "iPad Mini Retina"}, {"iPad5,3", "iPad Air 2"},   {"iPad5,4", "iPad Air 2"},
};

id infoValue(const char* key) {
    auto info = SIInfoForDevice();
    return info ? info->objectForKey(NSString::from(key)) : nullptr;
}

bool infoSaysYes(const char* key) {
    auto value = cast<NSString>(infoValue(key));
    return value && value->str() == "Yes";
}

} // namespace

Ref<NSString> SIPlatformTypeForMachine(const std::string& machine) {
    for (const auto& [identifier, name] : kMarketingNames) {
        if (machine == identifier) {
            return NSString::from(name);
        }
    }
    if (machine.find("iPhone") != std::string::npos) {
        return NSString::from(machine.substr(0, 6));
    }
    if (machine.find("iPad") != std::string::npos || machine.find("iPod") != std::string::npos) {
        return NSString::from(machine.substr(0, 4));
    }
    return nullptr;
}

Ref<NSDictionary> SIInfoForDevice() {
    auto type = SIHardware::platformType();
    if (!type) {
        return nullptr;
    }
    auto name = type->stringByReplacingOccurrencesOfStringWithString(" "_ns, ""_ns);
    auto path = NSBundle::mainBundle()->pathForResourceOfType(name, "plist"_ns);
    return path ? NSDictionaryWithContentsOfFile(path) : nullptr;
}

Ref<NSDictionary> SIHardware::infoForDevice() {
    return SIInfoForDevice();
}

Ref<NSString> SIHardware::deviceModel() {
    return UIDevice::currentDevice()->model();
}

Ref<NSString> SIHardware::deviceName() {
    return UIDevice::currentDevice()->name();
}

Ref<NSString> SIHardware::systemName() {
    return UIDevice::currentDevice()->systemName();
}

Ref<NSString> SIHardware::systemVersion() {
    return UIDevice::currentDevice()->systemVersion();
}

NSInteger SIHardware::screenWidth() {
    return static_cast<NSInteger>(std::trunc(UIScreen::mainScreen()->bounds().size.width));
}

NSInteger SIHardware::screenHeight() {
    return static_cast<NSInteger>(std::trunc(UIScreen::mainScreen()->bounds().size.height));
}

double SIHardware::brightness() {
    return static_cast<double>(UIScreen::mainScreen()->brightness()) * 100.0;
}

Ref<NSString> SIHardware::platformType() {
    darwin::utsname name;
    if (darwin::uname(&name) != 0) {
        return nullptr;
    }
    return SIPlatformTypeForMachine(name.machine);
}

Ref<NSString> SIHardware::bootTime() {
    long seconds = static_cast<long>(NSProcessInfo::processInfo()->systemUptime());
    return NSString::stringWithFormat("%02li:%02li:%02li", seconds / 3600, (seconds / 60) % 60, seconds % 60);
}

bool SIHardware::proximitySensor() {
    auto device = UIDevice::currentDevice();
    if (device->isProximityMonitoringEnabled()) {
        return true;
    }
    device->setProximityMonitoringEnabled(true);
    if (device->isProximityMonitoringEnabled()) {
        device->setProximityMonitoringEnabled(false);
        return true;
    }
    return false;
}

bool SIHardware::multitaskingEnabled() {
    return UIDevice::currentDevice()->isMultitaskingSupported();
}

id SIHardware::sim() {
    return infoValue("sim");
}
id SIHardware::dimensions() {
    return infoValue("dimensions");
}
id SIHardware::weight() {
    return infoValue("weight");
}
id SIHardware::displayType() {
    return infoValue("display-type");
}
id SIHardware::displayDensity() {
    return infoValue("display-density");
}
id SIHardware::WLAN() {
    return infoValue("WLAN");
}
id SIHardware::bluetooth() {
    return infoValue("bluetooth");
}
id SIHardware::cameraPrimary() {
    return infoValue("camera-primary");
}
id SIHardware::cameraSecondary() {
    return infoValue("camera-secondary");
}
id SIHardware::cpu() {
    return infoValue("cpu");
}
id SIHardware::gpu() {
    return infoValue("gpu");
}
bool SIHardware::siri() {
    return infoSaysYes("siri");
}
bool SIHardware::touchID() {
    return infoSaysYes("touch-id");
}
