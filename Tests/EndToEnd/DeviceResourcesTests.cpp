// The shipped device resources agree with each other: every device profile has its row in the
// support list "models" and its design capacity in "batteryinfo", and the row rules out exactly the
// tests of parts the profile says the device lacks.
#include <Device/SimDevice.h>
#include <Foundation/NSData.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSPropertyListSerialization.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <sstream>

namespace {

// A property list of the bundle, read by the platform, as JSON.
nlohmann::json toJSON(const id& value) {
    if (auto dictionary = cast<NSDictionary>(value)) {
        auto out = nlohmann::json::object();
        for (const auto& [k, v] : *dictionary) {
            out[cast<NSString>(k)->str()] = toJSON(v);
        }
        return out;
    }
    if (auto text = cast<NSString>(value)) {
        return text->str();
    }
    if (auto number = cast<NSNumber>(value)) {
        return number->longLongValue();
    }
    return nullptr;
}

nlohmann::json readPlist(const std::string& name) {
    auto data = NSData::dataWithContentsOfFile(NSString::from(std::string(DX_RESOURCES_DIR) + "/" + name));
    if (!data) {
        return nullptr;
    }
    return toJSON(NSPropertyListSerialization::propertyListWithDataOptionsFormatError(data, 0, nullptr, nullptr));
}

nlohmann::json readProfile(const std::string& identifier) {
    std::ifstream file(std::string(DX_RESOURCES_DIR) + "/Devices/" + identifier + ".json");
    return nlohmann::json::parse(file, nullptr, false);
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool sensorPresent(const nlohmann::json& profile, const char* part, bool byDefault) {
    if (!profile.contains("sensors") || !profile["sensors"].contains(part)) {
        return byDefault;
    }
    const auto& value = profile["sensors"][part];
    return value.is_boolean() ? value.get<bool>() : value.value("present", byDefault);
}

} // namespace

TEST(DeviceResourcesTest, ThereAreFourShippedDevicesWithAnIPodAmongThem) {
    auto profiles = SimDevice::availableProfiles();
    EXPECT_EQ(profiles.size(), 4u);
    auto ipod = readProfile("iPod7,1");
    ASSERT_TRUE(ipod.is_object());
    EXPECT_FALSE(ipod.contains("carrier")) << "no cellular radio";
    EXPECT_FALSE(sensorPresent(ipod, "vibrationMotor", true));
    EXPECT_FALSE(sensorPresent(ipod, "barometer", true));
}

TEST(DeviceResourcesTest, EveryProfileHasItsSupportRowAndBatteryCapacity) {
    auto models = readPlist("models.plist");
    auto battery = readPlist("batteryinfo.plist");
    ASSERT_TRUE(models.is_object());
    ASSERT_TRUE(battery.is_object());
    for (const auto& identifier : SimDevice::availableProfiles()) {
        SCOPED_TRACE(identifier);
        auto profile = readProfile(identifier);
        ASSERT_TRUE(profile.is_object());
        auto row = lower(identifier);
        ASSERT_TRUE(models.contains(row));
        ASSERT_TRUE(battery.contains(row));
        EXPECT_GT(battery[row].get<int>(), 0);
        EXPECT_EQ(profile["battery"].value("designCapacity", 0), battery[row].get<int>());
        EXPECT_TRUE(profile.contains("modelNumber"));

        const auto& keys = models[row]["keys"];
        bool tablet = profile.value("idiom", "phone") == "pad";
        auto supported = [&](const char* key) { return keys.value(key, "yes") != "no"; };
        EXPECT_EQ(supported("VIBRATION"), sensorPresent(profile, "vibrationMotor", !tablet));
        EXPECT_EQ(supported("BAROMETER_TEST"), sensorPresent(profile, "barometer", true));
        EXPECT_EQ(supported("PROXIMITY_TEST"), profile["proximity"].value("present", true));
        bool cellular = profile.contains("carrier") && !profile["carrier"].is_null();
        EXPECT_EQ(supported("SIM_TRAY_TEST"), cellular);
        EXPECT_EQ(supported("RF"), cellular);
        EXPECT_EQ(supported("LIVECALL"), cellular);
        EXPECT_EQ(supported("SMS_TEST"), cellular);
        EXPECT_EQ(supported("FORCE_TOUCH_TEST"), profile["screen"].value("forceTouch", false));
        // The torch is the back camera's flash: a phone has one unless its profile says otherwise.
        bool torch = !tablet;
        for (const auto& camera : profile.value("cameras", nlohmann::json::array())) {
            if (camera.value("position", "") == "back") {
                torch = camera.value("present", true) && camera.value("flash", !tablet);
            }
        }
        EXPECT_EQ(supported("FLASH_TEST"), torch);
    }
}
