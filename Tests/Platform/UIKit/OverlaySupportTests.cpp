// What overlays (progress and status HUDs) use: appearance proxies, motion effects, blur views,
// toolbars, bezier paths, the window list and the keyboard window.
#include <Foundation/NSNotificationCenter.h>
#include <QuartzCore/CAAnimationGroup.h>
#include <QuartzCore/CABasicAnimation.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/NSString+NSStringDrawing.h>
#include <UIKit/UIAccessibility.h>
#include <UIKit/UIActivityIndicatorView.h>
#include <UIKit/UIAppearance.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UIBlurEffect.h>
#include <UIKit/UIInputSetContainerView.h>
#include <UIKit/UIInputSetHostView.h>
#include <UIKit/UIInterpolatingMotionEffect.h>
#include <UIKit/UIMotionEffectGroup.h>
#include <UIKit/UIRemoteKeyboardWindow.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UIToolbar.h>
#include <UIKit/UIVisualEffectView.h>

#include <cmath>
#include <numbers>

namespace {

class OverlayHostView : public UIView {
    NS_OBJECT(OverlayHostView, UIView)
public:
    OverlayHostView() = default;
};

class OverlaySpinner : public UIActivityIndicatorView {
    NS_OBJECT(OverlaySpinner, UIActivityIndicatorView)
public:
    OverlaySpinner() = default;
};

Ref<UIColor> rgb(double r, double g, double b) {
    return UIColor::colorWithRedGreenBlueAlpha(r, g, b, 1);
}

} // namespace

NS_IMPLEMENT_CLASS(OverlayHostView, UIView) {}
NS_IMPLEMENT_CLASS(OverlaySpinner, UIActivityIndicatorView) {}

class OverlaySupportTests : public PlatformTestCase {};

TEST_F(OverlaySupportTests, AppearanceProxiesRecordValuesAndDressNewViewsOnScreen) {
    auto plain = UIView::appearance(UIActivityIndicatorView::class_());
    auto contained = UIView::appearanceWhenContainedIn(UIActivityIndicatorView::class_(), {OverlayHostView::class_()});
    EXPECT_EQ(UIView::appearance(UIActivityIndicatorView::class_()), plain) << "one proxy per class";
    EXPECT_FALSE(contained->valueForKey("color"_ns)) << "nothing themed yet";
    plain->setValueForKey(rgb(1, 0, 0), "color"_ns);
    contained->setValueForKey(rgb(0, 0, 1), "color"_ns);
    EXPECT_TRUE(contained->hasValueForKey("color"_ns));
    EXPECT_TRUE(contained->valueForKey("color"_ns)->isEqual(rgb(0, 0, 1)));
    EXPECT_THROW(plain->setValueForKey(rgb(0, 1, 0), "noSuchProperty"_ns), NSException);

    auto window = UITestDriver::showRootViewController(make<UIViewController>());
    auto outside = make<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhiteLarge);
    outside->setColor(rgb(0, 1, 0));
    EXPECT_TRUE(outside->color()->isEqual(rgb(0, 1, 0))) << "not applied before entering a window";
    window->addSubview(outside);
    EXPECT_TRUE(outside->color()->isEqual(rgb(1, 0, 0)));

    auto host = make<OverlayHostView>();
    auto wrapper = make<UIView>();
    host->addSubview(wrapper);
    auto inside = make<OverlaySpinner>();
    wrapper->addSubview(inside);
    window->addSubview(host);
    EXPECT_TRUE(inside->color()->isEqual(rgb(0, 0, 1))) << "a subclass, inside the container: the contained proxy wins";

    inside->setColor(rgb(1, 1, 1));
    inside->removeFromSuperview();
    window->addSubview(inside);
    EXPECT_TRUE(inside->color()->isEqual(rgb(1, 1, 1))) << "applied once, when first on screen";
}

TEST_F(OverlaySupportTests, MotionEffectsAreRecordedAndInterpolate) {
    auto x = make<UIInterpolatingMotionEffect>("center.x"_ns, UIInterpolatingMotionEffectTypeTiltAlongHorizontalAxis);
    x->setMinimumRelativeValue(box(-10.0));
    x->setMaximumRelativeValue(box(10.0));
    auto y = make<UIInterpolatingMotionEffect>("center.y"_ns, UIInterpolatingMotionEffectTypeTiltAlongVerticalAxis);
    y->setMinimumRelativeValue(box(-10.0));
    y->setMaximumRelativeValue(box(10.0));
    auto group = make<UIMotionEffectGroup>();
    group->setMotionEffects(NSArray::arrayWithObjects({x, y}));

    auto values = group->keyPathsAndRelativeValuesForViewerOffset(UIOffsetMake(0.5, -2));
    ASSERT_TRUE(values);
    EXPECT_DOUBLE_EQ(unbox<double>(values->objectForKey("center.x"_ns)), 5);
    EXPECT_DOUBLE_EQ(unbox<double>(values->objectForKey("center.y"_ns)), -10) << "offsets beyond the axis clamp";

    auto bezel = make<UIView>(CGRectMake(0, 0, 100, 100));
    EXPECT_TRUE(bezel->respondsToSelector("addMotionEffect:"));
    bezel->performSelectorWithArguments("addMotionEffect:", {group});
    bezel->addMotionEffect(group);
    EXPECT_EQ(bezel->motionEffects()->count(), 1u) << "the same effect is held once";
    EXPECT_EQ(bezel->center(), CGPointMake(50, 50)) << "no physics: the view does not move";
    bezel->removeMotionEffect(group);
    EXPECT_EQ(bezel->motionEffects()->count(), 0u);
}

TEST_F(OverlaySupportTests, BlurViewsAndToolbarsKeepTheirSettings) {
    auto effect = UIBlurEffect::effectWithStyle(UIBlurEffectStyleLight);
    auto blur = make<UIVisualEffectView>(effect);
    blur->setFrame(CGRectMake(0, 0, 120, 80));
    EXPECT_TRUE(blur->effect()->isEqual(effect));
    EXPECT_EQ(cast<UIBlurEffect>(blur->effect())->style(), UIBlurEffectStyleLight);
    EXPECT_EQ(blur->contentView()->frame(), CGRectMake(0, 0, 120, 80)) << "the content view follows the view";
    blur->setFrame(CGRectMake(0, 0, 200, 50));
    EXPECT_EQ(blur->contentView()->frame(), CGRectMake(0, 0, 200, 50));

    auto toolbar = make<UIToolbar>(CGRectMake(-100, -100, 300, 300));
    toolbar->setBarTintColor(rgb(0.95, 0.95, 0.95));
    toolbar->setTranslucent(true);
    auto item = make<UIBarButtonItem>("Done"_ns, UIBarButtonItemStyleDone, nullptr, SEL());
    toolbar->setItems(NSArray::arrayWithObjects({item}));
    EXPECT_EQ(toolbar->items()->count(), 1u);
    EXPECT_TRUE(unbox<bool>(toolbar->valueForKey("translucent"_ns)));
    EXPECT_EQ(toolbar->sizeThatFits(CGSizeMake(320, 500)), CGSizeMake(320, 44));
}

TEST_F(OverlaySupportTests, BezierPathsRecordTheirElements) {
    // A ring from the top, one full turn clockwise on screen.
    auto ring = UIBezierPath::bezierPathWithArcCenterRadiusStartAngleEndAngleClockwise(
        CGPointMake(24, 24), 18, -std::numbers::pi / 2, 3 * std::numbers::pi / 2, true);
    const auto& e = ring->elements();
    ASSERT_EQ(e.size(), 5u) << "a move and four quarter curves";
    EXPECT_EQ(e[0].type, kCGPathElementMoveToPoint);
    EXPECT_NEAR(e[0].points[0].x, 24, 1e-9);
    EXPECT_NEAR(e[0].points[0].y, 6, 1e-9);
    EXPECT_NEAR(e[1].points[2].x, 42, 1e-9) << "clockwise on screen: the top, then the right";
    EXPECT_NEAR(e[1].points[2].y, 24, 1e-9);
    CGRect tight = CGPathGetPathBoundingBox(ring->CGPath());
    EXPECT_NEAR(tight.origin.x, 6, 1e-6);
    EXPECT_NEAR(tight.size.width, 36, 1e-6);

    // Two turns stay two turns.
    auto spinner = UIBezierPath::bezierPathWithArcCenterRadiusStartAngleEndAngleClockwise(
        CGPointMake(0, 0), 10, 3 * std::numbers::pi / 2, 5.5 * std::numbers::pi, true);
    EXPECT_EQ(spinner->elements().size(), 9u);

    // A segment of a stroke: a quadratic curve between two midpoints.
    auto path = CGPathCreateMutable();
    CGPathMoveToPoint(path, nullptr, 0, 0);
    CGPathAddQuadCurveToPoint(path, nullptr, 10, 20, 20, 0);
    CGRect loose = CGPathGetBoundingBox(path);
    CGRect exact = CGPathGetPathBoundingBox(path);
    EXPECT_EQ(loose, CGRectMake(0, 0, 20, 20)) << "control points count";
    EXPECT_NEAR(exact.size.height, 10, 1e-9) << "the curve peaks half way to its control point";
    CGPathAddLineToPoint(path, nullptr, 30, 5);
    EXPECT_EQ(CGPathGetCurrentPoint(path), CGPointMake(30, 5));

    // A rounded corner through a corner point, as bars draw them.
    auto bar = CGPathCreateMutable();
    CGPathMoveToPoint(bar, nullptr, 2, 10);
    CGPathAddArcToPoint(bar, nullptr, 2, 2, 10, 2, 8);
    EXPECT_NEAR(CGPathGetCurrentPoint(bar).x, 10, 1e-9);
    EXPECT_NEAR(CGPathGetCurrentPoint(bar).y, 2, 1e-9);

    auto empty = UIBezierPath::bezierPath();
    empty->addLineToPoint(CGPointMake(1, 1));
    EXPECT_TRUE(empty->isEmpty()) << "a line needs a current point";
    auto copy = cast<UIBezierPath>(ring->copy());
    EXPECT_TRUE(copy->isEqual(ring));
    copy->closePath();
    EXPECT_FALSE(copy->isEqual(ring)) << "copies are independent";
    auto rect = UIBezierPath::bezierPathWithRoundedRectCornerRadius(CGRectMake(0, 0, 100, 40), 20);
    EXPECT_EQ(rect->bounds(), CGRectMake(0, 0, 100, 40));
}

TEST_F(OverlaySupportTests, WindowsAreListedBackToFrontAndTheKeyboardHasItsOwnWindow) {
    auto main = UITestDriver::showRootViewController(make<UIViewController>());
    auto alert = make<UIWindow>();
    alert->setWindowLevel(UIWindowLevelAlert);
    auto second = make<UIWindow>();
    auto windows = UIApplication::sharedApplication()->windows();
    auto index = [&](const Ref<UIWindow>& w) { return windows->indexOfObject(w); };
    EXPECT_LT(index(main), index(second));
    EXPECT_LT(index(second), index(alert)) << "a higher level is further front";

    auto field = make<UITextField>(CGRectMake(10, 100, 200, 30));
    main->rootViewController()->view()->addSubview(field);
    std::vector<CGRect> frames;
    auto token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        UIKeyboardWillShowNotification(), nullptr, nullptr, [&](const Ref<NSNotification>& n) {
            frames.push_back(
                cast<NSValue>(n->userInfo()->objectForKey(UIKeyboardFrameEndUserInfoKey()))->value<CGRect>());
        });
    ASSERT_TRUE(field->becomeFirstResponder());
    NSNotificationCenter::defaultCenter()->removeObserver(token);
    ASSERT_EQ(frames.size(), 1u);
    auto keyboard = UIRemoteKeyboardWindow::sharedWindow();
    EXPECT_FALSE(keyboard->isHidden());
    EXPECT_EQ(UIApplication::sharedApplication()->windows()->lastObject(), keyboard) << "above everything";
    ASSERT_EQ(keyboard->subviewList().size(), 1u);
    auto container = keyboard->subviewList().front();
    EXPECT_TRUE(container->isKindOfClass(NSClassFromString("UIInputSetContainerView"_ns)));
    ASSERT_EQ(container->subviewList().size(), 1u);
    auto host = container->subviewList().front();
    EXPECT_TRUE(host->isKindOfClass(NSClassFromString("UIInputSetHostView"_ns)));
    EXPECT_EQ(host->frame(), frames.front());
    EXPECT_FALSE(keyboard->isKeyWindow()) << "typing stays with the application's window";

    field->resignFirstResponder();
    runUntilIdle();
    EXPECT_TRUE(keyboard->isHidden());
    EXPECT_TRUE(container->subviewList().empty());
}

TEST_F(OverlaySupportTests, TextStylesTemplateImagesAndTextMeasurement) {
    EXPECT_TRUE(UIFont::class_()->respondsToSelector("preferredFontForTextStyle:"));
    auto sub = UIFont::preferredFontForTextStyle(UIFontTextStyleSubheadline());
    EXPECT_EQ(sub->pointSize(), 15);
    EXPECT_TRUE(UIFont::preferredFontForTextStyle(UIFontTextStyleHeadline())->isBold());
    EXPECT_EQ(UIFont::preferredFontForTextStyle("NoSuchStyle"_ns)->pointSize(), 17);

    auto image = make<UIImage>(CGSizeMake(28, 28), 2.0);
    EXPECT_TRUE(image->respondsToSelector("imageWithRenderingMode:"));
    auto tinted = image->imageWithRenderingMode(UIImageRenderingModeAlwaysTemplate);
    EXPECT_EQ(tinted->renderingMode(), UIImageRenderingModeAlwaysTemplate);
    EXPECT_EQ(tinted->size(), image->size());
    EXPECT_EQ(image->renderingMode(), UIImageRenderingModeAutomatic) << "images are immutable";
    EXPECT_EQ(tinted->imageWithRenderingMode(UIImageRenderingModeAlwaysTemplate), tinted);

    auto font = UIFont::systemFontOfSize(10);
    auto attributes = NSDictionary::dictionaryWithEntries({{NSFontAttributeName(), font}});
    CGSize four = sizeWithAttributes("abcd"_ns, attributes);
    EXPECT_GT(four.width, 10);
    EXPECT_EQ(four.height, std::ceil(font->lineHeight()));
    auto text = NSString::from(std::string(50, 'x'));
    CGFloat oneLine = sizeWithAttributes(text, attributes).width;
    ASSERT_GT(oneLine, 200);
    CGRect r = boundingRectWithSizeOptionsAttributesContext(
        text, CGSizeMake(200, 300), NSStringDrawingUsesLineFragmentOrigin | NSStringDrawingUsesFontLeading, attributes,
        nullptr);
    EXPECT_LE(r.size.width, 200) << "wrapped to the width";
    EXPECT_EQ(r.size.height, std::ceil(2 * font->lineHeight()));
    r = boundingRectWithSizeOptionsAttributesContext(text, CGSizeMake(0, 300), 0, attributes, nullptr);
    EXPECT_EQ(r.size.width, oneLine) << "one line without the line-fragment option";
    CGFloat lines2 = std::floor(2 * font->lineHeight() + 1);
    EXPECT_EQ(
        sizeWithFontConstrainedToSize(NSString::from(std::string(200, 'x')), font, CGSizeMake(100, lines2)).height,
        std::ceil(2 * font->lineHeight()))
        << "whole lines within the height";
    EXPECT_EQ(sizeWithAttributes(nullptr, attributes), CGSizeZero);
}

TEST_F(OverlaySupportTests, AccessibilityIsRecorded) {
    auto box = make<UIView>();
    box->setIsAccessibilityElement(true);
    box->setAccessibilityLabel("Loading"_ns);
    EXPECT_TRUE(unbox<bool>(box->valueForKey("isAccessibilityElement"_ns)));
    EXPECT_EQ(cast<NSString>(box->valueForKey("accessibilityLabel"_ns))->str(), "Loading");
    EXPECT_FALSE(UIAccessibilityIsVoiceOverRunning());
    size_t before = UIAccessibilityPostedNotifications().size();
    UIAccessibilityPostNotification(UIAccessibilityScreenChangedNotification, nullptr);
    UIAccessibilityPostNotification(UIAccessibilityAnnouncementNotification, "Done"_ns);
    auto posted = UIAccessibilityPostedNotifications();
    ASSERT_EQ(posted.size(), before + 2);
    EXPECT_EQ(posted.back().notification, UIAccessibilityAnnouncementNotification);
    EXPECT_EQ(cast<NSString>(posted.back().argument)->str(), "Done");
    for (int i = 0; i < 150; ++i) {
        UIAccessibilityPostNotification(UIAccessibilityLayoutChangedNotification, nullptr);
    }
    EXPECT_EQ(UIAccessibilityPostedNotifications().size(), 100u) << "only the latest are kept";
}

TEST_F(OverlaySupportTests, LayersHoldExplicitAnimationsAndMasks) {
    auto ring = make<CALayer>();
    auto rotate = CABasicAnimation::animationWithKeyPath("transform.rotation"_ns);
    auto progress = CAAnimationGroup::animation();
    ring->addAnimationForKey(rotate, "rotate"_ns);
    ring->addAnimationForKey(progress, "progress"_ns);
    ASSERT_TRUE(ring->animationForKey("rotate"_ns));
    EXPECT_EQ(cast<CABasicAnimation>(ring->animationForKey("rotate"_ns))->keyPath()->str(), "transform.rotation")
        << "the layer keeps a copy";
    EXPECT_EQ(ring->animationKeys()->count(), 2u);
    auto replacement = CABasicAnimation::animationWithKeyPath("opacity"_ns);
    ring->addAnimationForKey(replacement, "rotate"_ns);
    EXPECT_EQ(cast<CABasicAnimation>(ring->animationForKey("rotate"_ns))->keyPath()->str(), "opacity")
        << "a key holds one animation";
    EXPECT_EQ(ring->animationKeys()->count(), 2u);
    ring->removeAnimationForKey("rotate"_ns);
    EXPECT_FALSE(ring->animationForKey("rotate"_ns));
    ring->removeAllAnimations();
    EXPECT_FALSE(ring->animationKeys());

    auto mask = make<CALayer>();
    ring->setMask(mask);
    EXPECT_EQ(ring->mask(), mask);
}
