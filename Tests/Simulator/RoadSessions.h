// The sessions road tests walk: the operator's questions and one family of test screens. A road of
// every test of a device takes minutes under the sanitizers; each family's own road shows that a
// broken part fails exactly its tests, and the questions that the rest of the run still passes.
#pragma once

#include <AppRoad.h>

#include <Foundation/NSFileManager.h>
#include <Support/PlatformTestCase.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace road_sessions {

inline std::vector<std::string> with(std::vector<std::string> family) {
    std::vector<std::string> keys = {"DECORATION_TEST", "CRASH_SCREEN_TEST",     "WATER_DAMAGE_TEST",
                                     "ENGRAVING_TEST",  "REMOVE_ACCESSORY_TEST", "POWER_ON_OFF_TEST",
                                     "SIM_TRAY_TEST"};
    keys.insert(keys.end(), family.begin(), family.end());
    return keys;
}

inline std::vector<std::string> sensors() {
    return with({"COMPASS_TEST", "MOTION_SENSOR_TEST", "ACCELEROMETER_TEST", "GYROSCOPE_TEST", "BAROMETER_TEST",
                 "PROXIMITY_TEST", "AMBIENT_LIGHT_TEST", "GPS_TEST", "VIBRATION"});
}
inline std::vector<std::string> audio() {
    return with({"LOUDSPEAKER", "LOW_FREQUENCY_AUDIO_TEST", "MAIN_MIC_LOOPBACK_TEST", "MIC_RECORD_TEST",
                 "MIC_LOOPBACK_TEST", "AUDIO_OPERATOR_CHECK", "HEADSET_TEST", "HEADSET_MEDIA_BUTTON_TEST"});
}
inline std::vector<std::string> cameraDisplay() {
    return with({"LCD_FILL_COLOR_TEST", "LCD_BACKLIGHT_TEST", "GHOST_SCREEN_TEST", "LCD_CRACK_TEST", "FLASH_TEST",
                 "BACK_CAMERA_PATTERN_TEST", "FRONT_CAMERA_WHITE_TEST", "BACK_CAMERA_PICTURE_TEST",
                 "FRONT_CAMERA_PICTURE_TEST", "WHITE_BALANCE_TEST", "FRONT_CAMERA_VIDEO_TEST", "BACK_CAMERA_VIDEO_TEST",
                 "BACK_CAMERA_VIDEO_STEP_TEST", "FRONT_CAMERA_ADV_TEST", "BACK_CAMERA_ADV_TEST"});
}
inline std::vector<std::string> touchKeys() {
    return with({"TOUCH_SCREEN_TEST", "TOUCH_DRAW_TEST", "TOUCH_PANEL_TEST", "MULTI_TOUCH_TEST", "STYLUS_TEST",
                 "FORCE_TOUCH_TEST", "PHYSICAL_KEYS_TEST2", "PHYSICAL_KEYS_TEST"});
}
inline std::vector<std::string> powerRadio() {
    return with({"JAILBREAK_TEST", "WIFI_TEST", "AC_USB_PLUG_TEST", "COMPUTER_USB_PLUG_TEST", "DEVICE_INFO_TEST",
                 "BATTERY_TEST", "WIRELESS_CHARGING_TEST", "LIVECALL", "SMS_TEST", "FACEID", "RF", "BLUETOOTH_TEST"});
}

inline std::vector<std::string> questions() {
    return with({});
}
// The headset's own tests: the fault matrix breaks the headset's parts with these alone (the rest of
// the audio family does not use them).
inline std::vector<std::string> headset() {
    return with({"HEADSET_TEST", "HEADSET_MEDIA_BUTTON_TEST"});
}

// The session of a family by its name in the fault matrix (Tests/EndToEnd/dependents.json): the
// questions plus every test of the family, also those the family's own road leaves to runs of their
// own (the Home key, Touch ID, the camera tests beyond the road's). A key without a screen or that the
// device does not support drops out of the session. Empty for an unknown name.
inline std::vector<std::string> family(const std::string& name) {
    auto extend = [](std::vector<std::string> keys, std::vector<std::string> more) {
        keys.insert(keys.end(), more.begin(), more.end());
        return keys;
    };
    if (name == "questions") {
        return questions();
    }
    if (name == "sensors") {
        return sensors();
    }
    if (name == "audio") {
        return audio();
    }
    if (name == "headset") {
        return headset();
    }
    if (name == "cameraDisplay") {
        return extend(cameraDisplay(), {"LCD_FILL_COLOR_STEP_TEST", "BACK_CAMERA_WHITE_TEST", "FRONT_CAMERA_BLACK_TEST",
                                        "BACK_CAMERA_BLACK_TEST", "FRONT_CAMERA_PATTERN_TEST", "FRONT_CAMERA_ADV_TEST",
                                        "BACK_CAMERA_ADV_TEST", "FRONT_CAMERA_VIDEO_TEST", "BACK_CAMERA_VIDEO_TEST",
                                        "BACK_CAMERA_VIDEO_STEP_TEST"});
    }
    if (name == "touchKeys") {
        return extend(touchKeys(), {"HOME_KEYS_TEST"});
    }
    if (name == "powerRadio") {
        return extend(powerRadio(), {"FINGERPRINT"});
    }
    return {};
}

// The result each test's progress line ("[n/N] KEY RESULT time") gave last.
inline std::map<std::string, std::string> progressResults(const std::string& printed) {
    std::map<std::string, std::string> results;
    std::istringstream lines(printed);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] != '[' || line.find("] ") == std::string::npos) {
            continue;
        }
        std::istringstream fields(line.substr(line.find("] ") + 2));
        std::string key;
        std::string result;
        if (fields >> key >> result) {
            results[key] = result;
        }
    }
    return results;
}

// Every finished test's progress line says what the results table (and so the stored run and the
// final transaction) says: a line is printed only once the result is final.
inline void expectProgressMatchesTable(const std::string& printed, const RoadReport& report) {
    auto progress = progressResults(printed);
    for (const auto& [key, result] : report.table) {
        if (result == "NOT RUN") {
            EXPECT_EQ(progress.count(key), 0u) << key;
            continue;
        }
        auto it = progress.find(key);
        ASSERT_NE(it, progress.end()) << key << " has no progress line\n" << printed;
        EXPECT_EQ(it->second, result) << key << ": the progress line and the table disagree";
    }
}

// Walks the road of the session in force with `overlay` as the faults file (none when empty) and
// expects it to complete, each progress line agreeing with the results table; answers what the
// simulator printed.
inline std::string walk(const std::string& overlay, RoadReport& report) {
    RoadOptions options;
    if (!overlay.empty()) {
        options.faultsFile = NSSandbox::rootPath()->str() + "/faults.json";
        std::ofstream(options.faultsFile) << overlay;
    }
    testing::internal::CaptureStdout();
    int status = runAppRoad(options, &report);
    auto printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0) << printed;
    expectProgressMatchesTable(printed, report);
    return printed;
}

// Ends a road's test as the platform fixture ends its tests: the test-end handlers take away what
// the road left (the application, and with it the app delegate's window and screens; the driver's
// windows; the device's state), and nothing timed of the road reaches the next test. A road's
// fixture calls it first in its TearDown.
inline void endTest() {
    PlatformTestCase::endTestOfProcess();
}

} // namespace road_sessions
