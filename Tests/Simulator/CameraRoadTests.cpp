// The camera and display tests of the default session on the simulated phone, end to end: the
// scripted operator points the cameras, looks at the screen and the torch, and a faults overlay
// that breaks a camera, the torch, the backlight or the display fails exactly the tests that use
// it, in the printed table and in the final transaction.
#include "AppRoad.h"
#include "RoadSessions.h"

#include <Device/SimCamera.h>
#include <Device/SimDevice.h>
#include <Device/SimSensors.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSUserDefaults.h>

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <set>

namespace {

const char* const kCameraDisplayKeys[] = {"LCD_FILL_COLOR_TEST",
                                          "LCD_BACKLIGHT_TEST",
                                          "GHOST_SCREEN_TEST",
                                          "LCD_CRACK_TEST",
                                          "FLASH_TEST",
                                          "BACK_CAMERA_PATTERN_TEST",
                                          "FRONT_CAMERA_WHITE_TEST",
                                          "BACK_CAMERA_PICTURE_TEST",
                                          "FRONT_CAMERA_PICTURE_TEST",
                                          "WHITE_BALANCE_TEST",
                                          "FRONT_CAMERA_VIDEO_TEST",
                                          "BACK_CAMERA_VIDEO_TEST",
                                          "BACK_CAMERA_VIDEO_STEP_TEST",
                                          "FRONT_CAMERA_ADV_TEST",
                                          "BACK_CAMERA_ADV_TEST"};

struct BrokenPart {
    const char* name;
    const char* overlay;
    std::set<std::string> failing;
};

void PrintTo(const BrokenPart& broken, std::ostream* out) {
    *out << broken.overlay;
}

class CameraRoadTest : public testing::TestWithParam<BrokenPart> {
protected:
    void SetUp() override {
        setSessionKeys(road_sessions::cameraDisplay());
        dispatch_adopt_current_thread_as_main();
        NSSandbox::useTemporaryRoot();
        NSUserDefaults::resetStandardUserDefaults();
        ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
        SimCamera::current().reset();
    }
    void TearDown() override {
        road_sessions::endTest();
        SimSensors::current().reset();
        SimCamera::current().reset();
    }

    std::string walk(const std::string& overlay, RoadReport& report) { return road_sessions::walk(overlay, report); }
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

TEST_F(CameraRoadTest, EveryCameraAndDisplayTestPassesOnAWorkingDevice) {
    RoadReport report;
    auto printed = walk("", report);
    // The session was joined by its QR code, read from the camera's picture.
    EXPECT_NE(printed.find("by its QR code"), std::string::npos) << printed;
    ASSERT_EQ(report.transactions.size(), 2u);
    auto values = nlohmann::json::parse(report.transactions[1]["result_value"].get<std::string>());
    for (const char* key : kCameraDisplayKeys) {
        EXPECT_EQ(resultOf(report, key), "PASS") << key;
        EXPECT_EQ(values[key], "SUCCESS") << key;
    }
    // The operator really saw the torch light.
    auto log = SimCamera::current().torchLog();
    ASSERT_FALSE(log.empty());
    EXPECT_TRUE(log.front().lit);
    EXPECT_FALSE(log.back().lit);
}

TEST_P(CameraRoadTest, ABrokenPartFailsExactlyTheTestsThatUseIt) {
    const auto& broken = GetParam();
    RoadReport report;
    walk(broken.overlay, report);
    ASSERT_EQ(report.transactions.size(), 2u);
    auto values = nlohmann::json::parse(report.transactions[1]["result_value"].get<std::string>());
    for (auto key = defaultSessionKeys(); *key; ++key) {
        bool fails = broken.failing.count(*key) != 0;
        auto result = resultOf(report, *key);
        EXPECT_EQ(result != "PASS", fails) << broken.overlay << " " << *key << " " << result;
        EXPECT_EQ(values[*key] != "SUCCESS", fails) << broken.overlay << " " << *key;
    }
    EXPECT_EQ(report.transactions[1]["result"], 0);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, CameraRoadTest,
    testing::Values(BrokenPart{"FrontCameraDead",
                               R"({"frontCamera": "dead"})",
                               {"FRONT_CAMERA_WHITE_TEST", "FRONT_CAMERA_PICTURE_TEST", "FRONT_CAMERA_VIDEO_TEST",
                                "FRONT_CAMERA_ADV_TEST"}},
                    BrokenPart{"BackCameraFrozen",
                               R"({"backCamera": "frozen"})",
                               {"BACK_CAMERA_PATTERN_TEST", "BACK_CAMERA_PICTURE_TEST", "WHITE_BALANCE_TEST",
                                "BACK_CAMERA_VIDEO_TEST", "BACK_CAMERA_VIDEO_STEP_TEST", "BACK_CAMERA_ADV_TEST"}},
                    BrokenPart{"MicrophoneDead",
                               R"({"bottomMicrophone": "dead"})",
                               {"FRONT_CAMERA_VIDEO_TEST", "BACK_CAMERA_VIDEO_TEST", "BACK_CAMERA_VIDEO_STEP_TEST"}},
                    BrokenPart{"StorageFull",
                               R"({"storage": "full"})",
                               {"FRONT_CAMERA_VIDEO_TEST", "BACK_CAMERA_VIDEO_TEST", "BACK_CAMERA_VIDEO_STEP_TEST"}},
                    BrokenPart{"FrontCameraAbsent",
                               R"({"frontCamera": "absent"})",
                               {"FRONT_CAMERA_WHITE_TEST", "FRONT_CAMERA_PICTURE_TEST", "FRONT_CAMERA_VIDEO_TEST",
                                "FRONT_CAMERA_ADV_TEST"}},
                    BrokenPart{"BackCameraDead",
                               R"({"backCamera": "dead"})",
                               {"BACK_CAMERA_PATTERN_TEST", "BACK_CAMERA_PICTURE_TEST", "WHITE_BALANCE_TEST",
                                "BACK_CAMERA_VIDEO_TEST", "BACK_CAMERA_VIDEO_STEP_TEST", "BACK_CAMERA_ADV_TEST"}},
                    BrokenPart{"FlashDead", R"({"flash": "dead"})", {"BACK_CAMERA_ADV_TEST"}},
                    BrokenPart{"DisplayDeadArea", R"({"display": "deadArea"})", {"LCD_FILL_COLOR_TEST"}},
                    BrokenPart{"DisplayCrack", R"({"display": "crack"})", {"LCD_FILL_COLOR_TEST", "LCD_CRACK_TEST"}},
                    BrokenPart{"TorchDeadBacklightStuck",
                               R"({"torch": "dead", "backlight": "stuck"})",
                               {"FLASH_TEST", "LCD_BACKLIGHT_TEST"}}),
    [](const testing::TestParamInfo<BrokenPart>& info) { return std::string(info.param.name); });
