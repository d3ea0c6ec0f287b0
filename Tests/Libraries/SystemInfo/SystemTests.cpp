#include "SystemInfoTestCase.h"

#include "LoopbackServer.h"

#include <Foundation/NSNumber.h>
#include <SystemInfo/SINetwork.h>
#include <SystemInfo/SISystem.h>

#include <httplib.h>

#include <cstring>

class SystemTests : public SystemInfoTestCase {
protected:
    static NSInteger count(const Ref<NSDictionary>& d) { return static_cast<NSInteger>(d->count()); }
    static Ref<NSNumber> number(const Ref<NSDictionary>& d, const char* key) {
        return cast<NSNumber>(d->objectForKey(NSString::from(key)));
    }
    static std::string string(const Ref<NSDictionary>& d, const char* key) {
        auto s = cast<NSString>(d->objectForKey(NSString::from(key)));
        return s ? s->str() : "(nil)";
    }
};

TEST_F(SystemTests, GroupDictionaries) {
    auto jailbreak = SISystem::jailbreakInformations();
    EXPECT_EQ(count(jailbreak), 1);
    EXPECT_FALSE(number(jailbreak, "isJailbroken")->boolValue());

    auto hardware = SISystem::hardwareInformations();
    EXPECT_EQ(count(hardware), 22);
    auto width = number(hardware, "screenWidth");
    EXPECT_EQ(std::strcmp(width->objCType(), "f"), 0);
    EXPECT_EQ(width->floatValue(), 375.0f);
    EXPECT_EQ(string(hardware, "platformType"), "iPhone 6");
    EXPECT_EQ(string(hardware, "gpu"), "PowerVR GX6450");
    EXPECT_TRUE(number(hardware, "proximitySensor")->boolValue());

    auto memory = SISystem::memoryInformations();
    EXPECT_EQ(std::strcmp(number(memory, "totalMemory")->objCType(), "q"), 0);
    EXPECT_EQ(number(memory, "totalMemory")->integerValue(), 1024);
    EXPECT_EQ(number(memory, "usedMemory")->floatValue(), 650.0f);

    auto localization = SISystem::localizationInformations();
    EXPECT_EQ(count(localization), 6);
    EXPECT_EQ(string(localization, "currencySimbol"), "$");

    auto battery = SISystem::batteryInformations();
    EXPECT_EQ(count(battery), 12);
    EXPECT_EQ(std::strcmp(number(battery, "batteryState")->objCType(), "i"), 0);
    EXPECT_EQ(number(battery, "batteryState")->intValue(), 2);
    EXPECT_FLOAT_EQ(number(battery, "batteryLevel")->floatValue(), 60.0f);
    EXPECT_EQ(string(battery, "remainingHoursForStandby"), "150:00");

    auto processor = SISystem::processorInformations();
    EXPECT_EQ(count(processor), 5);
    EXPECT_EQ(number(processor, "numberOfActiveProcesses")->integerValue(), 3);

    auto carrier = SISystem::carrierInformations();
    EXPECT_EQ(count(carrier), 5);
    EXPECT_EQ(string(carrier, "carrierMobileCountryCode"), "310");

    auto accessory = SISystem::accessoryInformations();
    EXPECT_EQ(count(accessory), 3);
    EXPECT_FALSE(number(accessory, "isHeadphonesAttached")->boolValue());

    auto disk = SISystem::diskInformations();
    EXPECT_EQ(count(disk), 6);
    EXPECT_EQ(string(disk, "usedDiskSpace"), "11.00 GB");
}

TEST_F(SystemTests, MissingPartsLeaveTheirKeysOut) {
    // A Wi-Fi-only tablet without an information file, with an unknown battery.
    loadJSON(R"({"identifier": "iPad7,5", "model": "iPad", "idiom": "pad",
                 "screen": {"width": 768, "height": 1024}, "battery": {"present": false},
                 "network": {"interfaces": []}})");
    auto hardware = SISystem::hardwareInformations();
    EXPECT_EQ(count(hardware), 11); // no "sim" to "gpu"
    EXPECT_EQ(string(hardware, "platformType"), "iPad");
    EXPECT_FALSE(hardware->objectForKey("sim"_ns));

    auto battery = SISystem::batteryInformations();
    EXPECT_EQ(number(battery, "batteryLevel")->floatValue(), -1.0f);
    EXPECT_EQ(string(battery, "remainingHoursForVideo"), "NS");

    auto carrier = SISystem::carrierInformations();
    EXPECT_EQ(count(carrier), 1); // only the flag
    EXPECT_FALSE(number(carrier, "carrierAllowsVOIP")->boolValue());

    auto network = SISystem::networkInformations(); // no Wi-Fi, no cellular
    EXPECT_EQ(string(network, "currentIPAddress"), "0.0.0.0");
    EXPECT_FALSE(number(network, "connectedViaWiFi")->boolValue());
    for (const char* key : {"macAddress", "externalIPAddress", "cellIPAddress", "WiFiNetmaskAddress",
                            "WiFiBroadcastAddress", "BSSID", "SSID"}) {
        EXPECT_FALSE(network->objectForKey(NSString::from(key))) << key;
    }
    EXPECT_EQ(count(network), 3); // the address and the two path flags

    // An identifier of no known family: no marketing name either.
    loadJSON(R"({"identifier": "x86_64", "screen": {"width": 375, "height": 667}})");
    hardware = SISystem::hardwareInformations();
    EXPECT_FALSE(hardware->objectForKey("platformType"_ns));
    EXPECT_EQ(count(hardware), 10);
}

TEST_F(SystemTests, EverythingAtOnce) {
    DispatchClock::useRealTime();
    LoopbackServer server;
    server.server().Get("/cgi-bin/check_ip.cgi", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<html><body>Current IP Address: 203.0.113.9</body></html>", "text/html");
    });
    server.start();
    SINetwork::setExternalIPAddressURL(NSURL::URLWithString(NSString::from(server.url("/cgi-bin/check_ip.cgi"))));

    auto all = SISystem::systemInformations();
    EXPECT_EQ(count(all), 76);
    EXPECT_EQ(string(all, "externalIPAddress"), "203.0.113.9");
    EXPECT_EQ(string(all, "currentIPAddress"), "192.168.1.23");
    EXPECT_EQ(string(all, "WiFiBroadcastAddress"), "192.168.1.255");
    EXPECT_EQ(string(all, "SSID"), "StoreNet");
    EXPECT_EQ(string(all, "carrierName"), "Celvix Mobile");
    EXPECT_EQ(string(all, "timeZone"), "America/New_York");
    EXPECT_TRUE(all->objectForKey("currencySimbol"_ns));
    EXPECT_FALSE(all->objectForKey("siri"_ns));
    EXPECT_FALSE(all->objectForKey("touchID"_ns));
    server.stop();
}
