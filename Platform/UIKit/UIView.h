// UIView: a rectangle of the screen in a tree of views. Geometry (frame, bounds, centre, transform)
// lives in the view's layer; the view adds the tree, hit-testing, the layout and display requests,
// autoresizing, recorded layout constraints, gesture recognizers and animations.
//
// Drawing: a view's drawRect: runs when it needs display (it does when first made, and after
// setNeedsDisplay), at the layout pass or when the tree is rendered, with the current UIKit context
// being the view's backing store (bounds size at the screen's scale; made only when drawRect: asks
// for the context). The layer tree renders backgrounds, backing stores, sublayers and borders
// (CALayer::renderInContext). Layout runs when asked (layoutIfNeeded) and at the next turn of the
// main queue after a request, as on the platform at the end of a run-loop pass. Views whose
// translatesAutoresizingMaskIntoConstraints is NO get their frames from their constraints when
// their superview lays out (UIView's layoutSubviews; see LayoutEngine.h); the others keep the
// frames that code and autoresizing give them.
//
// Animations. A change of frame, bounds, centre, transform, alpha or background colour made in an
// animation block changes the model value at once and adds a basic animation (a spring animation
// for the spring variant) from the old value to the new one to the view's layer, under the
// layer's key ("position", "bounds", "transform", "opacity", "backgroundColor"); the layer's
// presentation layer shows the value in between at the clock's time (see CALayer.h). The old value
// is the model value, or with UIViewAnimationOptionBeginFromCurrentState the value shown now. A new
// animation of a property replaces the running one, whose block then ends unfinished. The options
// give the curve (ease in and out by default), repeat and autoreverse. The completion runs when
// every animation of the block has stopped, on the clock: finished = YES when they ran to their
// end, NO when one was removed first; with no change to animate, after the delay. While a block's
// animations run on a view, the view takes no touches unless the block allowed user interaction
// (the older begin/commit interface allows them).
#pragma once

#include <CoreGraphics/CGAffineTransform.h>
#include <QuartzCore/CALayer.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIGeometry.h>
#include <UIKit/UIResponder.h>

#include <functional>
#include <vector>

class UIWindow;
class UITouch;
class UIGestureRecognizer;
class NSLayoutConstraint;
class UILayoutGuide;
class UIViewController;
class UIMotionEffect;
class UIAppearance;

enum UIViewContentMode : NSInteger {
    UIViewContentModeScaleToFill = 0,
    UIViewContentModeScaleAspectFit = 1,
    UIViewContentModeScaleAspectFill = 2,
    UIViewContentModeRedraw = 3,
    UIViewContentModeCenter = 4,
    UIViewContentModeTop = 5,
    UIViewContentModeBottom = 6,
    UIViewContentModeLeft = 7,
    UIViewContentModeRight = 8,
    UIViewContentModeTopLeft = 9,
    UIViewContentModeTopRight = 10,
    UIViewContentModeBottomLeft = 11,
    UIViewContentModeBottomRight = 12,
};

using UIViewAutoresizing = NSUInteger;
inline constexpr UIViewAutoresizing UIViewAutoresizingNone = 0;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleLeftMargin = 1 << 0;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleWidth = 1 << 1;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleRightMargin = 1 << 2;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleTopMargin = 1 << 3;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleHeight = 1 << 4;
inline constexpr UIViewAutoresizing UIViewAutoresizingFlexibleBottomMargin = 1 << 5;

using UIViewAnimationOptions = NSUInteger;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionLayoutSubviews = 1 << 0;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionAllowUserInteraction = 1 << 1;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionBeginFromCurrentState = 1 << 2;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionRepeat = 1 << 3;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionAutoreverse = 1 << 4;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveEaseInOut = 0 << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveEaseIn = 1 << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveEaseOut = 2 << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionCurveLinear = 3 << 16;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionTransitionNone = 0 << 20;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionTransitionFlipFromLeft = 1 << 20;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionTransitionFlipFromRight = 2 << 20;
inline constexpr UIViewAnimationOptions UIViewAnimationOptionTransitionCrossDissolve = 5 << 20;

enum UIViewAnimationCurve : NSInteger {
    UIViewAnimationCurveEaseInOut = 0,
    UIViewAnimationCurveEaseIn = 1,
    UIViewAnimationCurveEaseOut = 2,
    UIViewAnimationCurveLinear = 3,
};

enum UILayoutConstraintAxis : NSInteger {
    UILayoutConstraintAxisHorizontal = 0,
    UILayoutConstraintAxisVertical = 1,
};

using UILayoutPriority = float;
inline constexpr UILayoutPriority UILayoutPriorityRequired = 1000;
inline constexpr UILayoutPriority UILayoutPriorityDefaultHigh = 750;
inline constexpr UILayoutPriority UILayoutPriorityDefaultLow = 250;
inline constexpr UILayoutPriority UILayoutPriorityFittingSizeLevel = 50;
inline constexpr CGFloat UIViewNoIntrinsicMetric = -1;

class UIView : public UIResponder {
    NS_OBJECT(UIView, UIResponder)
public:
    // `init` and `initWithFrame:`.
    UIView();
    explicit UIView(CGRect frame);
    ~UIView() override;

    // Geometry.
    CGRect frame() const;
    virtual void setFrame(CGRect frame);
    CGRect bounds() const;
    virtual void setBounds(CGRect bounds);
    CGPoint center() const;
    void setCenter(CGPoint center);
    CGAffineTransform transform() const;
    void setTransform(CGAffineTransform transform);
    Ref<CALayer> layer() const { return layer_; }

    // Look and behaviour.
    CGFloat alpha() const;
    void setAlpha(CGFloat alpha);
    bool isHidden() const noexcept { return hidden_; }
    virtual void setHidden(bool hidden);
    bool isOpaque() const;
    void setOpaque(bool opaque);
    Ref<UIColor> backgroundColor() const { return backgroundColor_; }
    virtual void setBackgroundColor(const Ref<UIColor>& color);
    Ref<UIColor> tintColor() const;
    void setTintColor(const Ref<UIColor>& color);
    NSInteger tag() const noexcept { return tag_; }
    void setTag(NSInteger tag);
    bool isUserInteractionEnabled() const noexcept { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled);
    bool isExclusiveTouch() const noexcept { return exclusiveTouch_; }
    void setExclusiveTouch(bool exclusive) { exclusiveTouch_ = exclusive; }
    bool isMultipleTouchEnabled() const noexcept { return multipleTouchEnabled_; }
    void setMultipleTouchEnabled(bool enabled) { multipleTouchEnabled_ = enabled; }
    bool clipsToBounds() const;
    void setClipsToBounds(bool clips);
    UIViewContentMode contentMode() const noexcept { return contentMode_; }
    void setContentMode(UIViewContentMode mode) { contentMode_ = mode; }
    UIViewAutoresizing autoresizingMask() const noexcept { return autoresizingMask_; }
    void setAutoresizingMask(UIViewAutoresizing mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const noexcept { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool autoresizes) { autoresizesSubviews_ = autoresizes; }

    // The tree.
    Ref<UIView> superview() const { return superview_.lock(); }
    Ref<NSArray> subviews() const;
    const std::vector<Ref<UIView>>& subviewList() const noexcept { return subviews_; }
    // The window the view is in, nil when it is in none.
    virtual Ref<UIWindow> window() const;
    void addSubview(const Ref<UIView>& view);
    void insertSubviewAtIndex(const Ref<UIView>& view, NSInteger index);
    void insertSubviewAboveSubview(const Ref<UIView>& view, const Ref<UIView>& sibling);
    void insertSubviewBelowSubview(const Ref<UIView>& view, const Ref<UIView>& sibling);
    void removeFromSuperview();
    void bringSubviewToFront(const Ref<UIView>& view);
    void sendSubviewToBack(const Ref<UIView>& view);
    void exchangeSubviewAtIndexWithSubviewAtIndex(NSInteger index1, NSInteger index2);
    bool isDescendantOfView(const Ref<UIView>& view) const;
    // The view itself or the first descendant (depth first, in subview order) with the tag.
    Ref<UIView> viewWithTag(NSInteger tag) const;

    // Hooks of the tree, sent by selector around every move.
    virtual void willMoveToSuperview(const Ref<UIView>& newSuperview) {}
    virtual void didMoveToSuperview() {}
    virtual void willMoveToWindow(const Ref<UIWindow>& newWindow) {}
    virtual void didMoveToWindow() {}
    virtual void didAddSubview(const Ref<UIView>& subview) {}
    virtual void willRemoveSubview(const Ref<UIView>& subview) {}

    // Layout.
    void setNeedsLayout();
    bool needsLayout() const noexcept { return needsLayout_; }
    // Lays out now, from the topmost view among this one and its ancestors that needs layout,
    // after the constraint updates that are pending in that tree.
    void layoutIfNeeded();
    // The base places the subviews that constraints lay out; overrides call it first.
    virtual void layoutSubviews();
    virtual CGSize sizeThatFits(CGSize size) const;
    void sizeToFit();
    virtual CGSize intrinsicContentSize() const;
    void invalidateIntrinsicContentSize();
    UIEdgeInsets layoutMargins() const noexcept { return layoutMargins_; }
    void setLayoutMargins(UIEdgeInsets margins);
    virtual UIEdgeInsets safeAreaInsets() const;

    // Display (see the header comment).
    void setNeedsDisplay();
    void setNeedsDisplayInRect(CGRect rect);
    bool needsDisplay() const noexcept { return needsDisplay_; }
    // The union of the areas asked for since the last display.
    CGRect dirtyRect() const noexcept { return dirtyRect_; }
    void displayIfNeeded();
    virtual void drawRect(CGRect rect) {}
    // Renders the view's tree (after a layout and display pass when `afterUpdates`) into the
    // current context, scaled from the bounds into `rect`. NO when there is no context or size.
    bool drawViewHierarchyInRectAfterScreenUpdates(CGRect rect, bool afterUpdates);

    // Constraints, recorded (see the header comment).
    Ref<NSArray> constraints() const;
    const std::vector<Ref<NSLayoutConstraint>>& constraintList() const noexcept { return constraints_; }
    void addConstraint(const Ref<NSLayoutConstraint>& constraint);
    void addConstraints(const Ref<NSArray>& constraints);
    void removeConstraint(const Ref<NSLayoutConstraint>& constraint);
    void removeConstraints(const Ref<NSArray>& constraints);
    bool translatesAutoresizingMaskIntoConstraints() const noexcept { return translatesAutoresizing_; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool translates);
    void setNeedsUpdateConstraints();
    bool needsUpdateConstraints() const noexcept { return needsUpdateConstraints_; }
    void updateConstraintsIfNeeded();
    virtual void updateConstraints();
    UILayoutPriority contentHuggingPriorityForAxis(UILayoutConstraintAxis axis) const;
    void setContentHuggingPriorityForAxis(UILayoutPriority priority, UILayoutConstraintAxis axis);
    UILayoutPriority contentCompressionResistancePriorityForAxis(UILayoutConstraintAxis axis) const;
    void setContentCompressionResistancePriorityForAxis(UILayoutPriority priority, UILayoutConstraintAxis axis);
    Ref<NSArray> layoutGuides() const;
    void addLayoutGuide(const Ref<UILayoutGuide>& guide);
    void removeLayoutGuide(const Ref<UILayoutGuide>& guide);
    Ref<UILayoutGuide> safeAreaLayoutGuide() const;
    Ref<UILayoutGuide> layoutMarginsGuide() const;

    // Hit-testing: the deepest visible, interactive view under the point (in this view's
    // coordinates), searching the subviews from front to back.
    virtual Ref<UIView> hitTestWithEvent(CGPoint point, const Ref<UIEvent>& event);
    virtual bool pointInsideWithEvent(CGPoint point, const Ref<UIEvent>& event);

    // Coordinates. A nil view means the view's window. Views of two trees convert through the
    // screen, each root's frame counting; a view outside any window is its own root, placed by its
    // frame (nil then means the space of that frame). A rectangle converts to the smallest one that
    // holds its converted corners.
    CGPoint convertPointToView(CGPoint point, const Ref<UIView>& view) const;
    CGPoint convertPointFromView(CGPoint point, const Ref<UIView>& view) const;
    CGRect convertRectToView(CGRect rect, const Ref<UIView>& view) const;
    CGRect convertRectFromView(CGRect rect, const Ref<UIView>& view) const;

    // Gesture recognizers.
    Ref<NSArray> gestureRecognizers() const;
    const std::vector<Ref<UIGestureRecognizer>>& gestureRecognizerList() const noexcept { return recognizers_; }
    void addGestureRecognizer(const Ref<UIGestureRecognizer>& recognizer);
    void removeGestureRecognizer(const Ref<UIGestureRecognizer>& recognizer);

    // Motion effects, recorded (see UIMotionEffect.h). Adding an effect twice keeps one.
    Ref<NSArray> motionEffects() const;
    void setMotionEffects(const Ref<NSArray>& effects);
    void addMotionEffect(const Ref<UIMotionEffect>& effect);
    void removeMotionEffect(const Ref<UIMotionEffect>& effect);

    // Appearance proxies (see UIAppearance.h): `+appearance` and `+appearanceWhenContainedIn:` of
    // the view class `cls` (the class that receives the message on the platform), containers
    // innermost first.
    static Ref<UIAppearance> appearance(Class cls);
    static Ref<UIAppearance> appearanceWhenContainedIn(Class cls, const std::vector<Class>& containers);

    // Accessibility: what a screen reader reads (see UIAccessibility.h).
    bool isAccessibilityElement() const noexcept { return accessibilityElement_; }
    void setIsAccessibilityElement(bool element);
    Ref<NSString> accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(const Ref<NSString>& label);
    Ref<NSString> accessibilityIdentifier() const { return accessibilityIdentifier_; }
    void setAccessibilityIdentifier(const Ref<NSString>& identifier);

    // Editing: asks the first responder in this view's tree to resign.
    bool endEditing(bool force);

    // The responder chain: the view's controller when it is a controller's root view, else the
    // superview.
    Ref<UIResponder> nextResponder() const override;
    // The controller whose root view this is (set by the controller).
    Ref<UIViewController> viewController() const;
    void setViewController(const Ref<UIViewController>& controller);

    // Animations (see the header comment).
    using Animations = std::function<void()>;
    using Completion = std::function<void(bool finished)>;
    static void animateWithDurationAnimations(double duration, Animations animations);
    static void animateWithDurationAnimationsCompletion(double duration, Animations animations, Completion completion);
    static void animateWithDurationDelayOptionsAnimationsCompletion(double duration, double delay,
                                                                    UIViewAnimationOptions options,
                                                                    Animations animations, Completion completion);
    static void animateWithDurationDelayUsingSpringWithDampingInitialSpringVelocityOptionsAnimationsCompletion(
        double duration, double delay, CGFloat damping, CGFloat velocity, UIViewAnimationOptions options,
        Animations animations, Completion completion);
    static void transitionWithViewDurationOptionsAnimationsCompletion(const Ref<UIView>& view, double duration,
                                                                      UIViewAnimationOptions options,
                                                                      Animations animations, Completion completion);
    // Replaces `fromView` by `toView` in its superview, animated.
    static void transitionFromViewToViewDurationOptionsCompletion(const Ref<UIView>& fromView,
                                                                  const Ref<UIView>& toView, double duration,
                                                                  UIViewAnimationOptions options,
                                                                  Completion completion);
    // The older interface: the changes between begin and commit animate together. The delegate
    // (held until the animation ends) receives the will-start selector (animation ID, context) at
    // the start and the did-stop selector (animation ID, NSNumber finished, context as an NSValue
    // pointer) at the end, each with as many of those arguments as the selector takes. The setters
    // act on the innermost begin/commit pair; outside one they do nothing.
    static void beginAnimationsContext(const Ref<NSString>& animationID, void* context);
    static void commitAnimations();
    static void setAnimationDuration(double duration);
    static void setAnimationDelay(double delay);
    static void setAnimationCurve(UIViewAnimationCurve curve);
    static void setAnimationRepeatCount(float count);
    static void setAnimationRepeatAutoreverses(bool autoreverses);
    static void setAnimationBeginsFromCurrentState(bool fromCurrentState);
    static void setAnimationDelegate(const id& delegate);
    static void setAnimationWillStartSelector(SEL selector);
    static void setAnimationDidStopSelector(SEL selector);
    static void performWithoutAnimation(Animations actions);
    static void setAnimationsEnabled(bool enabled);
    static bool areAnimationsEnabled();
    // The duration of the animation block being run now, 0 outside one.
    static double inheritedAnimationDuration();

    // The layer's delegate: a view's layer takes no implicit animations (answers NSNull).
    id actionForLayerForKey(const Ref<CALayer>& layer, const Ref<NSString>& key);

    Ref<NSString> description() const override;

protected:
    // For subclasses backed by another kind of layer.
    UIView(CGRect frame, Ref<CALayer> layer);
    // The bounds size changed: autoresizes the subviews and asks for layout.
    virtual void boundsSizeDidChange(CGSize oldSize);
    // The view entered or left a window (after the hooks); the base tells its controller.
    virtual void windowDidChange();

private:
    friend class UIWindow;
    void attach(const Ref<UIView>& view, size_t index);
    void detach(UIView* view);
    static void moveToWindow(UIView* view, const Ref<UIWindow>& window, bool did);
    void autoresizeSubviews(CGSize oldSize);
    void noteAnimatable(const char* key);
    bool isAnimationBlockingTouches() const;
    void layoutBelow();

    Ref<CALayer> layer_;
    Weak<UIView> superview_;
    std::vector<Ref<UIView>> subviews_;
    Weak<UIViewController> controller_;
    Ref<UIColor> backgroundColor_;
    Ref<UIColor> tintColor_;
    NSInteger tag_ = 0;
    bool hidden_ = false;
    bool userInteractionEnabled_ = true;
    bool exclusiveTouch_ = false;
    bool multipleTouchEnabled_ = false;
    bool autoresizesSubviews_ = true;
    bool translatesAutoresizing_ = true;
    bool needsLayout_ = false;
    bool needsDisplay_ = false;
    bool needsUpdateConstraints_ = false;
    bool inLayout_ = false;
    CGRect dirtyRect_ = CGRectNull;
    UIViewContentMode contentMode_ = UIViewContentModeScaleToFill;
    UIViewAutoresizing autoresizingMask_ = UIViewAutoresizingNone;
    UIEdgeInsets layoutMargins_{8, 8, 8, 8};
    UILayoutPriority hugging_[2] = {UILayoutPriorityDefaultLow, UILayoutPriorityDefaultLow};
    UILayoutPriority compression_[2] = {UILayoutPriorityDefaultHigh, UILayoutPriorityDefaultHigh};
    std::vector<Ref<NSLayoutConstraint>> constraints_;
    std::vector<Ref<UILayoutGuide>> guides_;
    mutable Ref<UILayoutGuide> safeAreaGuide_;
    mutable Ref<UILayoutGuide> marginsGuide_;
    std::vector<Ref<UIGestureRecognizer>> recognizers_;
    std::vector<Ref<UIMotionEffect>> motionEffects_;
    bool appearanceApplied_ = false;
    bool accessibilityElement_ = false;
    Ref<NSString> accessibilityLabel_;
    Ref<NSString> accessibilityIdentifier_;
};
