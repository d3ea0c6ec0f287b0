#include "AnimationTestSupport.h"

#include <Foundation/NSArray.h>
#include <Foundation/NSNumber.h>
#include <QuartzCore/CAAnimationGroup.h>
#include <QuartzCore/CABase.h>
#include <QuartzCore/CABasicAnimation.h>
#include <QuartzCore/CAKeyframeAnimation.h>
#include <QuartzCore/CAMediaTimingFunction.h>
#include <QuartzCore/CASpringAnimation.h>
#include <Support/PlatformTestCase.h>

#include <cmath>
#include <numbers>

namespace {

// Animation time is the clock's uptime in seconds, which goes on from the machine's: after hours of
// uptime a double carries picoseconds of rounding, which a fast animation turns into a few billionths
// of a point. Values are compared to a millionth.
constexpr double kNear = 1e-6;

Ref<CABasicAnimation> basic(const char* keyPath, const id& from, const id& to, double duration) {
    auto a = CABasicAnimation::animationWithKeyPath(NSString::from(keyPath));
    a->setFromValue(from);
    a->setToValue(to);
    a->setDuration(duration);
    return a;
}

id point(CGFloat x, CGFloat y) {
    return NSValue::valueWithValue(CGPointMake(x, y));
}

Ref<NSArray> list(std::vector<id> items) {
    return NSArray::arrayWithVector(std::move(items));
}

} // namespace

class AnimationTests : public PlatformTestCase {};

TEST_F(AnimationTests, TimingFunctionsFollowTheirCurves) {
    auto linear = CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionLinear());
    auto easeIn = CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseIn());
    auto easeOut = CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseOut());
    auto easeInOut = CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseInEaseOut());
    auto standard = CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionDefault());
    ASSERT_TRUE(linear && easeIn && easeOut && easeInOut && standard);
    EXPECT_FALSE(CAMediaTimingFunction::functionWithName("bouncy"_ns));

    float point[2] = {-1, -1};
    easeIn->getControlPointAtIndexValues(1, point);
    EXPECT_FLOAT_EQ(point[0], 0.42f);
    EXPECT_FLOAT_EQ(point[1], 0.0f);
    easeOut->getControlPointAtIndexValues(2, point);
    EXPECT_FLOAT_EQ(point[0], 0.58f);
    EXPECT_FLOAT_EQ(point[1], 1.0f);
    easeIn->getControlPointAtIndexValues(3, point);
    EXPECT_FLOAT_EQ(point[0], 1.0f);

    for (double x : {0.0, 0.1, 0.37, 0.5, 0.9, 1.0}) {
        EXPECT_NEAR(linear->solveForInput(x), x, kNear);
    }
    EXPECT_LT(easeIn->solveForInput(0.5), 0.4) << "slow at first";
    EXPECT_GT(easeOut->solveForInput(0.5), 0.6) << "fast at first";
    EXPECT_NEAR(easeInOut->solveForInput(0.5), 0.5, 1e-6) << "symmetric";
    EXPECT_NEAR(easeInOut->solveForInput(0.25) + easeInOut->solveForInput(0.75), 1.0, 1e-6);
    // The default curve at x = 0.5 (y of the Bezier with control points (0.25, 0.1), (0.25, 1)).
    EXPECT_NEAR(standard->solveForInput(0.5), 0.8024, 1e-3);
    double last = 0;
    for (int i = 0; i <= 100; ++i) {
        double y = easeInOut->solveForInput(i / 100.0);
        EXPECT_GE(y, last - 1e-12) << "never goes back";
        last = y;
    }
    EXPECT_EQ(easeIn->solveForInput(std::nan("")), 0) << "NaN gives the start";
    EXPECT_EQ(easeIn->solveForInput(7), 1) << "times past the end are clamped";
    auto odd = CAMediaTimingFunction::functionWithControlPoints(-3, 0, 9, 1);
    odd->getControlPointAtIndexValues(1, point);
    EXPECT_EQ(point[0], 0.0f) << "x values are kept within 0...1";
    EXPECT_TRUE(easeIn->isEqual(CAMediaTimingFunction::functionWithControlPoints(0.42f, 0, 1, 1)));
}

TEST_F(AnimationTests, BasicAnimationShowsInterpolatedValuesAndLeavesTheModelAlone) {
    auto layer = CALayer::layer();
    layer->setOpacity(0.8f);
    auto fade = basic("opacity", box(0.0), box(1.0), 2.0);
    layer->addAnimationForKey(fade, "fade"_ns);
    EXPECT_NEAR(opacityShown(layer), 0.0, 1e-6);
    advance(0.5);
    EXPECT_NEAR(opacityShown(layer), 0.25, 1e-6);
    EXPECT_FLOAT_EQ(layer->opacity(), 0.8f) << "the model keeps its value";
    EXPECT_EQ(layer->presentationLayer()->modelLayer(), layer);
    EXPECT_EQ(layer->modelLayer(), layer);
    auto shown = layer->presentationLayer();
    EXPECT_EQ(shown->presentationLayer(), shown);
    advance(1.0);
    EXPECT_NEAR(opacityShown(layer), 0.75, 1e-6);
    fade->setToValue(box(0.0));
    EXPECT_NEAR(opacityShown(layer), 0.75, 1e-6) << "the layer runs its own copy";
    advance(0.5);
    EXPECT_FALSE(layer->animationForKey("fade"_ns)) << "removed on completion";
    EXPECT_NEAR(opacityShown(layer), 0.8, 1e-6);
}

TEST_F(AnimationTests, FromToAndByValuesCombineAsDocumented) {
    auto layer = CALayer::layer();
    layer->setPosition(CGPointMake(10, 10));
    auto by = CABasicAnimation::animationWithKeyPath("position.x"_ns);
    by->setByValue(box(100.0));
    by->setDuration(1);
    layer->addAnimationForKey(by, "by"_ns);
    auto toOnly = CABasicAnimation::animationWithKeyPath("cornerRadius"_ns);
    toOnly->setToValue(box(20.0));
    toOnly->setDuration(1);
    layer->addAnimationForKey(toOnly, "to"_ns);
    auto fromBy = CABasicAnimation::animationWithKeyPath("borderWidth"_ns);
    fromBy->setFromValue(box(2.0));
    fromBy->setByValue(box(4.0));
    fromBy->setDuration(1);
    layer->addAnimationForKey(fromBy, "fromBy"_ns);
    advance(0.5);
    auto shown = layer->presentationLayer();
    EXPECT_NEAR(shown->position().x, 60, kNear) << "the layer's value plus half of by";
    EXPECT_NEAR(shown->position().y, 10, kNear) << "the other field keeps the model value";
    EXPECT_NEAR(shown->cornerRadius(), 10, kNear) << "from the layer's value to toValue";
    EXPECT_NEAR(shown->borderWidth(), 4, kNear) << "from fromValue to fromValue + byValue";
}

TEST_F(AnimationTests, StructuresColoursAndTransformsInterpolate) {
    auto layer = CALayer::layer();
    auto move = basic("position", point(0, 0), point(100, 50), 1);
    auto grow = basic("bounds", NSValue::valueWithValue(CGRectMake(0, 0, 10, 10)),
                      NSValue::valueWithValue(CGRectMake(0, 0, 30, 50)), 1);
    auto tint = basic("backgroundColor", CGColorCreateGenericRGB(1, 0, 0, 1), CGColorCreateGenericRGB(0, 0, 1, 0), 1);
    auto scale = basic("transform", NSValue::valueWithValue(CGAffineTransformIdentity),
                       NSValue::valueWithValue(CGAffineTransformMakeScale(3, 3)), 1);
    for (auto& a : {move, grow, tint, scale}) {
        layer->addAnimationForKey(a, a->keyPath());
    }
    advance(0.5);
    auto shown = layer->presentationLayer();
    EXPECT_EQ(shown->position(), CGPointMake(50, 25));
    EXPECT_EQ(shown->bounds().size, CGSizeMake(20, 30));
    ASSERT_TRUE(shown->backgroundColor());
    EXPECT_NEAR(shown->backgroundColor()->red(), 0.5, kNear);
    EXPECT_NEAR(shown->backgroundColor()->blue(), 0.5, kNear);
    EXPECT_NEAR(shown->backgroundColor()->alpha(), 0.5, kNear);
    EXPECT_NEAR(shown->affineTransform().a, 2, kNear);
    EXPECT_NEAR(shown->affineTransform().d, 2, kNear);

    // A half turn stays a turn on the way, instead of shrinking through zero.
    auto turn = CALayer::layer();
    turn->addAnimationForKey(basic("transform", NSValue::valueWithValue(CGAffineTransformIdentity),
                                   NSValue::valueWithValue(CGAffineTransformMakeRotation(std::numbers::pi / 2)), 1),
                             "t"_ns);
    advance(0.5);
    CGAffineTransform t = turn->presentationLayer()->affineTransform();
    EXPECT_NEAR(std::hypot(t.a, t.b), 1, kNear);
    EXPECT_NEAR(std::atan2(t.b, t.a), std::numbers::pi / 4, kNear);
}

TEST_F(AnimationTests, RotationKeyPathSpinsWithoutEndAndFillsForwards) {
    // The spinner's mask: "transform.rotation" to 2 pi from no value, linear, repeated without end.
    auto mask = CALayer::layer();
    mask->setAffineTransform(CGAffineTransformMakeScale(2, 2));
    auto spin = CABasicAnimation::animationWithKeyPath("transform.rotation"_ns);
    spin->setToValue(NSNumber::numberWithFloat(static_cast<float>(2 * std::numbers::pi)));
    spin->setDuration(1);
    spin->setTimingFunction(CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionLinear()));
    spin->setRemovedOnCompletion(false);
    spin->setRepeatCount(HUGE_VALF);
    spin->setFillMode(kCAFillModeForwards());
    spin->setAutoreverses(false);
    mask->addAnimationForKey(spin, "rotate"_ns);
    advance(10.25);
    CGAffineTransform t = mask->presentationLayer()->affineTransform();
    EXPECT_NEAR(t.a, 0, 1e-5);
    EXPECT_NEAR(t.b, 2, 1e-5) << "a quarter turn, the scale kept";
    EXPECT_NEAR(t.c, -2, 1e-5);
    EXPECT_NEAR(unbox<double>(mask->presentationValueForKeyPath("transform.rotation.z"_ns)), std::numbers::pi / 2,
                1e-5);
    advance(0.5);
    EXPECT_NEAR(mask->presentationLayer()->affineTransform().b, -2, 1e-5) << "three quarters of a turn";
    EXPECT_TRUE(mask->animationForKey("rotate"_ns)) << "it never ends";
    EXPECT_EQ(mask->affineTransform(), CGAffineTransformMakeScale(2, 2));
}

TEST_F(AnimationTests, GroupDrivesItsMembersOnItsOwnTime) {
    // The spinner's ring: a one-second group of the stroke start and end, repeated without end.
    auto ring = make<StrokeLayer>();
    auto start = basic("strokeStart", box(0.015), box(0.515), 0);
    auto end = basic("strokeEnd", box(0.485), box(0.985), 0);
    auto group = CAAnimationGroup::animation();
    group->setAnimations(list({start, end}));
    group->setDuration(1);
    group->setRepeatCount(HUGE_VALF);
    group->setRemovedOnCompletion(false);
    group->setTimingFunction(CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionLinear()));
    ring->addAnimationForKey(group, "progress"_ns);
    advance(0.5);
    auto shown = cast<StrokeLayer>(ring->presentationLayer());
    ASSERT_TRUE(shown) << "the presentation layer is of the layer's class";
    EXPECT_NEAR(shown->strokeStart(), 0.265, kNear);
    EXPECT_NEAR(shown->strokeEnd(), 0.735, kNear);
    advance(7.75);
    shown = cast<StrokeLayer>(ring->presentationLayer());
    EXPECT_NEAR(shown->strokeStart(), 0.14, kNear) << "a quarter into the ninth pass";
    EXPECT_NEAR(shown->strokeEnd(), 0.61, kNear);
    EXPECT_EQ(ring->strokeEnd(), 1);

    // A member shorter than the group ends within it; the group's length cuts a longer one off.
    auto layer = CALayer::layer();
    auto shortFade = basic("opacity", box(0.0), box(1.0), 0.5);
    auto longMove = basic("position.x", box(0.0), box(100.0), 4);
    auto cut = CAAnimationGroup::animation();
    cut->setAnimations(list({shortFade, longMove}));
    cut->setDuration(2);
    layer->addAnimationForKey(cut, "cut"_ns);
    advance(1);
    EXPECT_NEAR(opacityShown(layer), 1.0, kNear) << "the finished member shows the model value";
    EXPECT_NEAR(layer->presentationLayer()->position().x, 25, kNear);
    advance(1);
    EXPECT_FALSE(layer->animationForKey("cut"_ns)) << "the group ends at its duration";
    EXPECT_EQ(layer->presentationLayer()->position().x, 0);
}

TEST_F(AnimationTests, KeyframesFollowKeyTimesModesAndTimingFunctions) {
    auto layer = CALayer::layer();
    auto path = CAKeyframeAnimation::animationWithKeyPath("position"_ns);
    path->setValues(list({point(0, 0), point(100, 0), point(100, 100)}));
    path->setKeyTimes(list({box(0.0), box(0.2), box(1.0)}));
    path->setDuration(1);
    layer->addAnimationForKey(path, "path"_ns);
    advance(0.1);
    EXPECT_NEAR(layer->presentationLayer()->position().x, 50, kNear);
    EXPECT_EQ(layer->presentationLayer()->position().y, 0);
    advance(0.5);
    EXPECT_EQ(layer->presentationLayer()->position().x, 100);
    EXPECT_NEAR(layer->presentationLayer()->position().y, 50, kNear);

    auto steps = CAKeyframeAnimation::animationWithKeyPath("opacity"_ns);
    steps->setValues(list({box(0.1), box(0.5), box(0.9)}));
    steps->setCalculationMode(kCAAnimationDiscrete());
    steps->setDuration(3);
    auto stepped = CALayer::layer();
    stepped->addAnimationForKey(steps, "steps"_ns);
    advance(0.9);
    EXPECT_NEAR(opacityShown(stepped), 0.1, 1e-6);
    advance(0.2);
    EXPECT_NEAR(opacityShown(stepped), 0.5, 1e-6) << "each value holds for a third";
    advance(1);
    EXPECT_NEAR(opacityShown(stepped), 0.9, 1e-6);

    // Paced: the same speed over legs of 100 and 300 points; the key times are ignored.
    auto paced = CAKeyframeAnimation::animationWithKeyPath("position.x"_ns);
    paced->setValues(list({box(0.0), box(100.0), box(400.0)}));
    paced->setKeyTimes(list({box(0.0), box(0.9), box(1.0)}));
    paced->setCalculationMode(kCAAnimationPaced());
    paced->setDuration(4);
    auto even = CALayer::layer();
    even->addAnimationForKey(paced, "paced"_ns);
    advance(1);
    EXPECT_NEAR(even->presentationLayer()->position().x, 100, kNear);
    advance(1);
    EXPECT_NEAR(even->presentationLayer()->position().x, 200, kNear);

    // A segment's timing function paces that segment only.
    auto eased = CAKeyframeAnimation::animationWithKeyPath("position.x"_ns);
    eased->setValues(list({box(0.0), box(100.0), box(200.0)}));
    eased->setTimingFunctions(list({CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseIn()),
                                    CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionLinear())}));
    eased->setDuration(2);
    auto easedLayer = CALayer::layer();
    easedLayer->addAnimationForKey(eased, "eased"_ns);
    advance(0.5);
    EXPECT_LT(easedLayer->presentationLayer()->position().x, 40);
    advance(1);
    EXPECT_NEAR(easedLayer->presentationLayer()->position().x, 150, kNear);

    // Key times of the wrong length are ignored: the values are spread evenly.
    auto uneven = CAKeyframeAnimation::animationWithKeyPath("position.y"_ns);
    uneven->setValues(list({box(0.0), box(10.0), box(20.0)}));
    uneven->setKeyTimes(list({box(0.0), box(1.0)}));
    uneven->setDuration(1);
    auto unevenLayer = CALayer::layer();
    unevenLayer->addAnimationForKey(uneven, "u"_ns);
    advance(0.25);
    EXPECT_NEAR(unevenLayer->presentationLayer()->position().y, 5, kNear);
}

TEST_F(AnimationTests, RepeatAutoreverseSpeedAndOffset) {
    auto layer = CALayer::layer();
    auto pulse = basic("opacity", box(0.0), box(1.0), 1);
    pulse->setAutoreverses(true);
    pulse->setRepeatCount(2);
    auto recorder = make<AnimationRecorder>();
    pulse->setDelegate(recorder);
    layer->addAnimationForKey(pulse, "pulse"_ns);
    advance(0.25);
    EXPECT_NEAR(opacityShown(layer), 0.25, 1e-6);
    advance(1.0);
    EXPECT_NEAR(opacityShown(layer), 0.75, 1e-6) << "on the way back";
    advance(1.0);
    EXPECT_NEAR(opacityShown(layer), 0.25, 1e-6) << "the second pass";
    advance(1.74);
    EXPECT_TRUE(layer->animationForKey("pulse"_ns));
    advance(0.01);
    EXPECT_FALSE(layer->animationForKey("pulse"_ns)) << "two passes there and back: 4 s";
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"start", "stop finished"}));

    auto fast = basic("position.x", box(0.0), box(100.0), 2);
    fast->setSpeed(2);
    fast->setTimeOffset(0.5);
    auto quick = CALayer::layer();
    quick->addAnimationForKey(fast, "fast"_ns);
    advance(0.25);
    EXPECT_NEAR(quick->presentationLayer()->position().x, 50, kNear) << "0.25 s at double speed, plus 0.5 s";
    advance(0.75);
    EXPECT_FALSE(quick->animationForKey("fast"_ns)) << "two seconds of animation in one";

    // Cumulative: each pass starts where the last ended.
    auto steps = basic("position.y", box(0.0), box(10.0), 1);
    steps->setCumulative(true);
    steps->setRepeatCount(3);
    auto climbing = CALayer::layer();
    climbing->addAnimationForKey(steps, "climb"_ns);
    advance(2.5);
    EXPECT_NEAR(climbing->presentationLayer()->position().y, 25, kNear);

    // Additive: added to the model value.
    auto shake = basic("position.x", box(-5.0), box(5.0), 1);
    shake->setAdditive(true);
    auto shaken = CALayer::layer();
    shaken->setPosition(CGPointMake(100, 0));
    shaken->addAnimationForKey(shake, "shake"_ns);
    advance(0.25);
    EXPECT_NEAR(shaken->presentationLayer()->position().x, 97.5, kNear);
}

TEST_F(AnimationTests, FillModesHoldValuesOutsideTheActiveTime) {
    auto make = [](const Ref<NSString>& fill, double delay, bool removed) {
        auto layer = CALayer::layer();
        layer->setOpacity(0.5f);
        auto a = basic("opacity", box(0.0), box(1.0), 1);
        a->setBeginTime(CACurrentMediaTime() + delay);
        a->setFillMode(fill);
        a->setRemovedOnCompletion(removed);
        layer->addAnimationForKey(a, "a"_ns);
        return layer;
    };
    auto none = make(kCAFillModeRemoved(), 1, true);
    auto backwards = make(kCAFillModeBackwards(), 1, true);
    auto forwards = make(kCAFillModeForwards(), 0, false);
    auto both = make(kCAFillModeBoth(), 1, false);
    auto kept = make(kCAFillModeRemoved(), 0, false);
    advance(0.5);
    EXPECT_NEAR(opacityShown(none), 0.5, 1e-6) << "nothing before the start";
    EXPECT_NEAR(opacityShown(backwards), 0.0, 1e-6) << "the first value before the start";
    EXPECT_NEAR(opacityShown(both), 0.0, 1e-6);
    advance(1.0);
    EXPECT_NEAR(opacityShown(none), 0.5, 1e-6);
    EXPECT_NEAR(opacityShown(forwards), 1.0, 1e-6) << "the last value after the end";
    EXPECT_TRUE(forwards->animationForKey("a"_ns));
    EXPECT_NEAR(opacityShown(kept), 0.5, 1e-6) << "kept on the layer but showing nothing";
    advance(1.0);
    EXPECT_NEAR(opacityShown(both), 1.0, 1e-6);
}

TEST_F(AnimationTests, DelegateHearsStartAndStopAndRemovalEndsUnfinished) {
    auto layer = CALayer::layer();
    auto recorder = make<AnimationRecorder>();
    auto late = basic("opacity", box(0.0), box(1.0), 1);
    late->setDelegate(recorder);
    late->setBeginTime(CACurrentMediaTime() + 2);
    layer->addAnimationForKey(late, "late"_ns);
    advance(1.99);
    EXPECT_TRUE(recorder->events.empty()) << "nothing before its begin time";
    advance(0.01);
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"start"}));
    advance(1);
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"start", "stop finished"}));

    recorder->events.clear();
    auto removed = basic("opacity", box(0.0), box(1.0), 1);
    removed->setDelegate(recorder);
    layer->addAnimationForKey(removed, "r"_ns);
    runUntilIdle();
    layer->removeAnimationForKey("r"_ns);
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"start"})) << "told at the next turn";
    runUntilIdle();
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"start", "stop unfinished"}));
    advance(2);
    EXPECT_EQ(recorder->events.size(), 2u) << "stopped once";

    recorder->events.clear();
    auto first = basic("opacity", box(0.0), box(1.0), 1);
    first->setDelegate(recorder);
    layer->addAnimationForKey(first, "same"_ns);
    layer->addAnimationForKey(basic("opacity", box(1.0), box(0.0), 1), "same"_ns);
    runUntilIdle();
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"stop unfinished"})) << "replaced under its key";
    EXPECT_EQ(layer->animationKeys()->count(), 1u);

    // A kept animation stops once, when its time is up, and removing it later says nothing more.
    recorder->events.clear();
    auto kept = basic("opacity", box(0.0), box(1.0), 1);
    kept->setDelegate(recorder);
    kept->setRemovedOnCompletion(false);
    layer->addAnimationForKey(kept, "kept"_ns);
    advance(1.5);
    layer->removeAllAnimations();
    runUntilIdle();
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"start", "stop finished"}));
    ASSERT_FALSE(layer->animationKeys()) << cast<NSString>(layer->animationKeys()->objectAtIndex(0))->str();

    // The delegate of an animation on a layer that goes away hears that it did not finish.
    recorder->events.clear();
    {
        auto gone = CALayer::layer();
        auto orphan = basic("opacity", box(0.0), box(1.0), 1);
        orphan->setDelegate(recorder);
        gone->addAnimationForKey(orphan, "o"_ns);
    }
    advance(2);
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"stop unfinished"}));
}

TEST_F(AnimationTests, SpringsSettleAndOvershootWhenWeaklyDamped) {
    auto spring = CASpringAnimation::animationWithKeyPath("position.x"_ns);
    EXPECT_EQ(spring->springPosition(0), 0);
    EXPECT_NEAR(spring->springPosition(10), 1, 1e-3);
    double peak = 0;
    for (int i = 0; i < 200; ++i) {
        peak = std::max(peak, spring->springPosition(i / 100.0));
    }
    EXPECT_GT(peak, 1.1) << "damping 10 on stiffness 100 swings past the end";
    double settle = spring->settlingDuration();
    EXPECT_GT(settle, 0.5);
    EXPECT_LT(settle, 2.0);
    spring->setDamping(20); // critical
    for (int i = 0; i < 200; ++i) {
        EXPECT_LE(spring->springPosition(i / 100.0), 1 + kNear) << "a critically damped spring does not overshoot";
    }
    spring->setMass(-1);
    EXPECT_EQ(spring->mass(), 1) << "a mass that is not positive is ignored";

    auto layer = CALayer::layer();
    spring->setFromValue(box(0.0));
    spring->setToValue(box(100.0));
    spring->setDuration(spring->settlingDuration());
    layer->addAnimationForKey(spring, "spring"_ns);
    advance(0.1);
    double x = layer->presentationLayer()->position().x;
    EXPECT_NEAR(x, 100 * spring->springPosition(0.1), 1e-6);
}

TEST_F(AnimationTests, PresentationCopiesTheModelAndItsMask) {
    auto layer = make<StrokeLayer>();
    layer->setFrame(CGRectMake(10, 20, 30, 40));
    layer->setCornerRadius(4);
    layer->setStrokeEnd(0.3);
    layer->setName("ring"_ns);
    auto mask = CALayer::layer();
    layer->setMask(mask);
    layer->addSublayer(CALayer::layer());
    mask->addAnimationForKey(basic("opacity", box(0.0), box(1.0), 1), "m"_ns);
    advance(0.5);
    auto shown = cast<StrokeLayer>(layer->presentationLayer());
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->frame(), CGRectMake(10, 20, 30, 40));
    EXPECT_EQ(shown->cornerRadius(), 4);
    EXPECT_NEAR(shown->strokeEnd(), 0.3, 1e-12) << "the subclass's properties come along";
    EXPECT_EQ(shown->name()->str(), "ring");
    EXPECT_FALSE(shown->sublayers());
    EXPECT_FALSE(shown->superlayer());
    ASSERT_TRUE(shown->mask());
    EXPECT_NEAR(shown->mask()->opacity(), 0.5, 1e-6) << "the mask as it is shown";
    EXPECT_TRUE(shown->isPresentationLayer());
    EXPECT_FALSE(layer->isPresentationLayer());

    // Animations of key paths the layer does not have show nothing and do no harm.
    layer->addAnimationForKey(basic("wobble", box(0.0), box(1.0), 1), "w"_ns);
    layer->addAnimationForKey(basic("position.z", box(0.0), box(1.0), 1), "z"_ns);
    layer->addAnimationForKey(basic("opacity", "text"_ns, box(1.0), 1), "bad"_ns);
    EXPECT_NO_THROW(layer->presentationLayer());
    EXPECT_EQ(layer->presentationLayer()->position(), layer->position());
}
