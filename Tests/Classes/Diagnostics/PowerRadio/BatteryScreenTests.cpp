// The battery screen on each system's data source, with a healthy and a worn battery, a battery
// service that is missing, a registry that reports garbage, a gauge a little over its full
// capacity, and the temperature and capacity rows at their limits.
#include "PowerRadioTestCase.h"

#include <Core/NormalTableViewCell.h>
#include <Diagnostics/PowerRadio/BatteryCells.h>
#include <Diagnostics/PowerRadio/BatteryViewController.h>
#include <UIKit/NSIndexPath.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIDevice.h>

#include <array>
#include <cmath>

using Rows = std::vector<std::pair<std::string, std::string>>;

class BatteryScreenTests : public PowerRadioTestCase {
protected:
    Ref<BatteryViewController> battery() {
        auto screen = cast<BatteryViewController>(run("BatteryViewController"));
        EXPECT_TRUE(screen);
        return screen;
    }
};

TEST_F(BatteryScreenTests, System11ReadsTheSmartBatteryInMilliampHours) {
    // iPhone10,3 on 11.2.6: the smart battery gauge gives percentages in its plain capacity keys.
    auto screen = battery();
    EXPECT_EQ(screen->rowTexts(), (Rows{{"Charge", "2240/2635 mAh"}, {"Voltage", "4.09 V"}}));
    EXPECT_TRUE(screen->warninglabel()->isHidden());
    answer(true);
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(BatteryScreenTests, AWornBatteryShowsItsSmallFullCapacityAndTheOperatorSaysNo) {
    power().setState(SimPower::Part::Battery, SimPower::State::Worn);
    auto screen = battery();
    EXPECT_EQ(screen->rowTexts()[0].second, "1570/1847 mAh");
    answer(false);
    EXPECT_EQ(result(), DXTestResultFail);
}

TEST_F(BatteryScreenTests, RegistryChangesReachTheScreenWhileItIsShown) {
    auto screen = battery();
    power().plug(SimPower::Source::Charger);
    advance(600); // ten minutes on the charger
    auto rows = screen->rowTexts();
    // The service reports at each whole percent: the last report came at 92%.
    EXPECT_EQ(rows[0].second, "2424/2635 mAh");
    EXPECT_EQ(rows[1].second, "4.24 V");
    EXPECT_FALSE(ended());
}

TEST_F(BatteryScreenTests, NoBatteryServiceLeavesZerosForTheOperator) {
    power().setState(SimPower::Part::Battery, SimPower::State::Absent);
    auto screen = battery();
    EXPECT_EQ(screen->rowTexts(), (Rows{{"Charge", "0/0 mAh"}, {"Voltage", "0.00 V"}}));
    advance(60);
    EXPECT_FALSE(ended());
    answer(false);
    EXPECT_EQ(result(), DXTestResultFail);
}

TEST_F(BatteryScreenTests, ALaterSessionOnADeviceWithoutTheServiceFindsNone) {
    // The listener outlives a session: the next one, on a device without the battery service, must
    // not read the service the first one found.
    battery();
    answer(true);
    ASSERT_EQ(result(), DXTestResultPass);
    TearDown();
    SetUp();
    power().setState(SimPower::Part::Battery, SimPower::State::Absent);
    auto screen = battery();
    EXPECT_EQ(screen->rowTexts(), (Rows{{"Charge", "0/0 mAh"}, {"Voltage", "0.00 V"}}));
    EXPECT_FALSE(ended());
    answer(false);
    EXPECT_EQ(result(), DXTestResultFail);
}

TEST_F(BatteryScreenTests, GarbageFromTheRegistryFailsTheTest) {
    const nlohmann::json garbage[] = {
        {{"Voltage", "4100"}, {"AppleRawMaxCapacity", 2600}, {"AppleRawCurrentCapacity", 2000}}, // text
        {{"AppleRawMaxCapacity", 2600}, {"AppleRawCurrentCapacity", 2000}},                      // missing
        {{"Voltage", 4100}, {"AppleRawMaxCapacity", -2600}, {"AppleRawCurrentCapacity", 2000}},  // negative
        {{"Voltage", 4100}, {"AppleRawMaxCapacity", 2600}, {"AppleRawCurrentCapacity", 5200}},   // 200%
        {{"Voltage", 4100}, {"AppleRawMaxCapacity", {1, 2}}, {"AppleRawCurrentCapacity", 2000}}, // array
        "not a dictionary",
    };
    for (const auto& properties : garbage) {
        power().overrideServiceProperties("AppleSmartBattery", properties);
        battery();
        EXPECT_EQ(result(), DXTestResultFail) << properties.dump();
        EXPECT_TRUE(ended());
        TearDown();
        SetUp();
    }
}

TEST_F(BatteryScreenTests, AChargeUpTo105PercentIsAGaugeSettlingAndAboveItFails) {
    // 2730 of 2600 mAh (105%): the gauge settles; the operator still judges.
    power().overrideServiceProperties(
        "AppleSmartBattery",
        nlohmann::json{{"Voltage", 4100}, {"AppleRawMaxCapacity", 2600}, {"AppleRawCurrentCapacity", 2730}});
    auto screen = battery();
    EXPECT_FALSE(ended());
    EXPECT_EQ(screen->rowTexts()[0].second, "2730/2600 mAh");
    answer(true);
    EXPECT_EQ(result(), DXTestResultPass);
    TearDown();
    SetUp();
    // 2860 of 2600 mAh (110%): nonsense.
    power().overrideServiceProperties(
        "AppleSmartBattery",
        nlohmann::json{{"Voltage", 4100}, {"AppleRawMaxCapacity", 2600}, {"AppleRawCurrentCapacity", 2860}});
    battery();
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_TRUE(ended());
}

TEST_F(BatteryScreenTests, GarbageArrivingLaterFailsOnce) {
    battery();
    power().overrideServiceProperties("AppleSmartBattery", nlohmann::json{{"Voltage", nullptr}});
    advance(0.5);
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_TRUE(ended());
}

TEST_F(BatteryScreenTests, LeavingStopsTheListener) {
    auto screen = battery();
    EXPECT_TRUE(IOKitListener::sharedIOKitListener()->listenerActive());
    answer(true);
    EXPECT_FALSE(IOKitListener::sharedIOKitListener()->listenerActive());
    // Later registry changes reach nobody and change nothing.
    power().overrideServiceProperties("AppleSmartBattery", nlohmann::json("garbage"));
    advance(1);
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(BatteryScreenTests, System12ShowsTheTableDesignCapacityAndFollowsTheLevel) {
    useProfile({{"systemVersion", "12.4"}});
    auto screen = battery();
    EXPECT_EQ(screen->rowTexts(), (Rows{{"Charge", "2308/2716 mAh"}}));
    EXPECT_TRUE(UIDevice::currentDevice()->isBatteryMonitoringEnabled());
    SimDevice::current().setBatteryLevel(0.5f);
    advance(0.1);
    EXPECT_EQ(screen->rowTexts(), (Rows{{"Charge", "1358/2716 mAh"}}));
    answer(true);
    EXPECT_FALSE(UIDevice::currentDevice()->isBatteryMonitoringEnabled());
}

TEST_F(BatteryScreenTests, System12WithAnUnknownModelReadsZero) {
    useProfile({{"systemVersion", "12.4"}, {"identifier", "iPhone99,9"}});
    auto screen = battery();
    EXPECT_EQ(screen->rowTexts(), (Rows{{"Charge", "0/0 mAh"}}));
}

class OldBatteryScreenTests : public BatteryScreenTests {
protected:
    void SetUp() override {
        BatteryScreenTests::SetUp();
        useProfile({{"identifier", "iPhone7,2"}, {"systemVersion", "9.3"}});
    }
    // The power source's dictionary reaches the screen after a change of the battery state.
    void plugAndWait() {
        power().plug(SimPower::Source::Charger);
        runUntil([&] { return !cast<BatteryViewController>(testScreen())->rowTexts()[2].second.starts_with("0.00"); },
                 2);
    }
};

TEST_F(OldBatteryScreenTests, SixRowsFromThePowerSource) {
    auto screen = battery();
    EXPECT_FALSE(screen->warninglabel()->isHidden());
    EXPECT_EQ(screen->rowTexts().size(), 6u);
    // Switching monitoring on is the first change the listener hears of.
    advance(0.5);
    auto rows = screen->rowTexts();
    EXPECT_EQ(rows[0], (std::pair<std::string, std::string>{"Charge", "1493/1756 mAh"}));
    EXPECT_EQ(rows[1], (std::pair<std::string, std::string>{"Capacity", "1756/1810 mAh"}));
    EXPECT_EQ(rows[3].second, "120");
    EXPECT_EQ(rows[4].second, "29.50 ℃");
    EXPECT_EQ(rows[5].second, "-250 mA");
    power().plug(SimPower::Source::Charger);
    advance(0.5);
    rows = screen->rowTexts();
    EXPECT_EQ(rows[4].second, "33.50 ℃");
    EXPECT_EQ(rows[5].second, "1250 mA");
}

TEST_F(OldBatteryScreenTests, CapacityAboveTheDesignIsCappedAndTheBarGoesGreen) {
    power().overrideServiceProperties("AppleARMPMUCharger", nlohmann::json{{"IOClass", "AppleARMPMUCharger"},
                                                                           {"AppleRawMaxCapacity", 1800},
                                                                           {"AppleRawCurrentCapacity", 1750},
                                                                           {"DesignCapacity", 1715},
                                                                           {"CycleCount", 3},
                                                                           {"Voltage", 4123},
                                                                           {"Temperature", 4001},
                                                                           {"InstantAmperage", -300}});
    auto screen = battery();
    plugAndWait();
    auto rows = screen->rowTexts();
    EXPECT_EQ(rows[0].second, "1715/1715 mAh");
    EXPECT_EQ(rows[1].second, "1715/1715 mAh");
    EXPECT_EQ(rows[2].second, "4.12 V");
    auto capacity = cast<CapacityTableViewCell>(
        screen->tableView()->cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(1, 0)));
    ASSERT_TRUE(capacity);
    EXPECT_GT(capacity->progress(), 1.0);
    EXPECT_TRUE(capacity->isGreen());
    // 40.01 ℃ goes on the red badge.
    EXPECT_TRUE(shown(screen->highTemperatureLabel()));
    EXPECT_EQ(labelText(screen->highTemperatureLabel()), "40.01 ℃");
}

TEST_F(OldBatteryScreenTests, FortyDegreesIsShownPlainlyWithoutTheBadge) {
    power().overrideServiceProperties("AppleARMPMUCharger", nlohmann::json{{"IOClass", "AppleARMPMUCharger"},
                                                                           {"AppleRawMaxCapacity", 1700},
                                                                           {"AppleRawCurrentCapacity", 1500},
                                                                           {"DesignCapacity", 1715},
                                                                           {"CycleCount", 3},
                                                                           {"Voltage", 4123},
                                                                           {"Temperature", 4000},
                                                                           {"InstantAmperage", -300}});
    auto screen = battery();
    plugAndWait();
    auto cell = cast<NormalTableViewCell>(
        screen->tableView()->cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(4, 0)));
    ASSERT_TRUE(cell);
    EXPECT_EQ(labelText(cell->fieldValue()), "40.00 ℃");
    EXPECT_TRUE(shown(cell->fieldValue()));
    EXPECT_FALSE(shown(screen->highTemperatureLabel()));
}

TEST_F(OldBatteryScreenTests, TheCapacityBarTurnsRedBelowEightyPercentOfTheDesign) {
    auto properties = [](int maximum) {
        return nlohmann::json{{"IOClass", "AppleARMPMUCharger"},
                              {"AppleRawMaxCapacity", maximum},
                              {"AppleRawCurrentCapacity", 1200},
                              {"DesignCapacity", 1715},
                              {"CycleCount", 300},
                              {"Voltage", 4000},
                              {"Temperature", 3000},
                              {"InstantAmperage", -300}};
    };
    auto barColour = [&](const Ref<BatteryViewController>& screen) {
        auto cell = cast<CapacityTableViewCell>(
            screen->tableView()->cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(1, 0)));
        EXPECT_TRUE(cell);
        auto tint = cell ? cast<UIColor>(cell->progressBar()->progressTintColors()->firstObject()) : nullptr;
        CGFloat r = 0, g = 0, b = 0, a = 0;
        if (tint) {
            tint->getRedGreenBlueAlpha(&r, &g, &b, &a);
        }
        return std::array<long, 3>{std::lround(r * 255), std::lround(g * 255), std::lround(b * 255)};
    };
    const std::array<long, 3> green = {152, 190, 0};
    const std::array<long, 3> red = {217, 56, 41};
    power().overrideServiceProperties("AppleARMPMUCharger", properties(1500)); // 0.87 of the design
    auto screen = battery();
    plugAndWait();
    EXPECT_EQ(screen->rowTexts()[1].second, "1500/1715 mAh");
    EXPECT_EQ(barColour(screen), green);
    power().overrideServiceProperties("AppleARMPMUCharger", properties(1372)); // 0.80: still green
    power().unplug(SimPower::Source::Charger);
    runUntil([&] { return screen->rowTexts()[1].second == "1372/1715 mAh"; }, 2);
    EXPECT_EQ(barColour(screen), green);
    power().overrideServiceProperties("AppleARMPMUCharger", properties(1300)); // 0.76: the same bar turns red
    power().plug(SimPower::Source::Charger);
    runUntil([&] { return screen->rowTexts()[1].second == "1300/1715 mAh"; }, 2);
    EXPECT_EQ(screen->rowTexts()[1].second, "1300/1715 mAh");
    EXPECT_EQ(barColour(screen), red);
}

TEST_F(OldBatteryScreenTests, AWornBatteryHasARedCapacityBar) {
    power().setState(SimPower::Part::Battery, SimPower::State::Worn);
    auto screen = battery();
    plugAndWait();
    EXPECT_EQ(screen->rowTexts()[1].second, "1231/1810 mAh");
    auto capacity = cast<CapacityTableViewCell>(
        screen->tableView()->cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(1, 0)));
    ASSERT_TRUE(capacity);
    EXPECT_FALSE(capacity->isGreen());
}

TEST_F(OldBatteryScreenTests, ADictionaryOfAnotherClassIsNotTheCharger) {
    EXPECT_TRUE(PowerSourceListener::isChargerDictionary(
        NSDictionary::dictionaryWithEntries({{"IOClass"_ns, "AppleARMPMUCharger"_ns}})));
    EXPECT_FALSE(PowerSourceListener::isChargerDictionary(
        NSDictionary::dictionaryWithEntries({{"IOClass"_ns, "applearmpmucharger"_ns}})));
    EXPECT_TRUE(PowerSourceListener::isChargerDictionary(
        NSDictionary::dictionaryWithEntries({{"IOClass"_ns, "AppleXpmuPOWERsource2"_ns}})));
    EXPECT_FALSE(PowerSourceListener::isChargerDictionary(NSDictionary::dictionary()));
    power().overrideServiceProperties("AppleARMPMUCharger", nlohmann::json{{"IOClass", "Other"}, {"Voltage", 1}});
    auto screen = battery();
    power().plug(SimPower::Source::Charger);
    advance(1);
    EXPECT_FALSE(ended());
    EXPECT_EQ(screen->rowTexts()[2].second, "0.00 V");
}

TEST_F(OldBatteryScreenTests, MonitoringSwitchedOnByAnotherPartIsLeftAlone) {
    auto listener = PowerSourceListener::sharedPowerSourceListener();
    UIDevice::currentDevice()->setBatteryMonitoringEnabled(true);
    listener->startListener();
    advance(0.1);
    EXPECT_FALSE(listener->isObserving());
    listener->stopListener();
    advance(0.1);
    EXPECT_TRUE(UIDevice::currentDevice()->isBatteryMonitoringEnabled());
}

TEST_F(BatteryScreenTests, TheRowsStartRightUnderTheHeaderBar) {
    auto screen = battery();
    screen->view()->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(screen->tableView()->frame().origin.y, DXHeaderHeight())
        << "nothing but the table's own section header above the rows";
}

TEST_F(OldBatteryScreenTests, TheWarningShowsAboveTheTable) {
    auto screen = battery();
    screen->view()->layoutIfNeeded();
    CGRect warning = screen->warninglabel()->frame();
    EXPECT_GT(warning.size.height, 0);
    EXPECT_GE(warning.origin.y, DXHeaderHeight());
    EXPECT_GE(screen->tableView()->frame().origin.y, CGRectGetMaxY(warning)) << "the warning is not covered";
}
