// The simulator's run of question and sensor tests: the scripted operator's answers, and a whole run from the
// container to the final transaction (real time: the transaction service is a real server).
#include "CoreTestCase.h"
#include "DeviceFaults.h"
#include "RunSession.h"
#include "ScriptedOperator.h"

#include <Core/DXTestModel.h>

#include <fstream>
#include <map>

namespace {

class ScriptedRunTests : public CoreTestCase {
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
};

} // namespace

TEST_F(ScriptedRunTests, OperatorAnswersFromTheScriptThenTheFaults) {
    ScriptedOperator person({{"liquidIndicator", "tripped"}, {"screen", "ok"}}, {{"DECORATION_TEST", false}});
    EXPECT_FALSE(person.answer("WATER_DAMAGE_TEST", "WaterDamgeViewController")) << "a broken part";
    EXPECT_TRUE(person.answer("CRASH_SCREEN_TEST", "CrashScreenViewController")) << "a part marked ok";
    EXPECT_TRUE(person.answer("ENGRAVING_TEST", "EngravingViewController")) << "a part the overlay leaves out";
    EXPECT_FALSE(person.answer("DECORATION_TEST", "DecorationViewController")) << "the script wins";

    std::map<std::string, bool> answers;
    EXPECT_TRUE(parseAnswers("A=yes,B=no", answers));
    EXPECT_EQ(answers, (std::map<std::string, bool>{{"A", true}, {"B", false}}));
    EXPECT_FALSE(parseAnswers("A=maybe", answers));
    EXPECT_FALSE(parseAnswers("A", answers));
    EXPECT_EQ(splitList("A,,B,"), (std::vector<std::string>{"A", "B"}));
}

TEST_F(ScriptedRunTests, APartMarkedWorkingInAFaultsFileIsAnsweredYes) {
    auto path = NSSandbox::temporaryPath()->stringByAppendingPathComponent("working.json"_ns)->str();
    std::ofstream(path) << R"({"screen": "working", "liquidIndicator": "tripped"})";
    std::map<std::string, std::string> faults;
    std::string error;
    ASSERT_TRUE(readFaultsOverlay(path, faults, &error)) << error;
    ScriptedOperator person(faults, {});
    EXPECT_TRUE(person.answer("CRASH_SCREEN_TEST", "CrashScreenViewController")) << "a part marked working";
    EXPECT_FALSE(person.answer("WATER_DAMAGE_TEST", "WaterDamgeViewController")) << "a broken part";
}

TEST_F(ScriptedRunTests, WholeRunEndsWithTheTransaction) {
    DispatchClock::useRealTime();
    auto faults = NSSandbox::temporaryPath()->stringByAppendingPathComponent("faults.json"_ns)->str();
    std::ofstream(faults) << R"({"screen": "cracked"})";
    RunOptions options;
    options.keys = {"WATER_DAMAGE_TEST", "CRASH_SCREEN_TEST", "GPS_TEST", "DECORATION_TEST"};
    options.answers = {{"DECORATION_TEST", false}};
    options.faultsFile = faults;
    options.evaluate = true;
    ASSERT_EQ(runQuestionTests(options), 0);
    EXPECT_EQ(storedResults(),
              (std::map<std::string, NSInteger>{
                  {"WATER_DAMAGE_TEST", 1}, {"CRASH_SCREEN_TEST", 2}, {"GPS_TEST", 1}, {"DECORATION_TEST", 2}}))
        << "the operator walks with the device for the GPS test";
    EXPECT_TRUE(logged("\"evaluate\" : \"1\""));
}

TEST_F(ScriptedRunTests, UnreadableFaultsStopTheRun) {
    RunOptions options;
    options.keys = {"WATER_DAMAGE_TEST"};
    options.faultsFile = "/nonexistent/faults.json";
    EXPECT_EQ(runQuestionTests(options), 2) << "bad input";
}
