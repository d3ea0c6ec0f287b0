#include <Device/SimCamera.h>
#include <Device/SimDevice.h>
#include <Device/SimPower.h>
#include <Device/SimRadios.h>
#include <Device/SimSensors.h>
#include <Dispatch/Clock.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNotificationCenter.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIKitProtocols.h>
#include <UIKit/UIScreen.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

class SimDeviceTests : public PlatformTestCase {
protected:
    int count(const Ref<NSString>& name, const std::function<void()>& action) {
        int n = 0;
        auto token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
            name, nullptr, nullptr, [&](const Ref<NSNotification>&) { ++n; });
        action();
        runUntilIdle();
        NSNotificationCenter::defaultCenter()->removeObserver(token);
        return n;
    }
};

TEST_F(SimDeviceTests, ProfilesGiveIdentityAndScreen) {
    auto names = SimDevice::availableProfiles();
    EXPECT_EQ(names, (std::vector<std::string>{"iPad7,5", "iPhone10,3", "iPhone7,2", "iPod7,1"}));
    auto& device = SimDevice::current();
    EXPECT_EQ(device.identity().hardwareIdentifier, "iPhone10,3");
    EXPECT_EQ(UIScreen::mainScreen()->bounds(), CGRectMake(0, 0, 375, 812));
    ASSERT_TRUE(device.loadProfile("iPad7,5"));
    EXPECT_EQ(UIDevice::currentDevice()->model()->str(), "iPad");
    EXPECT_EQ(UIDevice::currentDevice()->userInterfaceIdiom(), UIUserInterfaceIdiomPad);
    EXPECT_EQ(UIScreen::mainScreen()->bounds().size, CGSizeMake(768, 1024));
    EXPECT_FALSE(device.hasProximitySensor());

    std::string error;
    EXPECT_FALSE(device.loadProfile("NoSuchPhone1,1", &error));
    EXPECT_NE(error.find("no device profile"), std::string::npos);
    EXPECT_FALSE(device.loadProfileJSON(R"({"identifier": "x", "screen": {"width": -1, "height": 2}})", &error));
    EXPECT_EQ(device.identity().hardwareIdentifier, "iPad7,5") << "a bad profile changes nothing";
    device.loadProfile(SimDevice::defaultProfile);
}

TEST_F(SimDeviceTests, AProfileNestedPastTheBoundIsRefusedNamingItsFile) {
    auto& device = SimDevice::current();
    auto nested = [](int levels, const std::string& inside) {
        return std::string(levels, '[') + inside + std::string(levels, ']');
    };
    std::string deep =
        R"({"identifier": "x", "screen": {"width": 1, "height": 1}, "extra": )" + nested(100000, "1") + "}";
    std::string path = std::string(::testing::TempDir()) + "/DeepProfile-" + std::to_string(getpid()) + ".json";
    std::ofstream(path) << deep;
    std::string error;
    bool loaded = device.loadProfile(path, &error);
    std::remove(path.c_str());
    EXPECT_FALSE(loaded);
    EXPECT_EQ(error, path + ": bad device profile: the profile nests more than 512 levels deep");
    EXPECT_EQ(device.identity().hardwareIdentifier, SimDevice::defaultProfile);

    // Brackets inside a string are text, and 510 levels below the profile's own are within the bound.
    std::string name = R"("name": ")" + std::string(600, '[') + R"(\" {", )";
    EXPECT_TRUE(device.loadProfileJSON(R"({"identifier": "x", )" + name +
                                           R"("screen": {"width": 1, "height": 1}, "extra": )" + nested(510, "1") + "}",
                                       &error))
        << error;
    EXPECT_EQ(device.identity().name, std::string(600, '[') + "\" {");
    device.loadProfile(SimDevice::defaultProfile);
}

TEST_F(SimDeviceTests, BatteryReadsOnlyWhileMonitoredAndAnnouncesChanges) {
    auto device = UIDevice::currentDevice();
    EXPECT_FLOAT_EQ(device->batteryLevel(), -1.0f);
    EXPECT_EQ(device->batteryState(), UIDeviceBatteryStateUnknown);
    EXPECT_EQ(count(UIDeviceBatteryLevelDidChangeNotification(), [] { SimDevice::current().setBatteryLevel(0.5f); }),
              0);
    device->setBatteryMonitoringEnabled(true);
    EXPECT_FLOAT_EQ(device->batteryLevel(), 0.5f);
    EXPECT_EQ(count(UIDeviceBatteryLevelDidChangeNotification(), [] { SimDevice::current().setBatteryLevel(0.4f); }),
              1);
    EXPECT_FLOAT_EQ(device->batteryLevel(), 0.4f);
    EXPECT_EQ(count(UIDeviceBatteryStateDidChangeNotification(),
                    [] { SimDevice::current().setBatteryState(SimDevice::BatteryState::Charging); }),
              1);
    EXPECT_EQ(device->batteryState(), UIDeviceBatteryStateCharging);
}

TEST_F(SimDeviceTests, ProximityNeedsMonitoring) {
    auto device = UIDevice::currentDevice();
    EXPECT_EQ(
        count(UIDeviceProximityStateDidChangeNotification(), [] { SimDevice::current().setProximityCovered(true); }),
        0);
    EXPECT_FALSE(device->proximityState());
    device->setProximityMonitoringEnabled(true);
    EXPECT_TRUE(device->proximityState());
    EXPECT_EQ(
        count(UIDeviceProximityStateDidChangeNotification(), [] { SimDevice::current().setProximityCovered(false); }),
        1);
    EXPECT_FALSE(device->proximityState());
}

TEST_F(SimDeviceTests, BrightnessChangesByTheDeviceAreAnnounced) {
    auto screen = UIScreen::mainScreen();
    EXPECT_EQ(count(UIScreenBrightnessDidChangeNotification(), [&] { screen->setBrightness(0.2); }), 0);
    EXPECT_DOUBLE_EQ(screen->brightness(), 0.2);
    EXPECT_EQ(count(UIScreenBrightnessDidChangeNotification(), [] { SimDevice::current().setBrightness(0.9); }), 1);
    EXPECT_DOUBLE_EQ(screen->brightness(), 0.9);
}

TEST_F(SimDeviceTests, ApplicationStateNotificationsAndURLs) {
    auto app = UIApplication::sharedApplication();
    app->launchWithOptions(nullptr);
    EXPECT_EQ(app->applicationState(), UIApplicationStateActive);
    EXPECT_EQ(count(UIApplicationDidEnterBackgroundNotification(), [&] { app->enterBackground(); }), 1);
    EXPECT_EQ(app->applicationState(), UIApplicationStateBackground);
    EXPECT_EQ(count(UIApplicationWillEnterForegroundNotification(), [&] { app->enterForeground(); }), 1);
    EXPECT_EQ(app->applicationState(), UIApplicationStateActive);
    EXPECT_TRUE(app->openURL(NSURL::URLWithString("App-Prefs:root=FaceID"_ns)));
    EXPECT_FALSE(app->openURL(NSURL::URLWithString("unknownscheme://x"_ns)));
    EXPECT_EQ(app->openedURLs()->count(), 1u);
    EXPECT_TRUE(NSProtocolFromString("UITableViewDataSource"));
}

TEST_F(SimDeviceTests, BackgroundTasksExpireOnTheClock) {
    auto app = UIApplication::sharedApplication();
    app->launchWithOptions(nullptr);
    int expired = 0;
    app->beginBackgroundTaskWithExpirationHandler([&] { ++expired; });
    auto ended = app->beginBackgroundTaskWithExpirationHandler([&] { expired += 10; });
    app->endBackgroundTask(ended);
    app->enterBackground();
    advance(UIApplicationBackgroundTaskTime - 1);
    EXPECT_EQ(expired, 0);
    advance(1);
    EXPECT_EQ(expired, 1);
}

TEST_F(SimDeviceTests, CamerasComeFromTheProfileAndChangeAsTheWorldWould) {
    auto& device = SimDevice::current();
    auto cameras = device.cameras();
    ASSERT_EQ(cameras.size(), 2u);
    EXPECT_EQ(cameras[0].position, SimDevice::CameraPosition::Back);
    EXPECT_TRUE(cameras[0].present && cameras[0].working && cameras[0].hasFlash);
    EXPECT_EQ(cameras[1].position, SimDevice::CameraPosition::Front);
    EXPECT_FALSE(cameras[1].hasFlash);
    EXPECT_FALSE(device.camera(SimDevice::CameraPosition::Unspecified));

    std::vector<SimDevice::Change> changes;
    auto token = device.addListener([&](SimDevice::Change c) { changes.push_back(c); });
    device.setCameraWorking(SimDevice::CameraPosition::Front, false);
    device.setCameraWorking(SimDevice::CameraPosition::Front, false);
    device.setCameraPresent(SimDevice::CameraPosition::Back, false);
    device.removeListener(token);
    EXPECT_EQ(changes, (std::vector<SimDevice::Change>{SimDevice::Change::Cameras, SimDevice::Change::Cameras}))
        << "only real changes are told";
    EXPECT_FALSE(device.camera(SimDevice::CameraPosition::Front)->working);
    EXPECT_FALSE(device.camera(SimDevice::CameraPosition::Back)->present);

    device.setCameraPicture(SimDevice::CameraPosition::Back, "picture bytes");
    EXPECT_EQ(device.cameraPicture(SimDevice::CameraPosition::Back), "picture bytes");
    ASSERT_TRUE(device.loadProfile("iPad7,5"));
    EXPECT_TRUE(device.camera(SimDevice::CameraPosition::Back)->present) << "a new profile, new cameras";
    EXPECT_FALSE(device.camera(SimDevice::CameraPosition::Back)->hasFlash) << "a tablet has no flash";
    EXPECT_TRUE(device.cameraPicture(SimDevice::CameraPosition::Back).empty());

    std::string error;
    EXPECT_FALSE(device.loadProfileJSON(
        R"({"identifier": "x", "screen": {"width": 1, "height": 1},
            "cameras": [{"position": "back"}, {"position": "back"}]})",
        &error));
    EXPECT_NE(error.find("same position"), std::string::npos);
    EXPECT_FALSE(device.loadProfileJSON(
        R"({"identifier": "x", "screen": {"width": 1, "height": 1}, "cameras": [{"position": "back", "width": 0}]})",
        &error));
    EXPECT_EQ(device.identity().hardwareIdentifier, "iPad7,5");
    ASSERT_TRUE(device.loadProfileJSON(R"({"identifier": "x", "screen": {"width": 320, "height": 480},
        "cameras": [{"position": "front", "width": 640, "height": 480, "flash": true}]})"));
    auto front = device.camera(SimDevice::CameraPosition::Front);
    EXPECT_EQ(front->pictureWidth, 640);
    EXPECT_TRUE(front->hasFlash);
    EXPECT_TRUE(device.camera(SimDevice::CameraPosition::Back)->present) << "a position left out keeps its default";
    device.loadProfile(SimDevice::defaultProfile);
}

TEST_F(SimDeviceTests, SystemSectionsOfProfiles) {
    auto& device = SimDevice::current();
    ASSERT_TRUE(device.loadProfile("iPhone7,2"));
    auto interfaces = device.networkInterfaces();
    ASSERT_EQ(interfaces.size(), 3u);
    EXPECT_EQ(interfaces[0].name, "lo0"); // added when the profile leaves it out
    EXPECT_EQ(interfaces[1].hardwareAddress, "F0:18:98:0A:1B:2C");
    ASSERT_TRUE(device.carrier());
    EXPECT_EQ(device.carrier()->mobileNetworkCode, "410");
    EXPECT_EQ(device.locale().timeZone, "America/New_York");
    EXPECT_EQ(device.storage().totalBytes, 17179869184);
    EXPECT_DOUBLE_EQ(device.systemUptime(), 3725.9);
    advance(10);
    EXPECT_DOUBLE_EQ(device.systemUptime(), 3735.9);

    ASSERT_TRUE(device.loadProfile("iPad7,5"));
    EXPECT_FALSE(device.carrier());
    EXPECT_EQ(device.audioOutputs().at(0).type, "Speaker");

    // Malformed sections are refused and leave the device as it was.
    std::string error;
    const char* bad[] = {
        R"({"identifier": "x", "screen": {"width": 1, "height": 1},
            "network": {"interfaces": [{"name": "en0", "addresses": [{"address": "10.0.0.300"}]}]}})",
        R"({"identifier": "x", "screen": {"width": 1, "height": 1},
            "network": {"interfaces": [{"name": "en0", "mac": "nonsense"}]}})",
        R"({"identifier": "x", "screen": {"width": 1, "height": 1}, "fileSystem": {"files": ["bin/bash"]}})",
        R"({"identifier": "x", "screen": {"width": 1, "height": 1}, "system": {"pageSize": 0}})",
    };
    for (const char* json : bad) {
        EXPECT_FALSE(device.loadProfileJSON(json, &error)) << json;
    }
    EXPECT_EQ(device.identity().hardwareIdentifier, "iPad7,5");

    // Tests change the network, the carrier and the route; listeners hear of each.
    std::vector<SimDevice::Change> changes;
    auto token = device.addListener([&](SimDevice::Change c) { changes.push_back(c); });
    EXPECT_TRUE(device.setInterfaceUp("en0", false));
    EXPECT_FALSE(device.setInterfaceUp("pdp_ip0", true));
    device.setCarrier(SimDevice::Carrier{"Other", "fr", "208", "01", false});
    device.setHeadphonesPlugged(true);
    device.removeListener(token);
    EXPECT_EQ(changes, (std::vector<SimDevice::Change>{SimDevice::Change::Network, SimDevice::Change::Carrier,
                                                       SimDevice::Change::Accessories}));
    EXPECT_EQ(device.audioOutputs().at(0).type, "Headphones");
}

// The tests of a binary may share one process: a test that ends leaves the next one the device a
// fresh process has, whatever it loaded, broke or plugged in.
TEST_F(SimDeviceTests, AnEndedTestLeavesTheDeviceAsAFreshProcessHasIt) {
    auto& device = SimDevice::current();
    ASSERT_TRUE(device.loadProfile("iPad7,5"));
    device.setFileSystemRoot("/nonexistent/root");
    SimSensors::current().setState(SimSensors::Part::Gyroscope, SimSensors::State::Stuck);
    SimPower::current().plug(SimPower::Source::Charger);
    SimCamera::current().setDisplayFault(SimCamera::DisplayFault::Crack);
    SimRadios::current().noteSystemPage("app-settings:");
    SimRadios::current().setCallDuration(1);
    SimRadios::current().setPromptAnswer(SimRadios::PromptAnswer::Cancel, 5);
    SimRadios::current().evaluateBiometrics("unlock", [](bool, int) { FAIL() << "a prompt of an ended test"; });

    DispatchClock::endTest();
    runUntilIdle();
    EXPECT_EQ(device.identity().hardwareIdentifier, SimDevice::defaultProfile);
    EXPECT_EQ(device.fileSystemRoot(), "");
    EXPECT_EQ(SimSensors::current().state(SimSensors::Part::Gyroscope), SimSensors::State::Working);
    EXPECT_FALSE(SimPower::current().isPlugged(SimPower::Source::Charger));
    EXPECT_TRUE(SimPower::current().plugHistory().empty());
    EXPECT_EQ(device.batteryState(), SimDevice::BatteryState::Unplugged);
    EXPECT_EQ(SimCamera::current().displayFault(), SimCamera::DisplayFault::None);
    EXPECT_TRUE(SimRadios::current().openedSystemPages().empty());
    EXPECT_TRUE(SimRadios::current().prompts().empty());
    EXPECT_EQ(SimRadios::current().callDuration(), 5.0);
    // The prompt of before is gone, and nobody answers for the person any more: a face presented
    // answers only the prompt of this test.
    bool answered = false;
    SimRadios::current().evaluateBiometrics("unlock", [&](bool, int) { answered = true; });
    advance(6);
    EXPECT_FALSE(answered);
    SimRadios::current().presentToSensor();
    advance(0.1);
    EXPECT_TRUE(answered);
    ASSERT_EQ(SimRadios::current().prompts().size(), 1u);
}
