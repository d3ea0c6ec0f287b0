// The run container walking runs of question screens: answers, start screens, the header sheet's
// Back, Skip and Exit, retry and exit from the failed-test alert, and the end of each run type; the
// stored run is compared with memory after each step.
#include "RunTestCase.h"

#include <Diagnostics/PowerRadio/CrashScreenViewController.h>
#include <Diagnostics/PowerRadio/WaterDamgeViewController.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {
using RunContainerTest = RunTestCase;
}

TEST_F(RunContainerTest, AnswersAreStoredAndTheResultScreenFollowsAProfileRun) {
    auto c = startRun({record("A"), record("B", "CrashScreenViewController"), record("C")}, DXRunTypeProfile);
    EXPECT_EQ(c->indexOfHandle(), 0u);
    EXPECT_TRUE(cast<WaterDamgeViewController>(page()));
    EXPECT_TRUE(UITestDriver::isTextVisible("Is the device free of water damage?"));
    answer(true);
    EXPECT_EQ(results(), (std::vector<NSInteger>{1, 0, 0}));
    expectStoredMatchesMemory();
    EXPECT_TRUE(cast<CrashScreenViewController>(page()));
    answer(false);
    EXPECT_EQ(results(), (std::vector<NSInteger>{1, 2, 0}));
    expectStoredMatchesMemory();
    answer(true);
    EXPECT_EQ(results(), (std::vector<NSInteger>{1, 2, 1}));
    expectStoredMatchesMemory();
    auto result = resultScreen();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->testModels().get(), c->testModels().get());
    EXPECT_FALSE(result->fromFailScreen());
    EXPECT_TRUE(logged("all finish."));
}

TEST_F(RunContainerTest, SlideTakesThreeTenthsOfASecond) {
    auto c = startRun({record("A"), record("B")}, DXRunTypeProfile);
    auto first = page();
    ASSERT_TRUE(UITestDriver::tapButtonTitled("YES"));
    UITestDriver::settle();
    // During the slide the first screen is still the container's current child.
    EXPECT_EQ(page().get(), first.get());
    advance(0.29);
    EXPECT_EQ(page().get(), first.get());
    advance(0.02);
    EXPECT_NE(page().get(), first.get());
    EXPECT_FALSE(first->parentViewController());
    EXPECT_EQ(page()->view()->frame(), c->view()->frame());
}

TEST_F(RunContainerTest, ATestEndingWhileItsPageSlidesInLeavesTheNextPageOnTop) {
    auto c = startRun({record("A", "WaterDamgeViewController", true), record("B", "CrashScreenViewController", true)},
                      DXRunTypeProfile);
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Start"));
    UITestDriver::settle();
    advance(0.1); // A's screen is still sliding in when its test ends (a missing part ends it at once)
    Ref<UIViewController> screenA;
    auto children = c->childViewControllers();
    for (const id& child : *children) {
        if (cast<WaterDamgeViewController>(child)) {
            screenA = cast<UIViewController>(child);
        }
    }
    ASSERT_TRUE(screenA) << UITestDriver::describeScreen();
    ASSERT_NE(page().get(), screenA.get()); // still sliding in
    c->testViewControllerWithResultEndTest(screenA, 3, false);
    settle();
    settle();
    ASSERT_TRUE(startScreen()) << UITestDriver::describeScreen();
    EXPECT_EQ(startScreen()->testProgressLabel()->text()->str(), "2/2");
    EXPECT_FALSE(screenA->parentViewController());
    EXPECT_EQ(c->childViewControllers()->count(), 1u);
    EXPECT_EQ(cast<UIView>(c->view()->subviews()->lastObject()).get(), page()->view().get());
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Start"));
    settle();
    EXPECT_TRUE(cast<CrashScreenViewController>(page()));
    answer(true);
    EXPECT_EQ(results(), (std::vector<NSInteger>{3, 1}));
    expectStoredMatchesMemory();
}

TEST_F(RunContainerTest, StartScreensComeBeforeTheirTests) {
    auto c = startRun({record("A", "WaterDamgeViewController", true), record("B", "CrashScreenViewController", true)},
                      DXRunTypeProfile);
    ASSERT_TRUE(startScreen());
    EXPECT_EQ(startScreen()->testProgressLabel()->text()->str(), "1/2");
    EXPECT_TRUE(UITestDriver::isTextVisible("Instruction of A"));
    EXPECT_EQ(startScreen()->headerView()->delegate().get(), static_cast<NSObject*>(c.get()));
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Start"));
    settle();
    EXPECT_TRUE(cast<WaterDamgeViewController>(page()));
    answer(true);
    ASSERT_TRUE(startScreen());
    EXPECT_EQ(startScreen()->testProgressLabel()->text()->str(), "2/2");
    ASSERT_TRUE(UITestDriver::tapButtonTitled("Start"));
    settle();
    EXPECT_TRUE(cast<CrashScreenViewController>(page()));
    answer(false);
    EXPECT_EQ(results(), (std::vector<NSInteger>{1, 2}));
    expectStoredMatchesMemory();
}

TEST_F(RunContainerTest, SheetOffersBackOnlyAfterTheFirstRecord) {
    startRun({record("A"), record("B"), record("C")}, DXRunTypeProfile);
    openSheet();
    EXPECT_EQ(sheetTitles(), (std::vector<std::string>{"Exit", "Skip", "Cancel"}));
    EXPECT_EQ(UITestDriver::topSheet()->title()->str(), "Test options");
    tapSheet("Cancel");
    answer(true);
    openSheet();
    EXPECT_EQ(sheetTitles(), (std::vector<std::string>{"Exit", "Back", "Cancel", "Skip"}));
    tapSheet("Cancel");
    answer(true);
    // The last record gets the same two.
    openSheet();
    EXPECT_EQ(sheetTitles(), (std::vector<std::string>{"Exit", "Back", "Cancel", "Skip"}));
    tapSheet("Cancel");
}

TEST_F(RunContainerTest, SingleRecordSheetHasOnlyExitAndCancel) {
    startRun({record("A")}, DXRunTypeSingleTest);
    openSheet();
    EXPECT_EQ(sheetTitles(), (std::vector<std::string>{"Exit", "Cancel"}));
    tapSheet("Cancel");
}

TEST_F(RunContainerTest, BackClearsThePreviousRecordInMemoryAndStored) {
    auto a = record("A");
    auto c = startRun({a, record("B"), record("C")}, DXRunTypeProfile);
    auto firstScreen = page();
    // The first screen's test left a sub-result behind.
    a->subTestItemsResult()->setObjectForKey(DXSubTestSuccess(), "PART"_ns);
    answer(true);
    expectStoredMatchesMemory();
    EXPECT_EQ(DXProfileManager::sharedManager()->loadPersistentTasks()->count(), 3u);
    auto secondScreen = page();
    openSheet();
    tapSheet("Back");
    EXPECT_EQ(c->indexOfHandle(), 0u);
    EXPECT_EQ(a->result(), 0);
    EXPECT_TRUE(NSObjectsEqual(a->subTestItemsResult()->objectForKey("PART"_ns), DXSubTestNotTest()));
    expectStoredMatchesMemory();
    EXPECT_EQ(storedResults(), (std::vector<NSInteger>{0, 0, 0}));
    // A new screen for the record.
    EXPECT_TRUE(cast<WaterDamgeViewController>(page()));
    EXPECT_NE(page().get(), firstScreen.get());
    // The screen that Back left reports late: ignored.
    c->testViewControllerWithResultEndTest(secondScreen, 1, false);
    EXPECT_EQ(c->indexOfHandle(), 0u);
    EXPECT_EQ(results(), (std::vector<NSInteger>{0, 0, 0}));
    answer(false);
    EXPECT_EQ(results(), (std::vector<NSInteger>{2, 0, 0}));
    expectStoredMatchesMemory();
}

TEST_F(RunContainerTest, SkipAsksThenFailsTheRecordAndGoesOn) {
    auto c = startRun({record("A"), record("B")}, DXRunTypeProfile);
    auto skipped = page();
    openSheet();
    tapSheet("Skip");
    auto alert = UITestDriver::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title()->str(), "Celvix");
    EXPECT_EQ(alert->message()->str(), "Skip this test? It will be counted as failed.");
    tapAlert("NO");
    EXPECT_EQ(page().get(), skipped.get());
    EXPECT_EQ(results(), (std::vector<NSInteger>{0, 0}));
    openSheet();
    tapSheet("Skip");
    tapAlert("YES");
    EXPECT_EQ(c->indexOfHandle(), 1u);
    EXPECT_EQ(results(), (std::vector<NSInteger>{2, 0}));
    expectStoredMatchesMemory();
    EXPECT_NE(page().get(), skipped.get());
    // A late result of the skipped screen does not count.
    c->testViewControllerWithResultEndTest(skipped, 1, false);
    EXPECT_EQ(c->indexOfHandle(), 1u);
    EXPECT_EQ(results(), (std::vector<NSInteger>{2, 0}));
    expectStoredMatchesMemory();
}

TEST_F(RunContainerTest, AnOpenSheetOrAlertGoesWhenTheResultComesFirst) {
    startRun({record("A"), record("B"), record("C")}, DXRunTypeProfile);
    openSheet();
    auto sheet = UITestDriver::topSheet();
    testScreen()->info()->setResult(1);
    testScreen()->gotoResultView();
    settle();
    EXPECT_FALSE(sheet->isVisible());
    openSheet();
    tapSheet("Skip");
    auto alert = UITestDriver::topAlert();
    ASSERT_TRUE(alert);
    testScreen()->info()->setResult(1);
    testScreen()->gotoResultView();
    settle();
    EXPECT_FALSE(alert->isVisible());
    EXPECT_EQ(results(), (std::vector<NSInteger>{1, 1, 0}));
}

TEST_F(RunContainerTest, RetryAfterAFailureShowsTheRecordAgainFresh) {
    auto c = startRun({record("A", "WaterDamgeViewController", false, true), record("B")}, DXRunTypeProfile);
    auto first = page();
    answer(false);
    auto alert = UITestDriver::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message()->str(), "The test failed. Do you want to run it again?");
    // Nothing is reported yet: the record is failed in memory only.
    EXPECT_EQ(results(), (std::vector<NSInteger>{2, 0}));
    EXPECT_EQ(storedResults(), (std::vector<NSInteger>{0, 0}));
    tapAlert("Retry");
    EXPECT_EQ(c->indexOfHandle(), 0u);
    EXPECT_NE(page().get(), first.get());
    EXPECT_EQ(results(), (std::vector<NSInteger>{0, 0}));
    expectStoredMatchesMemory();
    answer(true);
    EXPECT_EQ(results(), (std::vector<NSInteger>{1, 0}));
    expectStoredMatchesMemory();
    EXPECT_EQ(c->indexOfHandle(), 1u);
}

TEST_F(RunContainerTest, SkippingAScreenWithItsFailedTestAlertOpenTakesTheAlertAway) {
    auto c = startRun({record("A", "WaterDamgeViewController", false, true), record("B")}, DXRunTypeProfile);
    auto failed = testScreen();
    answer(false);
    auto alert = failed->failedTestAlert();
    ASSERT_TRUE(alert);
    openSheet();
    tapSheet("Skip");
    tapAlert("YES");
    EXPECT_FALSE(alert->isVisible());
    EXPECT_FALSE(UITestDriver::topAlert());
    EXPECT_EQ(c->indexOfHandle(), 1u);
    EXPECT_EQ(results(), (std::vector<NSInteger>{2, 0}));
    expectStoredMatchesMemory();
    // No marker of a run ended from a failed test.
    EXPECT_FALSE(NSFileManager::defaultManager()->fileExistsAtPath(documentsFile("test_failed_doResult.flg")));
    EXPECT_FALSE(resultScreen());
}

TEST_F(RunContainerTest, ExitFromTheFailedTestAlertEndsTheRunAtTheResultScreen) {
    auto c = startRun({record("A", "WaterDamgeViewController", false, true)}, DXRunTypeSingleTest);
    answer(false);
    tapAlert("Exit");
    auto marker = documentsFile("test_failed_doResult.flg");
    EXPECT_EQ(readText(marker), "TRUE");
    auto result = resultScreen();
    ASSERT_TRUE(result);
    EXPECT_TRUE(result->fromFailScreen());
    EXPECT_EQ(results(), (std::vector<NSInteger>{2}));
    expectStoredMatchesMemory();
    EXPECT_FALSE(page()->parentViewController());
}

TEST_F(RunContainerTest, EachRunTypeEndsItsOwnWay) {
    startRun({record("A")}, DXRunTypeSingleTest);
    answer(true);
    EXPECT_EQ(navigation_->viewControllers()->count(), 1u);
    EXPECT_FALSE(resultScreen());

    startRun({record("B")}, 2);
    auto last = page();
    answer(true);
    EXPECT_EQ(navigation_->topViewController().get(), container_.get());
    EXPECT_TRUE(last->view()->superview());
    EXPECT_FALSE(last->parentViewController());
}

TEST_F(RunContainerTest, EmptyRunEndsAtOnce) {
    startRun({}, DXRunTypeProfile);
    auto result = resultScreen();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->testModels()->count(), 0u);

    startRun({}, DXRunTypeSingleTest);
    EXPECT_EQ(navigation_->viewControllers()->count(), 1u);

    startRun({}, 2);
    EXPECT_EQ(navigation_->topViewController().get(), container_.get());
    EXPECT_FALSE(page());
}

TEST_F(RunContainerTest, AFinishedRunStartsAgainAtTheFirstRecordFresh) {
    auto a = record("A");
    a->setResult(2);
    auto b = record("B");
    b->setResult(1);
    auto c = startRun({a, b}, DXRunTypeProfile);
    EXPECT_EQ(c->indexOfHandle(), 0u);
    EXPECT_TRUE(cast<WaterDamgeViewController>(page()));
    EXPECT_EQ(results(), (std::vector<NSInteger>{0, 1}));
    expectStoredMatchesMemory();
}

TEST_F(RunContainerTest, ARecordWithoutAResultButWithSubResultsStartsFreshInMemoryAndStored) {
    // Result 0 with any sub-result other than "not tested" is a record shown again: before its screen
    // shows, it is reset and the reset is stored.
    for (const auto& left : {DXSubTestSuccess(), DXSubTestUnknown(), DXSubTestRemoved(), DXSubTestFail()}) {
        SCOPED_TRACE(left->str());
        auto a = record("A");
        a->subTestItemsResult()->setObjectForKey(left, "PART"_ns);
        a->subTestItemsResult()->setObjectForKey(DXSubTestNotTest(), "OTHER"_ns);
        auto c = startRun({a, record("B")}, DXRunTypeProfile);
        EXPECT_EQ(c->indexOfHandle(), 0u);
        ASSERT_TRUE(cast<WaterDamgeViewController>(page()));
        EXPECT_TRUE(NSObjectsEqual(a->subTestItemsResult()->objectForKey("PART"_ns), DXSubTestNotTest()));
        auto stored = cast<DXTestModel>(DXProfileManager::sharedManager()->loadPersistentTasks()->objectAtIndex(0));
        ASSERT_TRUE(stored && stored->subTestItemsResult());
        EXPECT_TRUE(NSObjectsEqual(stored->subTestItemsResult()->objectForKey("PART"_ns), DXSubTestNotTest()))
            << NSDescription(stored->subTestItemsResult())->str();
        EXPECT_EQ(stored->result(), 0);
        expectStoredMatchesMemory();
    }
}

TEST_F(RunContainerTest, RunStartsAtTheFirstUntestedRecord) {
    auto a = record("A");
    a->setResult(1);
    auto c = startRun({a, record("B", "CrashScreenViewController")}, DXRunTypeProfile);
    EXPECT_EQ(c->indexOfHandle(), 1u);
    EXPECT_TRUE(cast<CrashScreenViewController>(page()));
}

TEST_F(RunContainerTest, RecordsWithoutAScreenClassArePassedOver) {
    auto c = startRun({record("A", "NoSuchViewController"), record("B"), record("C", "NSObject"), record("D")},
                      DXRunTypeProfile);
    EXPECT_EQ(c->indexOfHandle(), 1u);
    answer(true);
    EXPECT_EQ(c->indexOfHandle(), 3u);
    answer(true);
    EXPECT_EQ(results(), (std::vector<NSInteger>{0, 1, 0, 1}));
    EXPECT_TRUE(resultScreen());
    EXPECT_TRUE(logged("no test screen NoSuchViewController"));
}

TEST_F(RunContainerTest, ExitOfASingleTestPopsWithoutAsking) {
    startRun({record("A"), record("B")}, DXRunTypeSingleTest);
    openSheet();
    tapSheet("Exit");
    EXPECT_FALSE(UITestDriver::topAlert());
    EXPECT_EQ(navigation_->viewControllers()->count(), 1u);
}

TEST_F(RunContainerTest, ExitOfAProfileRunAsksThenEndsTheProcess) {
    auto c = startRun({record("A"), record("B")}, DXRunTypeProfile);
    answer(true);
    openSheet();
    tapSheet("Exit");
    auto alert = UITestDriver::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message()->str(), "End the test run and close the application?");
    tapAlert("Cancel");
    EXPECT_EQ(c->indexOfHandle(), 1u);
    openSheet();
    tapSheet("Exit");
    // The process ends with exit() and its leak check: in a process started for this test alone, not
    // a fork whose other threads (a network thread of an earlier test in the same process) are gone,
    // leaving what they held unreachable.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(UITestDriver::tapAlertButtonTitled("OK"), ::testing::ExitedWithCode(0), "");
    // The stored run is left as it was.
    EXPECT_EQ(storedResults(), (std::vector<NSInteger>{1, 0}));
}

TEST_F(RunContainerTest, AKilledRunIsRestoredAtTheFirstUntestedRecord) {
    std::vector<Ref<DXTestModel>> records;
    for (const char* key : {"A", "B", "C", "D", "E"}) {
        records.push_back(record(key, "CrashScreenViewController"));
    }
    auto list = NSMutableArray::array();
    for (const auto& r : records) {
        list->addObject(r);
    }
    ASSERT_TRUE(DXProfileManager::sharedManager()->storeTasksInPersistent(list));
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The run, in a process that is killed after the third answer.
        auto c = startRun(records, DXRunTypeProfile);
        for (bool yes : {true, false, true}) {
            if (!UITestDriver::tapButtonTitled(yes ? "YES" : "NO")) {
                _exit(3);
            }
            settle();
        }
        raise(SIGKILL);
        _exit(4);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child exited with " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGKILL);

    // A fresh start reads the stored run from disk.
    NSUserDefaults::resetStandardUserDefaults();
    auto restored = DXProfileManager::sharedManager()->loadPersistentTasks();
    ASSERT_EQ(restored->count(), 5u);
    std::vector<Ref<DXTestModel>> again;
    for (const id& item : *restored) {
        again.push_back(cast<DXTestModel>(item));
    }
    auto c = startRun(again, DXRunTypeProfile);
    EXPECT_EQ(results(), (std::vector<NSInteger>{1, 2, 1, 0, 0}));
    EXPECT_EQ(c->indexOfHandle(), 3u);
    EXPECT_EQ(cast<DXBaseViewController>(page())->info()->profilekey()->str(), "D");
    answer(true);
    answer(true);
    EXPECT_EQ(results(), (std::vector<NSInteger>{1, 2, 1, 1, 1}));
    expectStoredMatchesMemory();
    EXPECT_TRUE(resultScreen());
}
