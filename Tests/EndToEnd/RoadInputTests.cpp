// Whole roads that must not complete: bad input to the simulator ends with a clear error and status
// 2 before anything runs, a start transaction that fails shows the operator its message and ends
// the road at once, and an operator who leaves a timed screen alone gets a time-out, not a pass.
#include "../Simulator/RoadSessions.h"
#include "AppRoad.h"

#include <Device/SimDevice.h>
#include <Device/SimSensors.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSUserDefaults.h>
#include <LoopbackTransactionService.h>

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

class RoadInputTest : public testing::Test {
protected:
    void SetUp() override {
        // The refusals end before the first test; the questions are the cheapest session to walk.
        setSessionKeys(road_sessions::questions());
        dispatch_adopt_current_thread_as_main();
        NSSandbox::useTemporaryRoot();
        NSUserDefaults::resetStandardUserDefaults();
        ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
    }
    void TearDown() override {
        road_sessions::endTest();
        setSessionKeys({});
        SimSensors::current().reset();
    }

    std::string writeFile(const std::string& name, const std::string& content) {
        auto path = NSSandbox::rootPath()->str() + "/" + name;
        std::ofstream(path) << content;
        return path;
    }

    int walk(const RoadOptions& options, RoadReport& report, std::string* errors = nullptr) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        int status = runAppRoad(options, &report);
        printed_ = testing::internal::GetCapturedStdout();
        auto err = testing::internal::GetCapturedStderr();
        if (errors) {
            *errors = err;
        }
        return status;
    }

    // Walks a road whose start transaction the service answers as told: the status, and the
    // operator's messages in `report`; the wall time it took in `seconds`.
    int refusedStart(std::function<void(LoopbackTransactionService&)> behave, RoadReport& report,
                     double* seconds = nullptr) {
        RoadOptions options;
        options.beforeStartTransaction = std::move(behave);
        auto start = std::chrono::steady_clock::now();
        int status = walk(options, report);
        if (seconds) {
            *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        return status;
    }

    std::string printed_;
};

} // namespace

TEST_F(RoadInputTest, AnUnknownPartInTheFaultsIsBadInput) {
    RoadOptions options;
    options.faultsFile = writeFile("faults.json", R"({"gyroscop": "dead"})");
    RoadReport report;
    std::string errors;
    EXPECT_EQ(walk(options, report, &errors), 2);
    EXPECT_NE(errors.find("unknown part \"gyroscop\""), std::string::npos) << errors;
    EXPECT_TRUE(report.transactions.empty());
}

TEST_F(RoadInputTest, APartTheDeviceLacksOrAStateAPartCannotBeInIsBadInput) {
    ASSERT_TRUE(SimDevice::current().loadProfile("iPad7,5"));
    RoadOptions options;
    options.faultsFile = writeFile("faults.json", R"({"receiver": "dead"})");
    RoadReport report;
    std::string errors;
    EXPECT_EQ(walk(options, report, &errors), 2);
    EXPECT_NE(errors.find("the iPad7,5 has no part \"receiver\""), std::string::npos) << errors;
    EXPECT_TRUE(report.transactions.empty());

    ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
    options.faultsFile = writeFile("faults.json", R"({"screen": "melted"})");
    EXPECT_EQ(walk(options, report, &errors), 2) << "a look takes only its documented states";
    EXPECT_NE(errors.find("unknown state \"melted\" of \"screen\""), std::string::npos) << errors;
    options.faultsFile = writeFile("faults.json", R"({"accessory": "attached"})");
    EXPECT_EQ(walk(options, report, &errors), 2) << "what the operator does is no part of the device";
    EXPECT_NE(errors.find("unknown part \"accessory\""), std::string::npos) << errors;
}

TEST_F(RoadInputTest, AnUnknownStateNamesTheFileAndEveryStateOfThePart) {
    // A part of every domain of the device, and a look the operator inspects by eye: one shape.
    const std::pair<const char*, const char*> parts[] = {
        {"gyroscope", "working, absent, dead, stuck, noisy"},
        {"speaker", "working, absent, dead"},
        {"headsetJack", "working, dead"},
        {"torch", "working, absent, dead"},
        {"powerKey", "working, dead, stuck"},
        {"screenArea", "working, dead, [x, y, width, height], a list of [x, y, width, height]"},
        {"battery", "working, worn, absent, dead"},
        {"charger", "working, absent, dead"},
        {"jailbroken", "working, yes, no"},
        {"screen", "working, ok, cracked"},
    };
    for (const auto& [part, states] : parts) {
        RoadOptions options;
        options.faultsFile = writeFile("faults.json", std::string(R"({")") + part + R"(": "broken"})");
        RoadReport report;
        std::string errors;
        EXPECT_EQ(walk(options, report, &errors), 2) << part;
        EXPECT_EQ(errors,
                  options.faultsFile + ": unknown state \"broken\" of \"" + part + "\" (its states: " + states + ")\n");
        EXPECT_TRUE(report.transactions.empty());
    }
}

TEST_F(RoadInputTest, AScriptOrOverlayEndsAtItsLastByte) {
    // The JSON reader takes a NUL byte for the end of its text: what follows one must not be ignored.
    RoadReport report;
    std::string errors;
    RoadOptions options;
    options.operatorFile = writeFile("operator.json", std::string(R"({"WATER_DAMAGE_TEST": "no"})") + '\0' + "junk");
    EXPECT_EQ(walk(options, report, &errors), 2);
    EXPECT_EQ(errors, options.operatorFile + ": a NUL byte at byte 28\n");
    options.operatorFile = writeFile("operator.json", R"({"WATER_DAMAGE_TEST": "no"} junk)");
    EXPECT_EQ(walk(options, report, &errors), 2);
    EXPECT_EQ(errors, options.operatorFile + ": not JSON (a syntax error at byte 29)\n");
    options.operatorFile = writeFile("operator.json", std::string(R"({"WATER_DAMAGE_TEST": "no"})") + "\n\t ");
    options.faultsFile = writeFile("faults.json", std::string(R"({"speaker": "dead"})") + '\0' + "junk");
    EXPECT_EQ(walk(options, report, &errors), 2);
    EXPECT_EQ(errors, options.faultsFile + ": a NUL byte at byte 20\n");
    EXPECT_TRUE(report.transactions.empty());

    // Blanks after the value are no junk.
    setSessionKeys({"WATER_DAMAGE_TEST"});
    options.faultsFile = writeFile("faults.json", std::string(R"({"speaker": "dead"})") + "\n");
    ASSERT_EQ(walk(options, report), 0) << printed_;
    ASSERT_EQ(report.table.size(), 1u);
    EXPECT_EQ(report.table[0].second, "FAIL") << "the script's answer";
}

TEST_F(RoadInputTest, AFileNestedTooDeepOrADirectoryIsBadInputNamingIt) {
    // A hundred thousand levels: refused as they are read, before anything writes the value out.
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    RoadReport report;
    std::string errors;
    RoadOptions options;
    options.faultsFile = writeFile("faults.json", R"({"speaker": )" + deep + "}");
    EXPECT_EQ(walk(options, report, &errors), 2);
    EXPECT_EQ(errors, options.faultsFile + ": nested more than 512 levels deep\n");
    options.faultsFile.clear();
    options.operatorFile = writeFile("operator.json", R"({"WATER_DAMAGE_TEST": )" + deep + "}");
    EXPECT_EQ(walk(options, report, &errors), 2);
    EXPECT_EQ(errors, options.operatorFile + ": nested more than 512 levels deep\n");

    // As deep as may be read: an unknown state, its text written out in the message.
    options.operatorFile.clear();
    const std::string deepest = std::string(511, '[') + std::string(511, ']');
    options.faultsFile = writeFile("faults.json", R"({"screen": )" + deepest + "}");
    EXPECT_EQ(walk(options, report, &errors), 2);
    EXPECT_EQ(errors, options.faultsFile + ": unknown state \"" + deepest +
                          "\" of \"screen\" (its states: working, ok, cracked)\n");

    // A directory opens as a file and reads as nothing: it is named for what it is.
    const std::string folder = NSSandbox::rootPath()->str();
    options.faultsFile = folder;
    EXPECT_EQ(walk(options, report, &errors), 2);
    EXPECT_EQ(errors, folder + " is a directory, not a file\n");
    options.faultsFile.clear();
    options.operatorFile = folder;
    EXPECT_EQ(walk(options, report, &errors), 2);
    EXPECT_EQ(errors, folder + " is a directory, not a file\n");
    EXPECT_TRUE(report.transactions.empty());
}

TEST(LoopbackServiceInput, ABodyNestedTooDeepIsKeptAsItsText) {
    LoopbackTransactionService service;
    service.start();
    httplib::Client client("127.0.0.1", service.port());
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    const std::string deepest = std::string(512, '[') + std::string(512, ']');
    for (const auto& body : {deep, deepest}) {
        auto reply = client.Post("/api/functionaltest_finish/", body, "application/json");
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 200);
    }
    auto records = service.records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[0].is_string()) << "not read as JSON";
    EXPECT_EQ(records[0].get<std::string>().size(), deep.size());
    EXPECT_TRUE(records[1].is_array()) << "the deepest body read";
    EXPECT_EQ(records[1].dump(), deepest);
    service.stop();
}

namespace {

// The reason the road gave on its one line of stderr that is not the app's own log.
std::string reasonLine(const std::string& errors, const std::string& start) {
    std::istringstream lines(errors);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind(start, 0) == 0) {
            return line;
        }
    }
    return "<none>";
}

} // namespace

TEST_F(RoadInputTest, AStartThatSensesNoFingerStopsTheRoadWithOneLineNamingTheNextTest) {
    // Over the start page's Start: nothing has run.
    RoadOptions options;
    options.faultsFile = writeFile("faults.json", R"({"screenArea": [120, 450, 135, 40]})");
    RoadReport report;
    std::string errors;
    EXPECT_EQ(walk(options, report, &errors), 1);
    EXPECT_EQ(reasonLine(errors, "the road stopped"),
              std::string("the road stopped: the start page's Start button does not answer a touch; no test has "
                          "run, ") +
                  defaultSessionKeys()[0] + " was next");
    EXPECT_TRUE(report.transactions.empty());
}

TEST_F(RoadInputTest, AnInstructionPagesStartThatSensesNoFingerStopsTheRunThere) {
    // Over the Start of a test's instruction page (below the start page's own): the run stops at the
    // first test that has one, which the line names.
    RoadOptions options;
    options.faultsFile = writeFile("faults.json", R"({"screenArea": [100, 710, 175, 50]})");
    RoadReport report;
    std::string errors;
    EXPECT_EQ(walk(options, report, &errors), 1);
    auto line = reasonLine(errors, "the run stopped");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(line, match,
                                 std::regex("the run stopped after ([0-9]+) of ([0-9]+) tests: the Start button of "
                                            "the instruction page does not answer a touch; ([A-Z_0-9]+) was next")))
        << line;
    auto keys = road_sessions::questions();
    EXPECT_NE(std::find(keys.begin(), keys.end(), match[3].str()), keys.end()) << line;
    EXPECT_TRUE(report.table.empty()) << "the run began, and never came to its results";
}

TEST_F(RoadInputTest, AnUnknownTestKeyInTheOperatorScriptIsBadInput) {
    RoadOptions options;
    options.operatorFile = writeFile("operator.json", R"({"SIM_TRAY": "no"})");
    RoadReport report;
    std::string errors;
    EXPECT_EQ(walk(options, report, &errors), 2);
    EXPECT_NE(errors.find("unknown test key \"SIM_TRAY\""), std::string::npos) << errors;
}

TEST_F(RoadInputTest, AScreenLeftAloneTimesOutAndTheRunIsNoPass) {
    setSessionKeys(road_sessions::with({"ACCELEROMETER_TEST", "GYROSCOPE_TEST"}));
    RoadOptions options;
    options.operatorFile = writeFile("operator.json", R"({"ACCELEROMETER_TEST": "none"})");
    RoadReport report;
    ASSERT_EQ(walk(options, report), 0) << printed_;
    for (const auto& [key, result] : report.table) {
        EXPECT_EQ(result, key == "ACCELEROMETER_TEST" ? "TIMEOUT" : "PASS") << key;
    }
    ASSERT_EQ(report.transactions.size(), 2u);
    EXPECT_EQ(report.transactions[1]["result"], 0) << "a timed-out test is not a pass";
    auto values = nlohmann::json::parse(report.transactions[1]["result_value"].get<std::string>());
    EXPECT_EQ(values["ACCELEROMETER_TEST"], "FAIL");
}

TEST_F(RoadInputTest, AServerErrorAtTheStartReachesTheOperatorAtOnce) {
    RoadReport report;
    double seconds = 0;
    int status =
        refusedStart([](LoopbackTransactionService& s) { s.answerRaw(500, "text/plain", "down"); }, report, &seconds);
    EXPECT_NE(status, 0);
    ASSERT_FALSE(report.messages.empty()) << printed_;
    EXPECT_NE(report.messages.front().find("(-1011)"), std::string::npos) << report.messages.front();
    EXPECT_LT(seconds, 20) << "the road ends when the message shows";
}

TEST_F(RoadInputTest, AReplyThatIsNotJSONReachesTheOperatorInPlainWords) {
    RoadReport report;
    int status =
        refusedStart([](LoopbackTransactionService& s) { s.answerRaw(200, "application/json", "<html>"); }, report);
    EXPECT_NE(status, 0);
    ASSERT_FALSE(report.messages.empty()) << printed_;
    const auto& message = report.messages.front();
    EXPECT_EQ(message.find("parse error"), std::string::npos) << message;
    EXPECT_NE(message.find("isn\u2019t in the correct format"), std::string::npos) << message;
}

TEST_F(RoadInputTest, AHugeReplyAtTheStartReachesTheOperator) {
    RoadReport report;
    int status = refusedStart(
        [](LoopbackTransactionService& s) { s.answerRaw(200, "application/json", std::string(50 << 20, '[')); },
        report);
    EXPECT_NE(status, 0);
    EXPECT_FALSE(report.messages.empty()) << printed_;
}

TEST_F(RoadInputTest, AServiceThatNeverAnswersFailsAfterTheAppsOwnTimeOut) {
    RoadReport report;
    double seconds = 0;
    int status = refusedStart([](LoopbackTransactionService& s) { s.delayReplies(60); }, report, &seconds);
    EXPECT_NE(status, 0);
    ASSERT_FALSE(report.messages.empty()) << printed_;
    EXPECT_NE(report.messages.front().find("(-1001)"), std::string::npos) << report.messages.front();
    EXPECT_LT(seconds, 40) << "15 seconds of the client's time-out, not a fixed minute";
}

TEST_F(RoadInputTest, NobodyListeningReachesTheOperatorAtOnce) {
    RoadOptions options;
    options.server = "http://127.0.0.1:1"; // a port nobody listens on
    RoadReport report;
    auto start = std::chrono::steady_clock::now();
    EXPECT_NE(walk(options, report), 0);
    ASSERT_FALSE(report.messages.empty()) << printed_;
    EXPECT_NE(report.messages.front().find("(-1004)"), std::string::npos) << report.messages.front();
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 20);
}
