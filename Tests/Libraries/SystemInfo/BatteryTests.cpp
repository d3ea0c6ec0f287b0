#include "SystemInfoTestCase.h"

#include <Foundation/NSFileManager.h>
#include <SystemInfo/SIBattery.h>

#include <filesystem>
#include <fstream>

class BatteryTests : public SystemInfoTestCase {};

TEST_F(BatteryTests, LevelsAndEstimates) {
    device().setBatteryLevel(0.5f);
    EXPECT_DOUBLE_EQ(SIBattery::batteryLevel(), 50.0);
    EXPECT_EQ(SIBattery::remainingHoursForStandby()->str(), "125:00");
    EXPECT_EQ(SIBattery::remainingHoursForInternet3g()->str(), "5:00");
    EXPECT_EQ(SIBattery::remainingHoursFor2gConversation()->str(), "7:00"); // rated as a number
    EXPECT_FALSE(SIBattery::batteryFullCharged());

    device().setBatteryLevel(1.0f);
    EXPECT_EQ(SIBattery::remainingHoursForInternet3g()->str(), "10:00");
    EXPECT_TRUE(SIBattery::batteryFullCharged());

    // 0.95 in single precision is 94.99999880... percent.
    device().setBatteryLevel(0.95f);
    EXPECT_EQ(SIBattery::remainingHoursForInternet3g()->str(), "9:29");

    // A level of 0 reads as unknown.
    device().setBatteryLevel(0.0f);
    EXPECT_DOUBLE_EQ(SIBattery::batteryLevel(), -1.0);
    EXPECT_EQ(SIBattery::remainingHoursForVideo()->str(), "ND");

    // No information file: "NS" whatever the level.
    load("iPad7,5");
    EXPECT_EQ(SIBattery::remainingHoursForStandby()->str(), "NS");
    EXPECT_EQ(SIBattery::remainingHoursForAudio()->str(), "NS");
}

TEST_F(BatteryTests, States) {
    struct Case {
        SimDevice::BatteryState state;
        bool plugged;
        bool charging;
    };
    for (auto c : {Case{SimDevice::BatteryState::Unknown, true, false}, Case{SimDevice::BatteryState::Full, true, true},
                   Case{SimDevice::BatteryState::Unplugged, false, false},
                   Case{SimDevice::BatteryState::Charging, true, true}}) {
        device().setBatteryState(c.state);
        EXPECT_EQ(SIBattery::batteryState(), static_cast<NSInteger>(c.state));
        EXPECT_EQ(SIBattery::devicePluggedIntoPower(), c.plugged);
        EXPECT_EQ(SIBattery::inCharge(), c.charging);
    }
    EXPECT_TRUE(SIBattery::device()->isBatteryMonitoringEnabled());
}

TEST_F(BatteryTests, AnUnknownBatteryHasNoEstimate) {
    // A bundle whose information file rates one activity at 1 hour and another at 0.
    auto bundle = NSSandbox::temporaryPath()->str() + "bundle";
    std::filesystem::create_directories(bundle);
    std::ofstream(bundle + "/iPhone6.plist") << R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>standby</key><string>1</string><key>audio</key><integer>0</integer>
<key>video</key><string>10</string></dict></plist>)";
    NSSandbox::setBundlePath(NSString::from(bundle));
    loadJSON(R"({"identifier": "iPhone7,2", "screen": {"width": 375, "height": 667},
                 "battery": {"present": false}})");
    EXPECT_DOUBLE_EQ(SIBattery::batteryLevel(), -1.0);
    EXPECT_EQ(SIBattery::batteryState(), 0);
    // Never a plausible "0:00" for a battery whose level nobody knows.
    EXPECT_EQ(SIBattery::remainingHoursForStandby()->str(), "ND");
    EXPECT_EQ(SIBattery::remainingHoursForAudio()->str(), "ND");
    EXPECT_EQ(SIBattery::remainingHoursForVideo()->str(), "ND");
    EXPECT_EQ(SIBattery::remainingHoursForInternet3g()->str(), "NS");
}
