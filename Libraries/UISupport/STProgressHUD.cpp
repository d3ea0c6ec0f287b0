#include <UISupport/STProgressHUD.h>

#include <Dispatch/DispatchOnce.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSRunLoop.h>
#include <QuartzCore/CATransaction.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSString+NSStringDrawing.h>
#include <UIKit/UIAccessibility.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIInterpolatingMotionEffect.h>
#include <UIKit/UIMotionEffectGroup.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UITouch.h>
#include <UIKit/UIViewController.h>
#include <UIKit/UIWindow.h>
#include <UISupport/PGProgressViews.h>

#include <algorithm>
#include <cmath>
#include <mutex>

NS_IMPLEMENT_CLASS(STProgressHUD, UIView) {
    using H = STProgressHUD;
    b.method("dismiss", &H::doDismiss);
    b.method("positionHUD:", &H::positionHUD);
    b.method("overlayViewDidReceiveTouchEvent:forEvent:", &H::overlayViewDidReceiveTouchEventForEvent);
}

#define ST_STRING_CONSTANT(Name)                                                                                       \
    const Ref<NSString>& Name() {                                                                                      \
        static const Ref<NSString> value = NSString::from(#Name);                                                      \
        return value;                                                                                                  \
    }
ST_STRING_CONSTANT(STProgressHUDDidReceiveTouchEventNotification)
ST_STRING_CONSTANT(STProgressHUDDidTouchDownInsideNotification)
ST_STRING_CONSTANT(STProgressHUDWillDisappearNotification)
ST_STRING_CONSTANT(STProgressHUDDidDisappearNotification)
ST_STRING_CONSTANT(STProgressHUDWillAppearNotification)
ST_STRING_CONSTANT(STProgressHUDDidAppearNotification)
ST_STRING_CONSTANT(STProgressHUDStatusUserInfoKey)

namespace {

struct Settings {
    Ref<UIColor> backgroundColor;
    Ref<UIColor> foregroundColor;
    Ref<UIFont> font;
    CGFloat ringThickness = 2.0;
    Ref<UIImage> infoImage;
    Ref<UIImage> successImage;
    Ref<UIImage> errorImage;
    STProgressHUDMaskType defaultMaskType = STProgressHUDMaskTypeNone;
    Ref<UIView> viewForExtension;
};

Settings& settings() {
    static Settings s;
    return s;
}

// The bundle's image, or the library's own artwork, as a template so that it takes the tint colour.
Ref<UIImage> hudImage(const char* name) {
    auto image = STProgressHUDImageNamed(name);
    return image ? image->imageWithRenderingMode(UIImageRenderingModeAlwaysTemplate) : nullptr;
}

// Runs `changes` in a layer transaction whose changes do not animate.
template <class F>
void withoutActions(F&& changes) {
    CATransaction::begin();
    CATransaction::setDisableActions(true);
    changes();
    CATransaction::commit();
}

void post(const Ref<NSString>& name, const id& object, const Ref<NSDictionary>& userInfo) {
    NSNotificationCenter::defaultCenter()->postNotificationNameObjectUserInfo(name, object, userInfo);
}

bool hasText(const Ref<NSString>& text) {
    return text && text->length() > 0;
}

} // namespace

// MARK: Class operations

Ref<STProgressHUD> STProgressHUD::sharedView() {
    // The one overlay is a view of the main thread's: every class operation comes through here.
    DX_ASSERT_MAIN_THREAD();
    static Ref<STProgressHUD> shared;
    static dispatch_once_t once;
    dispatch_once(&once, [] { shared = make<STProgressHUD>(UIScreen::mainScreen()->bounds()); });
    return shared;
}

STProgressHUD::STProgressHUD(CGRect frame) : UIView(frame) {
    DX_ASSERT_MAIN_THREAD();
    setUserInteractionEnabled(false);
    UIView::setBackgroundColor(UIColor::clearColor());
    setAlpha(0);
    activityCount_ = 0;
    auto& s = settings();
    s.backgroundColor = UIColor::whiteColor();
    s.foregroundColor = UIColor::blackColor();
    s.font = UIFont::preferredFontForTextStyle(UIFontTextStyleSubheadline());
    s.infoImage = hudImage("info");
    s.successImage = hudImage("success");
    s.errorImage = hudImage("error");
    s.ringThickness = 2.0;
    s.defaultMaskType = STProgressHUDMaskTypeNone;
}

void STProgressHUD::setStatus(const Ref<NSString>& status) {
    sharedView()->doSetStatus(status);
}
void STProgressHUD::setBackgroundColor_(const Ref<UIColor>& color) {
    auto hud = sharedView();
    settings().backgroundColor = color;
    hud->hudView()->UIView::setBackgroundColor(color);
}
void STProgressHUD::setForegroundColor(const Ref<UIColor>& color) {
    sharedView();
    settings().foregroundColor = color;
}
void STProgressHUD::setFont(const Ref<UIFont>& font) {
    sharedView();
    settings().font = font;
}
void STProgressHUD::setRingThickness(CGFloat width) {
    sharedView();
    settings().ringThickness = width;
}
void STProgressHUD::setInfoImage(const Ref<UIImage>& image) {
    sharedView();
    settings().infoImage = image;
}
void STProgressHUD::setSuccessImage(const Ref<UIImage>& image) {
    sharedView();
    settings().successImage = image;
}
void STProgressHUD::setErrorImage(const Ref<UIImage>& image) {
    sharedView();
    settings().errorImage = image;
}
void STProgressHUD::setDefaultMaskType(STProgressHUDMaskType maskType) {
    sharedView();
    settings().defaultMaskType = maskType;
}
void STProgressHUD::setViewForExtension(const Ref<UIView>& view) {
    sharedView();
    settings().viewForExtension = view;
}

Ref<UIColor> STProgressHUD::hudBackgroundColor() {
    sharedView();
    return settings().backgroundColor;
}
Ref<UIColor> STProgressHUD::hudForegroundColor() {
    sharedView();
    return settings().foregroundColor;
}
Ref<UIFont> STProgressHUD::hudFont() {
    sharedView();
    return settings().font;
}
CGFloat STProgressHUD::ringThickness() {
    sharedView();
    return settings().ringThickness;
}
Ref<UIImage> STProgressHUD::infoImage() {
    sharedView();
    return settings().infoImage;
}
Ref<UIImage> STProgressHUD::successImage() {
    sharedView();
    return settings().successImage;
}
Ref<UIImage> STProgressHUD::errorImage() {
    sharedView();
    return settings().errorImage;
}
STProgressHUDMaskType STProgressHUD::defaultMaskType() {
    sharedView();
    return settings().defaultMaskType;
}
Ref<UIView> STProgressHUD::viewForExtension() {
    sharedView();
    return settings().viewForExtension;
}

void STProgressHUD::show() {
    showWithStatus(nullptr);
}
void STProgressHUD::showWithMaskType(STProgressHUDMaskType maskType) {
    showProgressMaskType(-1, maskType);
}
void STProgressHUD::showWithStatus(const Ref<NSString>& status) {
    showProgressStatus(-1, status);
}
void STProgressHUD::showWithStatusMaskType(const Ref<NSString>& status, STProgressHUDMaskType maskType) {
    showProgressStatusMaskType(-1, status, maskType);
}
void STProgressHUD::showProgress(float progress) {
    showProgressMaskType(progress, defaultMaskType());
}
void STProgressHUD::showProgressMaskType(float progress, STProgressHUDMaskType maskType) {
    showProgressStatusMaskType(progress, nullptr, maskType);
}
void STProgressHUD::showProgressStatus(float progress, const Ref<NSString>& status) {
    showProgressStatusMaskType(progress, status, defaultMaskType());
}
void STProgressHUD::showProgressStatusMaskType(float progress, const Ref<NSString>& status,
                                               STProgressHUDMaskType maskType) {
    sharedView()->doShowProgressStatusMaskType(progress, status, maskType);
}
void STProgressHUD::showInfoWithStatus(const Ref<NSString>& status) {
    showInfoWithStatusMaskType(status, defaultMaskType());
}
void STProgressHUD::showInfoWithStatusMaskType(const Ref<NSString>& status, STProgressHUDMaskType maskType) {
    showImageStatusMaskType(infoImage(), status, maskType);
}
void STProgressHUD::showSuccessWithStatus(const Ref<NSString>& status) {
    showSuccessWithStatusMaskType(status, defaultMaskType());
}
void STProgressHUD::showSuccessWithStatusMaskType(const Ref<NSString>& status, STProgressHUDMaskType maskType) {
    showImageStatusMaskType(successImage(), status, maskType);
}
void STProgressHUD::showErrorWithStatus(const Ref<NSString>& status) {
    showErrorWithStatusMaskType(status, defaultMaskType());
}
void STProgressHUD::showErrorWithStatusMaskType(const Ref<NSString>& status, STProgressHUDMaskType maskType) {
    showImageStatusMaskType(errorImage(), status, maskType);
}
void STProgressHUD::showImageStatus(const Ref<UIImage>& image, const Ref<NSString>& status) {
    showImageStatusMaskType(image, status, defaultMaskType());
}
void STProgressHUD::showImageStatusMaskType(const Ref<UIImage>& image, const Ref<NSString>& status,
                                            STProgressHUDMaskType maskType) {
    double duration = displayDurationForString(status);
    sharedView()->doShowImageStatusDurationMaskType(image, status, duration, maskType);
}

void STProgressHUD::popActivity() {
    auto hud = sharedView();
    if (hud->activityCount_ > 0) {
        hud->activityCount_--;
    }
    if (hud->activityCount_ == 0) {
        hud->doDismiss();
    }
}

void STProgressHUD::dismiss() {
    if (isVisible()) {
        sharedView()->doDismiss();
    }
}

void STProgressHUD::setOffsetFromCenter(UIOffset offset) {
    sharedView()->setOffsetFromCenter_(offset);
}

void STProgressHUD::resetOffsetFromCenter() {
    setOffsetFromCenter(UIOffsetZero);
}

bool STProgressHUD::isVisible() {
    return sharedView()->alpha() == 1.0;
}

double STProgressHUD::displayDurationForString(const Ref<NSString>& string) {
    float length = static_cast<float>(string ? string->length() : 0);
    return std::min(0.5 + static_cast<double>(length * 0.06f), 5.0);
}

// MARK: Parts

bool STProgressHUD::isClear() const noexcept {
    return maskType_ == STProgressHUDMaskTypeNone || maskType_ == STProgressHUDMaskTypeClear;
}

Ref<UIControl> STProgressHUD::overlayView() {
    if (!overlayView_) {
        overlayView_ = make<UIControl>(UIScreen::mainScreen()->bounds());
        overlayView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        overlayView_->UIView::setBackgroundColor(UIColor::clearColor());
        overlayView_->addTargetActionForControlEvents(
            id(this), "overlayViewDidReceiveTouchEvent:forEvent:", UIControlEventTouchDown);
    }
    return overlayView_;
}

Ref<UIView> STProgressHUD::hudView() {
    if (!hudView_) {
        hudView_ = make<UIView>(CGRectZero);
        hudView_->UIView::setBackgroundColor(settings().backgroundColor);
        hudView_->layer()->setCornerRadius(14);
        hudView_->layer()->setMasksToBounds(true);
        hudView_->setAutoresizingMask(UIViewAutoresizingFlexibleBottomMargin | UIViewAutoresizingFlexibleTopMargin |
                                      UIViewAutoresizingFlexibleRightMargin | UIViewAutoresizingFlexibleLeftMargin);
        auto x =
            make<UIInterpolatingMotionEffect>("center.x"_ns, UIInterpolatingMotionEffectTypeTiltAlongHorizontalAxis);
        x->setMinimumRelativeValue(box(-10));
        x->setMaximumRelativeValue(box(10));
        auto y = make<UIInterpolatingMotionEffect>("center.y"_ns, UIInterpolatingMotionEffectTypeTiltAlongVerticalAxis);
        y->setMinimumRelativeValue(box(-10));
        y->setMaximumRelativeValue(box(10));
        auto group = make<UIMotionEffectGroup>();
        group->setMotionEffects(NSArray::arrayWithObjects({x, y}));
        hudView_->addMotionEffect(group);
    }
    if (!hudView_->superview()) {
        addSubview(hudView_);
    }
    return hudView_;
}

Ref<UILabel> STProgressHUD::stringLabel() {
    if (!stringLabel_) {
        stringLabel_ = make<UILabel>(CGRectZero);
        stringLabel_->UIView::setBackgroundColor(UIColor::clearColor());
        stringLabel_->setAdjustsFontSizeToFitWidth(true);
        stringLabel_->setTextAlignment(NSTextAlignmentCenter);
        stringLabel_->setBaselineAdjustment(UIBaselineAdjustmentAlignCenters);
        stringLabel_->setNumberOfLines(0);
    }
    if (!stringLabel_->superview()) {
        hudView()->addSubview(stringLabel_);
    }
    stringLabel_->setTextColor(settings().foregroundColor);
    stringLabel_->setFont(settings().font);
    return stringLabel_;
}

Ref<UIImageView> STProgressHUD::imageView() {
    if (!imageView_) {
        imageView_ = make<UIImageView>(CGRectMake(0, 0, 28, 28));
    }
    if (!imageView_->superview()) {
        hudView()->addSubview(imageView_);
    }
    return imageView_;
}

Ref<STIndefiniteAnimatedView> STProgressHUD::indefiniteAnimatedView() {
    if (!indefiniteAnimatedView_) {
        indefiniteAnimatedView_ = make<STIndefiniteAnimatedView>(CGRectZero);
        indefiniteAnimatedView_->setStrokeThickness(settings().ringThickness);
        indefiniteAnimatedView_->setStrokeColor(settings().foregroundColor);
        indefiniteAnimatedView_->setRadius(hasText(stringLabel()->text()) ? 18 : 24);
        indefiniteAnimatedView_->sizeToFit();
    }
    return indefiniteAnimatedView_;
}

Ref<CAShapeLayer> STProgressHUD::createRingLayerWithCenterRadiusLineWidthColor(CGPoint center, CGFloat radius,
                                                                               CGFloat lineWidth,
                                                                               const Ref<UIColor>& color) {
    auto ring = CAShapeLayer::layer();
    ring->setContentsScale(UIScreen::mainScreen()->scale());
    ring->setFrame(CGRectMake(center.x - radius, center.y - radius, radius * 2, radius * 2));
    ring->setFillColor(UIColor::clearColor()->CGColor());
    ring->setStrokeColor(color ? color->CGColor() : CGColorRef());
    ring->setLineWidth(lineWidth);
    ring->setLineCap(kCALineCapRound());
    ring->setLineJoin(kCALineJoinBevel());
    ring->setPath(UIBezierPath::bezierPathWithArcCenterRadiusStartAngleEndAngleClockwise(
                      CGPointMake(radius, radius), radius, -M_PI / 2, 3 * M_PI / 2, true)
                      ->CGPath());
    return ring;
}

Ref<CAShapeLayer> STProgressHUD::ringLayer() {
    if (!ringLayer_) {
        CGRect frame = hudView()->frame();
        CGPoint center = CGPointMake(CGRectGetMidX(frame), CGRectGetMidY(frame));
        ringLayer_ = createRingLayerWithCenterRadiusLineWidthColor(center, 18, settings().ringThickness,
                                                                   settings().foregroundColor);
        hudView()->layer()->addSublayer(ringLayer_);
    }
    return ringLayer_;
}

Ref<CAShapeLayer> STProgressHUD::backgroundRingLayer() {
    if (!backgroundRingLayer_) {
        CGRect frame = hudView()->frame();
        CGPoint center = CGPointMake(CGRectGetMidX(frame), CGRectGetMidY(frame));
        auto color = settings().foregroundColor;
        backgroundRingLayer_ = createRingLayerWithCenterRadiusLineWidthColor(
            center, 18, settings().ringThickness, color ? color->colorWithAlphaComponent(0.1) : nullptr);
        backgroundRingLayer_->setStrokeEnd(1);
        hudView()->layer()->addSublayer(backgroundRingLayer_);
    }
    return backgroundRingLayer_;
}

void STProgressHUD::cancelRingLayerAnimation() {
    withoutActions([this] {
        if (hudView_) {
            hudView_->layer()->removeAllAnimations();
        }
        if (ringLayer_) {
            ringLayer_->setStrokeEnd(0);
            ringLayer_->removeFromSuperlayer();
        }
        if (backgroundRingLayer_) {
            backgroundRingLayer_->removeFromSuperlayer();
        }
        ringLayer_ = nullptr;
        backgroundRingLayer_ = nullptr;
    });
}

void STProgressHUD::setFadeOutTimer(const Ref<NSTimer>& timer) {
    if (fadeOutTimer_) {
        fadeOutTimer_->invalidate();
    }
    fadeOutTimer_ = timer;
}

CGFloat STProgressHUD::visibleKeyboardHeight() const {
    auto application = UIApplication::sharedApplication();
    Ref<UIWindow> keyboardWindow;
    auto windows = application->windows();
    for (const id& object : *windows) {
        if (object->getClass() != UIWindow::class_()) {
            keyboardWindow = cast<UIWindow>(object);
            break;
        }
    }
    if (!keyboardWindow) {
        return 0;
    }
    Class peripheral = NSClassFromString("UIPeripheralHostView"_ns);
    Class keyboard = NSClassFromString("UIKeyboard"_ns);
    Class container = NSClassFromString("UIInputSetContainerView"_ns);
    Class host = NSClassFromString("UIInputSetHostView"_ns);
    for (const auto& view : keyboardWindow->subviewList()) {
        if ((peripheral && view->isKindOfClass(peripheral)) || (keyboard && view->isKindOfClass(keyboard))) {
            return view->bounds().size.height;
        }
        if (container && view->isKindOfClass(container)) {
            for (const auto& inner : view->subviewList()) {
                if (host && inner->isKindOfClass(host)) {
                    return inner->bounds().size.height;
                }
            }
        }
    }
    return 0;
}

Ref<NSDictionary> STProgressHUD::notificationUserInfo() {
    auto text = stringLabel_ ? stringLabel_->text() : nullptr;
    if (!hasText(text)) {
        return nullptr;
    }
    return NSDictionary::dictionaryWithObjectsForKeys(NSArray::arrayWithObjects({text}),
                                                      NSArray::arrayWithObjects({STProgressHUDStatusUserInfoKey()}));
}

// MARK: Layout

void STProgressHUD::doSetStatus(const Ref<NSString>& status) {
    stringLabel()->setText(status);
    updatePosition();
}

void STProgressHUD::updatePosition() {
    auto label = stringLabel();
    auto image = imageView();
    CGFloat hudWidth = 100, hudHeight = 100;
    CGFloat stringWidth = 0, stringHeight = 0;
    CGRect labelRect = CGRectZero;
    auto text = label->text();
    bool imageUsed = image->image() || image->isHidden();
    bool progressUsed = progress_ != -1 && progress_ >= 0;
    if (hasText(text)) {
        auto attributes = NSDictionary::dictionaryWithObjectsForKeys(
            NSArray::arrayWithObjects({label->font()}), NSArray::arrayWithObjects({NSFontAttributeName()}));
        CGRect measured = boundingRectWithSizeOptionsAttributesContext(text, CGSizeMake(200, 300),
                                                                       NSStringDrawingUsesLineFragmentOrigin |
                                                                           NSStringDrawingUsesFontLeading |
                                                                           NSStringDrawingTruncatesLastVisibleLine,
                                                                       attributes, nullptr);
        stringWidth = measured.size.width;
        stringHeight = std::ceil(measured.size.height);
        hudWidth = stringWidth > hudWidth ? std::ceil(stringWidth / 2) * 2 : hudWidth;
        CGFloat labelTop = imageUsed || progressUsed ? 68 : 9;
        hudHeight = imageUsed || progressUsed ? stringHeight + 80 : stringHeight + 20;
        if (hudHeight > 100) {
            labelRect = CGRectMake(12, labelTop, hudWidth, stringHeight);
        } else {
            labelRect = CGRectMake(0, labelTop, hudWidth + 24, stringHeight);
        }
        hudWidth += 24;
    }
    auto box = hudView();
    box->setBounds(CGRectMake(0, 0, hudWidth, hudHeight));
    CGPoint spot = hasText(text) ? CGPointMake(hudWidth / 2, 36) : CGPointMake(hudWidth / 2, hudHeight / 2);
    image->setCenter(spot);
    label->setHidden(false);
    label->setFrame(labelRect);
    withoutActions([&] {
        auto spinner = indefiniteAnimatedView();
        spinner->setRadius(hasText(text) ? 18 : 24);
        spinner->sizeToFit();
        spinner->setCenter(spot);
        if (progress_ != -1) {
            ringLayer()->setPosition(spot);
            backgroundRingLayer()->setPosition(spot);
        }
    });
}

void STProgressHUD::positionHUD(const Ref<NSNotification>& notification) {
    setFrame(UIScreen::mainScreen()->bounds());
    auto application = UIApplication::sharedApplication();
    UIInterfaceOrientation orientation = application->statusBarOrientation();
    bool ignoreOrientation = !PGIsLegacySystem();
    bool landscape =
        orientation == UIInterfaceOrientationLandscapeLeft || orientation == UIInterfaceOrientationLandscapeRight;
    CGFloat keyboardHeight = 0;
    double duration = 0;
    if (notification) {
        auto info = notification->userInfo();
        CGRect keyboardFrame = CGRectZero;
        if (auto value = info ? cast<NSValue>(info->objectForKey(UIKeyboardFrameBeginUserInfoKey())) : nullptr) {
            keyboardFrame = value->value<CGRect>();
        }
        if (auto number =
                info ? cast<NSNumber>(info->objectForKey(UIKeyboardAnimationDurationUserInfoKey())) : nullptr) {
            duration = number->doubleValue();
        }
        const auto& name = notification->name();
        if (name->isEqual(UIKeyboardWillShowNotification()) || name->isEqual(UIKeyboardDidShowNotification())) {
            keyboardHeight = ignoreOrientation || !landscape ? keyboardFrame.size.height : keyboardFrame.size.width;
        }
    } else {
        keyboardHeight = visibleKeyboardHeight();
    }
    CGRect frame = bounds();
    CGRect statusBar = application->statusBarFrame();
    if (!ignoreOrientation && landscape) {
        std::swap(frame.size.width, frame.size.height);
        std::swap(statusBar.size.width, statusBar.size.height);
    }
    CGFloat activeHeight = frame.size.height;
    if (keyboardHeight > 0) {
        activeHeight += statusBar.size.height * 2;
    }
    activeHeight -= keyboardHeight;
    CGFloat posY = std::floor(activeHeight * 0.45);
    CGFloat posX = frame.size.width / 2;
    CGPoint point = CGPointMake(posX, posY);
    CGFloat angle = 0;
    if (!ignoreOrientation) {
        switch (orientation) {
        case UIInterfaceOrientationPortraitUpsideDown:
            angle = M_PI, point = CGPointMake(posX, frame.size.height - posY);
            break;
        case UIInterfaceOrientationLandscapeLeft:
            angle = -M_PI / 2, point = CGPointMake(posY, posX);
            break;
        case UIInterfaceOrientationLandscapeRight:
            angle = M_PI / 2, point = CGPointMake(frame.size.height - posY, posX);
            break;
        default:
            break;
        }
    }
    Ref<STProgressHUD> self(this);
    auto move = [self, point, angle] {
        self->moveToPointRotateAngle(point, angle);
        self->hudView()->setNeedsDisplay();
    };
    if (notification) {
        UIView::animateWithDurationDelayOptionsAnimationsCompletion(
            duration, 0, UIViewAnimationOptionAllowUserInteraction, move, nullptr);
    } else {
        move();
    }
}

void STProgressHUD::moveToPointRotateAngle(CGPoint point, CGFloat angle) {
    auto box = hudView();
    box->setTransform(CGAffineTransformMakeRotation(angle));
    box->setCenter(CGPointMake(point.x + offsetFromCenter_.horizontal, point.y + offsetFromCenter_.vertical));
}

// MARK: Showing

void STProgressHUD::changeMaskType(STProgressHUDMaskType maskType) {
    if (maskType_ != maskType) {
        maskType_ = maskType;
        setNeedsDisplay(); // the dimming of the new type, also while the HUD stays shown
    }
}

void STProgressHUD::applyTouchesAndAccessibility(const Ref<NSString>& status) {
    if (maskType_ == STProgressHUDMaskTypeNone) {
        overlayView()->setUserInteractionEnabled(false);
        setIsAccessibilityElement(false);
        hudView()->setIsAccessibilityElement(true);
        hudView()->setAccessibilityLabel(status);
    } else {
        overlayView()->setUserInteractionEnabled(true);
        hudView()->setIsAccessibilityElement(false);
        setIsAccessibilityElement(true);
        setAccessibilityLabel(status);
    }
}

void STProgressHUD::doShowProgressStatusMaskType(float progress, const Ref<NSString>& status,
                                                 STProgressHUDMaskType maskType) {
    DX_ASSERT_MAIN_THREAD();
    ++showCount_;
    auto overlay = overlayView();
    if (!overlay->superview()) {
        auto windows = UIApplication::sharedApplication()->windows();
        auto screen = UIScreen::mainScreen();
        for (auto it = windows->objects().rbegin(); it != windows->objects().rend(); ++it) {
            auto window = cast<UIWindow>(*it);
            if (window && window->screen() == screen && !window->isHidden() && window->alpha() > 0 &&
                window->windowLevel() == UIWindowLevelNormal) {
                window->addSubview(overlay);
                break;
            }
        }
    } else if (auto parent = overlay->superview()) {
        parent->bringSubviewToFront(overlay);
    }
    if (!superview()) {
        overlay->addSubview(Ref<UIView>(this));
    }
    setFadeOutTimer(nullptr);
    imageView()->setHidden(true);
    changeMaskType(maskType);
    progress_ = progress;
    stringLabel()->setText(status);
    updatePosition();
    if (progress >= 0) {
        imageView()->setImage(nullptr);
        imageView()->setHidden(false);
        if (indefiniteAnimatedView_) {
            indefiniteAnimatedView_->removeFromSuperview();
        }
        ringLayer()->setStrokeEnd(progress);
        if (progress == 0) {
            activityCount_++;
        }
    } else {
        activityCount_++;
        cancelRingLayerAnimation();
        hudView()->addSubview(indefiniteAnimatedView());
    }
    applyTouchesAndAccessibility(status);
    overlay->setHidden(false);
    overlay->UIView::setBackgroundColor(UIColor::clearColor());
    positionHUD(nullptr);

    auto box = hudView();
    if (alpha() != 1 || box->alpha() != 1) {
        shown_ = true;
        auto userInfo = notificationUserInfo();
        post(STProgressHUDWillAppearNotification(), nullptr, userInfo);
        registerNotifications();
        box->setTransform(CGAffineTransformScale(box->transform(), 1.3, 1.3));
        if (isClear()) {
            setAlpha(1);
            box->setAlpha(0);
        } else {
            // The box of a fade-out with a clear mask may still be fading: it shows with the whole view.
            box->setAlpha(1);
        }
        Ref<STProgressHUD> self(this);
        UIView::animateWithDurationDelayOptionsAnimationsCompletion(
            0.15, 0, UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionBeginFromCurrentState,
            [self, box] {
                box->setTransform(CGAffineTransformScale(box->transform(), 1 / 1.3, 1 / 1.3));
                if (self->isClear()) {
                    box->setAlpha(1);
                } else {
                    self->setAlpha(1);
                }
            },
            [self, userInfo](bool) {
                post(STProgressHUDDidAppearNotification(), nullptr, userInfo);
                UIAccessibilityPostNotification(UIAccessibilityScreenChangedNotification, nullptr);
                UIAccessibilityPostNotification(UIAccessibilityAnnouncementNotification, self->stringLabel()->text());
            });
        setNeedsDisplay();
    }
}

void STProgressHUD::doShowImageStatusDurationMaskType(const Ref<UIImage>& image, const Ref<NSString>& status,
                                                      double duration, STProgressHUDMaskType maskType) {
    DX_ASSERT_MAIN_THREAD();
    progress_ = -1;
    changeMaskType(maskType);
    cancelRingLayerAnimation();
    if (!isVisible()) {
        showWithMaskType(maskType);
    }
    auto view = imageView();
    view->setTintColor(settings().foregroundColor);
    view->setImage(image);
    view->setHidden(false);
    stringLabel()->setText(status);
    updatePosition();
    if (indefiniteAnimatedView_) {
        indefiniteAnimatedView_->removeFromSuperview();
    }
    applyTouchesAndAccessibility(status);
    UIAccessibilityPostNotification(UIAccessibilityScreenChangedNotification, nullptr);
    UIAccessibilityPostNotification(UIAccessibilityAnnouncementNotification, status);
    auto timer =
        NSTimer::timerWithTimeIntervalTargetSelectorUserInfoRepeats(duration, id(this), "dismiss", nullptr, false);
    setFadeOutTimer(timer);
    NSRunLoop::mainRunLoop()->addTimerForMode(timer, NSRunLoopCommonModes());
}

Ref<UIImage> STProgressHUD::imageWithTintColor(const Ref<UIImage>& image, const Ref<UIColor>& color) {
    if (!image) {
        return nullptr;
    }
    CGRect rect = CGRectMake(0, 0, image->size().width, image->size().height);
    UIGraphicsBeginImageContextWithOptions(rect.size, false, image->scale());
    auto context = UIGraphicsGetCurrentContext();
    if (context) {
        image->drawInRect(rect);
        CGContextSetFillColorWithColor(context, color ? color->CGColor() : CGColorRef());
        CGContextSetBlendMode(context, kCGBlendModeSourceIn);
        CGContextFillRect(context, rect);
    }
    auto tinted = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return tinted;
}

void STProgressHUD::registerNotifications() {
    auto center = NSNotificationCenter::defaultCenter();
    id self(this);
    center->removeObserver(self);
    for (const auto& name :
         {UIApplicationDidChangeStatusBarOrientationNotification(), UIKeyboardWillHideNotification(),
          UIKeyboardDidHideNotification(), UIKeyboardWillShowNotification(), UIKeyboardDidShowNotification()}) {
        center->addObserverSelectorNameObject(self, "positionHUD:", name, nullptr);
    }
}

void STProgressHUD::overlayViewDidReceiveTouchEventForEvent(const id&, const Ref<UIEvent>& event) {
    post(STProgressHUDDidReceiveTouchEventNotification(), event, nullptr);
    if (!event) {
        return;
    }
    auto touches = event->allTouches();
    auto touch = touches ? cast<UITouch>(touches->anyObject()) : nullptr;
    if (!touch) {
        return;
    }
    CGPoint location = touch->locationInView(Ref<UIView>(this));
    if (hudView_ && CGRectContainsPoint(hudView_->frame(), location)) {
        post(STProgressHUDDidTouchDownInsideNotification(), event, nullptr);
    }
}

void STProgressHUD::drawRect(CGRect) {
    if (maskType_ != STProgressHUDMaskTypeBlack && maskType_ != STProgressHUDMaskTypeGradient) {
        return;
    }
    auto context = UIGraphicsGetCurrentContext();
    if (!context) {
        return;
    }
    CGRect bounds = this->bounds();
    if (maskType_ == STProgressHUDMaskTypeBlack) {
        UIColor::colorWithWhiteAlpha(0, 0.5)->set();
        CGContextFillRect(context, bounds);
    } else {
        CGPoint center = CGPointMake(bounds.size.width / 2, (bounds.size.height - visibleKeyboardHeight()) / 2);
        STDrawRadialDimming(context, bounds, center);
    }
}

// MARK: Dismissing

void STProgressHUD::doDismiss() {
    DX_ASSERT_MAIN_THREAD();
    if (!shown_) {
        return;
    }
    auto userInfo = notificationUserInfo();
    post(STProgressHUDWillDisappearNotification(), nullptr, userInfo);
    activityCount_ = 0;
    uint64_t showsBefore = showCount_;
    Ref<STProgressHUD> self(this);
    auto box = hudView();
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        0.15, 0, UIViewAnimationOptionAllowUserInteraction | UIViewAnimationOptionLayoutSubviews,
        [self, box] {
            box->setTransform(CGAffineTransformScale(box->transform(), 0.8, 0.8));
            if (self->isClear()) {
                box->setAlpha(0);
            } else {
                self->setAlpha(0);
            }
        },
        [self, showsBefore, userInfo](bool) {
            if (self->showCount_ != showsBefore) {
                return; // shown again meanwhile
            }
            auto box = self->hudView_;
            if (self->alpha() != 0 && (!box || box->alpha() != 0)) {
                return;
            }
            self->setAlpha(0);
            if (box) {
                box->setAlpha(0);
            }
            NSNotificationCenter::defaultCenter()->removeObserver(id(self));
            self->cancelRingLayerAnimation();
            if (box) {
                box->removeFromSuperview();
            }
            self->hudView_ = nullptr;
            if (self->overlayView_) {
                self->overlayView_->removeFromSuperview();
            }
            self->overlayView_ = nullptr;
            if (self->indefiniteAnimatedView_) {
                self->indefiniteAnimatedView_->removeFromSuperview();
            }
            self->indefiniteAnimatedView_ = nullptr;
            self->removeFromSuperview();
            self->setFadeOutTimer(nullptr);
            self->shown_ = false;
            UIAccessibilityPostNotification(UIAccessibilityScreenChangedNotification, nullptr);
            post(STProgressHUDDidDisappearNotification(), nullptr, userInfo);
            if (auto window = UIApplication::sharedApplication()->keyWindow()) {
                if (auto root = window->rootViewController()) {
                    root->setNeedsStatusBarAppearanceUpdate();
                }
            }
        });
}
