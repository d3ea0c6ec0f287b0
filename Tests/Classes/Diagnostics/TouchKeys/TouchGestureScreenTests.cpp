// The multi-touch, stylus and force touch screens run in the run container: three fingers at once,
// precise taps on the corners, peek and pop; with dead screen areas and without force touch.
#include "TouchKeysTestCase.h"

#include <Diagnostics/TouchKeys/MultiTouchViewController.h>
#include <Diagnostics/TouchKeys/PrecisionViewController.h>
#include <Diagnostics/TouchKeys/StylusViewController.h>
#include <UIKit/UILabel.h>

class MultiTouchScreenTests : public TouchKeysTestCase {
protected:
    Ref<MultiTouchViewController> start(NSInteger timeout) {
        return cast<MultiTouchViewController>(run("MultiTouchViewController", timeout));
    }
    static std::string countdown(const Ref<MultiTouchViewController>& s) { return s->countdownLabel()->text()->str(); }
};

TEST_F(MultiTouchScreenTests, ThreeFingersAtOncePass) {
    auto screen = start(10);
    ASSERT_TRUE(screen);
    EXPECT_EQ(countdown(screen), "10");
    UITestDriver::tapFingers({centre(screen->circle1()), centre(screen->circle2()), centre(screen->circle3())});
    settle();
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(MultiTouchScreenTests, OneAfterAnotherOrTwoOnOneCircleNeverPassAndTheCountDownEnds) {
    auto screen = start(10);
    ASSERT_TRUE(screen);
    for (const auto& c : {screen->circle1(), screen->circle2(), screen->circle3()}) {
        ASSERT_TRUE(UITestDriver::tapView(c));
    }
    auto fingers = UITestDriver::fingersDown(
        {centre(screen->circle1()), CGPointMake(centre(screen->circle1()).x + 10, centre(screen->circle1()).y),
         centre(screen->circle2())});
    UITestDriver::fingersUp({fingers[0]}); // one of the two on circle 1 lifts: circle 1 is still held
    EXPECT_TRUE(screen->circle1Touched());
    UITestDriver::fingersUp(fingers);
    EXPECT_FALSE(screen->circle1Touched());
    advance(8.9);
    EXPECT_EQ(countdown(screen), "1");
    EXPECT_FALSE(ended());
    advance(0.7);
    EXPECT_EQ(countdown(screen), "0");
    EXPECT_EQ(result(), DXTestResultTimeout);
}

TEST_F(MultiTouchScreenTests, ACancelledTouchReleasesItsCircle) {
    auto screen = start(10);
    ASSERT_TRUE(screen);
    auto first = UITestDriver::touchDown(centre(screen->circle1()));
    auto second = UITestDriver::touchDown(centre(screen->circle2()));
    UITestDriver::touchCancel(first);
    EXPECT_FALSE(screen->circle1Touched());
    auto third = UITestDriver::touchDown(centre(screen->circle3()));
    settle();
    EXPECT_FALSE(ended());
    UITestDriver::fingersUp({second, third});
}

TEST_F(MultiTouchScreenTests, ADeadAreaOverACircleTimesOutAndZeroIsTheLongLimit) {
    auto screen = start(0);
    ASSERT_TRUE(screen);
    EXPECT_EQ(countdown(screen), "21600");
    CGRect dead = screen->circle2()->convertRectToView(screen->circle2()->bounds(), nullptr);
    keys.addDeadArea({dead.origin.x, dead.origin.y, dead.size.width, dead.size.height});
    UITestDriver::tapFingers({centre(screen->circle1()), centre(screen->circle2()), centre(screen->circle3())});
    settle();
    EXPECT_FALSE(ended());
    advance(21600);
    EXPECT_EQ(result(), DXTestResultTimeout);
}

class StylusScreenTests : public TouchKeysTestCase {};

TEST_F(StylusScreenTests, FiveTapsOnTheArrowPass) {
    useScreen(375, 667);
    auto screen = cast<StylusViewController>(run("StylusViewController"));
    ASSERT_TRUE(screen);
    CGPoint expected[] = {CGPointMake(355, 21), CGPointMake(20, 587), CGPointMake(355, 587), CGPointMake(187.5, 301.5)};
    for (int i = 0; i < 4; ++i) {
        // A tap beside the arrow does nothing.
        CGPoint at = centre(screen->button());
        UITestDriver::tapAtPoint(CGPointMake(at.x + 60, at.y + 60));
        EXPECT_EQ(screen->count(), i);
        ASSERT_TRUE(UITestDriver::tapView(screen->button()));
        EXPECT_EQ(screen->count(), i + 1);
        EXPECT_TRUE(CGPointEqualToPoint(screen->button()->center(), expected[i]));
    }
    EXPECT_FALSE(ended());
    ASSERT_TRUE(UITestDriver::tapView(screen->button()));
    settle();
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_TRUE(screen->button()->isHidden());
}

TEST_F(StylusScreenTests, ADeadCornerLeavesTheTestWaiting) {
    auto screen = cast<StylusViewController>(run("StylusViewController"));
    ASSERT_TRUE(screen);
    ASSERT_TRUE(UITestDriver::tapView(screen->button()));
    CGPoint corner = centre(screen->button());
    keys.addDeadArea({corner.x - 30, corner.y - 30, 60, 60});
    EXPECT_FALSE(UITestDriver::tapView(screen->button()));
    advance(3600);
    EXPECT_EQ(screen->count(), 1);
    EXPECT_FALSE(ended());
}

class PrecisionScreenTests : public TouchKeysTestCase {
protected:
    Ref<PrecisionViewController> start(NSInteger timeout) {
        auto screen = cast<PrecisionViewController>(run("PrecisionViewController", timeout));
        settle();
        return screen;
    }
    static void press(const Ref<PrecisionViewController>& s, std::vector<double> forces) {
        UITestDriver::pressWithForceCurve(centre(s->imageView()), forces);
    }
};

TEST_F(PrecisionScreenTests, PeekThenPopPassesWhenThePoppedScreenGoes) {
    auto screen = start(30);
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->hasRegisterPreview());
    press(screen, {1.0, 3.0, 6.0});
    EXPECT_TRUE(screen->popped());
    EXPECT_TRUE(screen->detailViewController()->presentingViewController());
    EXPECT_EQ(screen->detailViewController()->percentLabel()->text()->str(),
              DetailViewController::precisionText(100)->str());
    EXPECT_FALSE(ended());
    advance(1.0);
    settle();
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(PrecisionScreenTests, APeekAloneDoesNothingAndTheLimitEnds) {
    auto screen = start(10);
    ASSERT_TRUE(screen);
    press(screen, {1.0, 3.0, 4.0});
    EXPECT_FALSE(screen->popped());
    settle();
    EXPECT_FALSE(ended());
    advance(10);
    EXPECT_EQ(result(), DXTestResultTimeout);
}

TEST_F(PrecisionScreenTests, OnlyTheReturnFromAPopPasses) {
    auto screen = start(30);
    ASSERT_TRUE(screen);
    // The screen goes and comes back without a pop: another screen shown over it and dismissed.
    auto other = make<UIViewController>();
    screen->presentViewControllerAnimatedCompletion(other, false);
    settle();
    other->dismissViewControllerAnimatedCompletion(false);
    settle();
    EXPECT_FALSE(ended());
    EXPECT_EQ(result(), DXTestResultNotRun);
}

TEST_F(PrecisionScreenTests, WithoutForceTouchOnlyNoOrTheLimitEndIt) {
    ASSERT_TRUE(SimDevice::current().loadProfile("iPhone7,2"));
    auto screen = start(10);
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->hasRegisterPreview());
    press(screen, {1.0, 3.0, 6.0});
    EXPECT_FALSE(screen->popped());
    advance(10);
    EXPECT_EQ(result(), DXTestResultTimeout);

    TearDown();
    SetUp();
    keys.setForceState(SimTouchKeys::ForceState::Dead);
    screen = start(0);
    ASSERT_TRUE(screen->hasRegisterPreview()); // the display says it can
    press(screen, {1.0, 3.0, 6.0});
    EXPECT_FALSE(screen->popped());
    ASSERT_TRUE(UITestDriver::tapView(screen->onButton()));
    settle();
    EXPECT_EQ(result(), DXTestResultFail);
}

TEST_F(PrecisionScreenTests, AfterAPopTheLimitNoLongerFires) {
    auto screen = start(5);
    ASSERT_TRUE(screen);
    // The popped screen stays up: its dismissal is held back by a second pop that is ignored.
    press(screen, {1.0, 3.0, 6.0});
    ASSERT_TRUE(screen->popped());
    press(screen, {1.0, 3.0, 6.0});
    advance(0.5);
    EXPECT_FALSE(ended());
    advance(10);
    EXPECT_EQ(result(), DXTestResultPass); // from the return, never 3
}
