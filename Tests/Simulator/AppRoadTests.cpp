// The simulator's whole road, end to end: launch, URL entry, Start, the typed session, the start
// transaction, the run with the scripted operator, the result screen and the final transaction,
// against the loopback transaction service.
#include "AppRoad.h"
#include "RoadSessions.h"

#include <Categorys/DXLocalizedString.h>
#include <Device/SimDevice.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSUserDefaults.h>
#include <LoopbackTransactionService.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreenshot.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>

namespace {

class AppRoadTest : public testing::Test {
protected:
    void SetUp() override {
        setSessionKeys(road_sessions::sensors());
        dispatch_adopt_current_thread_as_main();
        NSSandbox::useTemporaryRoot();
        NSUserDefaults::resetStandardUserDefaults();
        ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
    }
    void TearDown() override { road_sessions::endTest(); }

    std::string writeFile(const std::string& name, const std::string& content) {
        auto path = NSSandbox::rootPath()->str() + "/" + name;
        std::ofstream(path) << content;
        return path;
    }

    // Walks the road with what it prints to standard output and standard error caught.
    struct Walked {
        int status = -1;
        std::string printed;
        std::string errors;
    };
    static Walked walk(const RoadOptions& options, RoadReport* report) {
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        Walked walked;
        walked.status = runAppRoad(options, report);
        walked.printed = testing::internal::GetCapturedStdout();
        walked.errors = testing::internal::GetCapturedStderr();
        return walked;
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

TEST_F(AppRoadTest, DefaultSessionWalksTheWholeRoad) {
    RoadReport report;
    testing::internal::CaptureStdout();
    int status = runAppRoad({}, &report);
    auto printed = testing::internal::GetCapturedStdout();
    ASSERT_EQ(status, 0) << printed;

    ASSERT_EQ(report.transactions.size(), 2u);
    const auto& start = report.transactions[0];
    const auto& final = report.transactions[1];
    EXPECT_EQ(start["uuid"], "SIM-SESSION-1");
    EXPECT_EQ(start["result"], 2);
    EXPECT_EQ(start["esnNumber"], "356789012345678"); // from the enoxm:// entry
    EXPECT_EQ(final["result"], 1);
    EXPECT_EQ(final["evaluate"], "0");
    EXPECT_EQ(final["serialnumber"], "SIMSERIAL0001");
    auto values = nlohmann::json::parse(final["result_value"].get<std::string>());
    size_t keys = 0;
    for (auto key = defaultSessionKeys(); *key; ++key, ++keys) {
        EXPECT_EQ(values[*key], "SUCCESS") << *key;
        EXPECT_EQ(resultOf(report, *key), "PASS") << *key;
        EXPECT_NE(printed.find(std::string(*key)), std::string::npos);
    }
    EXPECT_EQ(report.table.size(), keys);
    EXPECT_NE(printed.find("test                       result   time"), std::string::npos);
    EXPECT_NE(printed.find("trade-in accepted"), std::string::npos);

    // The profile the session wrote: one entry per switched-on test and the empty last one.
    auto profile = nlohmann::json::parse(std::ifstream(NSSandbox::documentsPath()->str() + "/quorvane_config.txt"),
                                         nullptr, false);
    ASSERT_TRUE(profile.is_object());
    EXPECT_EQ(profile["profile"].size(), keys + 1);
}

TEST_F(AppRoadTest, AFaultFailsExactlyThatTest) {
    RoadOptions options;
    options.faultsFile = writeFile("faults.json", R"({"screen": "cracked"})");
    RoadReport report;
    testing::internal::CaptureStdout();
    int status = runAppRoad(options, &report);
    auto printed = testing::internal::GetCapturedStdout();
    ASSERT_EQ(status, 0) << printed;
    ASSERT_EQ(report.transactions.size(), 2u);
    auto values = nlohmann::json::parse(report.transactions[1]["result_value"].get<std::string>());
    for (auto key = defaultSessionKeys(); *key; ++key) {
        bool broken = std::string(*key) == "CRASH_SCREEN_TEST";
        EXPECT_EQ(resultOf(report, *key), broken ? "FAIL" : "PASS") << *key;
        EXPECT_EQ(values[*key], broken ? "FAIL" : "SUCCESS") << *key;
    }
    EXPECT_EQ(report.transactions[1]["result"], 0);
}

TEST_F(AppRoadTest, TheTypedSessionRoadPicturesTheSessionFormBeforeAndAfterTyping) {
    // A dead back camera cannot read the session's QR code: the operator types the session in.
    setSessionKeys(road_sessions::questions());
    RoadOptions options;
    options.faultsFile = writeFile("faults.json", R"({"backCamera": "dead"})");
    options.screenshotsDir = NSSandbox::rootPath()->str() + "/pictures";
    testing::internal::CaptureStdout();
    ASSERT_EQ(runAppRoad(options, nullptr), 0);
    ASSERT_NE(testing::internal::GetCapturedStdout().find("typing the session in"), std::string::npos);
    std::vector<std::string> form;
    for (const auto& record : UIScreenshotRecords()) {
        if (record.screen == "EnterSessionIdViewController" && std::filesystem::exists(record.path)) {
            form.push_back(record.change);
        }
    }
    // As it comes up, and typed in under the overlay of the start transaction.
    EXPECT_EQ(form, (std::vector<std::string>{"", "overlay"}));
}

TEST_F(AppRoadTest, AScriptedOperatorOverridesTheAnswers) {
    RoadOptions options;
    options.operatorFile = writeFile("operator.json", R"({"SIM_TRAY_TEST": "no"})");
    RoadReport report;
    testing::internal::CaptureStdout();
    ASSERT_EQ(runAppRoad(options, &report), 0);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(resultOf(report, "SIM_TRAY_TEST"), "FAIL");
    EXPECT_EQ(resultOf(report, "DECORATION_TEST"), "PASS");
}

namespace {

// Runs the road with the service answering the final transaction as told; the operator's messages.
std::vector<std::string> refusedRoad(std::function<void(LoopbackTransactionService&)> behave, int* status) {
    RoadOptions options;
    options.beforeFinalTransaction = std::move(behave);
    RoadReport report;
    testing::internal::CaptureStdout();
    *status = runAppRoad(options, &report);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(report.transactions.size(), 2u);
    return report.messages;
}

bool contains(const std::vector<std::string>& messages, const std::string& text) {
    for (const auto& message : messages) {
        if (message.find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

} // namespace

TEST_F(AppRoadTest, A409RefusalReachesTheOperator) {
    int status = 0;
    auto messages = refusedRoad([](LoopbackTransactionService& s) { s.refuse(409, "closed"); }, &status);
    EXPECT_NE(status, 0) << "a refused trade-in is not a completed road";
    EXPECT_TRUE(contains(messages, DXLocalizedString("MT_LOGIN_HAS_USELESS_ID_ERROR")->str()));
}

TEST_F(AppRoadTest, AnUploadFailureReachesTheOperator) {
    int status = 0;
    auto messages =
        refusedRoad([](LoopbackTransactionService& s) { s.refuse(400, "Upload transaction fail"); }, &status);
    EXPECT_NE(status, 0);
    EXPECT_TRUE(contains(messages, DXLocalizedString("MT_REPORT_TRANSCATION_ERROR")->str()));
}

TEST_F(AppRoadTest, ATimeOutReachesTheOperator) {
    int status = 0;
    // The service answers only after the client's 15-second limit (on the wall clock: the service is real).
    auto messages = refusedRoad([](LoopbackTransactionService& s) { s.delayReplies(30); }, &status);
    EXPECT_NE(status, 0);
    EXPECT_TRUE(contains(messages, "(-1001)"));
}

TEST(AppRoadMessagesTest, OnlyAWholeNumberInParenthesesMarksAFailedRequest) {
    EXPECT_TRUE(showsErrorCode("The request timed out. (-1001)"));
    EXPECT_TRUE(showsErrorCode("Server error (500)"));
    // Titles of test screens and rows of the result list are not messages.
    EXPECT_FALSE(showsErrorCode("Display colours (step by step)"));
    EXPECT_FALSE(showsErrorCode("Back camera video (with retry)"));
    EXPECT_FALSE(showsErrorCode("Odd (-)"));
    EXPECT_FALSE(showsErrorCode("()"));
    EXPECT_FALSE(showsErrorCode("No code"));
}

TEST_F(AppRoadTest, AScreenAskingForAnImageThatDoesNotLoadFailsTheRoad) {
    // The bundle's images without the multi-touch screen's circles.
    namespace fs = std::filesystem;
    fs::path images = fs::path(NSSandbox::rootPath()->str()) / "Images";
    fs::create_directories(images);
    for (const auto& entry : fs::directory_iterator(fs::path(DX_RESOURCES_DIR) / "Images")) {
        if (entry.path().filename().string().rfind("icon_multitouch_circle_", 0) != 0) {
            fs::copy_file(entry.path(), images / entry.path().filename());
        }
    }
    UIImage::setSearchFolders({std::string(DX_RESOURCES_DIR), images.string()});
    setSessionKeys(road_sessions::with({"MULTI_TOUCH_TEST"}));
    RoadReport report;
    auto [status, printed, errors] = walk({}, &report);
    UIImage::setSearchFolders({std::string(DX_RESOURCES_DIR), std::string(DX_RESOURCES_DIR) + "/Images"});

    EXPECT_EQ(status, 1) << printed;
    // The run itself went through: the operator still held the circles' places.
    EXPECT_EQ(resultOf(report, "MULTI_TOUCH_TEST"), "PASS");
    EXPECT_EQ(
        report.missingImages,
        (std::vector<std::string>{"MultiTouchViewController (MULTI_TOUCH_TEST): icon_multitouch_circle_normal",
                                  "MultiTouchViewController (MULTI_TOUCH_TEST): icon_multitouch_circle_touched"}));
    EXPECT_NE(errors.find("image missing from the bundle: MultiTouchViewController (MULTI_TOUCH_TEST): "
                          "icon_multitouch_circle_normal"),
              std::string::npos)
        << errors;
}

// The app shows "sent" whichever service answered it: the road says accepted only when its own service
// received the session's final transaction.
TEST_F(AppRoadTest, AFinalTransactionSentToAnotherServiceIsNoAcceptance) {
    setSessionKeys(road_sessions::questions());
    // Another run's service, whose address the app finds stored when it sends the final transaction.
    LoopbackTransactionService other;
    other.start();
    RoadOptions options;
    options.beforeFinalTransaction = [&](LoopbackTransactionService&) {
        NSUserDefaults::standardUserDefaults()->setObjectForKey(NSString::from(other.baseURL()), "webservice"_ns);
    };
    RoadReport report;
    auto [status, printed, errors] = walk(options, &report);
    other.stop();

    EXPECT_EQ(status, 1) << printed;
    EXPECT_EQ(printed.find("trade-in accepted"), std::string::npos) << printed;
    EXPECT_NE(errors.find("the app shows the trade-in accepted, but this run's service at http://127.0.0.1:"),
              std::string::npos)
        << errors;
    ASSERT_EQ(other.recordCount(), 1u) << "the app sent it there";
    EXPECT_EQ(other.records()[0]["uuid"], "SIM-SESSION-1");
    EXPECT_EQ(report.transactions.size(), 1u) << "only the start transaction reached the run's own service";
}

// A picture that cannot be written ends the road with status 1, naming the file: a text picture of a
// step, or a PNG of the recorder (the start page's, numbered on from this process's pictures, or
// from 1 should a recording number afresh).
TEST_F(AppRoadTest, APictureThatCannotBeWrittenEndsTheRoadNamingTheFile) {
    setSessionKeys(road_sessions::questions());
    for (std::string kind : {"text", "png"}) {
        auto dir = NSSandbox::rootPath()->str() + "/" + kind;
        char next[16];
        std::snprintf(next, sizeof next, "%03zu",
                      UIScreenshotWrittenFiles().size() + UIScreenshotFailedWrites().size() + 1);
        auto taken = kind == "text" ? std::vector<std::string>{"001-start.txt"}
                                    : std::vector<std::string>{"001-StartViewController.png",
                                                               std::string(next) + "-StartViewController.png"};
        for (const auto& name : taken) {
            std::filesystem::create_directories(dir + "/" + name); // a folder where the file goes
        }
        RoadOptions options;
        options.screenshotsDir = dir;
        RoadReport report;
        auto [status, printed, errors] = walk(options, &report);
        EXPECT_EQ(status, 1) << printed;
        EXPECT_TRUE(
            std::regex_search(errors, std::regex("a picture could not be written, the road ends: " + dir +
                                                 "/[0-9]{3}-[Ss]tart(ViewController\\.png|\\.txt): Is a directory")))
            << errors;
        EXPECT_TRUE(report.transactions.empty()) << "it ends at once";
    }
}
