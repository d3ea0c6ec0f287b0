#include "SystemInfoTestCase.h"

#include <Darwin/Darwin.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSFileManager.h>
#include <SystemInfo/SIAccessory.h>
#include <SystemInfo/SIDisk.h>
#include <SystemInfo/SIHardware.h>
#include <SystemInfo/SIJailbreak.h>
#include <SystemInfo/SILocalization.h>
#include <SystemInfo/SIMemory.h>
#include <SystemInfo/SIProcessor.h>
#include <UIKit/UIDevice.h>

#include <filesystem>
#include <fstream>

class HardwareTests : public SystemInfoTestCase {};

TEST_F(HardwareTests, MarketingNames) {
    auto name = [](const char* machine) {
        auto text = SIPlatformTypeForMachine(machine);
        return text ? text->str() : std::string("(nil)");
    };
    EXPECT_EQ(name("iPhone7,1"), "iPhone 6 Plus");
    EXPECT_EQ(name("iPhone5,4"), "iPhone 5c");
    EXPECT_EQ(name("iPad4,5"), "iPad Mini Retina");
    EXPECT_EQ(name("i386"), "Simulator");
    EXPECT_EQ(name("iPhone9,3"), "iPhone");
    EXPECT_EQ(name("iPad6,7"), "iPad");
    EXPECT_EQ(name("iPod7,1"), "iPod");
    EXPECT_EQ(name("x86_64"), "(nil)");
    EXPECT_EQ(name("iphone7,1"), "(nil)"); // case matters
    EXPECT_EQ(SIHardware::platformType()->str(), "iPhone 6");
}

TEST_F(HardwareTests, DeviceInformationFile) {
    // "iPhone 6" is looked up as iPhone6.plist.
    ASSERT_TRUE(SIHardware::infoForDevice());
    EXPECT_EQ(cast<NSString>(SIHardware::sim())->str(), "Nano-SIM");
    EXPECT_EQ(cast<NSString>(SIHardware::cpu())->str(), "Dual-core 1.4 GHz");
    EXPECT_EQ(cast<NSString>(SIHardware::displayDensity())->str(), "326 ppi");
    EXPECT_TRUE(SIHardware::siri());
    EXPECT_TRUE(SIHardware::touchID());

    // The tablet's family name has no file; nothing is found and nothing breaks.
    load("iPad7,5");
    EXPECT_EQ(SIHardware::platformType()->str(), "iPad");
    EXPECT_FALSE(SIHardware::infoForDevice());
    EXPECT_FALSE(SIHardware::gpu());
    EXPECT_FALSE(SIHardware::siri());
}

TEST_F(HardwareTests, IdentityScreenAndUptime) {
    EXPECT_EQ(SIHardware::deviceModel()->str(), "iPhone");
    EXPECT_EQ(SIHardware::deviceName()->str(), "iPhone 6");
    EXPECT_EQ(SIHardware::systemName()->str(), "iOS");
    EXPECT_EQ(SIHardware::systemVersion()->str(), "10.3.3");
    EXPECT_EQ(SIHardware::screenWidth(), 375);
    EXPECT_EQ(SIHardware::screenHeight(), 667);
    EXPECT_DOUBLE_EQ(SIHardware::brightness(), 60.0);
    EXPECT_TRUE(SIHardware::multitaskingEnabled());

    // The profile's uptime is 3,725.9 s; it moves with the clock.
    EXPECT_EQ(SIHardware::bootTime()->str(), "01:02:05");
    advance(3600.0 * 99);
    EXPECT_EQ(SIHardware::bootTime()->str(), "100:02:05");
}

TEST_F(HardwareTests, ProximitySensorIsProbedAndLeftAsItWas) {
    auto device = UIDevice::currentDevice();
    EXPECT_TRUE(SIHardware::proximitySensor());
    EXPECT_FALSE(device->isProximityMonitoringEnabled());
    device->setProximityMonitoringEnabled(true);
    EXPECT_TRUE(SIHardware::proximitySensor());
    EXPECT_TRUE(device->isProximityMonitoringEnabled());
    device->setProximityMonitoringEnabled(false);
    load("iPad7,5"); // no sensor
    EXPECT_FALSE(SIHardware::proximitySensor());
}

TEST_F(HardwareTests, ProcessorsAndProcesses) {
    EXPECT_EQ(SIProcessor::processorsNumber(), 2);
    EXPECT_EQ(SIProcessor::activeProcessorsNumber(), 2);
    // Busy threads only: 0.125 + 0.040, in single precision.
    EXPECT_DOUBLE_EQ(SIProcessor::cpuUsageForApp(), static_cast<double>(0.125f + 0.04f));
    auto processes = SIProcessor::activeProcesses();
    ASSERT_TRUE(processes);
    ASSERT_EQ(processes->count(), 3u);
    auto first = cast<NSDictionary>(processes->objectAtIndex(0));
    EXPECT_EQ(cast<NSString>(first->objectForKey("ProcessID"_ns))->str(), "311");
    EXPECT_EQ(cast<NSString>(first->objectForKey("ProcessName"_ns))->str(), "Celvix");
    EXPECT_EQ(SIProcessor::numberOfActiveProcesses(), 3);

    load("iPad7,5"); // no threads or processes listed
    EXPECT_DOUBLE_EQ(SIProcessor::cpuUsageForApp(), 0.0);
    EXPECT_EQ(SIProcessor::numberOfActiveProcesses(), 0);
}

TEST_F(HardwareTests, MemoryFigures) {
    // 1,056,964,608 bytes are 1008 MB, rounded to 1024.
    EXPECT_EQ(SIMemory::totalMemory(), 1024);
    // 16 KB pages.
    EXPECT_DOUBLE_EQ(SIMemory::freeMemory(), 100.0);
    EXPECT_DOUBLE_EQ(SIMemory::activeMemory(), 300.0);
    EXPECT_DOUBLE_EQ(SIMemory::inactiveMemory(), 200.0);
    EXPECT_DOUBLE_EQ(SIMemory::wiredMemory(), 150.0);
    EXPECT_DOUBLE_EQ(SIMemory::usedMemory(), 650.0);
    load("iPad7,5"); // 2008 MB
    EXPECT_EQ(SIMemory::totalMemory(), 2048);
    auto figures = device().systemFigures();
    figures.physicalMemory = 895ull << 20;
    device().setSystemFigures(figures);
    EXPECT_EQ(SIMemory::totalMemory(), 768);
}

TEST_F(HardwareTests, DiskFiguresAndFormatter) {
    EXPECT_EQ(SIDisk::memoryFormatter(0)->str(), "0.00 bytes");
    EXPECT_EQ(SIDisk::memoryFormatter(1024)->str(), "1024.00 bytes");
    EXPECT_EQ(SIDisk::memoryFormatter(1 << 20)->str(), "1.00 MB");
    EXPECT_EQ(SIDisk::memoryFormatter(1 << 30)->str(), "1.00 GB");
    EXPECT_EQ(SIDisk::memoryFormatter(1610612736)->str(), "1.50 GB");
    EXPECT_EQ(SIDisk::memoryFormatter(-5)->str(), "-5.00 bytes");

    EXPECT_EQ(SIDisk::totalDiskSpace()->str(), "16.00 GB");
    EXPECT_EQ(SIDisk::freeDiskSpace()->str(), "5.00 GB");
    EXPECT_EQ(SIDisk::usedDiskSpace()->str(), "11.00 GB");
    EXPECT_DOUBLE_EQ(SIDisk::usedDiskSpaceInBytes(), 11.0 * (1 << 30));
    EXPECT_DOUBLE_EQ(SIDisk::numberOfNodes(), 4194304.0);
}

TEST_F(HardwareTests, Localization) {
    EXPECT_EQ(SILocalization::language()->str(), "en-US");
    EXPECT_EQ(SILocalization::timeZone()->str(), "America/New_York");
    EXPECT_EQ(SILocalization::currencySymbol()->str(), "$");
    EXPECT_EQ(SILocalization::currencyCode()->str(), "USD");
    EXPECT_EQ(SILocalization::country()->str(), "en_US");
    EXPECT_EQ(SILocalization::measurementSystem()->str(), "U.S.");
    device().setLocale({{"fr-FR"}, "fr_FR", "Europe/Paris", "€", "EUR", "Metric"});
    EXPECT_EQ(SILocalization::language()->str(), "fr-FR");
    EXPECT_EQ(SILocalization::timeZone()->str(), "Europe/Paris");
    EXPECT_EQ(SILocalization::currencySymbol()->str(), "€");
    EXPECT_EQ(SILocalization::country()->str(), "fr_FR");
}

TEST_F(HardwareTests, AccessoriesAndHeadphonesFollowTheDevice) {
    EXPECT_FALSE(SIAccessory::accessoriesPluggedIn());
    EXPECT_EQ(SIAccessory::numberOfAccessoriesPluggedIn(), 0);
    EXPECT_FALSE(SIAccessory::isHeadphonesAttached());

    device().setHeadphonesPlugged(true);
    EXPECT_TRUE(SIAccessory::isHeadphonesAttached());
    device().setHeadphonesPlugged(false);
    EXPECT_FALSE(SIAccessory::isHeadphonesAttached());

    device().setAccessories({{"Card Reader", "Celvix", "CR-1", "0001", {"com.celvix.reader"}}});
    EXPECT_TRUE(SIAccessory::accessoriesPluggedIn());
    EXPECT_EQ(SIAccessory::numberOfAccessoriesPluggedIn(), 1);
}

TEST_F(HardwareTests, JailbreakProbeLooksInsideTheDevice) {
    // The host has its own /bin/bash; the device does not.
    ASSERT_TRUE(std::filesystem::exists("/bin/bash"));
    EXPECT_FALSE(SIJailbreak::isJailbroken());

    device().setSystemFiles({"/bin/bash", "/Applications/Cydia.app/Info.plist"});
    EXPECT_TRUE(SIJailbreak::isJailbroken());
    auto root = darwin::fileSystemRoot();
    EXPECT_EQ(root.rfind(NSSandbox::rootPath()->str(), 0), 0u);
    EXPECT_TRUE(std::filesystem::exists(root + "/bin/bash"));

    device().setSystemFiles({});
    EXPECT_FALSE(SIJailbreak::isJailbroken());

    // A root of the tests' own choosing; a path cannot climb out of it.
    auto own = NSSandbox::temporaryPath()->str() + "device-root";
    std::filesystem::create_directories(own + "/bin");
    std::ofstream(own + "/bin/bash") << "#!";
    device().setFileSystemRoot(own);
    EXPECT_TRUE(SIJailbreak::isJailbroken());
    FILE* escaped = darwin::fopen("/../../../../etc/hostname", "r");
    EXPECT_EQ(escaped, nullptr);
    if (escaped) {
        darwin::fclose(escaped);
    }
    device().setFileSystemRoot("");
}
