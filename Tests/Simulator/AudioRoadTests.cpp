// The audio tests of the default session on the simulated phone, end to end: the scripted operator
// speaks and listens, and a faults overlay that breaks one microphone or transducer fails exactly
// the tests that use it, in the final transaction.
#include "AppRoad.h"
#include "RoadSessions.h"

#include <Core/DXProfileManager.h>
#include <Core/DXTestModel.h>
#include <Device/SimAudio.h>
#include <Device/SimDevice.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSUserDefaults.h>

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>
#include <set>

namespace {

const char* const kAudioKeys[] = {"LOUDSPEAKER",     "LOW_FREQUENCY_AUDIO_TEST", "MAIN_MIC_LOOPBACK_TEST",
                                  "MIC_RECORD_TEST", "MIC_LOOPBACK_TEST",        "AUDIO_OPERATOR_CHECK"};

struct BrokenAudioPart {
    const char* name;
    const char* overlay;
    std::set<std::string> failing; // the tests that use the part
};

void PrintTo(const BrokenAudioPart& broken, std::ostream* out) {
    *out << broken.overlay;
}

class AudioRoadTest : public testing::TestWithParam<BrokenAudioPart> {
protected:
    void SetUp() override {
        setSessionKeys(road_sessions::audio());
        dispatch_adopt_current_thread_as_main();
        NSSandbox::useTemporaryRoot();
        NSUserDefaults::resetStandardUserDefaults();
        ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
    }
    void TearDown() override {
        road_sessions::endTest();
        SimAudio::current().reset();
    }

    // Walks the default session with the overlay; the results of the final transaction.
    nlohmann::json walk(const std::string& overlay) {
        RoadReport report;
        auto printed = road_sessions::walk(overlay, report);
        if (report.transactions.size() != 2) {
            ADD_FAILURE() << printed;
            return nlohmann::json::object();
        }
        return nlohmann::json::parse(report.transactions[1]["result_value"].get<std::string>());
    }
};

} // namespace

TEST_F(AudioRoadTest, EveryAudioTestPassesOnAWorkingPhone) {
    auto values = walk("");
    for (const char* key : kAudioKeys) {
        EXPECT_EQ(values[key], "SUCCESS") << key;
    }
}

TEST_P(AudioRoadTest, ABrokenPartFailsExactlyTheTestsThatUseIt) {
    const auto& broken = GetParam();
    auto values = walk(broken.overlay);
    for (const char* key : kAudioKeys) {
        bool fails = broken.failing.count(key) != 0;
        EXPECT_EQ(values[key] != "SUCCESS", fails) << broken.overlay << " " << key << " " << values[key];
    }
}

// A second run in the same process, as a second trade-in at the same desk: the operator of the
// second run has not heard the loudspeaker that played in the first.
TEST_F(AudioRoadTest, ADeadSpeakerAfterAWorkingOneIsStillHeardAsDead) {
    auto first = walk("");
    EXPECT_EQ(first["AUDIO_OPERATOR_CHECK"], "SUCCESS");

    road_sessions::endTest();
    SimAudio::current().reset();
    NSSandbox::useTemporaryRoot();
    NSUserDefaults::resetStandardUserDefaults();
    ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
    auto second = walk(R"({"speaker": "dead"})");
    EXPECT_EQ(second["LOUDSPEAKER"], "FAIL");
    EXPECT_EQ(second["AUDIO_OPERATOR_CHECK"], "FAIL");
}

namespace {

// The sub-results of a test of the run stored on the device.
std::map<std::string, std::string> storedSubResults(const std::string& key) {
    std::map<std::string, std::string> results;
    auto tasks = DXProfileManager::sharedManager()->loadPersistentTasks();
    for (const auto& item : *tasks) {
        auto record = cast<DXTestModel>(item);
        auto subResults = record->subTestItemsResult();
        if (record->profilekey()->str() != key || !subResults) {
            continue;
        }
        for (const auto& [k, v] : *subResults) {
            auto name = cast<NSString>(k);
            auto value = cast<NSString>(v);
            if (name && value) {
                results[name->str()] = value->str();
            }
        }
    }
    return results;
}

} // namespace

// The headset's own keys and its jack, on a phone that has a headset jack: the operator presses each
// key, marks FAILED the steps that did not tick, and fails the plug-in step when the phone never
// sees the headset.
TEST_F(AudioRoadTest, DeadHeadsetKeysFailTheirStepsAndADeadJackThePlugIn) {
    setSessionKeys({"HEADSET_TEST", "HEADSET_MEDIA_BUTTON_TEST"});
    ASSERT_TRUE(SimDevice::current().loadProfile("iPhone7,2"));
    auto keys = walk(R"({"headsetKeys": "dead"})");
    EXPECT_EQ(keys["HEADSET_TEST"], "FAIL");
    EXPECT_EQ(keys["HEADSET_MEDIA_BUTTON_TEST"], "FAIL");
    auto steps = storedSubResults("HEADSET_TEST");
    EXPECT_EQ(steps["HEADSET_TEST_PLUG"], "SUCCESS");
    EXPECT_EQ(steps["HEADSET_TEST_LEFT_AUDIO"], "SUCCESS");
    EXPECT_EQ(steps["HEADSET_TEST_RIGHT_AUDIO"], "SUCCESS");
    EXPECT_EQ(steps["HEADSET_TEST_VOLUMEUP"], "FAIL");
    EXPECT_EQ(steps["HEADSET_TEST_VOLUMEDOWN"], "FAIL");
    EXPECT_EQ(steps["HEADSET_TEST_MEDIABUTTON"], "FAIL");
    EXPECT_EQ(steps["HEADSET_TEST_UNPLUG"], "SUCCESS");

    road_sessions::endTest();
    SimAudio::current().reset();
    NSSandbox::useTemporaryRoot();
    NSUserDefaults::resetStandardUserDefaults();
    ASSERT_TRUE(SimDevice::current().loadProfile("iPhone7,2"));
    auto jack = walk(R"({"headsetJack": "dead"})");
    EXPECT_EQ(jack["HEADSET_TEST"], "FAIL");
    EXPECT_EQ(jack["HEADSET_MEDIA_BUTTON_TEST"], "FAIL");
    EXPECT_EQ(storedSubResults("HEADSET_TEST")["HEADSET_TEST_PLUG"], "FAIL");
}

// A dead speaker, receiver or bottom microphone: the fault matrix (Tests/EndToEnd) walks each of these
// with this same session on the same device and checks more (the table, the stored run). Here, only
// the states the matrix does not break.
INSTANTIATE_TEST_SUITE_P(Parts, AudioRoadTest,
                         testing::Values(BrokenAudioPart{
                             "FrontMicrophoneAbsent", R"({"frontMicrophone": "absent"})", {"MIC_LOOPBACK_TEST"}}),
                         [](const testing::TestParamInfo<BrokenAudioPart>& info) {
                             return std::string(info.param.name);
                         });
