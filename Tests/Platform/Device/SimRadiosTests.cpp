// The radios' parts as a faults overlay breaks them (and an overlay with a NUL byte, refused by every
// domain that reads one itself), the biometric codes, calls and settings visits that send the
// application away and back, the signal item, and the carrier's network for messages.
#include <Darwin/Darwin.h>
#include <Device/SimCamera.h>
#include <Device/SimDevice.h>
#include <Device/SimRadios.h>
#include <Device/SimTouchKeys.h>
#include <LocalAuthentication/LAContext.h>
#include <Support/PlatformTestCase.h>
#include <SystemConfiguration/CaptiveNetwork.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIStatusBar.h>

#include <nlohmann/json.hpp>

using Part = SimRadios::Part;
using State = SimRadios::State;

class SimRadiosTests : public PlatformTestCase {
protected:
    SimRadios& radios = SimRadios::current();
    SimDevice& device = SimDevice::current();
};

TEST_F(SimRadiosTests, BrokenPartsChangeTheDeviceAndComeBack) {
    ASSERT_TRUE(radios.applyFaults(R"({"wifi": "off", "carrier": "absent", "jailbroken": "yes", "sensors": "x"})"));
    auto interfaces = device.networkInterfaces();
    for (const auto& i : interfaces) {
        if (i.name == "en0" || i.name == "pdp_ip0") {
            EXPECT_TRUE(i.addresses.empty()) << i.name;
        }
    }
    EXPECT_FALSE(CNCopyCurrentNetworkInfo("en0"_ns));
    EXPECT_FALSE(device.carrier());
    EXPECT_TRUE(device.radioAccessTechnology().empty());
    EXPECT_EQ(radios.signalBars(), 0);
    EXPECT_EQ(device.systemFiles().front(), "/bin/bash");
    EXPECT_TRUE(radios.setState(Part::WiFi, State::Working));
    EXPECT_TRUE(radios.setState(Part::Carrier, State::Working));
    EXPECT_TRUE(radios.setState(Part::Jailbroken, State::No));
    EXPECT_TRUE(CNCopyCurrentNetworkInfo("en0"_ns));
    EXPECT_EQ(device.radioAccessTechnology(), "CTRadioAccessTechnologyLTE");
    EXPECT_EQ(radios.signalStrengthDBm(), -85);
    EXPECT_TRUE(device.systemFiles().empty());
}

TEST_F(SimRadiosTests, TheOverlayRefusesStatesAPartCannotHave) {
    std::string error;
    EXPECT_FALSE(radios.applyFaults(R"({"carrier": "notEnrolled"})", &error));
    EXPECT_FALSE(radios.applyFaults(R"({"wifi": "melted"})", &error));
    EXPECT_FALSE(radios.applyFaults(R"({"bluetooth": false})", &error));
    EXPECT_FALSE(radios.setState(Part::Jailbroken, State::Off));
    EXPECT_EQ(radios.state(Part::Carrier), State::Working);
}

TEST_F(SimRadiosTests, ADeadWiFiTakesItsInterfaceDownWithItsAddress) {
    ASSERT_TRUE(radios.applyFaults(R"({"wifi": "dead"})"));
    EXPECT_EQ(radios.state(Part::WiFi), State::Dead);
    bool found = false;
    for (const auto& i : device.networkInterfaces()) {
        if (i.name == "en0") {
            found = true; // the chip is there
            EXPECT_FALSE(i.up);
            EXPECT_TRUE(i.addresses.empty());
        }
    }
    EXPECT_TRUE(found);
    EXPECT_FALSE(CNCopyCurrentNetworkInfo("en0"_ns));
    EXPECT_TRUE(radios.setState(Part::WiFi, State::Working));
    EXPECT_TRUE(CNCopyCurrentNetworkInfo("en0"_ns));
}

TEST_F(SimRadiosTests, AnOverlayEndsAtItsLastByte) {
    // The JSON reader would stop at a NUL byte and read the overlay before it alone.
    std::string error;
    EXPECT_FALSE(radios.applyFaults(std::string(R"({"wifi": "off"})") + '\0' + "junk", &error));
    EXPECT_NE(error.find("NUL"), std::string::npos) << error;
    EXPECT_FALSE(radios.applyFaults(std::string(R"({"wifi": "off"})") + '\0', &error));
    EXPECT_EQ(radios.state(Part::WiFi), State::Working);
    EXPECT_FALSE(SimCamera::current().applyFaults(std::string(R"({"torch": "dead"})") + '\0', &error));
    EXPECT_NE(error.find("NUL"), std::string::npos) << error;
    EXPECT_FALSE(SimTouchKeys::current().applyFaults(std::string(R"({"powerKey": "dead"})") + '\0', &error));
    EXPECT_NE(error.find("NUL"), std::string::npos) << error;
    // A profile, too.
    auto profile = device.profileJSON();
    EXPECT_FALSE(device.loadProfileJSON(profile + '\0', &error));
    EXPECT_NE(error.find("NUL"), std::string::npos) << error;
    EXPECT_TRUE(device.loadProfileJSON(profile + "\n", &error)) << error;
}

TEST_F(SimRadiosTests, BiometricsByModelAndTheirCodes) {
    LAContext context;
    Ref<NSError> error;
    EXPECT_TRUE(context.canEvaluatePolicyError(LAPolicyDeviceOwnerAuthentication, &error));
    EXPECT_EQ(context.biometryType(), LABiometryTypeFaceID);
    radios.setState(Part::Biometrics, State::NotEnrolled);
    EXPECT_FALSE(context.canEvaluatePolicyError(LAPolicyDeviceOwnerAuthentication, &error));
    EXPECT_EQ(error->code(), LAErrorBiometryNotEnrolled);
    radios.setState(Part::Biometrics, State::NoPasscode);
    EXPECT_FALSE(context.canEvaluatePolicyError(LAPolicyDeviceOwnerAuthentication, &error));
    EXPECT_EQ(error->code(), LAErrorPasscodeNotSet);
    radios.setState(Part::Biometrics, State::Absent);
    EXPECT_FALSE(context.canEvaluatePolicyError(LAPolicyDeviceOwnerAuthentication, &error));
    EXPECT_EQ(error->code(), LAErrorBiometryNotAvailable);
    auto profile = nlohmann::json::parse(device.profileJSON());
    profile["identifier"] = "iPhone7,2";
    ASSERT_TRUE(device.loadProfileJSON(profile.dump()));
    EXPECT_EQ(radios.biometry(), SimRadios::Biometry::TouchID);
}

TEST_F(SimRadiosTests, ACallAndTheSettingsSendTheAppAwayAndBack) {
    auto app = UIApplication::sharedApplication();
    app->launchWithOptions(nullptr);
    radios.setCallDuration(4);
    EXPECT_TRUE(app->openURL(NSURL::URLWithString("tel://5551234"_ns)));
    advance(0.1);
    EXPECT_EQ(app->applicationState(), UIApplicationStateBackground);
    ASSERT_EQ(radios.calls().size(), 1u);
    EXPECT_EQ(radios.calls()[0].number, "5551234");
    advance(4);
    EXPECT_EQ(app->applicationState(), UIApplicationStateActive);
    radios.setState(Part::Biometrics, State::NotEnrolled);
    EXPECT_TRUE(app->openURL(NSURL::URLWithString("App-Prefs:root=TouchID"_ns)));
    advance(3.1);
    EXPECT_EQ(app->applicationState(), UIApplicationStateActive);
    EXPECT_EQ(radios.state(Part::Biometrics), State::Working); // enrolled in the settings
}

TEST_F(SimRadiosTests, TheStatusBarSignalItemIsThereOnlyWithASIM) {
    auto bar = UIApplication::sharedApplication()->valueForKeyPath("statusBar"_ns);
    ASSERT_TRUE(cast<UIStatusBar>(bar));
    auto views = cast<UIView>(bar->valueForKey("foregroundView"_ns))->subviews();
    ASSERT_EQ(views->count(), 3u); // the time, the signal and the battery
    EXPECT_EQ(unbox<NSInteger>(views->objectAtIndex(1)->valueForKey("signalStrengthBars"_ns)), 4);
    EXPECT_EQ(unbox<NSInteger>(views->objectAtIndex(1)->valueForKey("signalStrengthRaw"_ns)), -85);
    EXPECT_THROW(UIApplication::sharedApplication()->valueForKeyPath("statusBar.statusBar.items"_ns), NSException);
    radios.setState(Part::Carrier, State::Absent);
    EXPECT_EQ(cast<UIView>(bar->valueForKey("foregroundView"_ns))->subviews()->count(), 2u);
}

TEST_F(SimRadiosTests, AnUnreadableInterfaceTableFailsGetifaddrs) {
    darwin::ifaddrs* list = nullptr;
    radios.setInterfaceTableReadable(false);
    EXPECT_EQ(darwin::getifaddrs(&list), -1);
    radios.setInterfaceTableReadable(true);
    ASSERT_EQ(darwin::getifaddrs(&list), 0);
    darwin::freeifaddrs(list);
}

TEST_F(SimRadiosTests, AMessageGoesOutOnlyOverAWorkingCarrier) {
    EXPECT_TRUE(radios.canSendText());
    EXPECT_TRUE(radios.carriesText());
    ASSERT_TRUE(radios.setState(Part::Carrier, State::Dead));
    EXPECT_TRUE(radios.canSendText()) << "the SIM is there: the composer comes up";
    EXPECT_FALSE(radios.carriesText()) << "but there is no network to carry the message";
    ASSERT_TRUE(radios.setState(Part::Carrier, State::Absent));
    EXPECT_FALSE(radios.canSendText());
    EXPECT_FALSE(radios.carriesText());
    ASSERT_TRUE(radios.setState(Part::Carrier, State::Working));
    EXPECT_TRUE(radios.carriesText());
}

TEST_F(SimRadiosTests, TheNetworkCarriesOnlyMessagesThatWentOut) {
    std::vector<std::string> delivered;
    auto token = radios.addMessageReceiver([&](const SimRadios::Message& m) { delivered.push_back(m.body); });
    EXPECT_TRUE(radios.sendMessage({{"5551234567"}, "hello", false}));
    EXPECT_FALSE(radios.sendMessage({{}, "to nobody", false}));
    radios.reset(); // the other phone stays on the network
    ASSERT_TRUE(radios.setState(Part::Carrier, State::Dead));
    EXPECT_FALSE(radios.sendMessage({{"5551234567"}, "no network", false}));
    EXPECT_EQ(radios.messages().size(), 1u);
    radios.removeMessageReceiver(token);
    ASSERT_TRUE(radios.setState(Part::Carrier, State::Working));
    EXPECT_TRUE(radios.sendMessage({{"5551234567"}, "unheard", false}));
    EXPECT_EQ(delivered, std::vector<std::string>{"hello"});
}

TEST_F(SimRadiosTests, TheNetworkCarriesOnlyCallsThatWentOut) {
    std::vector<std::string> rang;
    auto token = radios.addCallReceiver([&](const SimRadios::Call& call) { rang.push_back(call.number); });
    EXPECT_TRUE(radios.placeCall("5551234567").connected);
    EXPECT_FALSE(radios.placeCall("").connected);
    radios.reset(); // the other phone stays on the network
    ASSERT_TRUE(radios.setState(Part::Carrier, State::Dead));
    EXPECT_FALSE(radios.placeCall("611").connected);
    ASSERT_TRUE(radios.setState(Part::Carrier, State::Absent));
    EXPECT_FALSE(radios.placeCall("611").connected);
    radios.removeCallReceiver(token);
    ASSERT_TRUE(radios.setState(Part::Carrier, State::Working));
    EXPECT_TRUE(radios.placeCall("611").connected);
    EXPECT_EQ(rang, std::vector<std::string>{"5551234567"});
}
