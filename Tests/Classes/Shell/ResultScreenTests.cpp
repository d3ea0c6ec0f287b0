// The result screen: which records are listed and counted, single-test re-runs (with and without
// the start page, Skip and Exit from the header sheet, a late report), and the final transaction
// against the loopback transaction service (real time for those).
#include "ShellTestCase.h"

#include <Categorys/DXLocalizedString.h>
#include <Core/DXBaseViewController.h>
#include <Core/DXStartViewController.h>
#include <Core/DXTestViewController.h>
#include <Foundation/NSJSONSerialization.h>
#include <Shell/DXResultTableViewCell.h>
#include <Shell/DXResultViewController.h>
#include <UIKit/NSIndexPath.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIImage.h>
#include <UISupport/PGProgressHUD.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using Json = nlohmann::ordered_json;

class ResultScreenTests : public ShellTestCase {
protected:
    void TearDown() override {
        DXResultViewController::setProcessExitHandler(nullptr);
        screen_ = nullptr;
        ShellTestCase::TearDown();
    }

    static Ref<DXTestModel> test(const char* key, NSInteger result, bool instruction = false,
                                 const char* controller = "WaterDamgeViewController") {
        auto r = record(key, result);
        r->setTitle(NSString::from(std::string(key) + " test"));
        r->setControllerName(NSString::from(controller));
        r->setShowInstruction(instruction);
        r->setInstruction("Look at the device."_ns);
        r->setSubTestItemsResult(NSMutableDictionary::dictionary());
        return r;
    }

    // The run as the container leaves it, stored, and the result screen over it.
    Ref<DXResultViewController> showResults(const std::vector<Ref<DXTestModel>>& records) {
        auto list = NSMutableArray::array();
        for (const auto& r : records) {
            list->addObject(r);
        }
        EXPECT_TRUE(DXProfileManager::sharedManager()->storeTasksInPersistent(list));
        screen_ = make<DXResultViewController>();
        screen_->setValueForKey(list, "testModels"_ns);
        showInNavigation(screen_);
        settle();
        return screen_;
    }

    static void settle() {
        UITestDriver::settle();
        if (DispatchClock::isVirtual()) {
            advance(0.5);
        } else {
            drainMainLoop(0.5);
        }
        UITestDriver::layout();
    }

    std::vector<std::string> rows() const {
        std::vector<std::string> titles;
        auto rows = screen_->tableList();
        for (const auto& item : *rows) {
            titles.push_back(cast<DXTestModel>(item)->profilekey()->str());
        }
        return titles;
    }
    Ref<DXResultTableViewCell> cell(NSInteger row) const {
        screen_->tableView()->layoutIfNeeded();
        return cast<DXResultTableViewCell>(
            screen_->tableView()->cellForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(row, 0)));
    }
    void tapRow(NSInteger row) {
        auto c = cell(row);
        ASSERT_TRUE(c) << "row " << row;
        ASSERT_TRUE(UITestDriver::tapView(c));
        settle();
    }
    std::pair<NSInteger, NSInteger> counts() const {
        return {screen_->resultHeaderView()->passCount(), screen_->resultHeaderView()->failureCount()};
    }
    static NSInteger storedResult(const char* key) {
        auto stored = DXProfileManager::sharedManager()->loadPersistentTasks();
        for (const auto& item : *stored) {
            auto r = cast<DXTestModel>(item);
            if (r->profilekey()->str() == key) {
                return r->result();
            }
        }
        return -1;
    }
    Ref<DXBaseViewController> child() const { return cast<DXBaseViewController>(screen_->oldViewController()); }
    void openChildSheet() {
        auto shown = cast<DXViewController>(screen_->oldViewController());
        ASSERT_TRUE(shown);
        ASSERT_TRUE(UITestDriver::tapView(shown->headerView()->backButton()));
        ASSERT_TRUE(UITestDriver::topSheet());
    }

    Ref<DXResultViewController> screen_;
};

} // namespace

TEST_F(ResultScreenTests, ListsAndCountsTheRecordsThatHaveAResult) {
    showResults({test("A", 1), test("B", 2), test("C", 3), test("D", 0), test("AUDIT_OPERATOR", 2)});
    EXPECT_EQ(rows(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(counts(), std::make_pair(NSInteger(1), NSInteger(1)));
    EXPECT_TRUE(UITestDriver::isTextVisible("Test results"));
    EXPECT_TRUE(UITestDriver::isTextVisible("Passed: 1"));
    EXPECT_TRUE(UITestDriver::isTextVisible("Failed: 1"));
    EXPECT_TRUE(UITestDriver::isTextVisible("Trade in"));
    EXPECT_TRUE(UITestDriver::isTextVisible("Evaluate"));
    EXPECT_TRUE(screen_->headerView()->isHideBackButton());
    EXPECT_EQ(screen_->tableView()->frame().origin.y, DXHeaderHeight()) << "the list starts under the header bar";

    EXPECT_EQ(cell(0)->title()->text()->str(), "A test");
    EXPECT_EQ(cell(0)->passImageView()->image()->name()->str(), "icon_right_n");
    EXPECT_EQ(cell(1)->passImageView()->image()->name()->str(), "icon_fail_n");
    EXPECT_FALSE(cell(2)->passImageView()->image()) << "a time-out has no mark";
    EXPECT_EQ(screen_->tableView()->rectForRowAtIndexPath(NSIndexPath::indexPathForRowInSection(0, 0)).size.height, 70);
}

TEST_F(ResultScreenTests, RerunThatPassesListsEveryRecordButTheDecoy) {
    showResults({test("A", 1), test("B", 2), test("D", 0), test("AUDIT_OPERATOR", 1)});
    screen_->setFromFailScreen(true);
    tapRow(1);
    ASSERT_TRUE(child()) << UITestDriver::describeScreen();
    EXPECT_EQ(child()->info()->profilekey()->str(), "B");
    EXPECT_EQ(child()->triggerViewController(), 1) << "a re-run shows no failed-test alert";
    EXPECT_EQ(child()->view()->frame().origin.x, 0) << "slid in";
    ASSERT_TRUE(UITestDriver::tapButtonTitled("YES"));
    settle();
    EXPECT_FALSE(screen_->oldViewController());
    EXPECT_FALSE(child());
    EXPECT_EQ(rows(), (std::vector<std::string>{"A", "B", "D"}));
    EXPECT_EQ(counts(), std::make_pair(NSInteger(2), NSInteger(0)));
    EXPECT_EQ(storedResult("B"), 1);
    EXPECT_FALSE(screen_->fromFailScreen());
    EXPECT_FALSE(cell(2)->passImageView()->image()) << "the never-run record is listed without a mark";
    EXPECT_TRUE(screen_->tableView()->isUserInteractionEnabled());
}

TEST_F(ResultScreenTests, RerunThatFailsAgainKeepsTheList) {
    showResults({test("A", 1), test("B", 2), test("D", 0)});
    tapRow(0);
    ASSERT_TRUE(child());
    ASSERT_TRUE(UITestDriver::tapButtonTitled("NO"));
    settle();
    EXPECT_EQ(rows(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(counts(), std::make_pair(NSInteger(0), NSInteger(2)));
    EXPECT_EQ(storedResult("A"), 2);
    EXPECT_FALSE(UITestDriver::topAlert()) << "no failed-test alert in a re-run";
}

TEST_F(ResultScreenTests, StartPageThenTestScreen) {
    showResults({test("A", 2, true)});
    tapRow(0);
    auto start = cast<DXStartViewController>(screen_->oldViewController());
    ASSERT_TRUE(start) << UITestDriver::describeScreen();
    EXPECT_EQ(start->testModelCount(), 1u);
    ASSERT_TRUE(UITestDriver::tapView(start->startButton()));
    settle();
    ASSERT_TRUE(child()) << UITestDriver::describeScreen();
    EXPECT_FALSE(start->parentViewController()) << "the start page has left";
    EXPECT_EQ(child()->view()->frame().origin.x, 0);
    ASSERT_TRUE(UITestDriver::tapButtonTitled("YES"));
    settle();
    EXPECT_EQ(counts(), std::make_pair(NSInteger(1), NSInteger(0)));
}

TEST_F(ResultScreenTests, SkipFromTheHeaderRecordsAFailure) {
    showResults({test("A", 1), test("B", 1)});
    tapRow(0);
    openChildSheet();
    EXPECT_EQ(screen_->currentActionSheet(), UITestDriver::topSheet());
    ASSERT_TRUE(UITestDriver::tapSheetButtonTitled("Skip"));
    settle();
    EXPECT_EQ(screen_->tableList()->count(), 2u);
    EXPECT_EQ(counts(), std::make_pair(NSInteger(1), NSInteger(1)));
    EXPECT_EQ(storedResult("A"), 2);
    EXPECT_FALSE(screen_->oldViewController());
    EXPECT_TRUE(screen_->childViewControllers()->count() == 0);
}

TEST_F(ResultScreenTests, SkipOnAStartPageAndExitKeepingTheResult) {
    showResults({test("A", 1, true), test("B", 1)});
    tapRow(0);
    ASSERT_TRUE(cast<DXStartViewController>(screen_->oldViewController()));
    openChildSheet();
    ASSERT_TRUE(UITestDriver::tapSheetButtonTitled("Skip"));
    settle();
    EXPECT_EQ(storedResult("A"), 2);

    tapRow(1);
    auto leaving = child();
    ASSERT_TRUE(leaving);
    openChildSheet();
    ASSERT_TRUE(UITestDriver::tapSheetButtonTitled("Exit"));
    settle();
    EXPECT_FALSE(screen_->oldViewController());
    EXPECT_EQ(storedResult("B"), 1) << "Exit keeps the earlier result";
    EXPECT_EQ(counts(), std::make_pair(NSInteger(1), NSInteger(1)));

    // The screen that Exit took away reports late: nothing changes.
    screen_->testViewControllerWithResultEndTest(leaving, DXTestResultFail, true);
    EXPECT_EQ(storedResult("B"), 1);
    EXPECT_EQ(counts(), std::make_pair(NSInteger(1), NSInteger(1)));
}

TEST_F(ResultScreenTests, RecordWithoutAScreenClassIsNotRerun) {
    showResults({test("A", 2, false, "NoSuchViewController")});
    tapRow(0);
    EXPECT_FALSE(screen_->oldViewController());
    EXPECT_TRUE(screen_->tableView()->isUserInteractionEnabled());
    EXPECT_EQ(storedResult("A"), 2);
}

// ---- The final transaction (real time) ----

namespace {

class FinalTransactionTests : public ResultScreenTests {
protected:
    void SetUp() override {
        ResultScreenTests::SetUp();
        // The transaction service is a real server: the whole test runs in real time. Switching from
        // the virtual clock once the transaction is under way would move the clock under the timers
        // already set (the overlays' animations and delays, the request's time-out) by however far
        // real time had run ahead of the virtual clock, which a loaded machine makes seconds.
        DispatchClock::useRealTime();
        storeDeviceIdentifiers();
        DXResultViewController::setProcessExitHandler([this](int status) { exitStatus_ = status; });
    }

    bool waitForText(const std::string& text, double seconds = 5) {
        return runMainLoopUntil([&] { return UITestDriver::isTextVisible(text); }, seconds);
    }

    bool hasOverlay() const {
        auto subviews = screen_->view()->subviews();
        for (const auto& view : *subviews) {
            if (cast<PGProgressHUD>(view)) {
                return true;
            }
        }
        return false;
    }

    std::optional<int> exitStatus_;
};

} // namespace

TEST_F(FinalTransactionTests, TradeInSendsEveryRecordAndEndsTheProcess) {
    auto& service = startService();
    service.delayReplies(0.5);
    showResults({test("A", 1), test("B", 1), test("D", 0), test("AUDIT_OPERATOR", 1)});
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Trade in"));
    auto hud = PGProgressHUD::HUDForView(screen_->view());
    ASSERT_TRUE(hud);
    EXPECT_EQ(hud->labelText()->str(), "Sending the results...");
    EXPECT_EQ(hud->mode(), PGProgressHUDModeIndeterminate);
    ASSERT_TRUE(service.waitForRecords(1, 5));
    ASSERT_TRUE(waitForText("Results sent."));
    EXPECT_FALSE(exitStatus_) << "the process ends only once the message has gone";
    ASSERT_TRUE(runMainLoopUntil([&] { return exitStatus_.has_value(); }, 5));
    EXPECT_EQ(*exitStatus_, 0);

    auto received = service.records().at(0);
    EXPECT_EQ(received.size(), 19u);
    auto expected = client()->buildTempTransactionWithSessionIdResultValueResultEvaluate(
        "S-1234"_ns, screen_->testModels(), nullptr, "0"_ns);
    Ref<NSError> error;
    auto expectedJSON =
        Json::parse(NSJSONSerialization::dataWithJSONObjectOptionsError(expected, 0, &error)->stringValue());
    for (auto& [key, value] : expectedJSON.items()) {
        if (key != "timeCreated") {
            EXPECT_EQ(received[key], value) << key;
        }
    }
    EXPECT_EQ(received["uuid"], "S-1234");
    EXPECT_EQ(received["evaluate"], "0");
    EXPECT_EQ(received["result"], 0) << "a never-run record is no pass";
    EXPECT_EQ(Json::parse(received["result_value"].get<std::string>()),
              (Json{{"A", "SUCCESS"}, {"B", "SUCCESS"}, {"D", "FAIL"}, {"AUDIT_OPERATOR", "SUCCESS"}}))
        << "the hidden decoy and the never-run record are reported too";
}

TEST_F(FinalTransactionTests, EvaluateLeavesTheScreenOpen) {
    auto& service = startService();
    showResults({test("A", 1)});
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Evaluate"));
    ASSERT_TRUE(waitForText("Results sent."));
    EXPECT_TRUE(runMainLoopUntil([&] { return !hasOverlay(); }, 5)) << "the message goes after a second";
    drainMainLoop(0.2);
    EXPECT_FALSE(exitStatus_);
    ASSERT_EQ(service.recordCount(), 1u);
    EXPECT_EQ(service.records()[0]["evaluate"], "1");
    EXPECT_EQ(service.records()[0]["result"], 1);
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Evaluate")) << "a further transaction can be sent";
    EXPECT_TRUE(service.waitForRecords(2, 5));
}

TEST_F(FinalTransactionTests, RefusalsAndFailuresReachTheOperator) {
    auto& service = startService();
    shortenClientTimeout(0.5);
    showResults({test("A", 1), test("B", 2)});
    struct Case {
        std::function<void()> arrange;
        std::string message;
    };
    std::vector<Case> cases = {
        {[&] { service.refuse(409, "Session closed"); }, DXLocalizedString("MT_LOGIN_HAS_USELESS_ID_ERROR")->str()},
        {[&] { service.refuse(200, "Upload transaction fail"); },
         DXLocalizedString("MT_REPORT_TRANSCATION_ERROR")->str()},
        {[&] { service.refuse(400, "Device not in session"); }, "Device not in session"},
        {[&] { service.delayReplies(30); }, "(-1001)"},
        {[&] { service.answerRaw(200, "application/json", "not json"); }, "("},
        {[&] { service.answerRaw(200, "application/json", "[1, 2]"); }, "(-1017)"},
        {[&] { service.answerRaw(503, "application/json", "{}"); }, "("},
        {[&] { service.dropConnections(); }, "("},
    };
    size_t sent = 0;
    for (auto& c : cases) {
        c.arrange();
        ASSERT_TRUE(UITestDriver::tapButtonTitled("Trade in")) << c.message;
        ASSERT_TRUE(service.waitForRecords(++sent, 5)) << c.message;
        bool shown = runMainLoopUntil(
            [&] {
                for (const auto& text : UITestDriver::visibleTexts()) {
                    if (text.find(c.message) != std::string::npos && text != "Sending the results...") {
                        return true;
                    }
                }
                return false;
            },
            5);
        EXPECT_TRUE(shown) << c.message << "\n" << UITestDriver::describeScreen();
        EXPECT_TRUE(runMainLoopUntil([&] { return !hasOverlay(); }, 5)) << c.message << " stays 1 second, then goes";
        EXPECT_FALSE(exitStatus_) << c.message;
    }
    EXPECT_EQ(rows(), (std::vector<std::string>{"A", "B"})) << "the screen and the results stay as they were";
    EXPECT_EQ(counts(), std::make_pair(NSInteger(1), NSInteger(1)));
}

TEST_F(ResultScreenTests, RunContainerEndsOnThisScreen) {
    auto list = NSMutableArray::arrayWithObjects({test("A", 0), test("B", 0)});
    ASSERT_TRUE(DXProfileManager::sharedManager()->storeTasksInPersistent(list));
    showInNavigation(make<UIViewController>());
    auto container = make<DXTestViewController>();
    container->setTestModels(list);
    container->setRunType(DXRunTypeProfile);
    navigation_->pushViewControllerAnimated(container, false);
    settle();
    ASSERT_TRUE(UITestDriver::tapButtonTitled("YES")) << UITestDriver::describeScreen();
    settle();
    ASSERT_TRUE(UITestDriver::tapButtonTitled("NO")) << UITestDriver::describeScreen();
    settle();
    screen_ = cast<DXResultViewController>(navigation_->topViewController());
    ASSERT_TRUE(screen_) << UITestDriver::describeScreen();
    EXPECT_EQ(rows(), (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(counts(), std::make_pair(NSInteger(1), NSInteger(1)));
    EXPECT_TRUE(UITestDriver::isTextVisible("Passed: 1"));
}
