// The power, radio and status tests of the default session on the simulated phone, end to end: the
// scripted operator plugs the charger and the computer, lays the phone on the pad, answers the call
// to the carrier's service line on the phone in its other hand, sends the text to that phone, enrols when
// asked and shows its face to the prompt once it has read it, and a faults overlay that breaks one part
// fails exactly the tests that use it. A part the device lacks takes the tests that need it out of the session instead.
#include "AppRoad.h"
#include "ReceivingPhone.h"
#include "RoadSessions.h"
#include "RunSession.h"

#include <CoreGraphics/CGImage.h>
#include <Device/SimDevice.h>
#include <Device/SimPower.h>
#include <Device/SimRadios.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSUserDefaults.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreenshot.h>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace {

struct BrokenPart {
    const char* name;
    const char* overlay;
    std::set<std::string> failing; // the tests that use the part and fail
    std::set<std::string> absent;  // the tests that leave the session, the part being missing
};

void PrintTo(const BrokenPart& broken, std::ostream* out) {
    *out << broken.overlay;
}

class PowerRadioRoadTest : public testing::TestWithParam<BrokenPart> {
protected:
    void SetUp() override {
        setSessionKeys(road_sessions::powerRadio());
        dispatch_adopt_current_thread_as_main();
        NSSandbox::useTemporaryRoot();
        NSUserDefaults::resetStandardUserDefaults();
        ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
    }
    void TearDown() override { road_sessions::endTest(); }
    RoadReport walk(const std::string& overlay) {
        RoadReport report;
        road_sessions::walk(overlay, report);
        return report;
    }
    static std::string resultOf(const RoadReport& report, const std::string& key) {
        for (const auto& [k, result] : report.table) {
            if (k == key) {
                return result;
            }
        }
        return "<absent>";
    }
};

} // namespace

TEST_F(PowerRadioRoadTest, EveryTestPassesOnAWorkingPhoneAndTheOperatorReallyUsedIt) {
    size_t received = ReceivingPhone::inHand().inbox().size();
    size_t answered = ReceivingPhone::inHand().answeredCalls().size();
    auto report = walk("");
    ASSERT_EQ(report.transactions.size(), 2u);
    for (auto key = defaultSessionKeys(); *key; ++key) {
        EXPECT_EQ(resultOf(report, *key), "PASS") << *key;
    }
    // The charger, the computer and the pad were plugged in turn; the carrier's service number was
    // called (the session's profile gives no number), the message reached the phone in the
    // operator's other hand, and the operator's face was recognised.
    std::set<SimPower::Source> plugged;
    for (const auto& event : SimPower::current().plugHistory()) {
        if (event.plugged) {
            plugged.insert(event.source);
        }
    }
    EXPECT_EQ(plugged.size(), 3u);
    ASSERT_EQ(SimRadios::current().calls().size(), 1u);
    EXPECT_EQ(SimRadios::current().calls()[0].number, "611");
    EXPECT_TRUE(SimRadios::current().calls()[0].connected);
    EXPECT_EQ(ReceivingPhone::inHand().answeredCalls().size(), answered + 1) << "the phone in the other hand rang";
    auto inbox = ReceivingPhone::inHand().inbox();
    ASSERT_EQ(inbox.size(), received + 1);
    EXPECT_EQ(inbox.back().body, "Tessaly Test SMS");
    ASSERT_FALSE(SimRadios::current().prompts().empty());
    EXPECT_TRUE(SimRadios::current().prompts().back().matched);
}

TEST_F(PowerRadioRoadTest, TheOperatorReadsThePromptSoItsPictureShowsItAsking) {
    // A person reads the system's prompt before raising the phone to their face: the picture of the
    // prompt shows it asking (its glyph and Cancel in the system's blue), not already answered (a
    // green check and Cancel greyed out).
    RunOptions options;
    options.keys = {"FACEID"};
    options.screenshotsDir = NSSandbox::rootPath()->str() + "/pictures";
    testing::internal::CaptureStdout();
    int status = runQuestionTests(options);
    auto printed = testing::internal::GetCapturedStdout();
    ASSERT_EQ(status, 0) << printed;
    ASSERT_FALSE(SimRadios::current().prompts().empty());
    EXPECT_TRUE(SimRadios::current().prompts().back().matched) << "the face was shown once the prompt was read";

    std::vector<std::string> prompts;
    for (const auto& record : UIScreenshotRecords()) {
        if (record.path.starts_with(options.screenshotsDir) && record.screen == "FaceIDViewController" &&
            record.change == "prompt") {
            prompts.push_back(record.path);
        }
    }
    ASSERT_EQ(prompts.size(), 1u) << printed;
    auto picture = UIImage::imageWithContentsOfFile(NSString::from(prompts[0]));
    ASSERT_TRUE(picture) << prompts[0];
    CGFloat r = 0, g = 0, b = 0, a = 0;
    UIColor::systemBlueColor()->getRedGreenBlueAlpha(&r, &g, &b, &a);
    auto near = [](uint8_t level, CGFloat wanted) { return std::abs(level - wanted * 255) <= 4; };
    int blue = 0;
    auto image = picture->CGImage();
    for (size_t y = 0; y < CGImageGetHeight(image); ++y) {
        for (size_t x = 0; x < CGImageGetWidth(image); ++x) {
            uint8_t p[4] = {};
            CGImageGetPixel(image, x, y, p);
            blue += near(p[0], r) && near(p[1], g) && near(p[2], b);
        }
    }
    EXPECT_GT(blue, 200) << prompts[0];
}

TEST_P(PowerRadioRoadTest, ABrokenPartFailsExactlyTheTestsThatUseIt) {
    const auto& broken = GetParam();
    auto report = walk(broken.overlay);
    ASSERT_EQ(report.transactions.size(), 2u);
    // The family's whole session, every key of which the default phone supports: the tests of a
    // missing part are not in the run at all, the tests of a broken one fail, and the rest pass.
    std::set<std::string> expected;
    for (const auto& key : road_sessions::powerRadio()) {
        if (broken.absent.count(key) == 0) {
            expected.insert(key);
        }
    }
    std::set<std::string> run;
    for (const auto& [key, result] : report.table) {
        run.insert(key);
    }
    EXPECT_EQ(run, expected) << broken.overlay;
    for (const auto& key : expected) {
        EXPECT_EQ(resultOf(report, key), broken.failing.count(key) != 0 ? "FAIL" : "PASS")
            << broken.overlay << " " << key;
    }
    // The final transaction reports the same run.
    auto values = nlohmann::ordered_json::parse(report.transactions.back().value("result_value", "{}"), nullptr, false);
    ASSERT_TRUE(values.is_object()) << report.transactions.back().dump();
    for (const auto& key : broken.absent) {
        EXPECT_FALSE(values.contains(key)) << broken.overlay << " " << key;
    }
    for (const auto& key : broken.failing) {
        EXPECT_EQ(values.value(key, ""), "FAIL") << broken.overlay << " " << key;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Parts, PowerRadioRoadTest,
    testing::Values(BrokenPart{"WornBattery", R"({"battery": "worn"})", {"BATTERY_TEST"}, {}},
                    BrokenPart{"DeadCharger", R"({"charger": "dead"})", {"AC_USB_PLUG_TEST"}, {}},
                    BrokenPart{"DeadUSBPort", R"({"computerUSB": "dead"})", {"COMPUTER_USB_PLUG_TEST"}, {}},
                    BrokenPart{"DeadPad", R"({"wirelessCharging": "dead"})", {"WIRELESS_CHARGING_TEST"}, {}},
                    BrokenPart{"WiFiOff", R"({"wifi": "off"})", {"WIFI_TEST"}, {}},
                    BrokenPart{"DeadWiFi", R"({"wifi": "dead"})", {"WIFI_TEST"}, {}},
                    BrokenPart{"BluetoothOff", R"({"bluetooth": "off"})", {"BLUETOOTH_TEST"}, {}},
                    BrokenPart{
                        "NoCarrier", R"({"carrier": "absent"})", {"LIVECALL", "SMS_TEST"}, {"SIM_TRAY_TEST", "RF"}},
                    BrokenPart{"DeadCarrier", R"({"carrier": "dead"})", {"LIVECALL", "SMS_TEST", "RF"}, {}},
                    // A dead battery shows no capacity or voltage, and takes no charge from any feed.
                    BrokenPart{"DeadBattery",
                               R"({"battery": "dead"})",
                               {"BATTERY_TEST", "AC_USB_PLUG_TEST", "COMPUTER_USB_PLUG_TEST", "WIRELESS_CHARGING_TEST"},
                               {}},
                    BrokenPart{"DeadBiometrics", R"({"biometrics": "dead"})", {"FACEID"}, {}},
                    BrokenPart{"NotEnrolled", R"({"biometrics": "notEnrolled"})", {}, {}},
                    BrokenPart{"Jailbroken", R"({"jailbroken": "yes"})", {"JAILBREAK_TEST"}, {}}),
    [](const testing::TestParamInfo<BrokenPart>& info) { return std::string(info.param.name); });

TEST(ReceivingPhoneTest, RingsOnlyForACallToItThatWentOut) {
    ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
    auto& radios = SimRadios::current();
    radios.reset();
    auto& phone = ReceivingPhone::inHand();
    size_t before = phone.answeredCalls().size();
    radios.placeCall("555-123-4567"); // its own number, however it is written
    radios.placeCall("611");          // the carrier's service line, put through to it
    radios.placeCall("5559876543");   // another phone
    ASSERT_TRUE(radios.setState(SimRadios::Part::Carrier, SimRadios::State::Dead));
    radios.placeCall("5551234567"); // a call that never went out
    EXPECT_EQ(phone.answeredCalls().size(), before + 2);
    EXPECT_TRUE(phone.ringsFor("(555) 123 4567"));
    EXPECT_FALSE(phone.ringsFor(""));
    EXPECT_FALSE(phone.ringsFor("6110"));
    radios.reset();
}
