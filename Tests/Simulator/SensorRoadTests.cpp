// The sensor tests of the default session on the simulated phone, end to end: the scripted
// operator tries each sensor out on the device, and a faults overlay that breaks one part fails
// exactly the tests that use it, in the printed table and in the final transaction.
#include "AppRoad.h"
#include "RoadSessions.h"

#include <Device/SimDevice.h>
#include <Device/SimSensors.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSUserDefaults.h>

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <regex>
#include <set>

namespace {

const char* const kSensorKeys[] = {"COMPASS_TEST",       "MOTION_SENSOR_TEST", "ACCELEROMETER_TEST",
                                   "GYROSCOPE_TEST",     "BAROMETER_TEST",     "PROXIMITY_TEST",
                                   "AMBIENT_LIGHT_TEST", "GPS_TEST",           "VIBRATION"};

struct BrokenPart {
    const char* name;
    const char* overlay;
    std::set<std::string> failing; // the tests that use the part
};

void PrintTo(const BrokenPart& broken, std::ostream* out) {
    *out << broken.overlay;
}

class SensorRoadTest : public testing::TestWithParam<BrokenPart> {
protected:
    void SetUp() override {
        setSessionKeys(road_sessions::sensors());
        dispatch_adopt_current_thread_as_main();
        NSSandbox::useTemporaryRoot();
        NSUserDefaults::resetStandardUserDefaults();
        ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
    }
    void TearDown() override {
        road_sessions::endTest();
        SimSensors::current().reset();
    }

    // Walks the default session with the overlay; the printed output.
    std::string walk(const std::string& overlay, RoadReport& report) { return road_sessions::walk(overlay, report); }

    static std::string resultOf(const RoadReport& report, const std::string& key) {
        for (const auto& [k, result] : report.table) {
            if (k == key) {
                return result;
            }
        }
        return "<absent>";
    }
    // The result on the key's row of the printed final table.
    static std::string printedResult(const std::string& printed, const std::string& key) {
        std::smatch match;
        std::regex row("\n" + key + " +([A-Z ]+?) +[0-9.]+ s\n");
        std::string table = printed.substr(printed.rfind("test                       result"));
        return std::regex_search(table, match, row) ? match[1].str() : "<absent>";
    }
};

} // namespace

TEST_F(SensorRoadTest, EverySensorTestPassesOnAWorkingDevice) {
    RoadReport report;
    auto printed = walk("", report);
    ASSERT_EQ(report.transactions.size(), 2u);
    auto values = nlohmann::json::parse(report.transactions[1]["result_value"].get<std::string>());
    for (const char* key : kSensorKeys) {
        EXPECT_EQ(resultOf(report, key), "PASS") << key;
        EXPECT_EQ(printedResult(printed, key), "PASS") << key;
        EXPECT_EQ(values[key], "SUCCESS") << key;
    }
    EXPECT_EQ(report.transactions[1]["result"], 1);
    // The operator really worked the device: the motor ran and shook the body.
    auto runs = SimSensors::current().motorRuns();
    ASSERT_FALSE(runs.empty());
    EXPECT_TRUE(runs.back().shook);
}

TEST_P(SensorRoadTest, ABrokenPartFailsExactlyTheTestsThatUseIt) {
    const auto& broken = GetParam();
    RoadReport report;
    auto printed = walk(broken.overlay, report);
    ASSERT_EQ(report.transactions.size(), 2u);
    auto values = nlohmann::json::parse(report.transactions[1]["result_value"].get<std::string>());
    for (auto key = defaultSessionKeys(); *key; ++key) {
        bool fails = broken.failing.count(*key) != 0;
        auto result = resultOf(report, *key);
        EXPECT_EQ(result != "PASS", fails) << broken.overlay << " " << *key << " " << result;
        EXPECT_EQ(printedResult(printed, *key), result) << *key;
        EXPECT_EQ(values[*key] != "SUCCESS", fails) << broken.overlay << " " << *key << " " << values[*key];
    }
    EXPECT_EQ(report.transactions[1]["result"], 0);
}

TEST_F(SensorRoadTest, ADeadOrAbsentGPSIsSkippedThroughTheHeaderAndFailsOnlyItsTest) {
    for (const char* overlay : {R"({"gps": "dead"})", R"({"gps": "absent"})"}) {
        RoadReport report;
        auto printed = walk(overlay, report);
        ASSERT_EQ(report.transactions.size(), 2u) << overlay;
        auto values = nlohmann::json::parse(report.transactions[1]["result_value"].get<std::string>());
        for (auto key = defaultSessionKeys(); *key; ++key) {
            std::string expected = std::string(*key) == "GPS_TEST" ? "FAIL" : "PASS";
            EXPECT_EQ(resultOf(report, *key), expected) << overlay << " " << *key;
            EXPECT_EQ(printedResult(printed, *key), expected) << overlay << " " << *key;
            EXPECT_EQ(values[*key] == "SUCCESS", expected == "PASS") << overlay << " " << *key;
        }
        EXPECT_EQ(report.transactions[1]["result"], 0);
        TearDown();
        SetUp();
    }
}

// A gyroscope stuck, an accelerometer or barometer absent, a magnetometer, proximity sensor or motor
// dead: the fault matrix (Tests/EndToEnd) walks each of these with this same session on the same
// device and checks more (the stored run too). Here, only the states the matrix does not break.
INSTANTIATE_TEST_SUITE_P(Parts, SensorRoadTest,
                         testing::Values(BrokenPart{
                             "MagnetometerStuck", R"({"magnetometer": "stuck"})", {"COMPASS_TEST"}}),
                         [](const testing::TestParamInfo<BrokenPart>& info) { return std::string(info.param.name); });
