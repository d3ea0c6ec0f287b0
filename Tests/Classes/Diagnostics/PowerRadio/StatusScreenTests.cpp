// The charging, jailbreak and device information screens: pass and fail from what the device
// really does (a charger plugged or not, a jailbroken file system, its storage), the station
// file's overrides and its garbage.
#include "PowerRadioTestCase.h"

#include <Categorys/DXUtility.h>
#include <Core/AdditionalTestManager.h>
#include <Core/DXNavigationHeaderView.h>
#include <Diagnostics/PowerRadio/ChargingViewControllers.h>
#include <Diagnostics/PowerRadio/DeviceInfoViewController.h>
#include <Diagnostics/PowerRadio/JailBreakViewController.h>
#include <Foundation/NSData.h>
#include <Foundation/NSFileManager.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIDevice.h>

#include <fstream>

namespace {

void writeStationFile(const std::string& text) {
    auto folders = NSSearchPathForDirectoriesInDomains(NSDocumentDirectory, NSUserDomainMask, true);
    auto documents = cast<NSString>(folders->firstObject());
    (void)NSFileManager::defaultManager()->createDirectoryAtPathWithIntermediateDirectoriesAttributesError(
        documents, true, nullptr, nullptr);
    std::ofstream(documents->stringByAppendingPathComponent(DXStationFileName())->str()) << text;
}

std::string toBase64(const std::string& text) {
    return NSData::dataWithString(text)->base64EncodedStringWithOptions(0)->str();
}

} // namespace

class ChargingScreenTests : public PowerRadioTestCase {};

TEST_F(ChargingScreenTests, ChargerPlugPassesWhenChargingAndLeavesAfterHalfASecond) {
    power().plug(SimPower::Source::Charger);
    auto screen = cast<ACUsbPlugViewController>(run("ACUsbPlugViewController"));
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_TRUE(screen->imageView()->image());
    EXPECT_FALSE(UIDevice::currentDevice()->isBatteryMonitoringEnabled());
    EXPECT_TRUE(ended()); // the run settles for half a second
}

TEST_F(ChargingScreenTests, AFullBatteryStillOnTheChargerPasses) {
    power().plug(SimPower::Source::Charger);
    advance(3600);
    ASSERT_EQ(SimDevice::current().batteryState(), SimDevice::BatteryState::Full);
    run("ACUsbPlugViewController");
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(ChargingScreenTests, UnpluggedDeadChargerOrNoBatteryFailsAndMonitoringGoesOff) {
    for (int c = 0; c < 3; ++c) {
        if (c == 1) {
            power().setState(SimPower::Part::Charger, SimPower::State::Dead);
            power().plug(SimPower::Source::Charger);
        } else if (c == 2) {
            power().setState(SimPower::Part::Battery, SimPower::State::Absent);
            power().plug(SimPower::Source::Charger);
        }
        auto screen = cast<ACUsbPlugViewController>(run("ACUsbPlugViewController"));
        EXPECT_EQ(result(), DXTestResultFail) << c;
        EXPECT_FALSE(screen->imageView()->image());
        EXPECT_FALSE(UIDevice::currentDevice()->isBatteryMonitoringEnabled());
        EXPECT_TRUE(ended());
        TearDown();
        SetUp();
        power().reset();
    }
}

TEST_F(ChargingScreenTests, ComputerUSBPassesOnAComputerAndFailsWithoutOne) {
    power().plug(SimPower::Source::ComputerUSB);
    run("ComputerUSBPlugViewController");
    EXPECT_EQ(result(), DXTestResultPass);
    TearDown();
    SetUp();
    power().reset();
    power().setState(SimPower::Part::ComputerUSB, SimPower::State::Dead);
    power().plug(SimPower::Source::ComputerUSB);
    auto screen = cast<ComputerUSBPlugViewController>(run("ComputerUSBPlugViewController"));
    EXPECT_EQ(result(), DXTestResultFail);
    EXPECT_EQ(labelText(screen->tiplabel()), "Connect the device to a computer.");
}

TEST_F(ChargingScreenTests, WirelessChargingIsTheOperatorsAnswer) {
    auto screen = cast<WirelessChargingViewController>(run("WirelessChargingViewController"));
    EXPECT_EQ(labelText(screen->question()), "Is the device charging?");
    advance(600);
    EXPECT_FALSE(ended());
    answer(false);
    EXPECT_EQ(result(), DXTestResultFail);
}

class JailbreakScreenTests : public PowerRadioTestCase {};

TEST_F(JailbreakScreenTests, ACleanDevicePassesAfterASecondThoughTheHostHasABash) {
    // The host this runs on has /bin/bash; the device's own file system does not.
    auto screen = run("JailBreakViewController");
    EXPECT_EQ(labelText(screen->labelTitle()), "The device is not jailbroken.");
    EXPECT_TRUE(screen->headerView()->backButton()->isHidden());
    EXPECT_TRUE(screen->answerView()->isHidden());
    advance(0.4);
    EXPECT_FALSE(ended());
    advance(0.2);
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(JailbreakScreenTests, AJailbrokenDeviceFailsUnlessTheStationPassesTheBatch) {
    SimDevice::current().setSystemFiles({"/bin/bash"});
    auto screen = run("JailBreakViewController");
    EXPECT_EQ(labelText(screen->labelTitle()), "The device is jailbroken.");
    advance(1);
    EXPECT_EQ(result(), DXTestResultFail);
    TearDown();
    SetUp();
    SimDevice::current().setSystemFiles({"/bin/bash"});
    writeStationFile(R"({"ROOT_DEVICE_IS_PASS": "True"})");
    screen = run("JailBreakViewController");
    EXPECT_EQ(labelText(screen->labelTitle()), "The device is jailbroken."); // the title keeps the truth
    advance(1);
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(JailbreakScreenTests, TheOverrideNeverFailsACleanDeviceAndOnlyExactTrueCounts) {
    for (const char* file : {R"({"ROOT_DEVICE_IS_PASS": "True"})", R"({"ROOT_DEVICE_IS_PASS": "true"})",
                             R"({"ROOT_DEVICE_IS_PASS": true})", "garbage \x01\xff", "[1,2]"}) {
        writeStationFile(file);
        EXPECT_TRUE(JailBreakViewController::alreadyJailbreak()) << file;
    }
    SimDevice::current().setSystemFiles({"/bin/bash"});
    for (const char* file : {R"({"ROOT_DEVICE_IS_PASS": "true"})", R"({"ROOT_DEVICE_IS_PASS": 1})", "{"}) {
        writeStationFile(file);
        EXPECT_FALSE(JailBreakViewController::alreadyJailbreak()) << file;
    }
}

TEST_F(JailbreakScreenTests, LeavingWithinTheSecondSetsNoResult) {
    auto screen = run("JailBreakViewController");
    screen->performSelectorWithObject("viewWillDisappear:", NSNumber::numberWithBool(false));
    advance(5);
    EXPECT_EQ(result(), DXTestResultNotRun);
}

class DeviceInfoScreenTests : public PowerRadioTestCase {};

TEST_F(DeviceInfoScreenTests, ShowsModelCapacityAndTheStationsImei) {
    writeStationFile(R"({"VT_IMEI": "356789012345678"})");
    auto screen = cast<DeviceInfoViewController>(run("DeviceInfoViewController"));
    EXPECT_EQ(labelText(screen->modelValue()), DXUtility::deviceVersion()->str());
    EXPECT_EQ(labelText(screen->capacitylValue()), "64GB"); // exactly 64 GiB
    EXPECT_EQ(labelText(screen->imei()), "356789012345678");
    EXPECT_FALSE(screen->answerView()->isHidden());
    answer(true);
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(DeviceInfoScreenTests, Base64WithATrailingNewlineGivesTheSameImei) {
    writeStationFile(toBase64(R"({"VT_IMEI": "356789012345678"})") + "\n");
    EXPECT_EQ(DeviceInfoViewController::getIMEI()->str(), "356789012345678");
    writeStationFile(R"({"OTHER": 1})");
    EXPECT_EQ(DeviceInfoViewController::getIMEI()->str(), "");
    writeStationFile(R"({"VT_IMEI": 356789})");
    EXPECT_EQ(DeviceInfoViewController::getIMEI()->str(), "");
    writeStationFile("\xff\xfe not text");
    EXPECT_EQ(DeviceInfoViewController::getIMEI()->str(), "");
}

TEST_F(DeviceInfoScreenTests, CapacityBandsIncludeTheirUpperBoundaryAndSmallSizesShowThemselves) {
    const std::pair<double, const char*> cases[] = {
        {59.6, "64GB"}, {119, "128GB"}, {238, "256GB"}, {476, "512GB"}, {16, "16GB"}, {16.01, "32GB"},
        {8, "8GB"},     {7.5, "8GB"},   {4, "4GB"},     {3.2, "4GB"},   {0.5, "1GB"}, {2048, "2048GB"},
    };
    for (auto [size, text] : cases) {
        EXPECT_EQ(DeviceInfoViewController::capacityText(size)->str(), text) << size;
    }
    auto storage = SimDevice::current().storage();
    storage.totalBytes = 8ll << 30;
    SimDevice::current().setStorage(storage);
    auto screen = cast<DeviceInfoViewController>(run("DeviceInfoViewController"));
    EXPECT_EQ(labelText(screen->capacitylValue()), "8GB");
    EXPECT_EQ(labelText(screen->imei()), ""); // no station file
}
