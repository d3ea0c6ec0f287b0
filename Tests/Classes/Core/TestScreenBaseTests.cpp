// The test-screen base: its layout adjustments and answer bar, its signals, the one-shot result
// report with the sub-result rule, and the failed-test alert.
#include "ScreenTestCase.h"

#include <Core/DXBaseViewController.h>
#include <Core/DXLayoutResource.h>
#include <Foundation/NSNotificationCenter.h>
#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXDisposable.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UINib.h>

namespace {

// A test screen whose layout resource holds constraints on the root view.
class ProbeScreen : public DXBaseViewController {
    NS_OBJECT(ProbeScreen, DXBaseViewController)
public:
    ProbeScreen() = default;
    Ref<NSLayoutConstraint> topTen, topZero, bottomFive, bottomNegative, width;
};

// Records what a test screen reports.
class ReportRecorder : public NSObject {
    NS_OBJECT(ReportRecorder, NSObject)
public:
    std::vector<std::pair<NSInteger, bool>> results;
    int retries = 0;
    void result(const Ref<UIViewController>&, NSInteger code, bool endTest) { results.emplace_back(code, endTest); }
    void retry(const Ref<UIViewController>&, const Ref<DXTestModel>&) { ++retries; }
};

const bool probeLayout = [] {
    UINib::registerNibNamed("ProbeScreen", [](const id& owner) -> Ref<NSArray> {
        using namespace dx_layout;
        auto screen = cast<ProbeScreen>(owner);
        auto root = make<UIView>(CGRectMake(0, 0, 320, 480));
        auto a = make<UIView>();
        auto b = make<UIView>();
        place(root, a);
        place(root, b);
        screen->topTen = pin(root, a, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 10);
        screen->topZero = pin(root, b, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 0);
        screen->bottomFive = pin(root, root, NSLayoutAttributeBottom, a, NSLayoutAttributeBottom, 5);
        screen->bottomNegative = pin(root, root, NSLayoutAttributeBottom, b, NSLayoutAttributeBottom, -5);
        screen->width = size(root, a, NSLayoutAttributeWidth, 10);
        return NSArray::arrayWithObjects({root});
    });
    return true;
}();

class TestScreenBaseTest : public ScreenTestCase {
protected:
    Ref<DXTestModel> makeRecord(bool failedScreen = false) {
        auto model = make<DXTestModel>("Probe"_ns);
        model->setProfilekey("PROBE"_ns);
        model->setControllerName("ProbeScreen"_ns);
        model->setShowTestFailedScreen(failedScreen);
        model->setSubTestItemsResult(NSMutableDictionary::dictionary());
        return model;
    }
    Ref<ProbeScreen> show(const Ref<DXTestModel>& model) {
        auto screen = cast<ProbeScreen>(DXBaseViewController::screenWithClassName("ProbeScreen"_ns, model, nullptr));
        recorder_ = make<ReportRecorder>();
        screen->setDelegate(recorder_);
        showInNavigation(screen);
        return screen;
    }
    Ref<ReportRecorder> recorder_;
};

} // namespace

NS_IMPLEMENT_CLASS(ProbeScreen, DXBaseViewController) {}
NS_IMPLEMENT_CLASS(ReportRecorder, NSObject) {
    b.method("testViewController:withResult:endTest:", &ReportRecorder::result);
    b.method("testViewController:withRetryModel:", &ReportRecorder::retry);
}

TEST_F(TestScreenBaseTest, LayoutMakesRoomForHeaderAndAnswerBar) {
    (void)probeLayout;
    for (auto [w, h, top] : {std::tuple{375.0, 812.0, 98.0}, std::tuple{414.0, 896.0, 98.0},
                             std::tuple{375.0, 667.0, 74.0}, std::tuple{320.0, 568.0, 74.0}}) {
        useScreen(w, h);
        auto screen =
            cast<ProbeScreen>(DXBaseViewController::screenWithClassName("ProbeScreen"_ns, makeRecord(), nullptr));
        screen->loadViewIfNeeded();
        EXPECT_EQ(screen->topTen->constant(), top) << w << " x " << h;
        EXPECT_EQ(screen->topZero->constant(), 0);
        EXPECT_EQ(screen->bottomFive->constant(), 94);
        EXPECT_EQ(screen->bottomNegative->constant(), -5);
        EXPECT_EQ(screen->width->constant(), 10);
    }
}

TEST_F(TestScreenBaseTest, AnswerBarSplitsTheScreenWidth) {
    useScreen(320, 568);
    auto screen = show(makeRecord());
    auto bar = screen->answerView();
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->frame(), CGRectMake(0, 568 - 89, 320, 89));
    EXPECT_EQ(bar->superview().get(), screen->view().get());
    EXPECT_EQ(screen->view()->subviews()->lastObject().get(), static_cast<NSObject*>(bar.get()));
    auto no = cast<UIButton>(bar->viewWithTag(DXAnswerTagNo));
    auto yes = cast<UIButton>(bar->viewWithTag(DXAnswerTagYes));
    ASSERT_TRUE(no && yes);
    EXPECT_EQ(no->frame(), CGRectMake(0, 0, 160, 89));
    EXPECT_EQ(yes->frame(), CGRectMake(160, 0, 161, 89));
    EXPECT_EQ(no->currentTitle()->str(), "NO");
    EXPECT_EQ(yes->currentTitle()->str(), "YES");
    EXPECT_EQ(yes->titleLabel()->font()->pointSize(), 50);
    EXPECT_TRUE(no->backgroundColor()->isEqual(UIColor::colorWithRedGreenBlueAlpha(0.95, 0.26, 0.23, 1)));
    screen->hidenButtons(true);
    EXPECT_FALSE(UITestDriver::isTextVisible("YES"));
    screen->hidenButtons(false);
    EXPECT_TRUE(UITestDriver::isTextVisible("YES"));
    // The header shows back, hides save, and has no delegate when none was given.
    EXPECT_FALSE(screen->headerView()->isHideBackButton());
    EXPECT_TRUE(screen->headerView()->isHideSaveButton());
    EXPECT_EQ(screen->preferredStatusBarStyle(), 1);
}

TEST_F(TestScreenBaseTest, ViewDidLoadResetsEverySubResult) {
    auto model = makeRecord();
    model->subTestItemsResult()->setObjectForKey(DXSubTestFail(), "A"_ns);
    model->subTestItemsResult()->setObjectForKey(DXSubTestSuccess(), "B"_ns);
    show(model);
    EXPECT_EQ(model->subTestItemsResult()->count(), 2u);
    EXPECT_TRUE(NSObjectsEqual(model->subTestItemsResult()->objectForKey("A"_ns), DXSubTestNotTest()));
    EXPECT_TRUE(NSObjectsEqual(model->subTestItemsResult()->objectForKey("B"_ns), DXSubTestNotTest()));
    EXPECT_TRUE(logged("ProbeScreen viewDidLoad."));
}

TEST_F(TestScreenBaseTest, AFailedSubResultFailsTheTestUnlessItTimedOut) {
    auto model = makeRecord();
    auto screen = show(model);
    model->subTestItemsResult()->setObjectForKey(DXSubTestFail(), "A"_ns);
    model->setResult(1);
    screen->gotoResultView();
    EXPECT_EQ(model->result(), 2);
    // Reported once, whatever comes later.
    screen->gotoResultView();
    screen->gotoResultView();
    EXPECT_EQ(recorder_->results, (std::vector<std::pair<NSInteger, bool>>{{2, false}}));

    auto timedOut = makeRecord();
    auto second = show(timedOut);
    timedOut->subTestItemsResult()->setObjectForKey(DXSubTestFail(), "A"_ns);
    timedOut->setResult(3);
    second->gotoResultView();
    EXPECT_EQ(recorder_->results, (std::vector<std::pair<NSInteger, bool>>{{3, false}}));
}

TEST_F(TestScreenBaseTest, WithoutSubResultsTheStateIsReportedAsGiven) {
    auto screen = show(makeRecord());
    screen->info()->setResult(1);
    screen->completeTestWithResult(3);
    screen->completeTestWithResult(2);
    EXPECT_EQ(recorder_->results, (std::vector<std::pair<NSInteger, bool>>{{3, false}, {2, false}}));
    // With sub-results: the record's result, unless one failed.
    screen->info()->subTestItemsResult()->setObjectForKey(DXSubTestSuccess(), "A"_ns);
    screen->completeTestWithResult(2);
    EXPECT_EQ(recorder_->results.back(), (std::pair<NSInteger, bool>{1, false}));
    // No delegate: only logged.
    screen->setDelegate(nullptr);
    screen->completeTestWithResult(1);
    EXPECT_EQ(recorder_->results.size(), 3u);
    EXPECT_TRUE(logged("Probe state == 1"));
}

TEST_F(TestScreenBaseTest, FailedTestAlertOnlyWhereItBelongs) {
    // Shown for a failing record that asks for it...
    auto model = makeRecord(true);
    auto screen = show(model);
    model->setResult(2);
    screen->gotoResultView();
    ASSERT_TRUE(screen->failedTestAlert());
    EXPECT_TRUE(recorder_->results.empty());
    EXPECT_TRUE(UITestDriver::tapAlertButtonTitled("Retry"));
    EXPECT_EQ(recorder_->retries, 1);
    EXPECT_TRUE(recorder_->results.empty());

    // ...but not when started from the result list, nor for the audit decoy.
    auto fromList = makeRecord(true);
    auto listed = show(fromList);
    listed->setTriggerViewController(1);
    fromList->setResult(2);
    listed->gotoResultView();
    EXPECT_FALSE(listed->failedTestAlert());
    EXPECT_EQ(recorder_->results, (std::vector<std::pair<NSInteger, bool>>{{2, false}}));

    auto decoy = makeRecord(true);
    decoy->setProfilekey("AUDIT_OPERATOR"_ns);
    auto audited = show(decoy);
    decoy->setResult(2);
    audited->gotoResultView();
    EXPECT_FALSE(audited->failedTestAlert());
    EXPECT_EQ(recorder_->results, (std::vector<std::pair<NSInteger, bool>>{{2, false}}));
}

TEST_F(TestScreenBaseTest, ExitOnTheFailedTestAlertWritesTheMarkerAndEndsTheRun) {
    auto path = documentsFile("test_failed_doResult.flg");
    writeText(path, "old contents");
    auto model = makeRecord(true);
    auto screen = show(model);
    model->setResult(2);
    screen->gotoResultView();
    auto alert = UITestDriver::topAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title()->str(), "Celvix");
    EXPECT_EQ(alert->buttonTitleAtIndex(0)->str(), "Exit");
    EXPECT_EQ(alert->buttonTitleAtIndex(1)->str(), "Retry");
    EXPECT_TRUE(UITestDriver::tapAlertButtonTitled("Exit"));
    EXPECT_EQ(readText(path), "TRUE");
    EXPECT_EQ(recorder_->results, (std::vector<std::pair<NSInteger, bool>>{{2, true}}));
}

TEST_F(TestScreenBaseTest, SignalsFollowTheScreen) {
    auto screen = show(makeRecord());
    std::vector<bool> present, disappear, choose, second;
    int backgrounds = 0, foregrounds = 0;
    // The subscriptions write into this test's locals: they end with them, before the screen is
    // told of the test's end.
    struct Subscriptions {
        Ref<RXCompoundDisposable> all = RXCompoundDisposable::compoundDisposable();
        ~Subscriptions() { all->dispose(); }
    } subscriptions;
    auto keep = [&](const Ref<RXDisposable>& d) { subscriptions.all->addDisposable(d); };
    keep(screen->present()->subscribeNext([&](const id& v) { present.push_back(unbox<bool>(v)); }));
    EXPECT_EQ(screen->present().get(), screen->present().get());
    keep(screen->disappear()->subscribeNext([&](const id& v) { disappear.push_back(unbox<bool>(v)); }));
    keep(screen->choose()->subscribeNextCompleted([&](const id& v) { choose.push_back(unbox<bool>(v)); },
                                                  [&] {
                                                      choose.push_back(false);
                                                      choose.push_back(true);
                                                  }));
    keep(screen->enterToBackgound()->subscribeNext([&](const id&) { ++backgrounds; }));
    keep(screen->enterToForeground()->subscribeNext([&](const id&) { ++foregrounds; }));

    // One answer per subscription: YES, then completion.
    ASSERT_TRUE(UITestDriver::tapButtonTitled("YES"));
    ASSERT_TRUE(UITestDriver::tapButtonTitled("NO"));
    EXPECT_EQ(choose, (std::vector<bool>{true, false, true}));
    keep(screen->choose()->subscribeNext([&](const id& v) { second.push_back(unbox<bool>(v)); }));
    ASSERT_TRUE(UITestDriver::tapButtonTitled("NO"));
    EXPECT_EQ(second, std::vector<bool>{false});

    NSNotificationCenter::defaultCenter()->postNotificationNameObject(UIApplicationDidEnterBackgroundNotification(),
                                                                      nullptr);
    NSNotificationCenter::defaultCenter()->postNotificationNameObject(UIApplicationWillEnterForegroundNotification(),
                                                                      nullptr);
    EXPECT_EQ(backgrounds, 1);
    EXPECT_EQ(foregrounds, 1);

    // Leaving the screen: present sends NO, disappear YES, and the notifications stop.
    navigation_->pushViewControllerAnimated(make<UIViewController>(), false);
    UITestDriver::settle();
    EXPECT_EQ(present, std::vector<bool>{false});
    EXPECT_EQ(disappear, std::vector<bool>{true});
    NSNotificationCenter::defaultCenter()->postNotificationNameObject(UIApplicationDidEnterBackgroundNotification(),
                                                                      nullptr);
    EXPECT_EQ(backgrounds, 1);
    navigation_->popViewControllerAnimated(false);
    UITestDriver::settle();
    EXPECT_EQ(present, (std::vector<bool>{false, true}));
}

TEST_F(TestScreenBaseTest, ClassLookUpsAnswerTheDefaults) {
    auto cls = NSClassFromString("ProbeScreen");
    ASSERT_TRUE(cls);
    auto support = cast<NSNumber>(cls->performClassSelector("isSupport"));
    ASSERT_TRUE(support);
    EXPECT_FALSE(support->boolValue());
    EXPECT_EQ(cast<NSString>(cls->performClassSelector("extraMessage"))->str(), "");
    EXPECT_FALSE(DXBaseViewController::screenWithClassName("NSObject"_ns, makeRecord(), nullptr));
    EXPECT_FALSE(DXBaseViewController::screenWithClassName("NoSuchClass"_ns, makeRecord(), nullptr));
    EXPECT_FALSE(DXBaseViewController::screenWithClassName(nullptr, makeRecord(), nullptr));
}
