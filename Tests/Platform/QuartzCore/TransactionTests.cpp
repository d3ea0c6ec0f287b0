#include "AnimationTestSupport.h"

#include <Foundation/NSNumber.h>
#include <QuartzCore/CABasicAnimation.h>
#include <QuartzCore/CAShapeLayer.h>
#include <QuartzCore/CATransaction.h>
#include <Support/PlatformTestCase.h>

namespace {

// A layer whose first transaction has been committed, so that changes animate by themselves.
template <class L = CALayer>
Ref<L> shownLayer() {
    auto layer = make<L>();
    CATransaction::flush();
    return layer;
}

} // namespace

class TransactionTests : public PlatformTestCase {};

TEST_F(TransactionTests, ChangesToAShownLayerAnimateImplicitly) {
    auto layer = shownLayer();
    EXPECT_TRUE(layer->isCommitted());
    layer->setOpacity(0);
    EXPECT_EQ(layer->opacity(), 0) << "the model changes at once";
    ASSERT_TRUE(layer->animationForKey("opacity"_ns));
    auto action = cast<CABasicAnimation>(layer->animationForKey("opacity"_ns));
    ASSERT_TRUE(action);
    EXPECT_EQ(action->keyPath()->str(), "opacity");
    EXPECT_NEAR(opacityShown(layer), 1.0, 1e-6) << "from the value shown before";
    advance(0.125);
    EXPECT_NEAR(opacityShown(layer), 1 - action->timingFunction()->solveForInput(0.5), 1e-6);
    advance(0.125);
    EXPECT_FALSE(layer->animationKeys()) << "a quarter of a second by default";

    // A change in the middle starts from the value shown then.
    layer->setOpacity(1);
    advance(0.125);
    double halfway = opacityShown(layer);
    layer->setOpacity(0);
    EXPECT_NEAR(opacityShown(layer), halfway, 1e-6);

    // A subclass's own animatable property animates the same way.
    auto ring = shownLayer<StrokeLayer>();
    CATransaction::begin();
    CATransaction::setAnimationDuration(1);
    ring->setStrokeEnd(0);
    CATransaction::commit();
    advance(0.5);
    auto shown = cast<StrokeLayer>(ring->presentationLayer());
    EXPECT_GT(shown->strokeEnd(), 0.1);
    EXPECT_LT(shown->strokeEnd(), 0.9);
    advance(0.5);
    EXPECT_FALSE(ring->animationForKey("strokeEnd"_ns));
}

TEST_F(TransactionTests, NewLayersAndDisabledActionsDoNotAnimate) {
    auto fresh = CALayer::layer();
    fresh->setOpacity(0.2f);
    fresh->setPosition(CGPointMake(5, 5));
    EXPECT_FALSE(fresh->animationKeys()) << "a layer is set up without animation until it is shown";
    runUntilIdle();
    EXPECT_TRUE(fresh->isCommitted());

    auto layer = shownLayer();
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    EXPECT_TRUE(CATransaction::disableActions());
    CATransaction::begin();
    EXPECT_TRUE(CATransaction::disableActions()) << "inner transactions inherit the setting";
    layer->setPosition(CGPointMake(40, 40));
    CATransaction::commit();
    layer->setOpacity(0.5f);
    CATransaction::commit();
    EXPECT_FALSE(CATransaction::disableActions());
    EXPECT_FALSE(layer->animationKeys());
    EXPECT_EQ(layer->presentationLayer()->position(), CGPointMake(40, 40));

    // A delegate decides for its layer; NSNull means no action.
    auto delegate = make<AnimationRecorder>();
    layer->setDelegate(delegate);
    layer->setCornerRadius(3);
    EXPECT_TRUE(layer->animationForKey("cornerRadius"_ns)) << "a delegate without an answer leaves the default";
}

TEST_F(TransactionTests, CompletionBlockWaitsForTheAnimationsAddedAfterIt) {
    auto layer = shownLayer();
    std::vector<std::string> log;
    auto recorder = make<AnimationRecorder>();
    CATransaction::begin();
    CATransaction::setCompletionBlock([&] { log.push_back("completion"); });
    auto fade = CABasicAnimation::animationWithKeyPath("opacity"_ns);
    fade->setDuration(1);
    fade->setToValue(box(0.0));
    layer->addAnimationForKey(fade, "fade"_ns);
    auto move = CABasicAnimation::animationWithKeyPath("position.x"_ns);
    move->setDuration(2);
    move->setToValue(box(10.0));
    layer->addAnimationForKey(move, "move"_ns);
    CATransaction::commit();
    advance(1.5);
    EXPECT_TRUE(log.empty()) << "one animation still runs";
    advance(0.5);
    EXPECT_EQ(log, (std::vector<std::string>{"completion"}));

    // Without animations it runs at the commit.
    log.clear();
    CATransaction::begin();
    CATransaction::setCompletionBlock([&] { log.push_back("at once"); });
    EXPECT_TRUE(CATransaction::completionBlock());
    CATransaction::commit();
    EXPECT_EQ(log, (std::vector<std::string>{"at once"}));

    // Removing the animations counts as their end; an implicit animation counts too.
    log.clear();
    CATransaction::begin();
    CATransaction::setCompletionBlock([&] { log.push_back("removed"); });
    layer->setOpacity(0.3f);
    layer->addAnimationForKey(fade, "fade"_ns);
    CATransaction::commit();
    EXPECT_TRUE(log.empty());
    layer->removeAllAnimations();
    runUntilIdle();
    EXPECT_EQ(log, (std::vector<std::string>{"removed"}));

    // Outside an explicit transaction the block belongs to the implicit one, committed at the next
    // turn.
    log.clear();
    CATransaction::setCompletionBlock([&] { log.push_back("implicit"); });
    EXPECT_TRUE(log.empty());
    runUntilIdle();
    EXPECT_EQ(log, (std::vector<std::string>{"implicit"}));
}

TEST_F(TransactionTests, DurationAndTimingFunctionApplyToImplicitAnimations) {
    auto layer = shownLayer();
    EXPECT_EQ(CATransaction::animationDuration(), 0.25);
    CATransaction::begin();
    CATransaction::setAnimationDuration(2);
    CATransaction::setAnimationTimingFunction(CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionLinear()));
    layer->setPosition(CGPointMake(100, 0));
    CATransaction::commit();
    EXPECT_EQ(CATransaction::animationDuration(), 0.25) << "the setting ends with its transaction";
    advance(0.5);
    EXPECT_NEAR(layer->presentationLayer()->position().x, 25, 1e-6);
    advance(1.5);
    EXPECT_FALSE(layer->animationKeys());
    CATransaction::commit(); // nothing open: harmless
    CATransaction::flush();
}

TEST_F(TransactionTests, ShapeLayerStrokeChangesAnimateImplicitly) {
    auto shape = shownLayer<CAShapeLayer>();
    shape->setStrokeEnd(0.5);
    EXPECT_EQ(shape->strokeEnd(), 0.5);
    ASSERT_TRUE(shape->animationForKey("strokeEnd"_ns));
    auto shown = [&] { return unbox<double>(shape->presentationValueForKeyPath("strokeEnd"_ns)); };
    EXPECT_NEAR(shown(), 1.0, 1e-6);
    advance(0.125);
    EXPECT_GT(shown(), 0.5);
    EXPECT_LT(shown(), 1.0);
    advance(0.125);
    EXPECT_NEAR(shown(), 0.5, 1e-6);

    CATransaction::begin();
    CATransaction::setDisableActions(true);
    shape->setStrokeStart(0.2);
    shape->setLineWidth(4);
    CATransaction::commit();
    EXPECT_FALSE(shape->animationKeys());
}
