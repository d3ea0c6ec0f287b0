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

#include <chrono>
#include <fstream>

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
