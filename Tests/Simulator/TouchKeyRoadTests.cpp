// The touch tests of the default session on the simulated phone, end to end: the scripted operator
// draws, taps and presses on the device, and a faults overlay that breaks the screen or its force
// sensing fails exactly the tests that use the broken part.
#include "AppRoad.h"
#include "CoreTestCase.h"
#include "RoadSessions.h"
#include "RunSession.h"

#include <Core/DXTestModel.h>

#include <Device/SimAudio.h>
#include <Device/SimDevice.h>
#include <Device/SimSensors.h>
#include <Device/SimTouchKeys.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSUserDefaults.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

namespace {

const char* const kTouchKeys[] = {"TOUCH_SCREEN_TEST", "TOUCH_DRAW_TEST",  "TOUCH_PANEL_TEST",    "MULTI_TOUCH_TEST",
                                  "STYLUS_TEST",       "FORCE_TOUCH_TEST", "PHYSICAL_KEYS_TEST2", "PHYSICAL_KEYS_TEST"};

class TouchKeyRoadTest : public testing::Test {
protected:
    void SetUp() override {
        setSessionKeys(road_sessions::touchKeys());
        dispatch_adopt_current_thread_as_main();
        NSSandbox::useTemporaryRoot();
        NSUserDefaults::resetStandardUserDefaults();
        ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
    }
    void TearDown() override {
        road_sessions::endTest();
        SimSensors::current().reset();
        SimTouchKeys::current().reset();
        SimAudio::current().reset();
    }

    RoadReport walk(const std::string& overlay, const std::string& screenshots = "") {
        RoadOptions options;
        options.screenshotsDir = screenshots;
        if (!overlay.empty()) {
            options.faultsFile = NSSandbox::rootPath()->str() + "/faults.json";
            std::ofstream(options.faultsFile) << overlay;
        }
        RoadReport report;
        testing::internal::CaptureStdout();
        int status = runAppRoad(options, &report);
        auto printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, 0) << printed;
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
    // Every test of the session passes except exactly `failing`.
    static void expectFailing(const RoadReport& report, const std::set<std::string>& failing, const char* overlay) {
        for (auto key = defaultSessionKeys(); *key; ++key) {
            auto result = resultOf(report, *key);
            EXPECT_EQ(result != "PASS", failing.count(*key) != 0) << overlay << " " << *key << " " << result;
        }
    }
};

} // namespace

TEST_F(TouchKeyRoadTest, EveryTouchTestPassesOnAWorkingDevice) {
    auto shots = NSSandbox::rootPath()->str() + "/shots";
    auto report = walk("", shots);
    for (const char* key : kTouchKeys) {
        EXPECT_EQ(resultOf(report, key), "PASS") << key;
    }
    expectFailing(report, {}, "");
    // The operator really worked the screen and the display really sensed force.
    EXPECT_GT(SimTouchKeys::current().maximumPossibleForce(), 0);
    bool picture = false;
    for (const auto& entry : std::filesystem::directory_iterator(shots)) {
        picture = picture || entry.path().extension() == ".png";
    }
    EXPECT_TRUE(picture);
}

TEST_F(TouchKeyRoadTest, ADeadScreenAreaFailsTheTestsThatTouchIt) {
    const char* overlay = R"({"screenArea": "dead"})";
    auto report = walk(overlay);
    // A patch at the right edge: grid cells and the canvas's right column lie in it; the circles'
    // middles, the corners and the force touch image do not.
    expectFailing(report, {"TOUCH_SCREEN_TEST", "TOUCH_DRAW_TEST", "TOUCH_PANEL_TEST"}, overlay);
}

TEST_F(TouchKeyRoadTest, ADeadForceSensorFailsOnlyForceTouch) {
    const char* overlay = R"({"forceTouch": "dead"})";
    auto report = walk(overlay);
    expectFailing(report, {"FORCE_TOUCH_TEST"}, overlay);
}

TEST_F(TouchKeyRoadTest, ADeadVolumeKeyFailsBothKeyTests) {
    const char* overlay = R"({"volumeUpKey": "dead"})";
    auto report = walk(overlay);
    expectFailing(report, {"PHYSICAL_KEYS_TEST2", "PHYSICAL_KEYS_TEST"}, overlay);
    // On the combined keys screen the operator marked FAILED each row whose key did nothing: volume
    // up, and the screenshot chord that needs it on a phone without a Home button. A row marked
    // FAILED keeps its sub-result; the test's result carries the failure.
    std::map<std::string, std::string> rows;
    auto tasks = DXProfileManager::sharedManager()->loadPersistentTasks();
    for (const auto& item : *tasks) {
        auto record = cast<DXTestModel>(item);
        auto subResults = record->subTestItemsResult();
        if (record->profilekey()->str() != "PHYSICAL_KEYS_TEST2" || !subResults) {
            continue;
        }
        for (const auto& [k, v] : *subResults) {
            rows[cast<NSString>(k)->str()] = cast<NSString>(v) ? cast<NSString>(v)->str() : "";
        }
    }
    EXPECT_EQ(rows["PHYSICAL_KEYS_TEST2_VOLUMEUP"], "NOT_TEST");
    EXPECT_EQ(rows["PHYSICAL_KEYS_TEST2_HOMEANDPOWER"], "NOT_TEST");
    EXPECT_EQ(rows["PHYSICAL_KEYS_TEST2_VOLUMEDOWN"], "SUCCESS");
    EXPECT_EQ(rows["PHYSICAL_KEYS_TEST2_MUTE"], "SUCCESS");
}

TEST_F(TouchKeyRoadTest, ABrokenSwitchFailsBothKeyTests) {
    const char* overlay = R"({"ringerSwitch": "dead"})";
    auto report = walk(overlay);
    expectFailing(report, {"PHYSICAL_KEYS_TEST2", "PHYSICAL_KEYS_TEST"}, overlay);
}

TEST_F(TouchKeyRoadTest, AnUnknownStateOfATouchPartIsRefused) {
    RoadOptions options;
    options.faultsFile = NSSandbox::rootPath()->str() + "/faults.json";
    // (A key the phone has: one it lacks is refused for that, whatever its state.)
    std::ofstream(options.faultsFile) << R"({"volumeUpKey": "wobbly"})";
    testing::internal::CaptureStderr();
    EXPECT_EQ(runAppRoad(options, nullptr), 2);
    auto errors = testing::internal::GetCapturedStderr();
    EXPECT_NE(errors.find("volumeUpKey"), std::string::npos) << errors;
    EXPECT_NE(errors.find("wobbly"), std::string::npos) << errors;
}

// The Home key test on a phone with a Home button, in a run of its own: the operator presses Home
// and comes back through the notification; a dead Home key fails it.
class HomeKeyRunTest : public CoreTestCase {
protected:
    static std::map<std::string, NSInteger> storedResults() {
        std::map<std::string, NSInteger> results;
        auto stored = DXProfileManager::sharedManager()->loadPersistentTasks();
        for (const auto& item : *stored) {
            auto record = cast<DXTestModel>(item);
            results[record->profilekey()->str()] = record->result();
        }
        return results;
    }
    NSInteger runHome(const std::string& overlay) {
        DispatchClock::useRealTime();
        EXPECT_TRUE(SimDevice::current().loadProfile("iPhone7,2"));
        RunOptions options;
        options.keys = {"HOME_KEYS_TEST"};
        if (!overlay.empty()) {
            options.faultsFile = NSSandbox::temporaryPath()->stringByAppendingPathComponent("faults.json"_ns)->str();
            std::ofstream(options.faultsFile) << overlay;
        }
        EXPECT_EQ(runQuestionTests(options), 0);
        auto results = storedResults();
        return results.count("HOME_KEYS_TEST") ? results["HOME_KEYS_TEST"] : -1;
    }
    void TearDown() override {
        SimTouchKeys::current().reset();
        CoreTestCase::TearDown();
    }
};

TEST_F(HomeKeyRunTest, TheOperatorPressesHomeAndComesBack) {
    EXPECT_EQ(runHome(""), DXTestResultPass);
}

TEST_F(HomeKeyRunTest, ADeadHomeKeyFails) {
    EXPECT_EQ(runHome(R"({"homeKey": "dead"})"), DXTestResultFail);
}
