#include <Support/PlatformTestCase.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UITextField.h>
#include <UISupport/PGProgressHUD.h>
#include <UISupport/STProgressHUD.h>

#include <Runtime/ClassBuilder.h>

#include <cmath>
#include <map>
#include <thread>

namespace {

class Tapper : public NSObject {
    NS_OBJECT(Tapper, NSObject)
public:
    void tapped(const id&) { ++taps; }
    int taps = 0;
};

} // namespace

NS_IMPLEMENT_CLASS(Tapper, NSObject) {
    b.method("tapped:", &Tapper::tapped);
}

namespace {

class StatusHUDTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        controller = make<UIViewController>();
        window = UITestDriver::showRootViewController(controller);
        UITestDriver::layout();
        auto center = NSNotificationCenter::defaultCenter();
        for (const auto& name :
             {STProgressHUDWillAppearNotification(), STProgressHUDDidAppearNotification(),
              STProgressHUDWillDisappearNotification(), STProgressHUDDidDisappearNotification(),
              STProgressHUDDidReceiveTouchEventNotification(), STProgressHUDDidTouchDownInsideNotification()}) {
            tokens.push_back(center->addObserverForNameObjectQueueUsingBlock(
                name, nullptr, nullptr, [this](const Ref<NSNotification>& n) { posted[n->name()->UTF8String()]++; }));
        }
    }
    void TearDown() override {
        for (auto& token : tokens) {
            NSNotificationCenter::defaultCenter()->removeObserver(token);
        }
        PlatformTestCase::TearDown();
    }
    int count(const Ref<NSString>& name) { return posted[name->UTF8String()]; }

    Ref<UIViewController> controller;
    Ref<UIWindow> window;
    std::vector<id> tokens;
    std::map<std::string, int> posted;
};

} // namespace

TEST(StatusHUDDuration, GrowsWithTheTextUpToFiveSeconds) {
    EXPECT_DOUBLE_EQ(STProgressHUD::displayDurationForString(nullptr), 0.5);
    EXPECT_DOUBLE_EQ(STProgressHUD::displayDurationForString(""_ns), 0.5);
    EXPECT_NEAR(STProgressHUD::displayDurationForString("Saved"_ns), 0.8, 1e-6);
    EXPECT_DOUBLE_EQ(STProgressHUD::displayDurationForString(NSString::from(std::string(75, 'x'))), 5.0);
}

TEST_F(StatusHUDTests, ShowsWithSpinnerAndDismissesWithNotifications) {
    STProgressHUD::showWithStatus("Generating"_ns);
    auto hud = STProgressHUD::sharedView();
    EXPECT_EQ(hud->currentOverlayView()->superview(), window);
    EXPECT_EQ(count(STProgressHUDWillAppearNotification()), 1);
    EXPECT_EQ(hud->currentIndefiniteAnimatedView()->superview(), hud->currentHudView());
    advance(0.15);
    EXPECT_TRUE(STProgressHUD::isVisible());
    EXPECT_EQ(count(STProgressHUDDidAppearNotification()), 1);
    STProgressHUD::showWithStatus("Still"_ns); // already shown: only contents change
    EXPECT_EQ(count(STProgressHUDWillAppearNotification()), 1);
    STProgressHUD::dismiss();
    EXPECT_EQ(count(STProgressHUDWillDisappearNotification()), 1);
    advance(0.15);
    EXPECT_FALSE(STProgressHUD::isVisible());
    EXPECT_EQ(count(STProgressHUDDidDisappearNotification()), 1);
    EXPECT_EQ(hud->currentOverlayView(), nullptr);
    EXPECT_EQ(hud->superview(), nullptr);
    // Nothing shown: neither dismissal posts anything.
    STProgressHUD::dismiss();
    STProgressHUD::popActivity();
    advance(1);
    EXPECT_EQ(count(STProgressHUDWillDisappearNotification()), 1);
    EXPECT_EQ(count(STProgressHUDDidDisappearNotification()), 1);
}

TEST_F(StatusHUDTests, ImagesDismissThemselvesAfterTheirTime) {
    STProgressHUD::showWithStatus("Working"_ns);
    advance(0.15);
    STProgressHUD::showSuccessWithStatus("Saved"_ns); // replaces the spinner
    auto hud = STProgressHUD::sharedView();
    EXPECT_EQ(hud->currentIndefiniteAnimatedView()->superview(), nullptr);
    EXPECT_FALSE(hud->imageView()->isHidden());
    advance(0.79);
    EXPECT_TRUE(STProgressHUD::isVisible());
    advance(0.02 + 0.15);
    EXPECT_FALSE(STProgressHUD::isVisible());

    // A spinner shown during an image's time cancels the self-dismissal.
    STProgressHUD::showErrorWithStatus("Failed"_ns);
    advance(0.3);
    STProgressHUD::showWithStatus("Again"_ns);
    advance(10);
    EXPECT_TRUE(STProgressHUD::isVisible());
    STProgressHUD::dismiss();
    advance(0.15);
}

TEST_F(StatusHUDTests, ActivityCountBalancesSpinners) {
    STProgressHUD::show();
    STProgressHUD::show();
    advance(0.15);
    STProgressHUD::popActivity();
    advance(0.5);
    EXPECT_TRUE(STProgressHUD::isVisible());
    STProgressHUD::popActivity();
    advance(0.15);
    EXPECT_FALSE(STProgressHUD::isVisible());
}

TEST_F(StatusHUDTests, AShowDuringTheFadeOutIsShownWhateverTheMaskType) {
    STProgressHUD::showWithStatusMaskType("One"_ns, STProgressHUDMaskTypeNone);
    advance(0.15);
    STProgressHUD::dismiss();
    advance(0.05);
    STProgressHUD::showWithStatusMaskType("Two"_ns, STProgressHUDMaskTypeBlack);
    advance(1.0);
    auto hud = STProgressHUD::sharedView();
    EXPECT_TRUE(STProgressHUD::isVisible());
    ASSERT_TRUE(hud->currentHudView());
    EXPECT_EQ(hud->currentHudView()->alpha(), 1.0);
    EXPECT_EQ(hud->currentOverlayView()->superview(), window);
    STProgressHUD::dismiss();
    advance(0.15);
}

TEST_F(StatusHUDTests, MaskTypeOneLetsTapsThroughAndTheOthersSwallowThem) {
    auto button = make<UIButton>(UIButtonTypeCustom, CGRectMake(20, 60, 100, 40));
    auto tapper = make<Tapper>();
    button->addTargetActionForControlEvents(tapper, "tapped:", UIControlEventTouchUpInside);
    controller->view()->addSubview(button);
    CGPoint under = CGPointMake(70, 80);

    STProgressHUD::showWithStatusMaskType("Busy"_ns, STProgressHUDMaskTypeNone);
    advance(0.15);
    UITestDriver::tapAtPoint(under);
    EXPECT_EQ(tapper->taps, 1);
    EXPECT_EQ(count(STProgressHUDDidReceiveTouchEventNotification()), 0);

    for (auto mask : {STProgressHUDMaskTypeClear, STProgressHUDMaskTypeBlack, STProgressHUDMaskTypeGradient}) {
        STProgressHUD::showWithStatusMaskType("Busy"_ns, mask);
        advance(0.15);
        UITestDriver::tapAtPoint(under);
        EXPECT_EQ(tapper->taps, 1) << mask;
    }
    EXPECT_EQ(count(STProgressHUDDidReceiveTouchEventNotification()), 3);
    EXPECT_EQ(count(STProgressHUDDidTouchDownInsideNotification()), 0);
    CGRect box = STProgressHUD::sharedView()->currentHudView()->frame();
    UITestDriver::tapAtPoint(CGPointMake(CGRectGetMidX(box), CGRectGetMidY(box)));
    EXPECT_EQ(count(STProgressHUDDidTouchDownInsideNotification()), 1);
    STProgressHUD::dismiss();
    advance(0.15);
}

TEST_F(StatusHUDTests, TheBoxRisesAboveTheKeyboardAndComesBack) {
    auto field = make<UITextField>(CGRectMake(20, 100, 200, 30));
    controller->view()->addSubview(field);
    STProgressHUD::showWithStatus("Busy"_ns);
    advance(0.15);
    auto hud = STProgressHUD::sharedView();
    CGRect screen = UIScreen::mainScreen()->bounds();
    EXPECT_DOUBLE_EQ(hud->currentHudView()->center().y, std::floor(screen.size.height * 0.45));

    field->becomeFirstResponder();
    advance(0.5);
    ASSERT_TRUE(UIWindow::isKeyboardVisible());
    CGFloat keyboard = UIWindow::keyboardFrame().size.height;
    CGFloat statusBar = UIApplication::sharedApplication()->statusBarFrame().size.height;
    EXPECT_EQ(hud->visibleKeyboardHeight(), keyboard);
    EXPECT_DOUBLE_EQ(hud->currentHudView()->center().y,
                     std::floor((screen.size.height + 2 * statusBar - keyboard) * 0.45));

    field->resignFirstResponder();
    advance(0.5);
    EXPECT_DOUBLE_EQ(hud->currentHudView()->center().y, std::floor(screen.size.height * 0.45));
    STProgressHUD::dismiss();
    advance(0.15);
}

TEST_F(StatusHUDTests, LongTextWidensTheBoxAndClassSettingsStick) {
    STProgressHUD::setRingThickness(4.0);
    EXPECT_EQ(STProgressHUD::ringThickness(), 4.0);
    EXPECT_EQ(STProgressHUD::defaultMaskType(), STProgressHUDMaskTypeNone);
    STProgressHUD::showWithStatus("OK"_ns);
    auto hud = STProgressHUD::sharedView();
    CGRect small = hud->currentHudView()->bounds();
    EXPECT_EQ(small.size.width, 124);
    STProgressHUD::showWithStatus(NSString::from(std::string(60, 'm')));
    CGRect wide = hud->currentHudView()->bounds();
    EXPECT_GT(wide.size.width, 124);
    EXPECT_EQ(static_cast<long>(wide.size.width - 24) % 2, 0);
    EXPECT_EQ(hud->currentIndefiniteAnimatedView()->strokeThickness(), 4.0);
    STProgressHUD::dismiss();
    advance(0.15);
}

TEST(StatusHUDSpinner, RingIsCentredWhateverItsSize) {
    auto superview = make<UIView>(CGRectMake(0, 0, 300, 300));
    auto spinner = make<STIndefiniteAnimatedView>(CGRectZero);
    spinner->setStrokeThickness(2);
    spinner->setRadius(18);
    EXPECT_TRUE(CGSizeEqualToSize(spinner->sizeThatFits(CGSizeMake(500, 500)), CGSizeMake(48, 48)));
    spinner->setRadius(24);
    EXPECT_TRUE(CGSizeEqualToSize(spinner->sizeThatFits(CGSizeZero), CGSizeMake(60, 60)));
    superview->addSubview(spinner);
    spinner->setFrame(CGRectMake(0, 0, 200, 100));
    auto ring = spinner->currentLayer();
    ASSERT_TRUE(ring);
    EXPECT_TRUE(CGPointEqualToPoint(ring->position(), CGPointMake(100, 50)));
    spinner->removeFromSuperview();
    EXPECT_EQ(ring->superlayer(), nullptr);
    superview->addSubview(spinner);
    EXPECT_NE(spinner->currentLayer(), ring); // a new layer
    auto progress = make<STProgressAnimatedView>(CGRectZero);
    progress->setRadius(18);
    superview->addSubview(progress);
    auto layer = progress->currentLayer();
    progress->setRadius(18);
    EXPECT_EQ(progress->currentLayer(), layer);
}

// Showing and hiding each overlay many times leaves nothing alive: every object the overlays make
// on the way (the HUDs and their views, timers, the status overlay's box, overlay and spinner) is
// watched by a weak reference, and the live ones are counted at the end.
TEST_F(StatusHUDTests, ThousandShowsAndHidesLeaveNothingBehind) {
    auto host = controller->view();
    std::vector<Weak<NSObject>> watched;
    auto watchTree = [&](const Ref<UIView>& root) {
        std::vector<Ref<UIView>> stack{root};
        while (!stack.empty()) {
            auto view = stack.back();
            stack.pop_back();
            watched.emplace_back(Ref<NSObject>(view));
            watched.emplace_back(Ref<NSObject>(view->layer()));
            for (const auto& sub : view->subviewList()) {
                stack.push_back(sub);
            }
        }
    };
    auto status = STProgressHUD::sharedView();
    for (int i = 0; i < 1000; ++i) {
        auto hud = PGProgressHUD::showHUDAddedToAnimated(host, true);
        hud->setLabelText("Busy"_ns);
        hud->setMode(static_cast<PGProgressHUDMode>(i % 6));
        hud->hideAnimatedAfterDelay(true, 0.5);
        watchTree(hud);
        watched.emplace_back(Ref<NSObject>(hud->hideDelayTimer()));
        hud = nullptr;
        advance(0.8);

        STProgressHUD::showSuccessWithStatus("Done"_ns);
        advance(0.15);
        watched.emplace_back(Ref<NSObject>(status->currentOverlayView()));
        watched.emplace_back(Ref<NSObject>(status->currentHudView()));
        watched.emplace_back(Ref<NSObject>(status->currentIndefiniteAnimatedView()));
        watched.emplace_back(Ref<NSObject>(status->fadeOutTimer()));
        advance(1.0);
    }
    runUntilIdle();
    size_t alive = 0;
    for (const auto& weak : watched) {
        alive += weak.expired() ? 0 : 1;
    }
    EXPECT_GT(watched.size(), 20000u);
    EXPECT_EQ(alive, 0u);
    EXPECT_EQ(host->subviewList().size(), 0u);
    EXPECT_EQ(status->superview(), nullptr);
}

TEST_F(StatusHUDTests, TheOverlayIsUsedFromTheMainThreadOnlyInDebugBuilds) {
#ifdef NDEBUG
    GTEST_SKIP() << "the main-thread check is a debug-build check";
#endif
    STProgressHUD::show();
    int caught = 0;
    std::thread([&] {
        for (const auto& call : std::vector<std::function<void()>>{
                 [] { STProgressHUD::showWithStatus("Off the main thread"_ns); },
                 [] { STProgressHUD::dismiss(); },
                 [] { STProgressHUD::setStatus("x"_ns); },
             }) {
            try {
                call();
            } catch (const NSException& e) {
                caught += e.name() == NSInternalInconsistencyException ? 1 : 0;
            }
        }
    }).join();
    EXPECT_EQ(caught, 3);
    STProgressHUD::dismiss();
    advance(1);
}
