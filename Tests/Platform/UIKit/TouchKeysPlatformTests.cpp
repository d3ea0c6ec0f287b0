// Touches through the simulated digitizer (dead areas, fingers off the glass, too many fingers,
// force), peek and pop by force, the Darwin notification centre, and the system's answers to the
// power key, the Home key, the screenshot chord and ghost touches.
#include <CoreFoundation/CFNotificationCenter.h>
#include <Device/SimDevice.h>
#include <Device/SimTouchKeys.h>
#include <Foundation/NSNotificationCenter.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIHardware.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UIViewControllerPreviewing.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

class FingerScreen : public UIViewController {
    NS_OBJECT(FingerScreen, UIViewController)
public:
    void touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override {
        auto all = touches->allObjects();
        for (const id& o : *all) {
            began.push_back(cast<UITouch>(o)->locationInView(nullptr));
        }
        lastEventTouches = event->allTouches()->count();
    }
    void touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) override {
        auto all = touches->allObjects();
        for (const id& o : *all) {
            auto t = cast<UITouch>(o);
            moved.push_back(t->locationInView(nullptr));
            forces.push_back(t->force());
        }
    }
    void touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) override { ended += touches->count(); }
    void touchesCancelledWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) override {
        cancelled += touches->count();
    }
    // The previewing delegate.
    id previewingContextViewControllerForLocation(const id&, const id&) {
        ++peeks;
        preview = make<UIViewController>();
        return preview;
    }
    void previewingContextCommitViewController(const id&, const id& vc) { committed = cast<UIViewController>(vc); }
    std::vector<CGPoint> began, moved;
    std::vector<double> forces;
    size_t ended = 0, cancelled = 0, lastEventTouches = 0;
    int peeks = 0;
    Ref<UIViewController> preview, committed;
};

int lockCalls = 0;
std::string lockName;
void lockCallback(CFNotificationCenterRef, void*, CFStringRef name, const void*, CFDictionaryRef) {
    ++lockCalls;
    lockName = name ? name->str() : "";
}

} // namespace

NS_IMPLEMENT_CLASS(FingerScreen, UIViewController) {
    b.method("previewingContext:viewControllerForLocation:", &FingerScreen::previewingContextViewControllerForLocation);
    b.method("previewingContext:commitViewController:", &FingerScreen::previewingContextCommitViewController);
}

class TouchKeysPlatformTests : public PlatformTestCase {
protected:
    void SetUp() override {
        PlatformTestCase::SetUp();
        keys.reset();
        lockCalls = 0;
        screen = make<FingerScreen>();
        UITestDriver::showRootViewController(screen);
        UITestDriver::layout();
    }
    void TearDown() override {
        screen = nullptr;
        PlatformTestCase::TearDown();
        // The device, its digitizer and its keys are the process's: the profile, dead areas and
        // limits a test set must not reach the next test of the binary.
        if (!SimDevice::current().loadProfile(SimDevice::defaultProfile)) {
            ADD_FAILURE() << "the default device profile did not load";
        }
        keys.reset();
    }
    SimTouchKeys& keys = SimTouchKeys::current();
    Ref<FingerScreen> screen;
};

TEST_F(TouchKeysPlatformTests, ADeadAreaReportsNothingAndAStrokeResumesBeyondIt) {
    keys.addDeadArea({100, 0, 100, 812});
    auto dead = UITestDriver::touchDown(CGPointMake(150, 300));
    UITestDriver::touchUp(dead);
    EXPECT_TRUE(screen->began.empty());
    EXPECT_EQ(screen->ended, 0u);
    EXPECT_FALSE(UITestDriver::tapAtPoint(CGPointMake(150, 300)));

    // A stroke from the left across the dead band: reported up to it and beyond it.
    UITestDriver::drawPath({CGPointMake(20, 300), CGPointMake(300, 300)}, 600);
    ASSERT_EQ(screen->began.size(), 1u);
    for (CGPoint p : screen->moved) {
        EXPECT_FALSE(p.x >= 100 && p.x < 200) << p.x;
    }
    EXPECT_GT(screen->moved.back().x, 299);
    EXPECT_EQ(screen->ended, 1u);

    // A finger landing in the band begins when it slides out of it.
    screen->began.clear();
    UITestDriver::drawPath({CGPointMake(150, 400), CGPointMake(250, 400)}, 600);
    ASSERT_EQ(screen->began.size(), 1u);
    EXPECT_GE(screen->began[0].x, 200);
}

TEST_F(TouchKeysPlatformTests, GarbageFingersAreNotReported) {
    for (CGPoint p : {CGPointMake(NAN, 10), CGPointMake(10, INFINITY), CGPointMake(-5, 10), CGPointMake(10, 5000)}) {
        UITestDriver::tapFingers({p});
        auto t = UITestDriver::touchDown(p);
        UITestDriver::touchMove(t, CGPointMake(NAN, NAN));
        UITestDriver::touchCancel(t);
    }
    EXPECT_TRUE(screen->began.empty());
    EXPECT_EQ(UITestDriver::activeTouchCount(), 0u);
    // An end without a begin, and a move of a lifted finger.
    auto stray = make<UITouch>();
    UITestDriver::touchUp(stray);
    UITestDriver::touchMove(stray, CGPointMake(10, 10));
    UITestDriver::touchCancel(nullptr);
    EXPECT_EQ(screen->ended, 0u);
}

TEST_F(TouchKeysPlatformTests, AThousandFingersAreCutToWhatTheDigitizerTracks) {
    std::vector<CGPoint> points;
    for (int i = 0; i < 1000; ++i) {
        points.push_back(CGPointMake(10 + (i % 35) * 10, 10 + (i / 35) * 25));
    }
    auto touches = UITestDriver::fingersDown(points);
    EXPECT_EQ(touches.size(), 1000u);
    EXPECT_EQ(screen->began.size(), keys.maximumTouches());
    EXPECT_EQ(screen->lastEventTouches, keys.maximumTouches());
    UITestDriver::fingersUp(touches);
    EXPECT_EQ(screen->ended, keys.maximumTouches());
    EXPECT_EQ(UITestDriver::activeTouchCount(), 0u);
}

TEST_F(TouchKeysPlatformTests, SeveralFingersLandInOneEvent) {
    UITestDriver::tapFingers({CGPointMake(50, 100), CGPointMake(150, 200), CGPointMake(250, 300)});
    EXPECT_EQ(screen->began.size(), 3u);
    EXPECT_EQ(screen->lastEventTouches, 3u);
    EXPECT_EQ(screen->ended, 3u);
}

TEST_F(TouchKeysPlatformTests, AFirmPressPeeksAndAHarderOnePops) {
    screen->registerForPreviewingWithDelegateSourceView(screen, screen->view());
    UITestDriver::pressWithForceCurve(CGPointMake(180, 400), {0.5, 1.5, 3.0, 4.0});
    EXPECT_EQ(screen->peeks, 1);
    EXPECT_FALSE(screen->committed); // lifted before the pop force: the preview is dropped

    UITestDriver::pressWithForceCurve(CGPointMake(180, 400), {1.0, 3.0, 5.5, 6.5});
    EXPECT_EQ(screen->peeks, 2);
    EXPECT_EQ(screen->committed, screen->preview);
}

TEST_F(TouchKeysPlatformTests, NoForceDisplayNeverPeeks) {
    keys.setForceState(SimTouchKeys::ForceState::Dead);
    screen->registerForPreviewingWithDelegateSourceView(screen, screen->view());
    UITestDriver::pressWithForceCurve(CGPointMake(180, 400), {1.0, 3.0, 5.5, 6.5});
    EXPECT_EQ(screen->peeks, 0);
    for (double f : screen->forces) {
        EXPECT_EQ(f, 0);
    }
    auto context = screen->previewingContexts().front();
    screen->unregisterForPreviewingWithContext(context);
    keys.setForceState(SimTouchKeys::ForceState::Working);
    UITestDriver::pressWithForceCurve(CGPointMake(180, 400), {1.0, 3.0, 5.5, 6.5});
    EXPECT_EQ(screen->peeks, 0); // no longer registered
}

TEST_F(TouchKeysPlatformTests, TheDarwinCentreCallsItsObserversByName) {
    auto center = CFNotificationCenterGetDarwinNotifyCenter();
    int me = 0;
    CFNotificationCenterAddObserver(center, &me, lockCallback, "a.b"_ns.get(), nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    CFNotificationCenterAddObserver(center, &me, lockCallback, "a.b"_ns.get(), nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    EXPECT_EQ(CFNotificationCenterObserverCount(center, "a.b"_ns.get()), 1u);
    CFNotificationCenterPostNotification(center, "a.b"_ns.get(), nullptr, nullptr, true);
    CFNotificationCenterPostNotification(center, "c.d"_ns.get(), nullptr, nullptr, true);
    EXPECT_EQ(lockCalls, 1);
    EXPECT_EQ(lockName, "a.b");
    CFNotificationCenterRemoveObserver(center, &me, "a.b"_ns.get(), nullptr);
    CFNotificationCenterPostNotification(center, "a.b"_ns.get(), nullptr, nullptr, true);
    EXPECT_EQ(lockCalls, 1);
    CFNotificationCenterRemoveObserver(center, &me, "never"_ns.get(), nullptr);
}

TEST_F(TouchKeysPlatformTests, PowerLocksWithTheNotificationFirstAndUnlocksBack) {
    auto app = UIApplication::sharedApplication();
    app->launchWithOptions(nullptr);
    std::vector<std::string> order;
    auto center = NSNotificationCenter::defaultCenter();
    auto token = center->addObserverForNameObjectQueueUsingBlock(
        UIApplicationDidEnterBackgroundNotification(), nullptr, nullptr,
        [&](const Ref<NSNotification>&) { order.push_back(lockCalls ? "background after lock" : "background"); });
    int me = 0;
    CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), &me, lockCallback,
                                    UIHardwareLockCompleteNotificationName().get(), nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    keys.pressKey(SimTouchKeys::Key::Power);
    EXPECT_EQ(lockName, "com.apple.springboard.lockcomplete");
    EXPECT_EQ(order, std::vector<std::string>{"background after lock"});
    EXPECT_EQ(app->applicationState(), UIApplicationStateBackground);
    keys.pressKey(SimTouchKeys::Key::Power);
    EXPECT_EQ(app->applicationState(), UIApplicationStateActive);

    // Scripted late: background first, the notification half a second later.
    lockCalls = 0;
    order.clear();
    keys.setLockOrder(SimTouchKeys::LockOrder::NotificationLate, 0.5);
    keys.pressKey(SimTouchKeys::Key::Power);
    EXPECT_EQ(order, std::vector<std::string>{"background"});
    EXPECT_EQ(lockCalls, 0);
    advance(0.5);
    EXPECT_EQ(lockCalls, 1);
    center->removeObserver(token);
    CFNotificationCenterRemoveEveryObserver(CFNotificationCenterGetDarwinNotifyCenter(), &me);
}

TEST_F(TouchKeysPlatformTests, HomeLeavesWithoutALockAndScreenshotsNeedTheAppInFront) {
    ASSERT_TRUE(SimDevice::current().loadProfile("iPhone7,2"));
    auto app = UIApplication::sharedApplication();
    app->launchWithOptions(nullptr);
    int shots = 0;
    auto center = NSNotificationCenter::defaultCenter();
    auto token =
        center->addObserverForNameObjectQueueUsingBlock(UIApplicationUserDidTakeScreenshotNotification(), nullptr,
                                                        nullptr, [&](const Ref<NSNotification>&) { ++shots; });
    int me = 0;
    CFNotificationCenterAddObserver(CFNotificationCenterGetDarwinNotifyCenter(), &me, lockCallback,
                                    UIHardwareLockCompleteNotificationName().get(), nullptr,
                                    CFNotificationSuspensionBehaviorDeliverImmediately);
    EXPECT_TRUE(keys.pressScreenshotChord());
    EXPECT_EQ(shots, 1);
    EXPECT_TRUE(keys.pressKey(SimTouchKeys::Key::Home));
    EXPECT_EQ(app->applicationState(), UIApplicationStateBackground);
    EXPECT_EQ(lockCalls, 0);
    keys.pressScreenshotChord(); // on the home screen: not this application's screenshot
    EXPECT_EQ(shots, 1);
    app->enterForeground();
    center->removeObserver(token);
    CFNotificationCenterRemoveEveryObserver(CFNotificationCenterGetDarwinNotifyCenter(), &me);
}

TEST_F(TouchKeysPlatformTests, AGhostTouchIsATapNobodyMade) {
    UIApplication::sharedApplication()->launchWithOptions(nullptr);
    keys.injectGhostTouch(60, 70);
    ASSERT_EQ(screen->began.size(), 1u);
    EXPECT_DOUBLE_EQ(screen->began[0].y, 70);
    EXPECT_EQ(screen->ended, 1u);
}

// The system listens to the device for the application in front: once that application is gone
// (as at the end of a test, when the next one starts with none) the device's ghost touches wait for
// whoever takes them.
TEST_F(TouchKeysPlatformTests, AnApplicationThatIsGoneNoLongerListensToTheDevice) {
    Weak<UIApplication> first(UIApplication::sharedApplication().get());
    UIApplication::sharedApplication()->launchWithOptions(nullptr);
    DispatchClock::endTest();
    DispatchClock::runUntilIdle();
    ASSERT_FALSE(first.lock()) << "the application went with the test-end handlers";

    keys.injectGhostTouch(60, 70);
    auto ghosts = keys.takeGhostTouches();
    ASSERT_EQ(ghosts.size(), 1u);
    EXPECT_DOUBLE_EQ(ghosts[0].x, 60);
    EXPECT_TRUE(screen->began.empty());

    // The next application listens again.
    UIApplication::sharedApplication()->launchWithOptions(nullptr);
    UITestDriver::showRootViewController(screen);
    keys.injectGhostTouch(30, 40);
    EXPECT_TRUE(keys.takeGhostTouches().empty());
    ASSERT_EQ(screen->began.size(), 1u);
    EXPECT_DOUBLE_EQ(screen->began[0].y, 40);
}
