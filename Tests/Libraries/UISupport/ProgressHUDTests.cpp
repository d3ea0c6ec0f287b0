#include <Support/PlatformTestCase.h>
#include <UIKit/UIActivityIndicatorView.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UITestDriver.h>
#include <UISupport/PGProgressHUD.h>

#include <Runtime/ClassBuilder.h>

#include <thread>

namespace {

class HUDDelegate : public NSObject {
    NS_OBJECT(HUDDelegate, NSObject)
public:
    void hudWasHidden(const Ref<PGProgressHUD>& hud) { hidden.push_back(hud.get()); }
    std::vector<PGProgressHUD*> hidden;
};

class TapCounter : public NSObject {
    NS_OBJECT(TapCounter, NSObject)
public:
    void tapped(const id&) { ++taps; }
    int taps = 0;
};

} // namespace

NS_IMPLEMENT_CLASS(TapCounter, NSObject) {
    b.method("tapped:", &TapCounter::tapped);
}

NS_IMPLEMENT_CLASS(HUDDelegate, NSObject) {
    b.method("hudWasHidden:", &HUDDelegate::hudWasHidden);
}

namespace {

class ProgressHUDTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        controller = make<UIViewController>();
        window = UITestDriver::showRootViewController(controller);
        host = controller->view();
        UITestDriver::layout();
    }
    Ref<PGProgressHUD> show(bool animated = true) { return PGProgressHUD::showHUDAddedToAnimated(host, animated); }
    bool onScreen(const Ref<PGProgressHUD>& hud) { return hud->superview() == host && hud->alpha() == 1.0; }

    Ref<UIViewController> controller;
    Ref<UIWindow> window;
    Ref<UIView> host;
};

} // namespace

TEST_F(ProgressHUDTests, ShowAddsAFullSizeOverlayAndHideRemovesItAfterTheAnimation) {
    auto hud = show();
    EXPECT_EQ(hud->superview(), host);
    EXPECT_TRUE(CGRectEqualToRect(hud->frame(), host->bounds()));
    EXPECT_EQ(hud->alpha(), 1.0);
    EXPECT_EQ(hud->bezelView()->alpha(), 1.0); // model values change at once
    EXPECT_TRUE(hud->removeFromSuperViewOnHide());
    int completions = 0;
    hud->setCompletionBlock([&] { ++completions; });

    EXPECT_TRUE(PGProgressHUD::hideHUDForViewAnimated(host, true));
    EXPECT_EQ(hud->superview(), host); // still animating out
    EXPECT_EQ(PGProgressHUD::HUDForView(host), nullptr);
    advance(0.29);
    EXPECT_EQ(completions, 0);
    advance(0.02);
    EXPECT_EQ(hud->superview(), nullptr);
    EXPECT_EQ(hud->alpha(), 0.0);
    EXPECT_EQ(completions, 1);
    EXPECT_FALSE(PGProgressHUD::hideHUDForViewAnimated(host, true));
}

TEST_F(ProgressHUDTests, GraceTimeDelaysTheShowAndAnEarlyHideCancelsIt) {
    auto hud = make<PGProgressHUD>(host);
    host->addSubview(hud);
    hud->setGraceTime(0.5);
    int completions = 0;
    hud->setCompletionBlock([&] { ++completions; });
    hud->showAnimated(false);
    EXPECT_EQ(hud->alpha(), 0.0);
    advance(0.49);
    EXPECT_EQ(hud->alpha(), 0.0);
    advance(0.02);
    EXPECT_EQ(hud->alpha(), 1.0);
    hud->hideAnimated(false);
    EXPECT_EQ(completions, 1);

    // A hide during the grace time: the HUD never shows, the completion still runs once.
    hud->showAnimated(false);
    advance(0.2);
    hud->hideAnimated(false);
    EXPECT_EQ(completions, 2);
    advance(1.0);
    EXPECT_EQ(hud->alpha(), 0.0);
    EXPECT_EQ(completions, 2);
}

TEST_F(ProgressHUDTests, MinimumShowTimeHoldsAnEarlyHide) {
    auto hud = show(false);
    hud->setMinShowTime(2.0);
    hud->showAnimated(false);
    advance(0.5);
    hud->hideAnimated(false);
    EXPECT_EQ(hud->alpha(), 1.0);
    EXPECT_TRUE(hud->minShowTimer());
    advance(1.49);
    EXPECT_EQ(hud->alpha(), 1.0);
    advance(0.02);
    EXPECT_EQ(hud->superview(), nullptr);
}

TEST_F(ProgressHUDTests, DelayedHideRunsOnceAndNotAfterTheHUDIsShownAgain) {
    auto hud = show(false);
    hud->setRemoveFromSuperViewOnHide(false);
    auto delegate = make<HUDDelegate>();
    hud->setDelegate(delegate);
    int completions = 0;
    hud->setCompletionBlock([&] { ++completions; });

    hud->hideAnimatedAfterDelay(true, 1.0);
    hud->hideAnimatedAfterDelay(true, 2.0);
    advance(0.5);
    hud->showAnimated(true); // shown again: neither earlier delayed hide may hide it now
    advance(3.0);
    EXPECT_EQ(hud->alpha(), 1.0);
    EXPECT_EQ(completions, 0);

    hud->hideAnimatedAfterDelay(true, 2.0);
    advance(2.0);
    advance(0.3);
    EXPECT_EQ(hud->alpha(), 0.0);
    EXPECT_EQ(completions, 1);
    ASSERT_EQ(delegate->hidden.size(), 1u);
    EXPECT_EQ(delegate->hidden[0], hud.get());
    // A further hide of a hidden HUD reports nothing.
    hud->hideAnimated(false);
    EXPECT_EQ(completions, 1);
}

TEST_F(ProgressHUDTests, AShowDuringTheHidingAnimationKeepsTheHUDAndRunsNoCompletion) {
    auto hud = show();
    int completions = 0;
    hud->setCompletionBlock([&] { ++completions; });
    hud->hideAnimated(true);
    advance(0.1);
    hud->showAnimated(true);
    advance(1.0);
    EXPECT_TRUE(onScreen(hud));
    EXPECT_EQ(completions, 0);
    EXPECT_EQ(PGProgressHUD::HUDForView(host), hud);
    hud->hideAnimated(true);
    advance(0.3);
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(hud->superview(), nullptr);
}

TEST_F(ProgressHUDTests, HUDForViewFindsTheTopmostHUDThatIsNotHiding) {
    EXPECT_EQ(PGProgressHUD::HUDForView(host), nullptr);
    auto first = show();
    auto second = show();
    EXPECT_EQ(PGProgressHUD::HUDForView(host), second);
    second->hideAnimated(true);
    EXPECT_EQ(PGProgressHUD::HUDForView(host), first);
    EXPECT_EQ(PGProgressHUD::allHUDsForView(host)->count(), 2u);
    EXPECT_EQ(PGProgressHUD::hideAllHUDsForViewAnimated(host, false), 2u);
    EXPECT_EQ(PGProgressHUD::allHUDsForView(host)->count(), 0u);
    EXPECT_EQ(PGProgressHUD::hideAllHUDsForViewAnimated(host, false), 0u);
}

TEST_F(ProgressHUDTests, ModesChooseTheIndicator) {
    auto hud = show();
    EXPECT_TRUE(cast<UIActivityIndicatorView>(hud->indicator()));
    EXPECT_TRUE(cast<UIActivityIndicatorView>(hud->indicator())->isAnimating());
    hud->setMode(PGProgressHUDModeAnnularDeterminate);
    auto round = cast<PGRoundProgressView>(hud->indicator());
    ASSERT_TRUE(round);
    EXPECT_TRUE(round->isAnnular());
    hud->setMode(PGProgressHUDModeDeterminate);
    EXPECT_EQ(hud->indicator(), round); // kept, still annular
    EXPECT_TRUE(round->isAnnular());
    hud->setProgress(0.25f);
    EXPECT_EQ(round->progress(), 0.25f);
    hud->setMode(PGProgressHUDModeDeterminateHorizontalBar);
    auto bar = cast<PGBarProgressView>(hud->indicator());
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->progress(), 0.25f);
    EXPECT_EQ(round->superview(), nullptr);
    auto custom = make<UIView>(CGRectMake(0, 0, 10, 10));
    hud->setCustomView(custom);
    hud->setMode(PGProgressHUDModeCustomView);
    EXPECT_EQ(hud->indicator(), custom);
    EXPECT_EQ(custom->superview(), hud->bezelView());
    hud->setMode(PGProgressHUDModeText);
    EXPECT_EQ(hud->indicator(), nullptr);
    EXPECT_EQ(custom->superview(), nullptr);

    auto color = UIColor::redColor();
    hud->setMode(PGProgressHUDModeDeterminate);
    hud->setContentColor(color);
    EXPECT_EQ(hud->label()->textColor(), color);
    EXPECT_TRUE(NSObjectsEqual(cast<PGRoundProgressView>(hud->indicator())->backgroundTintColor(),
                               color->colorWithAlphaComponent(0.1)));
}

TEST_F(ProgressHUDTests, LayoutCentresTheBezelAndStacksOnlyVisibleItems) {
    auto hud = show(false);
    hud->setMode(PGProgressHUDModeText);
    hud->setLabelText("Please wait"_ns);
    host->layoutIfNeeded();
    CGRect bounds = host->bounds();
    CGRect bezel = hud->bezelView()->frame();
    EXPECT_NEAR(CGRectGetMidX(bezel), bounds.size.width / 2, 0.5);
    EXPECT_NEAR(CGRectGetMidY(bezel), bounds.size.height / 2, 0.5);
    CGRect label = hud->label()->frame();
    EXPECT_GT(label.size.width, 0);
    EXPECT_GE(label.origin.x, 20 - 0.5); // the margin inside the bezel
    EXPECT_NEAR(bezel.size.height, label.size.height + 2 * 20, 0.5);
    // The gap above the first visible item is 0; a label with empty text takes no gap.
    Ref<NSArray> padding = hud->paddingConstraints();
    for (const id& c : *padding) {
        auto padding = cast<NSLayoutConstraint>(c);
        EXPECT_EQ(padding->constant(), 0) << padding->description()->UTF8String();
    }
    hud->setDetailsLabelText("Two"_ns);
    host->layoutIfNeeded();
    CGRect details = hud->detailsLabel()->frame();
    EXPECT_NEAR(details.origin.y, CGRectGetMaxY(hud->label()->frame()) + 4.0, 0.5);

    // An offset moves the bezel; a long text widens it up to the HUD's margins.
    hud->setYOffset(15.0);
    host->layoutIfNeeded();
    EXPECT_NEAR(CGRectGetMidY(hud->bezelView()->frame()), bounds.size.height / 2 + 15, 0.5);
    EXPECT_NEAR(CGRectGetMidX(hud->bezelView()->frame()), bounds.size.width / 2, 0.5);
    CGFloat shortWidth = hud->bezelView()->frame().size.width;
    hud->setLabelText(NSString::from(std::string(200, 'W')));
    host->layoutIfNeeded();
    CGRect wide = hud->bezelView()->frame();
    EXPECT_GT(wide.size.width, shortWidth);
    EXPECT_GE(wide.origin.x, 20 - 0.5);
    EXPECT_LE(CGRectGetMaxX(wide), bounds.size.width - 20 + 0.5);
}

TEST_F(ProgressHUDTests, OlderInterfaceForwards) {
    auto hud = show(false);
    hud->setLabelText("Busy"_ns);
    EXPECT_STREQ(hud->label()->text()->UTF8String(), "Busy");
    hud->setLabelText(""_ns);
    EXPECT_STREQ(hud->labelText()->UTF8String(), "");
    hud->setXOffset(3);
    hud->setYOffset(15);
    EXPECT_TRUE(CGPointEqualToPoint(hud->offset(), CGPointMake(3, 15)));
    EXPECT_FALSE(hud->dimBackground());
    hud->setDimBackground(true);
    EXPECT_TRUE(hud->dimBackground());
    hud->setDimBackground(false);
    EXPECT_FALSE(hud->dimBackground());
    EXPECT_TRUE(NSObjectsEqual(hud->backgroundView()->color(), UIColor::clearColor()));
    hud->setActivityIndicatorColor(UIColor::blueColor());
    EXPECT_TRUE(NSObjectsEqual(cast<UIActivityIndicatorView>(hud->indicator())->color(), UIColor::blueColor()));
    hud->setCornerRadius(9);
    EXPECT_EQ(hud->bezelView()->layer()->cornerRadius(), 9);
    EXPECT_FALSE(hud->taskInProgress());
    hud->setTaskInProgress(true);
    EXPECT_TRUE(hud->taskInProgress());
}

TEST_F(ProgressHUDTests, SelfHidingMessageHidesAfterItsTimeAndLeavesTheHost) {
    auto hud = show();
    hud->setMode(PGProgressHUDModeText);
    hud->setDetailsLabelText("Saved"_ns);
    hud->setMargin(10.0);
    hud->setYOffset(15.0);
    bool called = false;
    hud->setCompletionBlock([&] { called = true; });
    hud->hideAfterDelay(true, 2.0);
    advance(2.0);
    EXPECT_FALSE(called);
    advance(0.3);
    EXPECT_TRUE(called);
    EXPECT_EQ(hud->superview(), nullptr);
}

TEST_F(ProgressHUDTests, ATaskRunsOnItsQueueWhileTheHUDShows) {
    DispatchClock::useRealTime();
    auto hud = show(false);
    hud->setCompletionBlock([] {});
    std::atomic<bool> ran{false};
    bool completed = false;
    hud->showAnimatedWhileExecutingBlockCompletionBlock(
        false, [&] { ran = true; }, [&] { completed = true; });
    EXPECT_TRUE(hud->taskInProgress());
    EXPECT_TRUE(runUntil([&] { return completed; }));
    EXPECT_TRUE(ran);
    EXPECT_FALSE(hud->taskInProgress());
    EXPECT_EQ(hud->superview(), nullptr);
    // A nil completion clears the one set before.
    auto second = show(false);
    second->setCompletionBlock([] {});
    second->showAnimatedWhileExecutingBlockOnQueueCompletionBlock(
        false, [] {}, dispatch_get_main_queue(), nullptr);
    EXPECT_FALSE(second->completionBlock());
    EXPECT_TRUE(runUntil([&] { return second->superview() == nullptr; }));
}

TEST_F(ProgressHUDTests, TheShownHUDSwallowsTapsMeantForTheScreenUnderIt) {
    auto button = make<UIButton>(UIButtonTypeCustom, CGRectMake(100, 100, 80, 40));
    auto counter = make<TapCounter>();
    button->addTargetActionForControlEvents(counter, "tapped:", UIControlEventTouchUpInside);
    host->addSubview(button);
    EXPECT_TRUE(UITestDriver::tapAtPoint(CGPointMake(140, 120)));
    EXPECT_EQ(counter->taps, 1);
    auto hud = show(false);
    UITestDriver::tapAtPoint(CGPointMake(140, 120));
    EXPECT_EQ(counter->taps, 1);
    hud->hideAnimated(false);
    EXPECT_TRUE(UITestDriver::tapAtPoint(CGPointMake(140, 120)));
    EXPECT_EQ(counter->taps, 2);
}

TEST_F(ProgressHUDTests, ShowingOrHidingOffTheMainThreadIsCaught) {
    auto hud = show(false);
    bool caughtShow = false, caughtHide = false;
    std::thread([&] {
        try {
            hud->showAnimated(false);
        } catch (const NSException& e) {
            caughtShow = e.name() == NSInternalInconsistencyException;
        }
        try {
            PGProgressHUD::hideHUDForViewAnimated(host, false);
        } catch (const NSException& e) {
            caughtHide = e.name() == NSInternalInconsistencyException;
        }
    }).join();
    EXPECT_TRUE(caughtShow);
    EXPECT_TRUE(caughtHide);
}

TEST_F(ProgressHUDTests, EveryViewChangeOffTheMainThreadIsCaughtInDebugBuilds) {
#ifdef NDEBUG
    GTEST_SKIP() << "the main-thread check is a debug-build check";
#endif
    auto hud = show(false);
    std::vector<std::string> missed;
    std::thread([&] {
        auto expectCaught = [&](const char* what, const std::function<void()>& call) {
            try {
                call();
                missed.push_back(what);
            } catch (const NSException& e) {
                if (e.name() != NSInternalInconsistencyException) {
                    missed.push_back(what);
                }
            }
        };
        expectCaught("make", [&] { make<PGProgressHUD>(host); });
        expectCaught("HUDForView", [&] { PGProgressHUD::HUDForView(host); });
        expectCaught("setMode", [&] { hud->setMode(PGProgressHUDModeDeterminate); });
        expectCaught("setProgress", [&] { hud->setProgress(0.5f); });
        expectCaught("setOffset", [&] { hud->setOffset(CGPointMake(1, 2)); });
        expectCaught("hideAfterDelay", [&] { hud->hideAnimatedAfterDelay(false, 1); });
    }).join();
    EXPECT_TRUE(missed.empty()) << missed.front();
}
