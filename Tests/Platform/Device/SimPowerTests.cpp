// The battery, the feeds that charge it and the power-service registry on the clock, and the IOKit
// calls over them.
#include <Device/SimDevice.h>
#include <Device/SimPower.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSRunLoop.h>
#include <IOKit/IOKitLib.h>
#include <IOKit/IOPowerSources.h>
#include <Support/PlatformTestCase.h>

using Part = SimPower::Part;
using State = SimPower::State;
using Source = SimPower::Source;
using BatteryState = SimDevice::BatteryState;

class SimPowerTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        // The battery drains from the moment it was set up: set up again on the virtual clock, so
        // that no real time (however long the machine took to get here) has passed for it.
        power.reset();
    }
    SimPower& power = SimPower::current();
    SimDevice& device = SimDevice::current();
};

TEST_F(SimPowerTests, ChargesOnTheChargerUntilFullAndDrainsUnplugged) {
    EXPECT_EQ(device.batteryState(), BatteryState::Unplugged);
    power.plug(Source::Charger);
    EXPECT_EQ(device.batteryState(), BatteryState::Charging);
    EXPECT_TRUE(power.battery().externalConnected);
    advance(3600);
    EXPECT_EQ(device.batteryState(), BatteryState::Full);
    EXPECT_FLOAT_EQ(device.batteryLevel(), 1.0f);
    power.unplug(Source::Charger);
    EXPECT_EQ(device.batteryState(), BatteryState::Unplugged);
    advance(3600);
    EXPECT_NEAR(device.batteryLevel(), 1.0 - 250.0 / 2635, 0.011);
    EXPECT_LT(power.battery().amperage, 0);
}

TEST_F(SimPowerTests, EachFeedChargesAtItsOwnRateAndADeadOneNotAtAll) {
    double start = power.battery().charge;
    power.plug(Source::ComputerUSB);
    advance(360);
    EXPECT_NEAR(power.battery().charge - start, 25, 0.5); // 250 mA net for a tenth of an hour
    power.unplug(Source::ComputerUSB);
    power.setState(Part::Charger, State::Dead);
    power.plug(Source::Charger);
    EXPECT_EQ(device.batteryState(), BatteryState::Unplugged);
    EXPECT_TRUE(power.isPlugged(Source::Charger));
    EXPECT_FALSE(power.battery().externalConnected);
    auto history = power.plugHistory();
    ASSERT_EQ(history.size(), 3u);
    EXPECT_EQ(history[0].source, Source::ComputerUSB);
}

TEST_F(SimPowerTests, AWornBatteryHoldsLessAndHasManyCycles) {
    power.setState(Part::Battery, State::Worn);
    auto b = power.battery();
    EXPECT_NEAR(b.health(), 0.68, 0.001);
    EXPECT_GE(b.cycleCount, 1100);
    EXPECT_NEAR(b.level(), 0.85, 0.001);
    power.setState(Part::Battery, State::Working);
    EXPECT_NEAR(power.battery().health(), 0.97, 0.001);
}

TEST_F(SimPowerTests, CyclesCountFullCapacitiesOfDischarge) {
    power.setBattery(1000, 1000, 5, 1.0);
    power.setState(Part::Battery, State::Working);
    advance(4 * 3600); // 250 mA for four hours: one full capacity
    EXPECT_EQ(power.battery().cycleCount, 6);
    EXPECT_FLOAT_EQ(device.batteryLevel(), 0.0f);
}

TEST_F(SimPowerTests, FaultsOverlayNamesItsOwnPartsAndRejectsUnknownStates) {
    std::string error;
    EXPECT_TRUE(power.applyFaults(R"({"battery": "worn", "charger": "dead", "gyroscope": "stuck"})", &error));
    EXPECT_EQ(power.state(Part::Battery), State::Worn);
    EXPECT_EQ(power.state(Part::Charger), State::Dead);
    EXPECT_FALSE(power.applyFaults(R"({"wirelessCharging": "worn"})", &error));
    EXPECT_FALSE(power.applyFaults(R"({"battery": "melted"})", &error));
    EXPECT_FALSE(power.applyFaults(R"({"battery": 3})", &error));
    EXPECT_FALSE(power.applyFaults("[]", &error));
    EXPECT_NE(error.find("not a JSON object"), std::string::npos);
    EXPECT_EQ(power.state(Part::WirelessPad), State::Working);
}

TEST_F(SimPowerTests, RegistryNamesTheServiceByModelAndLosesItWithTheBattery) {
    EXPECT_EQ(power.services(), std::vector<std::string>{"AppleSmartBattery"});
    auto p = power.serviceProperties("AppleSmartBattery");
    ASSERT_TRUE(p);
    EXPECT_EQ((*p)["MaxCapacity"], 97);           // a percentage on the smart gauge
    EXPECT_EQ((*p)["AppleRawMaxCapacity"], 2635); // mAh
    EXPECT_EQ((*p)["Temperature"], 2950);
    EXPECT_FALSE(power.serviceProperties("AppleARMPMUCharger"));
    power.setState(Part::Battery, State::Absent);
    EXPECT_TRUE(power.services().empty());
    EXPECT_FALSE(IOPSCopyPowerSourceDictionary());
}

TEST_F(SimPowerTests, OlderPhonesHaveTheChargerService) {
    auto profile = nlohmann::json::parse(device.profileJSON());
    profile["identifier"] = "iPhone7,2";
    profile["battery"].erase("designCapacity"); // the base device's own battery
    ASSERT_TRUE(device.loadProfileJSON(profile.dump()));
    EXPECT_EQ(power.services(), std::vector<std::string>{"AppleARMPMUCharger"});
    EXPECT_EQ((*power.serviceProperties("AppleARMPMUCharger"))["MaxCapacity"], 1756);
    auto d = IOPSCopyPowerSourceDictionary();
    ASSERT_TRUE(d);
    EXPECT_EQ(unbox<int>(d->objectForKey("DesignCapacity"_ns)), 1810);
}

namespace {
int callbacks = 0;
void countCallback(void* refCon, io_service_t, uint32_t message, void*) {
    EXPECT_EQ(message, kIOMessageServicePropertyChange);
    EXPECT_EQ(refCon, &callbacks);
    ++callbacks;
}
} // namespace

TEST_F(SimPowerTests, InterestNotificationsArriveOnTheRunLoopUntilReleased) {
    mach_port_t master = 99;
    ASSERT_EQ(IOMasterPort(bootstrap_port, &master), KERN_SUCCESS);
    EXPECT_EQ(IOServiceGetMatchingService(master, IOServiceMatching("AppleARMPMUCharger")), 0u);
    EXPECT_EQ(IOServiceGetMatchingService(master, nullptr), 0u);
    io_service_t service = IOServiceGetMatchingService(master, IOServiceMatching("AppleSmartBattery"));
    ASSERT_NE(service, 0u);
    Ref<NSMutableDictionary> properties;
    ASSERT_EQ(IORegistryEntryCreateCFProperties(service, &properties, nullptr, 0), KERN_SUCCESS);
    EXPECT_EQ(unbox<int>(properties->objectForKey("Voltage"_ns)), 4088);
    EXPECT_NE(IORegistryEntryCreateCFProperties(12345, &properties, nullptr, 0), KERN_SUCCESS);

    auto port = IONotificationPortCreate(master);
    NSRunLoop::currentRunLoop()->addPortForMode(IONotificationPortGetRunLoopSource(port), NSDefaultRunLoopMode());
    io_object_t notification = 0;
    ASSERT_EQ(
        IOServiceAddInterestNotification(port, service, kIOGeneralInterest, countCallback, &callbacks, &notification),
        KERN_SUCCESS);
    EXPECT_NE(IOServiceAddInterestNotification(port, service, "Other", countCallback, nullptr, nullptr), KERN_SUCCESS);
    power.plug(Source::Charger);
    EXPECT_EQ(callbacks, 0); // not before the run loop turns
    advance(0.1);
    EXPECT_GE(callbacks, 1);
    EXPECT_EQ(IOObjectRelease(notification), KERN_SUCCESS);
    EXPECT_NE(IOObjectRelease(notification), KERN_SUCCESS);
    int before = callbacks;
    power.unplug(Source::Charger);
    advance(0.1);
    EXPECT_EQ(callbacks, before);
    NSRunLoop::currentRunLoop()->removePortForMode(IONotificationPortGetRunLoopSource(port), NSDefaultRunLoopMode());
    IONotificationPortDestroy(port);
    EXPECT_EQ(IOObjectRelease(service), KERN_SUCCESS);
}

TEST_F(SimPowerTests, ADeadBatteryShowsItInEveryFigureTheGaugeGives) {
    power.setState(Part::Battery, State::Dead);
    auto battery = power.battery();
    EXPECT_EQ(battery.maxCapacity, 0) << "a dead cell holds nothing";
    EXPECT_EQ(battery.charge, 0);
    EXPECT_EQ(battery.voltage, 0);
    auto properties = power.serviceProperties("AppleSmartBattery");
    ASSERT_TRUE(properties);
    EXPECT_EQ((*properties)["AppleRawMaxCapacity"], 0);
    EXPECT_EQ((*properties)["MaxCapacity"], 0) << "the smart gauge's health, in percent";
    EXPECT_EQ((*properties)["Voltage"], 0);
    power.plug(Source::Charger);
    advance(600);
    EXPECT_EQ(power.battery().charge, 0) << "it takes nothing";
    power.unplug(Source::Charger);
    // Mended, it holds what a working battery holds again.
    power.setState(Part::Battery, State::Working);
    EXPECT_NEAR(power.battery().health(), 0.97, 0.001);
}
