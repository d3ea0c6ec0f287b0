#include <QuartzCore/CAAnimation.h>
#include <QuartzCore/CABasicAnimation.h>
#include <QuartzCore/CAMediaTimingFunction.h>
#include <QuartzCore/CATransaction.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIView.h>

#include <string>
#include <vector>

namespace {

class MoveDelegate : public NSObject {
    NS_OBJECT(MoveDelegate, NSObject)
public:
    void animationWillStartContext(const Ref<NSString>& name, const id&) { events.push_back("will " + name->str()); }
    void animationDidStopFinishedContext(const Ref<NSString>& name, const Ref<NSNumber>& finished, const id&) {
        events.push_back("did " + name->str() + (finished->boolValue() ? " finished" : " unfinished"));
    }
    std::vector<std::string> events;
};

} // namespace

NS_IMPLEMENT_CLASS(MoveDelegate, NSObject) {
    b.method("animationWillStart:context:", &MoveDelegate::animationWillStartContext);
    b.method("animationDidStop:finished:context:", &MoveDelegate::animationDidStopFinishedContext);
}

class AnimationTests : public PlatformTestCase {
protected:
    static CGPoint shownCenter(const Ref<UIView>& v) { return v->layer()->presentationLayer()->position(); }
    static double shownAlpha(const Ref<UIView>& v) { return v->layer()->presentationLayer()->opacity(); }
};

TEST_F(AnimationTests, BlockAnimationsInterpolateOnThePresentationLayerAndComplete) {
    auto v = make<UIView>(CGRectMake(0, 0, 10, 10));
    runUntilIdle();
    std::vector<bool> results;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        1.0, 0, UIViewAnimationOptionCurveLinear,
        [&] {
            v->setCenter(CGPointMake(105, 5));
            v->setAlpha(0);
        },
        [&](bool finished) { results.push_back(finished); });
    EXPECT_EQ(v->center(), CGPointMake(105, 5)) << "the model value changes at once";
    EXPECT_EQ(shownCenter(v), CGPointMake(5, 5));
    advance(0.25);
    EXPECT_NEAR(shownCenter(v).x, 30, 1e-6);
    EXPECT_NEAR(shownAlpha(v), 0.75, 1e-6);
    advance(0.5);
    EXPECT_NEAR(shownCenter(v).x, 80, 1e-6);
    EXPECT_TRUE(results.empty());
    advance(0.25);
    EXPECT_EQ(results, (std::vector<bool>{true}));
    EXPECT_FALSE(v->layer()->animationKeys());
    EXPECT_EQ(shownCenter(v), CGPointMake(105, 5));

    // The default curve eases in and out: slow at first, half-way at half time.
    UIView::animateWithDurationAnimations(2.0, [&] { v->setCenter(CGPointMake(5, 5)); });
    advance(0.2);
    EXPECT_GT(shownCenter(v).x, 95) << "eased: little way in a tenth of the time";
    advance(0.8);
    EXPECT_NEAR(shownCenter(v).x, 55, 1e-4);
    advance(1);

    // Other curves.
    auto shownAt = [&](UIViewAnimationOptions curve) {
        UIView::animateWithDurationDelayOptionsAnimationsCompletion(
            1.0, 0, curve, [&] { v->setAlpha(v->alpha() > 0.5 ? 0 : 1); }, nullptr);
        advance(0.5);
        double shown = shownAlpha(v);
        double progress = v->alpha() > 0.5 ? shown : 1 - shown;
        advance(0.5);
        return progress;
    };
    EXPECT_LT(shownAt(UIViewAnimationOptionCurveEaseIn), 0.4);
    EXPECT_GT(shownAt(UIViewAnimationOptionCurveEaseOut), 0.6);
}

TEST_F(AnimationTests, FramesTransformsAndColoursAnimate) {
    auto v = make<UIView>(CGRectMake(0, 0, 100, 100));
    v->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(1, 0, 0, 1));
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        1.0, 0, UIViewAnimationOptionCurveLinear,
        [&] {
            v->setFrame(CGRectMake(100, 0, 200, 100));
            v->setTransform(CGAffineTransformMakeScale(0.5, 0.5));
            v->setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0, 0, 1, 1));
        },
        nullptr);
    advance(0.5);
    auto shown = v->layer()->presentationLayer();
    EXPECT_EQ(shown->position(), CGPointMake(125, 50));
    EXPECT_EQ(shown->bounds().size, CGSizeMake(150, 100));
    EXPECT_NEAR(shown->affineTransform().a, 0.75, 1e-6);
    EXPECT_NEAR(shown->backgroundColor()->red(), 0.5, 1e-6);
    EXPECT_EQ(v->frame().size.width, 100) << "the model: 200 wide, scaled by a half";
}

TEST_F(AnimationTests, DelayShowsTheOldValueUntilTheStart) {
    auto v = make<UIView>(CGRectMake(0, 0, 10, 10));
    bool done = false;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        0.5, 1.0, UIViewAnimationOptionCurveLinear, [&] { v->setAlpha(0); }, [&](bool) { done = true; });
    advance(0.9);
    EXPECT_NEAR(shownAlpha(v), 1, 1e-6);
    advance(0.35);
    EXPECT_NEAR(shownAlpha(v), 0.5, 1e-6);
    EXPECT_FALSE(done);
    advance(0.25);
    EXPECT_TRUE(done);
}

TEST_F(AnimationTests, ANewAnimationOfThePropertyInterruptsTheRunningOne) {
    auto v = make<UIView>(CGRectMake(0, 0, 10, 10));
    std::vector<std::string> log;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        1.0, 0, UIViewAnimationOptionCurveLinear, [&] { v->setAlpha(0); },
        [&](bool finished) { log.push_back(finished ? "first finished" : "first interrupted"); });
    advance(0.5);
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        1.0, 0, UIViewAnimationOptionCurveLinear | UIViewAnimationOptionBeginFromCurrentState, [&] { v->setAlpha(1); },
        [&](bool finished) { log.push_back(finished ? "second finished" : "second cut"); });
    EXPECT_NEAR(shownAlpha(v), 0.5, 1e-6) << "from the value shown";
    runUntilIdle();
    EXPECT_EQ(log, (std::vector<std::string>{"first interrupted"}));
    advance(0.5);
    EXPECT_NEAR(shownAlpha(v), 0.75, 1e-6);
    advance(0.5);
    EXPECT_EQ(log, (std::vector<std::string>{"first interrupted", "second finished"}));

    // Without the option the new animation starts from the model value.
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        1.0, 0, UIViewAnimationOptionCurveLinear, [&] { v->setAlpha(0); }, nullptr);
    advance(0.5);
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        1.0, 0, UIViewAnimationOptionCurveLinear, [&] { v->setAlpha(0.5); }, nullptr);
    EXPECT_NEAR(shownAlpha(v), 0, 1e-6);
}

TEST_F(AnimationTests, RepeatingAutoreversingAnimationRunsUntilRemoved) {
    auto v = make<UIView>(CGRectMake(0, 0, 10, 10));
    std::vector<bool> results;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        1.0, 0, UIViewAnimationOptionCurveLinear | UIViewAnimationOptionRepeat | UIViewAnimationOptionAutoreverse,
        [&] { v->setAlpha(0); }, [&](bool finished) { results.push_back(finished); });
    advance(1.25);
    EXPECT_NEAR(shownAlpha(v), 0.25, 1e-6) << "on the way back";
    advance(100);
    EXPECT_TRUE(results.empty()) << "repeats without end";
    v->layer()->removeAllAnimations();
    runUntilIdle();
    EXPECT_EQ(results, (std::vector<bool>{false}));
    EXPECT_NEAR(shownAlpha(v), 0, 1e-6);
}

TEST_F(AnimationTests, SpringAnimationSettlesWithinItsDuration) {
    auto v = make<UIView>(CGRectMake(0, 0, 10, 10));
    v->setTransform(CGAffineTransformMakeScale(0.5, 0.5));
    bool finished = false;
    UIView::animateWithDurationDelayUsingSpringWithDampingInitialSpringVelocityOptionsAnimationsCompletion(
        0.3, 0, 1.0, 0, UIViewAnimationOptionBeginFromCurrentState, [&] { v->setTransform(CGAffineTransformIdentity); },
        [&](bool f) { finished = f; });
    double last = 0.5;
    for (int i = 0; i < 5; ++i) {
        advance(0.05);
        double scale = v->layer()->presentationLayer()->affineTransform().a;
        EXPECT_GE(scale, last - 1e-9) << "critically damped: straight to the end";
        EXPECT_LE(scale, 1 + 1e-9);
        last = scale;
    }
    EXPECT_GT(last, 0.95);
    EXPECT_FALSE(finished);
    advance(0.05);
    EXPECT_TRUE(finished);
}

TEST_F(AnimationTests, AnimatingViewsTakeTouchesOnlyWhenAllowed) {
    auto root = make<UIView>(CGRectMake(0, 0, 100, 100));
    auto blocked = make<UIView>(CGRectMake(0, 0, 50, 50));
    auto allowed = make<UIView>(CGRectMake(50, 0, 50, 50));
    root->addSubview(blocked);
    root->addSubview(allowed);
    UIView::animateWithDurationAnimations(1.0, [&] { blocked->setAlpha(0.5); });
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        1.0, 0, UIViewAnimationOptionAllowUserInteraction, [&] { allowed->setAlpha(0.5); }, nullptr);
    EXPECT_EQ(root->hitTestWithEvent(CGPointMake(10, 10), nullptr), root) << "the animating view lets it through";
    EXPECT_EQ(root->hitTestWithEvent(CGPointMake(60, 10), nullptr), allowed);
    advance(1);
    EXPECT_EQ(root->hitTestWithEvent(CGPointMake(10, 10), nullptr), blocked);
}

TEST_F(AnimationTests, OlderInterfaceAnimatesBetweenBeginAndCommit) {
    auto button = make<UIView>(CGRectMake(0, 0, 32, 32));
    auto root = make<UIView>(CGRectMake(0, 0, 400, 400));
    root->addSubview(button);
    auto delegate = make<MoveDelegate>();
    UIView::beginAnimationsContext("move"_ns, nullptr);
    UIView::setAnimationDuration(0.5);
    UIView::setAnimationCurve(UIViewAnimationCurveLinear);
    UIView::setAnimationDelegate(delegate);
    UIView::setAnimationWillStartSelector("animationWillStart:context:");
    UIView::setAnimationDidStopSelector("animationDidStop:finished:context:");
    button->setCenter(CGPointMake(216, 16));
    UIView::commitAnimations();
    EXPECT_EQ(button->center(), CGPointMake(216, 16));
    EXPECT_EQ(root->hitTestWithEvent(CGPointMake(216, 16), nullptr), button) << "taken at its new place";
    advance(0.25);
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"will move"}));
    EXPECT_NEAR(shownCenter(button).x, 116, 1e-6);
    advance(0.25);
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"will move", "did move finished"}));

    // A delegate without selectors hears nothing; setters outside a pair do nothing.
    UIView::setAnimationDuration(5);
    UIView::beginAnimationsContext("quiet"_ns, nullptr);
    UIView::setAnimationDelegate(delegate);
    button->setCenter(CGPointMake(16, 16));
    UIView::commitAnimations();
    advance(0.1);
    EXPECT_TRUE(button->layer()->animationForKey("position"_ns));
    advance(0.1);
    EXPECT_FALSE(button->layer()->animationForKey("position"_ns)) << "0.2 s by default";
    EXPECT_EQ(delegate->events.size(), 2u);
    UIView::commitAnimations(); // without a begin: harmless
}

TEST_F(AnimationTests, ViewLayersTakeNoImplicitAnimations) {
    auto v = make<UIView>(CGRectMake(0, 0, 10, 10));
    runUntilIdle();
    ASSERT_TRUE(v->layer()->isCommitted());
    v->setAlpha(0.5);
    v->layer()->setCornerRadius(4);
    EXPECT_FALSE(v->layer()->animationKeys());
    UIView::performWithoutAnimation([&] { UIView::animateWithDurationAnimations(1.0, [&] { v->setAlpha(0); }); });
    EXPECT_FALSE(v->layer()->animationKeys());
    UIView::setAnimationsEnabled(false);
    bool done = false;
    UIView::animateWithDurationAnimationsCompletion(
        1.0, [&] { v->setAlpha(1); }, [&](bool f) { done = f; });
    UIView::setAnimationsEnabled(true);
    EXPECT_FALSE(v->layer()->animationKeys());
    runUntilIdle();
    EXPECT_TRUE(done) << "completes at once when nothing animates";
}
