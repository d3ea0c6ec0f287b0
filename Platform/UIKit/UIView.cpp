#include <QuartzCore/CAAnimationValue.h>
#include <QuartzCore/CABase.h>
#include <QuartzCore/CASpringAnimation.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/LayoutEngine.h>
#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UIAppearance.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIGestureRecognizer.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UILayoutGuide.h>
#include <UIKit/UIMotionEffect.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIView.h>
#include <UIKit/UIViewController.h>
#include <UIKit/UIViewLooks.h>
#include <UIKit/UIWindow.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <set>

using uikit_detail::send;

// MARK: - Animations

// What an animation block or a begin/commit pair says, and what it changed.
struct UIViewAnimationContext {
    double duration = 0.2;
    double delay = 0;
    UIViewAnimationOptions options = 0;
    bool spring = false;
    CGFloat damping = 1;
    CGFloat velocity = 0;
    float repeatCount = 0;
    bool autoreverses = false;
    bool interactive = false;
    struct Change {
        Ref<CALayer> layer;
        std::string key;
        id from;
    };
    std::vector<Change> changes;
    // The older interface.
    bool older = false;
    Ref<NSString> animationID;
    void* userContext = nullptr;
    id delegate;
    SEL willStartSelector;
    SEL didStopSelector;
};

// The delegate of the animations of one block: runs the block's completion when the last of them
// has stopped, with finished = NO when any was removed early.
class UIViewAnimationState : public NSObject {
    NS_OBJECT(UIViewAnimationState, NSObject)
public:
    void animationDidStopFinished(const Ref<CAAnimation>&, bool finished) {
        allFinished = allFinished && finished;
        if (--pending > 0) {
            return;
        }
        auto c = std::move(completion);
        completion = nullptr;
        if (c) {
            c(allFinished);
        }
    }

    UIView::Completion completion;
    int pending = 0;
    bool allFinished = true;
    bool interactive = false;
};

NS_IMPLEMENT_CLASS(UIViewAnimationState, NSObject) {
    b.method("animationDidStop:finished:", &UIViewAnimationState::animationDidStopFinished);
}

namespace {

struct AnimationState {
    std::vector<UIViewAnimationContext*> stack;
    // Contexts of the older interface, between begin and commit.
    std::vector<std::unique_ptr<UIViewAnimationContext>> older;
    bool enabled = true;
    int suppressed = 0;
};

AnimationState& animationState() {
    static AnimationState* s = new AnimationState;
    return *s;
}

Ref<CAMediaTimingFunction> curveFunction(UIViewAnimationOptions options) {
    switch (options & (3 << 16)) {
    case UIViewAnimationOptionCurveEaseIn:
        return CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseIn());
    case UIViewAnimationOptionCurveEaseOut:
        return CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseOut());
    case UIViewAnimationOptionCurveLinear:
        return CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionLinear());
    default:
        return CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionEaseInEaseOut());
    }
}

// A spring that comes to rest in `duration` with the damping ratio `ratio`: mass 1, and the
// stiffness whose swing dies down (to a thousandth) in that time.
void configureSpring(CASpringAnimation& spring, double duration, double ratio, double velocity) {
    ratio = std::isfinite(ratio) ? std::clamp(ratio, 0.01, 10.0) : 1.0;
    double omega = ratio >= 1 ? 9.23 / duration : std::log(1000.0) / (ratio * duration);
    spring.setMass(1);
    spring.setStiffness(omega * omega);
    spring.setDamping(2 * ratio * omega);
    spring.setInitialVelocity(std::isfinite(velocity) ? velocity : 0);
}

// Turns what a block changed into animations on the layers. The completion runs when they have all
// stopped, or after the delay when nothing animates.
void commitContext(UIViewAnimationContext& context, UIView::Completion completion) {
    auto& state = animationState();
    bool animate = state.enabled && state.suppressed == 0 && context.duration > 0 && !context.changes.empty();
    if (!animate) {
        if (completion) {
            uikit_detail::after(std::max(0.0, context.delay), [completion] { completion(true); });
        }
        return;
    }
    auto delegate = make<UIViewAnimationState>();
    delegate->completion = std::move(completion);
    delegate->pending = static_cast<int>(context.changes.size());
    delegate->interactive = context.interactive;
    double begin = context.delay > 0 ? CACurrentMediaTime() + context.delay : 0;
    auto timing = curveFunction(context.options);
    for (auto& change : context.changes) {
        Ref<CAAnimation> animation;
        auto key = NSString::from(change.key);
        if (change.key == "contents") {
            // A transition: it changes no value, it only takes its time.
            animation = CAAnimation::animation();
        } else {
            Ref<CABasicAnimation> basic;
            if (context.spring) {
                auto spring = CASpringAnimation::animationWithKeyPath(key);
                configureSpring(*spring, context.duration, context.damping, context.velocity);
                basic = spring;
            } else {
                basic = CABasicAnimation::animationWithKeyPath(key);
                basic->setTimingFunction(timing);
            }
            basic->setFromValue(change.from);
            basic->setToValue(ca_detail::layerValueForKeyPath(*change.layer, change.key));
            animation = basic;
        }
        animation->setDuration(context.duration);
        animation->setBeginTime(begin);
        if (begin > 0) {
            animation->setFillMode(kCAFillModeBackwards());
        }
        if (context.options & UIViewAnimationOptionRepeat) {
            animation->setRepeatCount(HUGE_VALF);
        } else if (context.repeatCount > 0) {
            animation->setRepeatCount(context.repeatCount);
        }
        animation->setAutoreverses((context.options & UIViewAnimationOptionAutoreverse) || context.autoreverses);
        animation->setDelegate(delegate);
        change.layer->addAnimationForKey(animation, key);
    }
}

void runAnimation(UIViewAnimationContext context, const UIView::Animations& animations, UIView::Completion completion) {
    uikit_detail::assertMainThread("UIView animation");
    auto& state = animationState();
    context.interactive = (context.options & UIViewAnimationOptionAllowUserInteraction) != 0;
    state.stack.push_back(&context);
    try {
        if (animations) {
            animations();
        }
    } catch (...) {
        state.stack.pop_back();
        throw;
    }
    state.stack.pop_back();
    commitContext(context, std::move(completion));
}

UIViewAnimationContext makeContext(double duration, double delay, UIViewAnimationOptions options) {
    UIViewAnimationContext c;
    c.duration = duration;
    c.delay = delay;
    c.options = options;
    return c;
}

} // namespace

void UIView::noteAnimatable(const char* key) {
    auto& state = animationState();
    if (state.stack.empty() || state.suppressed > 0) {
        return;
    }
    UIViewAnimationContext& context = *state.stack.back();
    for (const auto& change : context.changes) {
        if (change.layer == layer_ && change.key == key) {
            return;
        }
    }
    // Without "begin from current state" a new animation starts from the model value, the end of
    // any animation of the property already running.
    id from = (context.options & UIViewAnimationOptionBeginFromCurrentState)
                  ? layer_->presentationValueForKeyPath(NSString::from(key))
                  : ca_detail::layerValueForKeyPath(*layer_, key);
    context.changes.push_back({layer_, key, from});
}

bool UIView::isAnimationBlockingTouches() const {
    auto keys = layer_->animationKeys();
    if (!keys) {
        return false;
    }
    for (NSUInteger i = 0; i < keys->count(); ++i) {
        auto animation = layer_->animationForKey(cast<NSString>(keys->objectAtIndex(i)));
        auto state = animation ? cast<UIViewAnimationState>(animation->delegate()) : nullptr;
        if (state && !state->interactive) {
            return true;
        }
    }
    return false;
}

id UIView::actionForLayerForKey(const Ref<CALayer>&, const Ref<NSString>&) {
    // A view's own layer does not animate by itself: its animations come from animation blocks.
    return NSNull::null();
}

void UIView::animateWithDurationAnimations(double duration, Animations animations) {
    runAnimation(makeContext(duration, 0, 0), animations, nullptr);
}

void UIView::animateWithDurationAnimationsCompletion(double duration, Animations animations, Completion completion) {
    runAnimation(makeContext(duration, 0, 0), animations, std::move(completion));
}

void UIView::animateWithDurationDelayOptionsAnimationsCompletion(double duration, double delay,
                                                                 UIViewAnimationOptions options, Animations animations,
                                                                 Completion completion) {
    runAnimation(makeContext(duration, delay, options), animations, std::move(completion));
}

void UIView::animateWithDurationDelayUsingSpringWithDampingInitialSpringVelocityOptionsAnimationsCompletion(
    double duration, double delay, CGFloat damping, CGFloat velocity, UIViewAnimationOptions options,
    Animations animations, Completion completion) {
    UIViewAnimationContext context = makeContext(duration, delay, options);
    context.spring = true;
    context.damping = damping;
    context.velocity = velocity;
    runAnimation(std::move(context), animations, std::move(completion));
}

void UIView::transitionWithViewDurationOptionsAnimationsCompletion(const Ref<UIView>& view, double duration,
                                                                   UIViewAnimationOptions options,
                                                                   Animations animations, Completion completion) {
    runAnimation(
        makeContext(duration, 0, options),
        [&] {
            if (view) {
                view->noteAnimatable("contents");
            }
            if (animations) {
                animations();
            }
        },
        std::move(completion));
}

void UIView::transitionFromViewToViewDurationOptionsCompletion(const Ref<UIView>& fromView, const Ref<UIView>& toView,
                                                               double duration, UIViewAnimationOptions options,
                                                               Completion completion) {
    Ref<UIView> parent = fromView ? fromView->superview() : nullptr;
    runAnimation(
        makeContext(duration, 0, options),
        [&] {
            if (parent && toView) {
                parent->insertSubviewAboveSubview(toView, fromView);
                parent->noteAnimatable("contents");
            }
            if (fromView) {
                fromView->removeFromSuperview();
            }
        },
        std::move(completion));
}

void UIView::beginAnimationsContext(const Ref<NSString>& animationID, void* context) {
    uikit_detail::assertMainThread("beginAnimations");
    auto& state = animationState();
    auto c = std::make_unique<UIViewAnimationContext>();
    c->older = true;
    c->animationID = animationID;
    c->userContext = context;
    // Interaction stays on for the older interface's animations.
    c->interactive = true;
    state.stack.push_back(c.get());
    state.older.push_back(std::move(c));
}

void UIView::commitAnimations() {
    auto& state = animationState();
    if (state.older.empty() || state.stack.empty() || state.stack.back() != state.older.back().get()) {
        return;
    }
    std::unique_ptr<UIViewAnimationContext> c = std::move(state.older.back());
    state.older.pop_back();
    state.stack.pop_back();
    id delegate = c->delegate;
    Ref<NSString> animationID = c->animationID;
    id userContext = c->userContext ? id(NSValue::valueWithPointer(c->userContext)) : id();
    SEL willStart = c->willStartSelector;
    SEL didStop = c->didStopSelector;
    if (delegate && !willStart.isNull() && delegate->respondsToSelector(willStart)) {
        uikit_detail::after(std::max(0.0, c->delay), [delegate, willStart, animationID, userContext] {
            std::vector<id> args{animationID, userContext};
            args.resize(std::min<size_t>(args.size(), willStart.argumentCount()));
            delegate->performSelectorWithArguments(willStart, args);
        });
    }
    Completion completion;
    if (delegate && !didStop.isNull() && delegate->respondsToSelector(didStop)) {
        completion = [delegate, didStop, animationID, userContext](bool finished) {
            std::vector<id> args{animationID, NSNumber::numberWithBool(finished), userContext};
            args.resize(std::min<size_t>(args.size(), didStop.argumentCount()));
            delegate->performSelectorWithArguments(didStop, args);
        };
    }
    commitContext(*c, std::move(completion));
}

namespace {
// The context of the older interface being built, or nullptr.
UIViewAnimationContext* olderContext() {
    auto& state = animationState();
    if (state.stack.empty() || !state.stack.back()->older) {
        return nullptr;
    }
    return state.stack.back();
}
} // namespace

void UIView::setAnimationDuration(double duration) {
    if (auto* c = olderContext()) {
        c->duration = duration;
    }
}

void UIView::setAnimationDelay(double delay) {
    if (auto* c = olderContext()) {
        c->delay = delay;
    }
}

void UIView::setAnimationCurve(UIViewAnimationCurve curve) {
    if (auto* c = olderContext()) {
        c->options = (c->options & ~static_cast<UIViewAnimationOptions>(3 << 16)) |
                     (static_cast<UIViewAnimationOptions>(curve & 3) << 16);
    }
}

void UIView::setAnimationRepeatCount(float count) {
    if (auto* c = olderContext()) {
        c->repeatCount = count;
    }
}

void UIView::setAnimationRepeatAutoreverses(bool autoreverses) {
    if (auto* c = olderContext()) {
        c->autoreverses = autoreverses;
    }
}

void UIView::setAnimationBeginsFromCurrentState(bool fromCurrentState) {
    if (auto* c = olderContext()) {
        c->options = fromCurrentState ? (c->options | UIViewAnimationOptionBeginFromCurrentState)
                                      : (c->options & ~UIViewAnimationOptionBeginFromCurrentState);
    }
}

void UIView::setAnimationDelegate(const id& delegate) {
    if (auto* c = olderContext()) {
        c->delegate = delegate;
    }
}

void UIView::setAnimationWillStartSelector(SEL selector) {
    if (auto* c = olderContext()) {
        c->willStartSelector = selector;
    }
}

void UIView::setAnimationDidStopSelector(SEL selector) {
    if (auto* c = olderContext()) {
        c->didStopSelector = selector;
    }
}

void UIView::performWithoutAnimation(Animations actions) {
    auto& state = animationState();
    ++state.suppressed;
    try {
        if (actions) {
            actions();
        }
    } catch (...) {
        --state.suppressed;
        throw;
    }
    --state.suppressed;
}

void UIView::setAnimationsEnabled(bool enabled) {
    animationState().enabled = enabled;
}

bool UIView::areAnimationsEnabled() {
    return animationState().enabled;
}

double UIView::inheritedAnimationDuration() {
    auto& state = animationState();
    return state.stack.empty() ? 0 : state.stack.back()->duration;
}

// MARK: - Class

NS_IMPLEMENT_CLASS(UIView, UIResponder) {
    b.method("willMoveToSuperview:", &UIView::willMoveToSuperview);
    b.method("didMoveToSuperview", &UIView::didMoveToSuperview);
    b.method("willMoveToWindow:", &UIView::willMoveToWindow);
    b.method("didMoveToWindow", &UIView::didMoveToWindow);
    b.method("didAddSubview:", &UIView::didAddSubview);
    b.method("willRemoveSubview:", &UIView::willRemoveSubview);
    b.method("layoutSubviews", &UIView::layoutSubviews);
    b.method("setNeedsLayout", &UIView::setNeedsLayout);
    b.method("layoutIfNeeded", &UIView::layoutIfNeeded);
    b.method("setNeedsDisplay", &UIView::setNeedsDisplay);
    b.method("drawRect:", &UIView::drawRect);
    b.methodBlock("displayLayer:", [](UIView* self, const id&) { self->displayIfNeeded(); });
    b.methodBlock("drawLayer:inContext:", [](UIView* self, const id&, const id& context) {
        uikit_detail::drawLook(self, cast<CGContext>(context));
    });
    b.method("updateConstraints", &UIView::updateConstraints);
    b.method("setNeedsUpdateConstraints", &UIView::setNeedsUpdateConstraints);
    b.method("sizeThatFits:", &UIView::sizeThatFits);
    b.method("sizeToFit", &UIView::sizeToFit);
    b.method("intrinsicContentSize", &UIView::intrinsicContentSize);
    b.method("hitTest:withEvent:", &UIView::hitTestWithEvent);
    b.method("actionForLayer:forKey:", &UIView::actionForLayerForKey);
    b.method("pointInside:withEvent:", &UIView::pointInsideWithEvent);
    b.method("addSubview:", &UIView::addSubview);
    b.method("removeFromSuperview", &UIView::removeFromSuperview);
    b.method("addGestureRecognizer:", &UIView::addGestureRecognizer);
    b.method("removeGestureRecognizer:", &UIView::removeGestureRecognizer);
    b.method("addConstraint:", &UIView::addConstraint);
    b.method("addMotionEffect:", &UIView::addMotionEffect);
    b.method("removeMotionEffect:", &UIView::removeMotionEffect);
    b.property("motionEffects", &UIView::motionEffects, &UIView::setMotionEffects);
    b.property("isAccessibilityElement", &UIView::isAccessibilityElement, &UIView::setIsAccessibilityElement,
               "setter=setIsAccessibilityElement:");
    b.property("accessibilityLabel", &UIView::accessibilityLabel, &UIView::setAccessibilityLabel, "copy");
    b.property("accessibilityIdentifier", &UIView::accessibilityIdentifier, &UIView::setAccessibilityIdentifier,
               "copy");
    b.method("removeConstraint:", &UIView::removeConstraint);
    b.method("viewWithTag:", &UIView::viewWithTag);
    b.method("endEditing:", &UIView::endEditing);
    b.property("frame", &UIView::frame, &UIView::setFrame);
    b.property("bounds", &UIView::bounds, &UIView::setBounds);
    b.property("center", &UIView::center, &UIView::setCenter);
    b.property("transform", &UIView::transform, &UIView::setTransform);
    b.property("alpha", &UIView::alpha, &UIView::setAlpha);
    b.property("hidden", &UIView::isHidden, &UIView::setHidden);
    b.property("opaque", &UIView::isOpaque, &UIView::setOpaque);
    b.property("backgroundColor", &UIView::backgroundColor, &UIView::setBackgroundColor);
    b.property("tintColor", &UIView::tintColor, &UIView::setTintColor);
    b.property("tag", &UIView::tag, &UIView::setTag);
    b.property("userInteractionEnabled", &UIView::isUserInteractionEnabled, &UIView::setUserInteractionEnabled);
    b.property("exclusiveTouch", &UIView::isExclusiveTouch, &UIView::setExclusiveTouch);
    b.property("multipleTouchEnabled", &UIView::isMultipleTouchEnabled, &UIView::setMultipleTouchEnabled);
    b.property("clipsToBounds", &UIView::clipsToBounds, &UIView::setClipsToBounds);
    b.property("contentMode", &UIView::contentMode, &UIView::setContentMode);
    b.property("autoresizingMask", &UIView::autoresizingMask, &UIView::setAutoresizingMask);
    b.property("translatesAutoresizingMaskIntoConstraints", &UIView::translatesAutoresizingMaskIntoConstraints,
               &UIView::setTranslatesAutoresizingMaskIntoConstraints);
    b.readonlyProperty("superview", &UIView::superview);
    b.readonlyProperty("subviews", &UIView::subviews);
    b.readonlyProperty("window", &UIView::window);
    b.readonlyProperty("layer", &UIView::layer);
    b.readonlyProperty("constraints", &UIView::constraints);
    b.readonlyProperty("gestureRecognizers", &UIView::gestureRecognizers);
}

UIView::UIView() : UIView(CGRectZero) {}

UIView::UIView(CGRect frame) : UIView(frame, make<CALayer>()) {}

UIView::UIView(CGRect frame, Ref<CALayer> layer) : layer_(std::move(layer)) {
    if (!layer_) {
        layer_ = make<CALayer>();
    }
    layer_->setDelegate(id(this));
    layer_->setTakesImplicitActions(false);
    layer_->setFrame(frame);
    // Drawn once when first shown, like every view.
    needsDisplay_ = true;
    layer_->setNeedsDisplay();
}

UIView::~UIView() {
    for (auto& sub : subviews_) {
        sub->superview_ = nullptr;
    }
}

// MARK: - Geometry

CGRect UIView::frame() const {
    return layer_->frame();
}

void UIView::setFrame(CGRect frame) {
    CGSize old = layer_->bounds().size;
    noteAnimatable("position");
    noteAnimatable("bounds");
    changeValueForKey("frame", [&] { layer_->setFrame(frame); });
    if (layer_->bounds().size != old) {
        boundsSizeDidChange(old);
    }
}

CGRect UIView::bounds() const {
    return layer_->bounds();
}

void UIView::setBounds(CGRect bounds) {
    CGSize old = layer_->bounds().size;
    noteAnimatable("bounds");
    changeValueForKey("bounds", [&] { layer_->setBounds(CGRectStandardize(bounds)); });
    if (layer_->bounds().size != old) {
        boundsSizeDidChange(old);
    }
}

CGPoint UIView::center() const {
    return layer_->position();
}

void UIView::setCenter(CGPoint center) {
    noteAnimatable("position");
    changeValueForKey("center", [&] { layer_->setPosition(center); });
}

CGAffineTransform UIView::transform() const {
    return layer_->affineTransform();
}

void UIView::setTransform(CGAffineTransform transform) {
    noteAnimatable("transform");
    changeValueForKey("transform", [&] { layer_->setAffineTransform(transform); });
}

void UIView::boundsSizeDidChange(CGSize oldSize) {
    if (autoresizesSubviews_) {
        autoresizeSubviews(oldSize);
    }
    setNeedsLayout();
}

void UIView::autoresizeSubviews(CGSize oldSize) {
    CGSize newSize = bounds().size;
    auto distribute = [](CGFloat delta, bool flexA, CGFloat a, bool flexB, CGFloat b, bool flexC, CGFloat c,
                         CGFloat out[3]) {
        out[0] = out[1] = out[2] = 0;
        CGFloat total = (flexA ? a : 0) + (flexB ? b : 0) + (flexC ? c : 0);
        int count = int(flexA) + int(flexB) + int(flexC);
        if (count == 0) {
            return;
        }
        bool flex[3] = {flexA, flexB, flexC};
        CGFloat size[3] = {a, b, c};
        for (int i = 0; i < 3; ++i) {
            if (flex[i]) {
                out[i] = total > 0 ? delta * size[i] / total : delta / count;
            }
        }
    };
    for (auto& sub : std::vector<Ref<UIView>>(subviews_)) {
        UIViewAutoresizing m = sub->autoresizingMask_;
        if (m == UIViewAutoresizingNone || !sub->translatesAutoresizing_) {
            continue;
        }
        CGRect f = sub->frame();
        CGFloat h[3], v[3];
        distribute(newSize.width - oldSize.width, m & UIViewAutoresizingFlexibleLeftMargin, f.origin.x,
                   m & UIViewAutoresizingFlexibleWidth, f.size.width, m & UIViewAutoresizingFlexibleRightMargin,
                   oldSize.width - f.origin.x - f.size.width, h);
        distribute(newSize.height - oldSize.height, m & UIViewAutoresizingFlexibleTopMargin, f.origin.y,
                   m & UIViewAutoresizingFlexibleHeight, f.size.height, m & UIViewAutoresizingFlexibleBottomMargin,
                   oldSize.height - f.origin.y - f.size.height, v);
        sub->setFrame(CGRectMake(f.origin.x + h[0], f.origin.y + v[0], std::max(0.0, f.size.width + h[1]),
                                 std::max(0.0, f.size.height + v[1])));
    }
}

// MARK: - Look

CGFloat UIView::alpha() const {
    return layer_->opacity();
}

void UIView::setAlpha(CGFloat alpha) {
    uikit_detail::viewsOnShowChanged();
    noteAnimatable("opacity");
    changeValueForKey("alpha", [&] { layer_->setOpacity(static_cast<float>(alpha)); });
}

void UIView::setHidden(bool hidden) {
    uikit_detail::viewsOnShowChanged();
    changeValueForKey("hidden", [&] {
        hidden_ = hidden;
        layer_->setHidden(hidden);
    });
}

bool UIView::isOpaque() const {
    return layer_->isOpaque();
}

void UIView::setOpaque(bool opaque) {
    layer_->setOpaque(opaque);
}

void UIView::setBackgroundColor(const Ref<UIColor>& color) {
    noteAnimatable("backgroundColor");
    changeValueForKey("backgroundColor", [&] {
        backgroundColor_ = color;
        layer_->setBackgroundColor(color ? color->CGColor() : nullptr);
    });
}

Ref<UIColor> UIView::tintColor() const {
    for (const UIView* v = this; v;) {
        if (v->tintColor_) {
            return v->tintColor_;
        }
        auto parent = v->superview();
        v = parent.get();
    }
    return UIColor::systemBlueColor();
}

void UIView::setTintColor(const Ref<UIColor>& color) {
    changeValueForKey("tintColor", [&] { tintColor_ = color; });
}

void UIView::setTag(NSInteger tag) {
    changeValueForKey("tag", [&] { tag_ = tag; });
}

void UIView::setUserInteractionEnabled(bool enabled) {
    changeValueForKey("userInteractionEnabled", [&] { userInteractionEnabled_ = enabled; });
}

bool UIView::clipsToBounds() const {
    return layer_->masksToBounds();
}

void UIView::setClipsToBounds(bool clips) {
    layer_->setMasksToBounds(clips);
}

// MARK: - Tree

Ref<NSArray> UIView::subviews() const {
    return NSArray::arrayWithRefs(subviews_);
}

Ref<UIWindow> UIView::window() const {
    const UIView* v = this;
    Ref<UIView> hold;
    while (true) {
        auto parent = v->superview();
        if (!parent) {
            break;
        }
        hold = parent;
        v = hold.get();
    }
    return cast<UIWindow>(const_cast<UIView*>(v));
}

void UIView::moveToWindow(UIView* view, const Ref<UIWindow>& window, bool did) {
    Ref<UIView> keep(view);
    if (did) {
        send(view, "didMoveToWindow");
        view->windowDidChange();
        if (window && (view->needsLayout_ || view->needsDisplay_ || view->needsUpdateConstraints_)) {
            UIWindow::scheduleLayoutPass();
        }
    } else {
        if (window && !view->appearanceApplied_) {
            view->appearanceApplied_ = true;
            UIAppearance::applyToView(view);
        }
        send(view, "willMoveToWindow:", {window});
    }
    for (auto& sub : std::vector<Ref<UIView>>(view->subviews_)) {
        moveToWindow(sub.get(), window, did);
    }
}

void UIView::windowDidChange() {
    if (auto vc = controller_.lock()) {
        vc->viewDidChangeWindow();
    }
}

void UIView::detach(UIView* view) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](const Ref<UIView>& v) { return v.get() == view; });
    if (it != subviews_.end()) {
        view->layer_->removeFromSuperlayer();
        subviews_.erase(it);
    }
}

namespace {
// Whether a constraint's item (a view, or a layout guide through the view that owns it) lies in the
// subtree of `root`.
bool itemInSubtree(const id& item, const Ref<UIView>& root) {
    Ref<UIView> view = cast<UIView>(item);
    if (!view) {
        if (auto guide = cast<UILayoutGuide>(item)) {
            view = guide->owningView();
        }
    }
    return view && (view == root || view->isDescendantOfView(root));
}

// A view leaving its superview takes its constraints to the views it leaves behind with it: the
// constraints installed on the old superview or above that name the view or one of its descendants
// are deactivated.
void deactivateConstraintsLeaving(const Ref<UIView>& oldSuperview, const Ref<UIView>& view) {
    for (Ref<UIView> host = oldSuperview; host; host = host->superview()) {
        std::vector<Ref<NSLayoutConstraint>> leaving;
        for (const auto& constraint : host->constraintList()) {
            if (itemInSubtree(constraint->firstItem(), view) || itemInSubtree(constraint->secondItem(), view)) {
                leaving.push_back(constraint);
            }
        }
        for (const auto& constraint : leaving) {
            host->removeConstraint(constraint);
        }
    }
}
} // namespace

void UIView::attach(const Ref<UIView>& view, size_t index) {
    uikit_detail::assertMainThread("addSubview");
    if (!view) {
        return;
    }
    if (view.get() == this || isDescendantOfView(view)) {
        NSException::raise(NSInvalidArgumentException, "Can't add a view as a subview of itself or of a descendant");
    }
    Ref<UIView> keep = view;
    Ref<UIView> self(this);
    uikit_detail::viewsOnShowChanged();
    auto oldSuper = view->superview();
    if (oldSuper.get() == this) {
        // Reordering within the same superview: no hooks.
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        size_t current = static_cast<size_t>(it - subviews_.begin());
        subviews_.erase(it);
        if (index > current) {
            --index;
        }
        index = std::min(index, subviews_.size());
        subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
        if (index + 1 < subviews_.size()) {
            layer_->insertSublayerBelow(view->layer_, subviews_[index + 1]->layer_);
        } else {
            layer_->addSublayer(view->layer_);
        }
        return;
    }
    auto oldWindow = view->window();
    auto newWindow = window();
    if (oldSuper) {
        send(oldSuper, "willRemoveSubview:", {view});
    }
    send(view, "willMoveToSuperview:", {self});
    if (oldWindow != newWindow) {
        moveToWindow(view.get(), newWindow, false);
    }
    if (oldSuper) {
        deactivateConstraintsLeaving(oldSuper, view);
        oldSuper->detach(view.get());
    }
    index = std::min(index, subviews_.size());
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(index), view);
    if (index + 1 < subviews_.size()) {
        layer_->insertSublayerBelow(view->layer_, subviews_[index + 1]->layer_);
    } else {
        layer_->addSublayer(view->layer_);
    }
    view->superview_ = self;
    if (oldWindow != newWindow) {
        moveToWindow(view.get(), newWindow, true);
    }
    send(view, "didMoveToSuperview");
    send(self, "didAddSubview:", {view});
    setNeedsLayout();
}

void UIView::addSubview(const Ref<UIView>& view) {
    attach(view, subviews_.size());
}

void UIView::insertSubviewAtIndex(const Ref<UIView>& view, NSInteger index) {
    attach(view, index < 0 ? 0 : static_cast<size_t>(index));
}

void UIView::insertSubviewAboveSubview(const Ref<UIView>& view, const Ref<UIView>& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    attach(view, it == subviews_.end() ? subviews_.size() : static_cast<size_t>(it - subviews_.begin()) + 1);
}

void UIView::insertSubviewBelowSubview(const Ref<UIView>& view, const Ref<UIView>& sibling) {
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    attach(view, it == subviews_.end() ? subviews_.size() : static_cast<size_t>(it - subviews_.begin()));
}

void UIView::removeFromSuperview() {
    uikit_detail::assertMainThread("removeFromSuperview");
    auto parent = superview();
    if (!parent) {
        return;
    }
    Ref<UIView> self(this);
    uikit_detail::viewsOnShowChanged();
    auto oldWindow = window();
    if (auto responder = cast<UIView>(UIResponder::currentFirstResponder())) {
        if (responder.get() == this || responder->isDescendantOfView(self)) {
            responder->resignFirstResponder();
        }
    }
    send(parent, "willRemoveSubview:", {self});
    send(self, "willMoveToSuperview:", {nullptr});
    if (oldWindow) {
        moveToWindow(this, nullptr, false);
    }
    deactivateConstraintsLeaving(parent, self);
    parent->detach(this);
    superview_ = nullptr;
    if (oldWindow) {
        moveToWindow(this, nullptr, true);
    }
    send(self, "didMoveToSuperview");
    parent->setNeedsLayout();
}

void UIView::bringSubviewToFront(const Ref<UIView>& view) {
    if (view && view->superview().get() == this) {
        attach(view, subviews_.size());
    }
}

void UIView::sendSubviewToBack(const Ref<UIView>& view) {
    if (view && view->superview().get() == this) {
        attach(view, 0);
    }
}

void UIView::exchangeSubviewAtIndexWithSubviewAtIndex(NSInteger index1, NSInteger index2) {
    auto n = static_cast<NSInteger>(subviews_.size());
    if (index1 < 0 || index2 < 0 || index1 >= n || index2 >= n) {
        NSException::raise(NSRangeException, "subview index out of range");
    }
    std::swap(subviews_[static_cast<size_t>(index1)], subviews_[static_cast<size_t>(index2)]);
    for (auto& sub : subviews_) {
        layer_->addSublayer(sub->layer_);
    }
}

bool UIView::isDescendantOfView(const Ref<UIView>& view) const {
    if (!view) {
        return false;
    }
    for (Ref<UIView> v(const_cast<UIView*>(this)); v; v = v->superview()) {
        if (v == view) {
            return true;
        }
    }
    return false;
}

Ref<UIView> UIView::viewWithTag(NSInteger tag) const {
    if (tag_ == tag) {
        return Ref<UIView>(const_cast<UIView*>(this));
    }
    for (const auto& sub : subviews_) {
        if (auto found = sub->viewWithTag(tag)) {
            return found;
        }
    }
    return nullptr;
}

// MARK: - Layout

void UIView::setNeedsLayout() {
    if (needsLayout_) {
        return;
    }
    needsLayout_ = true;
    if (window()) {
        UIWindow::scheduleLayoutPass();
    }
}

void UIView::layoutIfNeeded() {
    uikit_detail::assertMainThread("layoutIfNeeded");
    Ref<UIView> top(this);
    for (auto v = superview(); v; v = v->superview()) {
        if (v->needsLayout_) {
            top = v;
        }
    }
    top->updateConstraintsIfNeeded();
    top->layoutBelow();
}

void UIView::layoutBelow() {
    Ref<UIView> self(this);
    if (needsUpdateConstraints_) {
        needsUpdateConstraints_ = false;
        send(self, "updateConstraints");
    }
    if (needsLayout_ && !inLayout_) {
        needsLayout_ = false;
        inLayout_ = true;
        try {
            auto vc = controller_.lock();
            if (vc) {
                send(vc, "viewWillLayoutSubviews");
            }
            send(self, "layoutSubviews");
            if (vc) {
                send(vc, "viewDidLayoutSubviews");
            }
        } catch (...) {
            inLayout_ = false;
            throw;
        }
        inLayout_ = false;
    }
    for (auto& sub : std::vector<Ref<UIView>>(subviews_)) {
        sub->layoutBelow();
    }
}

void UIView::layoutSubviews() {
    uikit_detail::LayoutEngine::layoutSubviewsOfView(this);
}

CGSize UIView::sizeThatFits(CGSize) const {
    return bounds().size;
}

void UIView::sizeToFit() {
    CGSize size = sizeThatFits(bounds().size);
    CGRect f = frame();
    setFrame(CGRectMake(f.origin.x, f.origin.y, size.width, size.height));
}

CGSize UIView::intrinsicContentSize() const {
    return CGSizeMake(UIViewNoIntrinsicMetric, UIViewNoIntrinsicMetric);
}

void UIView::invalidateIntrinsicContentSize() {
    if (auto parent = superview()) {
        if (translatesAutoresizing_) {
            parent->setNeedsLayout();
        } else {
            uikit_detail::LayoutEngine::invalidate(parent.get());
        }
    }
}

void UIView::setTranslatesAutoresizingMaskIntoConstraints(bool translates) {
    if (translates == translatesAutoresizing_) {
        return;
    }
    translatesAutoresizing_ = translates;
    if (auto parent = superview()) {
        uikit_detail::LayoutEngine::invalidate(parent.get());
    }
}

void UIView::setLayoutMargins(UIEdgeInsets margins) {
    layoutMargins_ = margins;
    uikit_detail::LayoutEngine::invalidate(this);
}

UIEdgeInsets UIView::safeAreaInsets() const {
    auto win = window();
    if (!win) {
        return UIEdgeInsetsZero;
    }
    UIEdgeInsets screen = UIScreen::mainScreen()->safeAreaInsets();
    CGRect w = win->bounds();
    CGRect mine = convertRectToView(bounds(), nullptr);
    UIEdgeInsets out;
    out.top = std::max(0.0, screen.top - mine.origin.y);
    out.left = std::max(0.0, screen.left - mine.origin.x);
    out.bottom = std::max(0.0, CGRectGetMaxY(mine) - (w.size.height - screen.bottom));
    out.right = std::max(0.0, CGRectGetMaxX(mine) - (w.size.width - screen.right));
    return out;
}

// MARK: - Display

void UIView::setNeedsDisplay() {
    setNeedsDisplayInRect(bounds());
}

void UIView::setNeedsDisplayInRect(CGRect rect) {
    needsDisplay_ = true;
    dirtyRect_ = CGRectUnion(dirtyRect_, rect);
    layer_->setNeedsDisplay();
    if (window()) {
        UIWindow::scheduleLayoutPass();
    }
}

void UIView::displayIfNeeded() {
    if (!needsDisplay_) {
        return;
    }
    needsDisplay_ = false;
    dirtyRect_ = CGRectNull;
    layer_->displayIfNeeded();
    // drawRect: draws the whole backing store, which is made only when the drawing code asks for
    // the current context; a view that draws nothing has none.
    CGRect b = bounds();
    if (b.size.width <= 0 || b.size.height <= 0 || !std::isfinite(b.size.width) || !std::isfinite(b.size.height)) {
        layer_->setBackingStore(nullptr);
        return;
    }
    Ref<UIView> self(this);
    auto context = uikit_detail::drawWithLazyContext(b.size, false, UIScreen::mainScreen()->scale(), [&] {
        if (b.origin.x != 0 || b.origin.y != 0) {
            CGContextTranslateCTM(UIGraphicsGetCurrentContext(), -b.origin.x, -b.origin.y);
        }
        send(self, "drawRect:", {NSValue::valueWithValue(b)});
    });
    layer_->setBackingStore(context ? CGBitmapContextCreateImage(context) : nullptr);
}

bool UIView::drawViewHierarchyInRectAfterScreenUpdates(CGRect rect, bool afterUpdates) {
    auto c = UIGraphicsGetCurrentContext();
    CGRect b = bounds();
    if (!c || b.size.width <= 0 || b.size.height <= 0 || rect.size.width <= 0 || rect.size.height <= 0) {
        return false;
    }
    if (afterUpdates) {
        UIWindow::layoutAllWindows();
    }
    CGContextSaveGState(c);
    CGContextTranslateCTM(c, rect.origin.x, rect.origin.y);
    CGContextScaleCTM(c, rect.size.width / b.size.width, rect.size.height / b.size.height);
    layer_->renderInContext(c);
    CGContextRestoreGState(c);
    return true;
}

// MARK: - Constraints

Ref<NSArray> UIView::constraints() const {
    return NSArray::arrayWithRefs(constraints_);
}

void UIView::addConstraint(const Ref<NSLayoutConstraint>& constraint) {
    if (!constraint) {
        return;
    }
    if (std::find(constraints_.begin(), constraints_.end(), constraint) == constraints_.end()) {
        constraints_.push_back(constraint);
    }
    constraint->setInstalledView(Ref<UIView>(this));
    uikit_detail::LayoutEngine::invalidate(this);
}

void UIView::addConstraints(const Ref<NSArray>& constraints) {
    if (!constraints) {
        return;
    }
    for (const auto& c : *constraints) {
        addConstraint(cast<NSLayoutConstraint>(c));
    }
}

void UIView::removeConstraint(const Ref<NSLayoutConstraint>& constraint) {
    auto it = std::find(constraints_.begin(), constraints_.end(), constraint);
    if (it == constraints_.end()) {
        return;
    }
    Ref<NSLayoutConstraint> keep = constraint;
    constraints_.erase(it);
    if (constraint->installedView().get() == this) {
        constraint->setInstalledView(nullptr);
    }
    uikit_detail::LayoutEngine::invalidate(this);
}

void UIView::removeConstraints(const Ref<NSArray>& constraints) {
    if (!constraints) {
        return;
    }
    for (const auto& c : *constraints) {
        removeConstraint(cast<NSLayoutConstraint>(c));
    }
}

void UIView::setNeedsUpdateConstraints() {
    needsUpdateConstraints_ = true;
    if (window()) {
        UIWindow::scheduleLayoutPass();
    }
}

void UIView::updateConstraintsIfNeeded() {
    if (needsUpdateConstraints_) {
        needsUpdateConstraints_ = false;
        send(Ref<UIView>(this), "updateConstraints");
    }
    for (auto& sub : std::vector<Ref<UIView>>(subviews_)) {
        sub->updateConstraintsIfNeeded();
    }
}

void UIView::updateConstraints() {
    needsUpdateConstraints_ = false;
}

UILayoutPriority UIView::contentHuggingPriorityForAxis(UILayoutConstraintAxis axis) const {
    return hugging_[axis == UILayoutConstraintAxisVertical];
}

void UIView::setContentHuggingPriorityForAxis(UILayoutPriority priority, UILayoutConstraintAxis axis) {
    hugging_[axis == UILayoutConstraintAxisVertical] = priority;
}

UILayoutPriority UIView::contentCompressionResistancePriorityForAxis(UILayoutConstraintAxis axis) const {
    return compression_[axis == UILayoutConstraintAxisVertical];
}

void UIView::setContentCompressionResistancePriorityForAxis(UILayoutPriority priority, UILayoutConstraintAxis axis) {
    compression_[axis == UILayoutConstraintAxisVertical] = priority;
}

Ref<NSArray> UIView::layoutGuides() const {
    return NSArray::arrayWithRefs(guides_);
}

void UIView::addLayoutGuide(const Ref<UILayoutGuide>& guide) {
    if (!guide) {
        return;
    }
    if (auto owner = guide->owningView(); owner && owner.get() != this) {
        owner->removeLayoutGuide(guide);
    }
    if (std::find(guides_.begin(), guides_.end(), guide) == guides_.end()) {
        guides_.push_back(guide);
    }
    guide->setOwningView(Ref<UIView>(this));
}

void UIView::removeLayoutGuide(const Ref<UILayoutGuide>& guide) {
    auto it = std::find(guides_.begin(), guides_.end(), guide);
    if (it != guides_.end()) {
        (*it)->setOwningView(nullptr);
        guides_.erase(it);
    }
}

Ref<UILayoutGuide> UIView::safeAreaLayoutGuide() const {
    if (!safeAreaGuide_) {
        safeAreaGuide_ = make<UILayoutGuide>(UILayoutGuide::Kind::SafeArea);
        safeAreaGuide_->setOwningView(Ref<UIView>(const_cast<UIView*>(this)));
        safeAreaGuide_->setIdentifier("UIViewSafeAreaLayoutGuide"_ns);
    }
    return safeAreaGuide_;
}

Ref<UILayoutGuide> UIView::layoutMarginsGuide() const {
    if (!marginsGuide_) {
        marginsGuide_ = make<UILayoutGuide>(UILayoutGuide::Kind::Margins);
        marginsGuide_->setOwningView(Ref<UIView>(const_cast<UIView*>(this)));
        marginsGuide_->setIdentifier("UIViewLayoutMarginsGuide"_ns);
    }
    return marginsGuide_;
}

// MARK: - Hit-testing and coordinates

Ref<UIView> UIView::hitTestWithEvent(CGPoint point, const Ref<UIEvent>& event) {
    if (hidden_ || !userInteractionEnabled_ || alpha() < 0.01 || isAnimationBlockingTouches()) {
        return nullptr;
    }
    if (!pointInsideWithEvent(point, event)) {
        return nullptr;
    }
    Ref<UIView> self(this);
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        Ref<UIView> sub = *it;
        CGPoint inSub = sub->convertPointFromView(point, self);
        if (auto hit = sub->hitTestWithEvent(inSub, event)) {
            return hit;
        }
    }
    return self;
}

bool UIView::pointInsideWithEvent(CGPoint point, const Ref<UIEvent>&) {
    return CGRectContainsPoint(bounds(), point);
}

// Conversions go through the layers. Views of one tree convert through their common root; views
// of two trees (two windows, a window and a view that stands alone) meet in the space their roots
// stand in, where each root's own frame counts: the screen for a window, and for a view outside
// any window the space its frame is given in, as if its root stood in a window at the screen's
// origin. Nil is the view's window, or for a view outside any window that space.
CGPoint UIView::convertPointToView(CGPoint point, const Ref<UIView>& view) const {
    if (view) {
        return layer_->convertPointToLayer(point, view->layer_);
    }
    return window() ? layer_->convertPointToLayer(point, nullptr) : layer_->convertPointToRootSpace(point);
}

CGPoint UIView::convertPointFromView(CGPoint point, const Ref<UIView>& view) const {
    if (view) {
        return layer_->convertPointFromLayer(point, view->layer_);
    }
    return window() ? layer_->convertPointFromLayer(point, nullptr) : layer_->convertPointFromRootSpace(point);
}

namespace {

// The smallest rectangle that holds the four corners of `rect` converted by `convert` (a turned
// view's rectangle is wider than its own).
CGRect convertCorners(CGRect rect, const std::function<CGPoint(CGPoint)>& convert) {
    rect = CGRectStandardize(rect);
    const CGPoint corners[] = {rect.origin, CGPointMake(CGRectGetMaxX(rect), rect.origin.y),
                               CGPointMake(rect.origin.x, CGRectGetMaxY(rect)),
                               CGPointMake(CGRectGetMaxX(rect), CGRectGetMaxY(rect))};
    CGPoint first = convert(corners[0]);
    CGFloat minX = first.x, maxX = first.x, minY = first.y, maxY = first.y;
    for (size_t i = 1; i < 4; ++i) {
        CGPoint p = convert(corners[i]);
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    return CGRectMake(minX, minY, maxX - minX, maxY - minY);
}

} // namespace

CGRect UIView::convertRectToView(CGRect rect, const Ref<UIView>& view) const {
    return convertCorners(rect, [&](CGPoint p) { return convertPointToView(p, view); });
}

CGRect UIView::convertRectFromView(CGRect rect, const Ref<UIView>& view) const {
    return convertCorners(rect, [&](CGPoint p) { return convertPointFromView(p, view); });
}

// MARK: - Gesture recognizers

Ref<NSArray> UIView::gestureRecognizers() const {
    if (recognizers_.empty()) {
        return nullptr;
    }
    return NSArray::arrayWithRefs(recognizers_);
}

void UIView::addGestureRecognizer(const Ref<UIGestureRecognizer>& recognizer) {
    if (!recognizer) {
        return;
    }
    if (auto owner = recognizer->view(); owner && owner.get() != this) {
        owner->removeGestureRecognizer(recognizer);
    }
    if (std::find(recognizers_.begin(), recognizers_.end(), recognizer) == recognizers_.end()) {
        recognizers_.push_back(recognizer);
    }
    recognizer->setView(Ref<UIView>(this));
}

void UIView::removeGestureRecognizer(const Ref<UIGestureRecognizer>& recognizer) {
    auto it = std::find(recognizers_.begin(), recognizers_.end(), recognizer);
    if (it != recognizers_.end()) {
        Ref<UIGestureRecognizer> keep = *it;
        recognizers_.erase(it);
        keep->setView(nullptr);
    }
}

// MARK: - Motion effects and appearance

Ref<NSArray> UIView::motionEffects() const {
    return NSArray::arrayWithRefs(motionEffects_);
}

void UIView::setMotionEffects(const Ref<NSArray>& effects) {
    changeValueForKey("motionEffects", [&] {
        motionEffects_.clear();
        if (effects) {
            for (const auto& e : *effects) {
                auto effect = cast<UIMotionEffect>(e);
                if (effect && std::find(motionEffects_.begin(), motionEffects_.end(), effect) == motionEffects_.end()) {
                    motionEffects_.push_back(effect);
                }
            }
        }
    });
}

void UIView::addMotionEffect(const Ref<UIMotionEffect>& effect) {
    if (effect && std::find(motionEffects_.begin(), motionEffects_.end(), effect) == motionEffects_.end()) {
        changeValueForKey("motionEffects", [&] { motionEffects_.push_back(effect); });
    }
}

void UIView::removeMotionEffect(const Ref<UIMotionEffect>& effect) {
    auto it = std::find(motionEffects_.begin(), motionEffects_.end(), effect);
    if (it != motionEffects_.end()) {
        changeValueForKey("motionEffects", [&] { motionEffects_.erase(it); });
    }
}

void UIView::setIsAccessibilityElement(bool element) {
    changeValueForKey("isAccessibilityElement", [&] { accessibilityElement_ = element; });
}

void UIView::setAccessibilityLabel(const Ref<NSString>& label) {
    changeValueForKey("accessibilityLabel",
                      [&] { accessibilityLabel_ = label ? cast<NSString>(label->copy()) : nullptr; });
}

void UIView::setAccessibilityIdentifier(const Ref<NSString>& identifier) {
    changeValueForKey("accessibilityIdentifier",
                      [&] { accessibilityIdentifier_ = identifier ? cast<NSString>(identifier->copy()) : nullptr; });
}

Ref<UIAppearance> UIView::appearance(Class cls) {
    return UIAppearance::appearanceForClass(cls);
}

Ref<UIAppearance> UIView::appearanceWhenContainedIn(Class cls, const std::vector<Class>& containers) {
    return UIAppearance::appearanceForClass(cls, containers);
}

// MARK: - Responder chain

bool UIView::endEditing(bool force) {
    auto responder = cast<UIView>(UIResponder::currentFirstResponder());
    if (!responder || !responder->isDescendantOfView(Ref<UIView>(this))) {
        return true;
    }
    bool resigned = responder->resignFirstResponder();
    return force || resigned;
}

Ref<UIResponder> UIView::nextResponder() const {
    if (auto vc = controller_.lock()) {
        return vc;
    }
    return superview();
}

Ref<UIViewController> UIView::viewController() const {
    return controller_.lock();
}

void UIView::setViewController(const Ref<UIViewController>& controller) {
    controller_ = controller;
}

Ref<NSString> UIView::description() const {
    CGRect f = frame();
    std::string extra;
    if (hidden_) {
        extra += "; hidden = YES";
    }
    if (tag_ != 0) {
        extra += "; tag = " + std::to_string(tag_);
    }
    return NSString::stringWithFormat("<%s: %p; frame = (%g %g; %g %g)%s>", getClass()->name(),
                                      static_cast<const void*>(this), f.origin.x, f.origin.y, f.size.width,
                                      f.size.height, extra);
}
