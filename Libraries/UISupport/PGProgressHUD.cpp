#include <UISupport/PGProgressHUD.h>

#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSRunLoop.h>
#include <Foundation/NSTimer.h>
#include <Network/NSProgress.h>
#include <QuartzCore/CADisplayLink.h>
#include <Runtime/ProtocolBuilder.h>
#include <UIKit/UIActivityIndicatorView.h>
#include <UIKit/UIAppearance.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIInterpolatingMotionEffect.h>
#include <UIKit/UIMotionEffectGroup.h>
#include <UIKit/UIWindow.h>

#include <algorithm>

NS_IMPLEMENT_PROTOCOL(PGProgressHUDDelegate) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.optional("hudWasHidden:");
}

NS_IMPLEMENT_CLASS(PGProgressHUD, UIView) {
    using H = PGProgressHUD;
    b.method("handleGraceTimer:", &H::handleGraceTimer);
    b.method("handleMinShowTimer:", &H::handleMinShowTimer);
    b.method("handleHideTimer:", &H::handleHideTimer);
    b.method("updateProgressFromProgressObject", &H::updateProgressFromProgressObject);
    b.method("statusBarOrientationDidChange:", &H::statusBarOrientationDidChange);
    b.method("showAnimated:", &H::showAnimated);
    b.method("hideAnimated:", &H::hideAnimated);
    b.method("hideAnimated:afterDelay:", &H::hideAnimatedAfterDelay);
    b.property("progress", &H::progress, &H::setProgress);
    b.property("mode", &H::mode, &H::setMode);
    b.property("margin", &H::margin, &H::setMargin);
    b.property("labelText", &H::labelText, &H::setLabelText, "copy");
    b.property("detailsLabelText", &H::detailsLabelText, &H::setDetailsLabelText, "copy");
    b.property("yOffset", &H::yOffset, &H::setYOffset);
    b.property("removeFromSuperViewOnHide", &H::removeFromSuperViewOnHide, &H::setRemoveFromSuperViewOnHide);
    b.property("taskInProgress", &H::taskInProgress, &H::setTaskInProgress, "atomic");
}

namespace {

Ref<NSLayoutConstraint> makeConstraint(const id& a, NSLayoutAttribute aa, NSLayoutRelation relation, const id& b,
                                       NSLayoutAttribute ba, CGFloat constant = 0) {
    return NSLayoutConstraint::constraintWithItemAttributeRelatedByToItemAttributeMultiplierConstant(a, aa, relation, b,
                                                                                                     ba, 1.0, constant);
}

void applyPriority(float priority, const std::vector<Ref<NSLayoutConstraint>>& constraints) {
    for (const auto& c : constraints) {
        c->setPriority(priority);
    }
}

std::vector<Ref<NSLayoutConstraint>> visualFormat(const char* format, const Ref<NSDictionary>& metrics,
                                                  const Ref<NSDictionary>& views) {
    std::vector<Ref<NSLayoutConstraint>> out;
    auto array =
        NSLayoutConstraint::constraintsWithVisualFormatOptionsMetricsViews(NSString::from(format), 0, metrics, views);
    for (const id& c : *array) {
        out.push_back(cast<NSLayoutConstraint>(c));
    }
    return out;
}

Ref<NSArray> arrayOf(const std::vector<Ref<NSLayoutConstraint>>& constraints) {
    return NSArray::arrayWithRefs(constraints);
}

bool isVisibleInStack(const Ref<UIView>& view) {
    if (!view || view->isHidden()) {
        return false;
    }
    CGSize size = view->intrinsicContentSize();
    return !(size.width == 0 && size.height == 0);
}

void invalidate(const Weak<NSTimer>& timer) {
    if (auto t = timer.lock()) {
        t->invalidate();
    }
}

Ref<NSTimer> scheduleTimer(double seconds, PGProgressHUD* hud, SEL selector, const id& userInfo) {
    auto timer =
        NSTimer::timerWithTimeIntervalTargetSelectorUserInfoRepeats(seconds, id(hud), selector, userInfo, false);
    NSRunLoop::currentRunLoop()->addTimerForMode(timer, NSRunLoopCommonModes());
    return timer;
}

} // namespace

// MARK: Creation

PGProgressHUD::PGProgressHUD(CGRect frame) : UIView(frame) {
    commonInit();
}

PGProgressHUD::PGProgressHUD(const Ref<UIView>& view) : PGProgressHUD(view ? view->bounds() : CGRectZero) {}

PGProgressHUD::~PGProgressHUD() {
    unregisterFromNotifications();
}

void PGProgressHUD::commonInit() {
    DX_ASSERT_MAIN_THREAD();
    contentColor_ = UIColor::colorWithWhiteAlpha(0.0, 0.7f);
    setOpaque(false);
    setBackgroundColor(UIColor::clearColor());
    setAlpha(0.0);
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    layer()->setAllowsGroupOpacity(false);
    setupViews();
    updateIndicators();
    registerForNotifications();
}

void PGProgressHUD::setupViews() {
    Ref<UIColor> color = contentColor_;

    backgroundView_ = make<PGBackgroundView>(bounds());
    backgroundView_->setStyle(PGProgressHUDBackgroundStyleSolidColor);
    backgroundView_->setBackgroundColor(UIColor::clearColor());
    backgroundView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    backgroundView_->setAlpha(0.0);
    addSubview(backgroundView_);

    bezelView_ = make<PGBackgroundView>();
    bezelView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    bezelView_->layer()->setCornerRadius(5.0);
    bezelView_->setAlpha(0.0);
    addSubview(bezelView_);
    updateBezelMotionEffects();

    auto makeLabel = [&](CGFloat size) {
        auto label = make<UILabel>();
        label->setAdjustsFontSizeToFitWidth(false);
        label->setTextAlignment(NSTextAlignmentCenter);
        label->setTextColor(color);
        label->setFont(UIFont::boldSystemFontOfSize(size));
        label->setOpaque(false);
        label->setBackgroundColor(UIColor::clearColor());
        return label;
    };
    label_ = makeLabel(16);
    detailsLabel_ = makeLabel(12);
    detailsLabel_->setNumberOfLines(0);

    button_ = make<PGProgressHUDRoundedButton>();
    button_->titleLabel()->setTextAlignment(NSTextAlignmentCenter);
    button_->titleLabel()->setFont(UIFont::boldSystemFontOfSize(12));
    button_->setTitleColorForState(color, UIControlStateNormal);

    for (const Ref<UIView>& view : {Ref<UIView>(label_), Ref<UIView>(detailsLabel_), Ref<UIView>(button_)}) {
        view->setTranslatesAutoresizingMaskIntoConstraints(false);
        view->setContentCompressionResistancePriorityForAxis(998, UILayoutConstraintAxisHorizontal);
        view->setContentCompressionResistancePriorityForAxis(998, UILayoutConstraintAxisVertical);
        bezelView_->addSubview(view);
    }

    topSpacer_ = make<UIView>();
    topSpacer_->setTranslatesAutoresizingMaskIntoConstraints(false);
    topSpacer_->setHidden(true);
    bezelView_->addSubview(topSpacer_);
    bottomSpacer_ = make<UIView>();
    bottomSpacer_->setTranslatesAutoresizingMaskIntoConstraints(false);
    bottomSpacer_->setHidden(true);
    bezelView_->addSubview(bottomSpacer_);
}

// MARK: Class operations

Ref<PGProgressHUD> PGProgressHUD::showHUDAddedToAnimated(const Ref<UIView>& view, bool animated, Class cls) {
    DX_ASSERT_MAIN_THREAD();
    Ref<PGProgressHUD> hud;
    if (cls && cls != PGProgressHUD::class_()) {
        hud = cast<PGProgressHUD>(cls->createInstance());
        if (!hud) {
            NSException::raise(NSInvalidArgumentException, "A HUD class must derive from PGProgressHUD.");
        }
        hud->setFrame(view ? view->bounds() : CGRectZero);
    } else {
        hud = make<PGProgressHUD>(view);
    }
    hud->setRemoveFromSuperViewOnHide(true);
    if (view) {
        view->addSubview(hud);
    }
    hud->showAnimated(animated);
    return hud;
}

bool PGProgressHUD::hideHUDForViewAnimated(const Ref<UIView>& view, bool animated, Class cls) {
    DX_ASSERT_MAIN_THREAD();
    auto hud = HUDForView(view, cls);
    if (!hud) {
        return false;
    }
    hud->setRemoveFromSuperViewOnHide(true);
    hud->hideAnimated(animated);
    return true;
}

Ref<PGProgressHUD> PGProgressHUD::HUDForView(const Ref<UIView>& view, Class cls) {
    DX_ASSERT_MAIN_THREAD();
    if (!view) {
        return nullptr;
    }
    const auto& subviews = view->subviewList();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        if ((*it)->isKindOfClass(cls)) {
            auto hud = cast<PGProgressHUD>(*it);
            if (hud && !hud->hasFinished()) {
                return hud;
            }
        }
    }
    return nullptr;
}

// MARK: Showing and hiding

void PGProgressHUD::showAnimated(bool animated) {
    DX_ASSERT_MAIN_THREAD();
    invalidate(minShowTimer_);
    cancelDelayedHides();
    useAnimation_ = animated;
    finished_ = false;
    showing_ = true;
    if (graceTime_ > 0.0) {
        graceTimer_ = scheduleTimer(graceTime_, this, "handleGraceTimer:", nullptr);
    } else {
        showUsingAnimation(useAnimation_);
    }
}

void PGProgressHUD::hideAnimated(bool animated) {
    DX_ASSERT_MAIN_THREAD();
    invalidate(graceTimer_);
    useAnimation_ = animated;
    finished_ = true;
    if (minShowTime_ > 0.0 && showStarted_) {
        double elapsed = NSDate::date()->timeIntervalSinceDate(showStarted_);
        if (elapsed < minShowTime_) {
            minShowTimer_ = scheduleTimer(minShowTime_ - elapsed, this, "handleMinShowTimer:", nullptr);
            return;
        }
    }
    hideUsingAnimation(useAnimation_);
}

void PGProgressHUD::hideAnimatedAfterDelay(bool animated, double delay) {
    DX_ASSERT_MAIN_THREAD();
    auto timer = scheduleTimer(delay, this, "handleHideTimer:", box(animated));
    hideDelayTimer_ = timer;
    pendingHideTimers_.erase(std::remove_if(pendingHideTimers_.begin(), pendingHideTimers_.end(),
                                            [](const Weak<NSTimer>& t) { return t.expired(); }),
                             pendingHideTimers_.end());
    pendingHideTimers_.push_back(timer);
}

void PGProgressHUD::cancelDelayedHides() {
    auto timers = std::move(pendingHideTimers_);
    pendingHideTimers_.clear();
    for (const auto& timer : timers) {
        invalidate(timer);
    }
}

void PGProgressHUD::handleGraceTimer(const Ref<NSTimer>&) {
    if (!finished_) {
        showUsingAnimation(useAnimation_);
    }
}

void PGProgressHUD::handleMinShowTimer(const Ref<NSTimer>&) {
    hideUsingAnimation(useAnimation_);
}

void PGProgressHUD::handleHideTimer(const Ref<NSTimer>& timer) {
    auto flag = cast<NSNumber>(timer ? timer->userInfo() : nullptr);
    hideAnimated(flag && flag->boolValue());
}

void PGProgressHUD::showUsingAnimation(bool animated) {
    bezelView_->layer()->removeAllAnimations();
    backgroundView_->layer()->removeAllAnimations();
    invalidate(hideDelayTimer_);
    showStarted_ = NSDate::date();
    setAlpha(1.0);
    setNSProgressDisplayLinkEnabled(true);
    if (animated) {
        animateIn(true, animationType_, nullptr);
    } else {
        bezelView_->setAlpha(opacity_);
        backgroundView_->setAlpha(1.0);
    }
}

void PGProgressHUD::hideUsingAnimation(bool animated) {
    if (animated && showStarted_) {
        showStarted_ = nullptr;
        Ref<PGProgressHUD> self(this);
        animateIn(false, animationType_, [self](bool) { self->done(); });
    } else {
        showStarted_ = nullptr;
        bezelView_->setAlpha(0.0);
        backgroundView_->setAlpha(0.0);
        done();
    }
}

void PGProgressHUD::animateIn(bool animatingIn, PGProgressHUDAnimation type, std::function<void(bool)> completion) {
    if (type == PGProgressHUDAnimationZoom) {
        type = animatingIn ? PGProgressHUDAnimationZoomIn : PGProgressHUDAnimationZoomOut;
    }
    CGAffineTransform small = CGAffineTransformMakeScale(0.5, 0.5);
    CGAffineTransform large = CGAffineTransformMakeScale(1.5, 1.5);
    Ref<PGBackgroundView> bezel = bezelView_;
    if (animatingIn && bezel->alpha() == 0.0) {
        if (type == PGProgressHUDAnimationZoomIn) {
            bezel->setTransform(small);
        } else if (type == PGProgressHUDAnimationZoomOut) {
            bezel->setTransform(large);
        }
    }
    Ref<PGProgressHUD> self(this);
    auto animations = [self, bezel, animatingIn, type, small, large] {
        if (animatingIn) {
            bezel->setTransform(CGAffineTransformIdentity);
        } else if (type == PGProgressHUDAnimationZoomOut) {
            bezel->setTransform(small);
        } else if (type == PGProgressHUDAnimationZoomIn) {
            bezel->setTransform(large);
        }
        bezel->setAlpha(animatingIn ? self->opacity_ : 0.0);
        self->backgroundView_->setAlpha(animatingIn ? 1.0 : 0.0);
    };
    UIView::animateWithDurationDelayUsingSpringWithDampingInitialSpringVelocityOptionsAnimationsCompletion(
        0.3, 0.0, 1.0, 0.0, UIViewAnimationOptionBeginFromCurrentState, animations, std::move(completion));
}

void PGProgressHUD::done() {
    invalidate(hideDelayTimer_);
    setNSProgressDisplayLinkEnabled(false);
    if (!finished_) {
        // A show overtook this hiding: the HUD stays, and its showing has not ended.
        return;
    }
    setAlpha(0.0);
    if (removeFromSuperViewOnHide_) {
        removeFromSuperview();
    }
    if (!showing_) {
        return;
    }
    showing_ = false;
    if (auto block = completionBlock()) {
        block();
    }
    auto delegate = this->delegate();
    if (delegate && delegate->respondsToSelector("hudWasHidden:")) {
        delegate->performSelectorWithObject("hudWasHidden:", id(this));
    }
}

// MARK: Properties

PGProgressHUD::CompletionBlock PGProgressHUD::completionBlock() const {
    std::lock_guard lock(completionLock_);
    return completionBlock_;
}

void PGProgressHUD::setCompletionBlock(CompletionBlock block) {
    std::lock_guard lock(completionLock_);
    completionBlock_ = std::move(block);
}

void PGProgressHUD::setMode(PGProgressHUDMode mode) {
    DX_ASSERT_MAIN_THREAD();
    if (mode != mode_) {
        mode_ = mode;
        updateIndicators();
    }
}

void PGProgressHUD::setCustomView(const Ref<UIView>& view) {
    DX_ASSERT_MAIN_THREAD();
    if (view != customView_) {
        customView_ = view;
        if (mode_ == PGProgressHUDModeCustomView) {
            updateIndicators();
        }
    }
}

void PGProgressHUD::setOffset(CGPoint offset) {
    DX_ASSERT_MAIN_THREAD();
    if (!CGPointEqualToPoint(offset, offset_)) {
        offset_ = offset;
        setNeedsUpdateConstraints();
    }
}

void PGProgressHUD::setMargin(CGFloat margin) {
    DX_ASSERT_MAIN_THREAD();
    if (margin != margin_) {
        margin_ = margin;
        setNeedsUpdateConstraints();
    }
}

void PGProgressHUD::setMinSize(CGSize size) {
    DX_ASSERT_MAIN_THREAD();
    if (!CGSizeEqualToSize(size, minSize_)) {
        minSize_ = size;
        setNeedsUpdateConstraints();
    }
}

void PGProgressHUD::setSquare(bool square) {
    DX_ASSERT_MAIN_THREAD();
    if (square != square_) {
        square_ = square;
        setNeedsUpdateConstraints();
    }
}

void PGProgressHUD::setProgress(float progress) {
    DX_ASSERT_MAIN_THREAD();
    if (progress != progress_) {
        progress_ = progress;
        if (indicator_ && indicator_->respondsToSelector("setProgress:")) {
            indicator_->setValueForKey(box(progress), "progress"_ns);
        }
    }
}

void PGProgressHUD::setContentColor(const Ref<UIColor>& color) {
    DX_ASSERT_MAIN_THREAD();
    if (color != contentColor_ && !NSObjectsEqual(color, contentColor_)) {
        contentColor_ = color;
        updateViewsForColor(color);
    }
}

void PGProgressHUD::setDefaultMotionEffectsEnabled(bool enabled) {
    DX_ASSERT_MAIN_THREAD();
    if (enabled != defaultMotionEffectsEnabled_) {
        defaultMotionEffectsEnabled_ = enabled;
        updateBezelMotionEffects();
    }
}

void PGProgressHUD::setProgressObject(const Ref<NSProgress>& progress) {
    DX_ASSERT_MAIN_THREAD();
    if (progress != progressObject_) {
        progressObject_ = progress;
        setNSProgressDisplayLinkEnabled(true);
    }
}

Ref<NSTimer> PGProgressHUD::graceTimer() const {
    return graceTimer_.lock();
}
Ref<NSTimer> PGProgressHUD::minShowTimer() const {
    return minShowTimer_.lock();
}
Ref<NSTimer> PGProgressHUD::hideDelayTimer() const {
    return hideDelayTimer_.lock();
}
Ref<CADisplayLink> PGProgressHUD::progressObjectDisplayLink() const {
    return progressObjectDisplayLink_.lock();
}

// MARK: Indicators and colours

void PGProgressHUD::updateIndicators() {
    Ref<UIView> indicator = indicator_;
    bool isSpinner = cast<UIActivityIndicatorView>(indicator) != nullptr;
    bool isRound = cast<PGRoundProgressView>(indicator) != nullptr;
    auto replace = [&](const Ref<UIView>& next) {
        if (indicator) {
            indicator->removeFromSuperview();
        }
        indicator = next;
        if (next) {
            bezelView_->addSubview(next);
        }
    };
    switch (mode_) {
    case PGProgressHUDModeIndeterminate:
        if (!isSpinner) {
            auto spinner = make<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhiteLarge);
            spinner->startAnimating();
            replace(spinner);
        }
        break;
    case PGProgressHUDModeDeterminateHorizontalBar:
        replace(make<PGBarProgressView>());
        break;
    case PGProgressHUDModeDeterminate:
    case PGProgressHUDModeAnnularDeterminate:
        if (!isRound) {
            replace(make<PGRoundProgressView>());
        }
        if (mode_ == PGProgressHUDModeAnnularDeterminate) {
            cast<PGRoundProgressView>(indicator)->setAnnular(true);
        }
        break;
    case PGProgressHUDModeCustomView:
        if (customView_ != indicator) {
            replace(customView_);
        }
        break;
    case PGProgressHUDModeText:
        replace(nullptr);
        break;
    default:
        break;
    }
    if (indicator) {
        indicator->setTranslatesAutoresizingMaskIntoConstraints(false);
    }
    indicator_ = indicator;
    if (indicator && indicator->respondsToSelector("setProgress:")) {
        indicator->setValueForKey(box(progress_), "progress"_ns);
    }
    if (indicator) {
        indicator->setContentCompressionResistancePriorityForAxis(998, UILayoutConstraintAxisHorizontal);
        indicator->setContentCompressionResistancePriorityForAxis(998, UILayoutConstraintAxisVertical);
    }
    updateViewsForColor(contentColor_);
    setNeedsUpdateConstraints();
}

void PGProgressHUD::updateViewsForColor(const Ref<UIColor>& color) {
    if (!color) {
        return;
    }
    label_->setTextColor(color);
    detailsLabel_->setTextColor(color);
    button_->setTitleColorForState(color, UIControlStateNormal);

    Ref<UIColor> indicatorColor = activityIndicatorColor_ ? activityIndicatorColor_ : color;
    auto themed = [](Class cls, const char* key) {
        return UIView::appearanceWhenContainedIn(cls, {PGProgressHUD::class_()})->hasValueForKey(NSString::from(key));
    };
    if (auto spinner = cast<UIActivityIndicatorView>(indicator_)) {
        if (!themed(UIActivityIndicatorView::class_(), "color")) {
            spinner->setColor(indicatorColor);
        }
    } else if (auto round = cast<PGRoundProgressView>(indicator_)) {
        if (!themed(PGRoundProgressView::class_(), "progressTintColor")) {
            round->setProgressTintColor(indicatorColor);
        }
        if (!themed(PGRoundProgressView::class_(), "backgroundTintColor")) {
            round->setBackgroundTintColor(indicatorColor->colorWithAlphaComponent(0.1));
        }
    } else if (auto bar = cast<PGBarProgressView>(indicator_)) {
        if (!themed(PGBarProgressView::class_(), "progressColor")) {
            bar->setProgressColor(indicatorColor);
        }
        if (!themed(PGBarProgressView::class_(), "lineColor")) {
            bar->setLineColor(indicatorColor);
        }
    } else if (indicator_) {
        indicator_->setTintColor(indicatorColor);
    }
}

void PGProgressHUD::updateBezelMotionEffects() {
    if (defaultMotionEffectsEnabled_) {
        auto x =
            make<UIInterpolatingMotionEffect>("center.x"_ns, UIInterpolatingMotionEffectTypeTiltAlongHorizontalAxis);
        x->setMinimumRelativeValue(box(-10.0));
        x->setMaximumRelativeValue(box(10.0));
        auto y = make<UIInterpolatingMotionEffect>("center.y"_ns, UIInterpolatingMotionEffectTypeTiltAlongVerticalAxis);
        y->setMinimumRelativeValue(box(-10.0));
        y->setMaximumRelativeValue(box(10.0));
        auto group = make<UIMotionEffectGroup>();
        group->setMotionEffects(NSArray::arrayWithObjects({x, y}));
        bezelView_->addMotionEffect(group);
    } else {
        auto effects = bezelView_->motionEffects();
        for (const id& effect : *effects) {
            bezelView_->removeMotionEffect(cast<UIMotionEffect>(effect));
        }
    }
}

// MARK: Layout

void PGProgressHUD::updateConstraints() {
    Ref<UIView> bezel = bezelView_;
    Ref<UIView> top = topSpacer_;
    Ref<UIView> bottom = bottomSpacer_;
    auto metrics = NSDictionary::dictionaryWithObjectsForKeys(NSArray::arrayWithObjects({box(margin_)}),
                                                              NSArray::arrayWithObjects({"margin"_ns}));
    std::vector<Ref<UIView>> subviews{top};
    if (indicator_) {
        subviews.push_back(indicator_);
    }
    subviews.push_back(label_);
    subviews.push_back(detailsLabel_);
    subviews.push_back(button_);
    subviews.push_back(bottom);

    removeConstraints(constraints());
    top->removeConstraints(top->constraints());
    bottom->removeConstraints(bottom->constraints());
    if (bezelConstraints_) {
        bezel->removeConstraints(bezelConstraints_);
        bezelConstraints_ = nullptr;
    }

    std::vector<Ref<NSLayoutConstraint>> centering{
        makeConstraint(bezel, NSLayoutAttributeCenterX, NSLayoutRelationEqual, id(this), NSLayoutAttributeCenterX,
                       offset_.x),
        makeConstraint(bezel, NSLayoutAttributeCenterY, NSLayoutRelationEqual, id(this), NSLayoutAttributeCenterY,
                       offset_.y)};
    applyPriority(998, centering);
    addConstraints(arrayOf(centering));

    auto bezelViews = NSDictionary::dictionaryWithObjectsForKeys(NSArray::arrayWithObjects({bezel}),
                                                                 NSArray::arrayWithObjects({"bezel"_ns}));
    auto sides = visualFormat("|-(>=margin)-[bezel]-(>=margin)-|", metrics, bezelViews);
    auto vertical = visualFormat("V:|-(>=margin)-[bezel]-(>=margin)-|", metrics, bezelViews);
    sides.insert(sides.end(), vertical.begin(), vertical.end());
    applyPriority(999, sides);
    addConstraints(arrayOf(sides));

    std::vector<Ref<NSLayoutConstraint>> bezelList;
    if (!CGSizeEqualToSize(minSize_, CGSizeZero)) {
        std::vector<Ref<NSLayoutConstraint>> minimum{
            makeConstraint(bezel, NSLayoutAttributeWidth, NSLayoutRelationGreaterThanOrEqual, nullptr,
                           NSLayoutAttributeNotAnAttribute, minSize_.width),
            makeConstraint(bezel, NSLayoutAttributeHeight, NSLayoutRelationGreaterThanOrEqual, nullptr,
                           NSLayoutAttributeNotAnAttribute, minSize_.height)};
        applyPriority(997, minimum);
        bezelList.insert(bezelList.end(), minimum.begin(), minimum.end());
    }
    if (square_) {
        auto equal =
            makeConstraint(bezel, NSLayoutAttributeHeight, NSLayoutRelationEqual, bezel, NSLayoutAttributeWidth);
        equal->setPriority(997);
        bezelList.push_back(equal);
    }
    top->addConstraint(makeConstraint(top, NSLayoutAttributeHeight, NSLayoutRelationGreaterThanOrEqual, nullptr,
                                      NSLayoutAttributeNotAnAttribute, margin_));
    bottom->addConstraint(makeConstraint(bottom, NSLayoutAttributeHeight, NSLayoutRelationGreaterThanOrEqual, nullptr,
                                         NSLayoutAttributeNotAnAttribute, margin_));
    bezelList.push_back(
        makeConstraint(top, NSLayoutAttributeHeight, NSLayoutRelationEqual, bottom, NSLayoutAttributeHeight));

    std::vector<Ref<NSLayoutConstraint>> padding;
    for (size_t i = 0; i < subviews.size(); ++i) {
        const auto& view = subviews[i];
        bezelList.push_back(
            makeConstraint(view, NSLayoutAttributeCenterX, NSLayoutRelationEqual, bezel, NSLayoutAttributeCenterX));
        auto views = NSDictionary::dictionaryWithObjectsForKeys(NSArray::arrayWithObjects({view}),
                                                                NSArray::arrayWithObjects({"view"_ns}));
        auto edges = visualFormat("|-(>=margin)-[view]-(>=margin)-|", metrics, views);
        bezelList.insert(bezelList.end(), edges.begin(), edges.end());
        if (i == 0) {
            bezelList.push_back(
                makeConstraint(view, NSLayoutAttributeTop, NSLayoutRelationEqual, bezel, NSLayoutAttributeTop));
        } else {
            if (i == subviews.size() - 1) {
                bezelList.push_back(makeConstraint(view, NSLayoutAttributeBottom, NSLayoutRelationEqual, bezel,
                                                   NSLayoutAttributeBottom));
            }
            auto gap = makeConstraint(view, NSLayoutAttributeTop, NSLayoutRelationEqual, subviews[i - 1],
                                      NSLayoutAttributeBottom);
            bezelList.push_back(gap);
            padding.push_back(gap);
        }
    }
    bezelConstraints_ = arrayOf(bezelList);
    bezel->addConstraints(bezelConstraints_);
    paddingConstraints_ = arrayOf(padding);
    updatePaddingConstraints();
    UIView::updateConstraints();
}

void PGProgressHUD::layoutSubviews() {
    if (!needsUpdateConstraints()) {
        updatePaddingConstraints();
    }
    UIView::layoutSubviews();
}

void PGProgressHUD::updatePaddingConstraints() {
    if (!paddingConstraints_) {
        return;
    }
    bool hasVisibleAncestors = false;
    for (const id& object : *paddingConstraints_) {
        auto padding = cast<NSLayoutConstraint>(object);
        auto lower = cast<UIView>(padding->firstItem());
        auto upper = cast<UIView>(padding->secondItem());
        bool lowerVisible = isVisibleInStack(lower);
        bool upperVisible = isVisibleInStack(upper);
        CGFloat constant = lowerVisible && (upperVisible || hasVisibleAncestors) ? 4.0 : 0.0;
        if (padding->constant() != constant) {
            padding->setConstant(constant);
        }
        hasVisibleAncestors = hasVisibleAncestors || upperVisible;
    }
}

void PGProgressHUD::didMoveToSuperview() {
    updateForCurrentOrientationAnimated(false);
}

void PGProgressHUD::updateForCurrentOrientationAnimated(bool animated) {
    auto superview = this->superview();
    if (superview) {
        setBounds(superview->bounds());
    }
    if (!PGIsLegacySystem() || !superview || !superview->isKindOfClass(UIWindow::class_())) {
        return;
    }
    auto orientation = UIApplication::sharedApplication()->statusBarOrientation();
    CGFloat angle = 0;
    if (orientation == UIInterfaceOrientationLandscapeRight || orientation == UIInterfaceOrientationLandscapeLeft) {
        angle = orientation == UIInterfaceOrientationLandscapeRight ? M_PI / 2 : -M_PI / 2;
        CGRect b = bounds();
        setBounds(CGRectMake(0, 0, b.size.height, b.size.width));
    } else if (orientation == UIInterfaceOrientationPortraitUpsideDown) {
        angle = M_PI;
    }
    Ref<PGProgressHUD> self(this);
    auto rotate = [self, angle] { self->setTransform(CGAffineTransformMakeRotation(angle)); };
    if (animated) {
        UIView::animateWithDurationAnimations(0.3, rotate);
    } else {
        rotate();
    }
}

void PGProgressHUD::registerForNotifications() {
    NSNotificationCenter::defaultCenter()->addObserverSelectorNameObject(
        id(this), "statusBarOrientationDidChange:", UIApplicationDidChangeStatusBarOrientationNotification(), nullptr);
}

void PGProgressHUD::unregisterFromNotifications() {
    NSNotificationCenter::defaultCenter()->removeObserverNameObject(
        id(this), UIApplicationDidChangeStatusBarOrientationNotification(), nullptr);
}

void PGProgressHUD::statusBarOrientationDidChange(const Ref<NSNotification>&) {
    if (superview()) {
        updateForCurrentOrientationAnimated(true);
    }
}

// MARK: Progress object

void PGProgressHUD::setNSProgressDisplayLinkEnabled(bool enabled) {
    if (enabled && progressObject_) {
        if (!progressObjectDisplayLink()) {
            setProgressObjectDisplayLink(
                CADisplayLink::displayLinkWithTargetSelector(id(this), "updateProgressFromProgressObject"));
        }
    } else {
        setProgressObjectDisplayLink(nullptr);
    }
}

void PGProgressHUD::setProgressObjectDisplayLink(const Ref<CADisplayLink>& link) {
    auto current = progressObjectDisplayLink();
    if (link == current) {
        return;
    }
    if (current) {
        current->invalidate();
    }
    progressObjectDisplayLink_ = link;
    if (link) {
        link->addToRunLoopForMode(NSRunLoop::mainRunLoop(), NSDefaultRunLoopMode());
    }
}

void PGProgressHUD::updateProgressFromProgressObject() {
    if (progressObject_) {
        setProgress(static_cast<float>(progressObject_->fractionCompleted()));
    }
}
