#include <SystemInfo/SISystem.h>

#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>
#include <SystemInfo/SIAccessory.h>
#include <SystemInfo/SIBattery.h>
#include <SystemInfo/SICarrier.h>
#include <SystemInfo/SIDisk.h>
#include <SystemInfo/SIHardware.h>
#include <SystemInfo/SIJailbreak.h>
#include <SystemInfo/SILocalization.h>
#include <SystemInfo/SIMemory.h>
#include <SystemInfo/SINetwork.h>
#include <SystemInfo/SIProcessor.h>

NS_IMPLEMENT_CLASS(SISystem, NSObject) {}

namespace {

// Stores answers in their forms; a nil answer leaves its key out.
struct Filler {
    const Ref<NSMutableDictionary>& d;

    void object(const char* key, const id& value) const {
        if (value) {
            d->setObjectForKey(value, NSString::from(key));
        }
    }
    void boolean(const char* key, bool value) const { object(key, NSNumber::numberWithBool(value)); }
    void int32(const char* key, NSInteger value) const {
        object(key, NSNumber::numberWithInt(static_cast<int>(value)));
    }
    void integer(const char* key, NSInteger value) const {
        object(key, NSNumber::numberWithLongLong(static_cast<long long>(value)));
    }
    void real(const char* key, double value) const {
        object(key, NSNumber::numberWithFloat(static_cast<float>(value)));
    }
};

void battery(const Filler& f) {
    f.boolean("batteryFullCharged", SIBattery::batteryFullCharged());
    f.boolean("inCharge", SIBattery::inCharge());
    f.boolean("devicePluggedIntoPower", SIBattery::devicePluggedIntoPower());
    f.int32("batteryState", SIBattery::batteryState());
    f.real("batteryLevel", SIBattery::batteryLevel());
    f.object("remainingHoursForStandby", SIBattery::remainingHoursForStandby());
    f.object("remainingHoursFor3gConversation", SIBattery::remainingHoursFor3gConversation());
    f.object("remainingHoursFor2gConversation", SIBattery::remainingHoursFor2gConversation());
    f.object("remainingHoursForInternet3g", SIBattery::remainingHoursForInternet3g());
    f.object("remainingHoursForInternetWiFi", SIBattery::remainingHoursForInternetWiFi());
    f.object("remainingHoursForVideo", SIBattery::remainingHoursForVideo());
    f.object("remainingHoursForAudio", SIBattery::remainingHoursForAudio());
}

void disk(const Filler& f) {
    f.object("totalDiskSpace", SIDisk::totalDiskSpace());
    f.object("freeDiskSpace", SIDisk::freeDiskSpace());
    f.object("usedDiskSpace", SIDisk::usedDiskSpace());
    f.real("totalDiskSpaceInBytes", SIDisk::totalDiskSpaceInBytes());
    f.real("freeDiskSpaceInBytes", SIDisk::freeDiskSpaceInBytes());
    f.real("usedDiskSpaceInBytes", SIDisk::usedDiskSpaceInBytes());
}

void hardware(const Filler& f) {
    f.object("deviceModel", SIHardware::deviceModel());
    f.object("deviceName", SIHardware::deviceName());
    f.object("systemName", SIHardware::systemName());
    f.object("systemVersion", SIHardware::systemVersion());
    f.real("screenWidth", static_cast<double>(SIHardware::screenWidth()));
    f.real("screenHeight", static_cast<double>(SIHardware::screenHeight()));
    f.real("brightness", SIHardware::brightness());
    f.object("platformType", SIHardware::platformType());
    f.object("bootTime", SIHardware::bootTime());
    f.boolean("proximitySensor", SIHardware::proximitySensor());
    f.boolean("multitaskingEnabled", SIHardware::multitaskingEnabled());
    f.object("sim", SIHardware::sim());
    f.object("dimensions", SIHardware::dimensions());
    f.object("weight", SIHardware::weight());
    f.object("displayType", SIHardware::displayType());
    f.object("displayDensity", SIHardware::displayDensity());
    f.object("WLAN", SIHardware::WLAN());
    f.object("bluetooth", SIHardware::bluetooth());
    f.object("cameraPrimary", SIHardware::cameraPrimary());
    f.object("cameraSecondary", SIHardware::cameraSecondary());
    f.object("cpu", SIHardware::cpu());
    f.object("gpu", SIHardware::gpu());
}

void jailbreak(const Filler& f) {
    f.boolean("isJailbroken", SIJailbreak::isJailbroken());
}

void localization(const Filler& f) {
    f.object("language", SILocalization::language());
    f.object("timeZone", SILocalization::timeZone());
    f.object("currencySimbol", SILocalization::currencySymbol());
    f.object("currencyCode", SILocalization::currencyCode());
    f.object("country", SILocalization::country());
    f.object("measurementSystem", SILocalization::measurementSystem());
}

void memory(const Filler& f) {
    f.integer("totalMemory", SIMemory::totalMemory());
    f.real("freeMemory", SIMemory::freeMemory());
    f.real("usedMemory", SIMemory::usedMemory());
    f.real("activeMemory", SIMemory::activeMemory());
    f.real("wiredMemory", SIMemory::wiredMemory());
    f.real("inactiveMemory", SIMemory::inactiveMemory());
}

void network(const Filler& f) {
    f.object("currentIPAddress", SINetwork::currentIPAddress());
    f.boolean("connectedViaWiFi", SINetwork::connectedViaWiFi());
    f.boolean("connectedVia3G", SINetwork::connectedVia3G());
    f.object("macAddress", SINetwork::macAddress());
    f.object("externalIPAddress", SINetwork::externalIPAddress());
    f.object("cellIPAddress", SINetwork::cellIPAddress());
    f.object("WiFiNetmaskAddress", SINetwork::WiFiNetmaskAddress());
    f.object("WiFiBroadcastAddress", SINetwork::WiFiBroadcastAddress());
    f.object("BSSID", SINetwork::BSSID());
    f.object("SSID", SINetwork::SSID());
}

void processor(const Filler& f) {
    f.integer("processorsNumber", SIProcessor::processorsNumber());
    f.integer("activeProcessorsNumber", SIProcessor::activeProcessorsNumber());
    f.real("cpuUsageForApp", SIProcessor::cpuUsageForApp());
    f.object("activeProcesses", SIProcessor::activeProcesses());
    f.integer("numberOfActiveProcesses", SIProcessor::numberOfActiveProcesses());
}

void carrier(const Filler& f) {
    f.object("carrierName", SICarrier::carrierName());
    f.object("carrierISOCountryCode", SICarrier::carrierISOCountryCode());
    f.object("carrierMobileCountryCode", SICarrier::carrierMobileCountryCode());
    f.object("carrierMobileNetworkCode", SICarrier::carrierMobileNetworkCode());
    f.boolean("carrierAllowsVOIP", SICarrier::carrierAllowsVOIP());
}

void accessory(const Filler& f) {
    f.boolean("accessoriesPluggedIn", SIAccessory::accessoriesPluggedIn());
    f.integer("numberOfAccessoriesPluggedIn", SIAccessory::numberOfAccessoriesPluggedIn());
    f.boolean("isHeadphonesAttached", SIAccessory::isHeadphonesAttached());
}

Ref<NSMutableDictionary> fill(std::initializer_list<void (*)(const Filler&)> groups) {
    auto d = NSMutableDictionary::dictionary();
    Filler f{d};
    for (auto group : groups) {
        group(f);
    }
    return d;
}

} // namespace

Ref<NSMutableDictionary> SISystem::systemInformations() {
    return fill({battery, disk, hardware, jailbreak, localization, memory, network, processor, carrier, accessory});
}

Ref<NSMutableDictionary> SISystem::batteryInformations() {
    return fill({battery});
}
Ref<NSMutableDictionary> SISystem::diskInformations() {
    return fill({disk});
}
Ref<NSMutableDictionary> SISystem::hardwareInformations() {
    return fill({hardware});
}
Ref<NSMutableDictionary> SISystem::jailbreakInformations() {
    return fill({jailbreak});
}
Ref<NSMutableDictionary> SISystem::localizationInformations() {
    return fill({localization});
}
Ref<NSMutableDictionary> SISystem::memoryInformations() {
    return fill({memory});
}
Ref<NSMutableDictionary> SISystem::networkInformations() {
    return fill({network});
}
Ref<NSMutableDictionary> SISystem::processorInformations() {
    return fill({processor});
}
Ref<NSMutableDictionary> SISystem::carrierInformations() {
    return fill({carrier});
}
Ref<NSMutableDictionary> SISystem::accessoryInformations() {
    return fill({accessory});
}
