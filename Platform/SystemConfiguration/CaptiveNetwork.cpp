#include <SystemConfiguration/CaptiveNetwork.h>

#include <Device/SimDevice.h>
#include <Foundation/NSData.h>

namespace {

const char* kWiFiInterface = "en0";

} // namespace

const Ref<NSString>& kCNNetworkInfoKeySSID() {
    static const Ref<NSString>& key = *new Ref<NSString>("SSID"_ns);
    return key;
}

const Ref<NSString>& kCNNetworkInfoKeyBSSID() {
    static const Ref<NSString>& key = *new Ref<NSString>("BSSID"_ns);
    return key;
}

const Ref<NSString>& kCNNetworkInfoKeySSIDData() {
    static const Ref<NSString>& key = *new Ref<NSString>("SSIDDATA"_ns);
    return key;
}

Ref<NSArray> CNCopySupportedInterfaces() {
    for (const auto& i : SimDevice::current().networkInterfaces()) {
        if (i.name == kWiFiInterface) {
            return NSArray::arrayWithObjects({NSString::from(kWiFiInterface)});
        }
    }
    return nullptr;
}

Ref<NSDictionary> CNCopyCurrentNetworkInfo(const Ref<NSString>& interfaceName) {
    if (!interfaceName || interfaceName->str() != kWiFiInterface) {
        return nullptr;
    }
    auto& device = SimDevice::current();
    bool up = false;
    for (const auto& i : device.networkInterfaces()) {
        up = up || (i.name == kWiFiInterface && i.up);
    }
    auto network = device.wifiNetwork();
    if (!up || network.ssid.empty()) {
        return nullptr;
    }
    return NSDictionary::dictionaryWithEntries(
        {{kCNNetworkInfoKeySSID(), NSString::from(network.ssid)},
         {kCNNetworkInfoKeyBSSID(), NSString::from(network.bssid)},
         {kCNNetworkInfoKeySSIDData(), NSData::dataWithBytesLength(network.ssid.data(), network.ssid.size())}});
}
