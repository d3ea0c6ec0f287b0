// STProgressHUD: the one status overlay of the application. A rounded box near the middle of the
// screen (raised above the on-screen keyboard) holds a spinner, a progress ring or an image (info,
// success, error) with an optional status text under it. Around the box the overlay lets touches
// through (mask type 1), swallows them (2), dims the screen with black (3) or with a radial
// gradient (4). Callers use the class operations only; main thread only.
//
// The instance operations that the class operations call carry the prefix "do" in C++
// (doShowProgressStatusMaskType for the instance's showProgress:status:maskType:, doDismiss for its
// dismiss, doSetStatus for setStatus:), since a class and an instance operation cannot share a name.
//
// A show that arrives while the overlay fades out is shown (whatever the mask types), and
// dismissing an overlay that is not shown posts no notifications. A show with another mask type
// while the overlay is shown redraws the dimming.
#pragma once

#include <UISupport/STAnimatedViews.h>

#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSTimer.h>
#include <UIKit/UIControl.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIGeometry.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>

enum STProgressHUDMaskType : NSUInteger {
    STProgressHUDMaskTypeNone = 1,     // touches pass through
    STProgressHUDMaskTypeClear = 2,    // touches are swallowed
    STProgressHUDMaskTypeBlack = 3,    // black at alpha 0.5, touches swallowed
    STProgressHUDMaskTypeGradient = 4, // radial gradient, touches swallowed
};

const Ref<NSString>& STProgressHUDDidReceiveTouchEventNotification();
const Ref<NSString>& STProgressHUDDidTouchDownInsideNotification();
const Ref<NSString>& STProgressHUDWillDisappearNotification();
const Ref<NSString>& STProgressHUDDidDisappearNotification();
const Ref<NSString>& STProgressHUDWillAppearNotification();
const Ref<NSString>& STProgressHUDDidAppearNotification();
const Ref<NSString>& STProgressHUDStatusUserInfoKey();

class STProgressHUD : public UIView {
    NS_OBJECT(STProgressHUD, UIView)
public:
    explicit STProgressHUD(CGRect frame);

    // MARK: Class operations.
    static Ref<STProgressHUD> sharedView();
    static void setStatus(const Ref<NSString>& status);
    static void setBackgroundColor_(const Ref<UIColor>& color); // `+setBackgroundColor:`
    static void setForegroundColor(const Ref<UIColor>& color);
    static void setFont(const Ref<UIFont>& font);
    static void setRingThickness(CGFloat width);
    static void setInfoImage(const Ref<UIImage>& image);
    static void setSuccessImage(const Ref<UIImage>& image);
    static void setErrorImage(const Ref<UIImage>& image);
    static void setDefaultMaskType(STProgressHUDMaskType maskType);
    static void setViewForExtension(const Ref<UIView>& view);
    static void show();
    static void showWithMaskType(STProgressHUDMaskType maskType);
    static void showWithStatus(const Ref<NSString>& status);
    static void showWithStatusMaskType(const Ref<NSString>& status, STProgressHUDMaskType maskType);
    static void showProgress(float progress);
    static void showProgressMaskType(float progress, STProgressHUDMaskType maskType);
    static void showProgressStatus(float progress, const Ref<NSString>& status);
    static void showProgressStatusMaskType(float progress, const Ref<NSString>& status, STProgressHUDMaskType maskType);
    static void showInfoWithStatus(const Ref<NSString>& status);
    static void showInfoWithStatusMaskType(const Ref<NSString>& status, STProgressHUDMaskType maskType);
    static void showSuccessWithStatus(const Ref<NSString>& status);
    static void showSuccessWithStatusMaskType(const Ref<NSString>& status, STProgressHUDMaskType maskType);
    static void showErrorWithStatus(const Ref<NSString>& status);
    static void showErrorWithStatusMaskType(const Ref<NSString>& status, STProgressHUDMaskType maskType);
    static void showImageStatus(const Ref<UIImage>& image, const Ref<NSString>& status);
    static void showImageStatusMaskType(const Ref<UIImage>& image, const Ref<NSString>& status,
                                        STProgressHUDMaskType maskType);
    static void popActivity();
    static void dismiss();
    static void setOffsetFromCenter(UIOffset offset);
    static void resetOffsetFromCenter();
    static bool isVisible();
    // The class-wide settings.
    static Ref<UIColor> hudBackgroundColor();
    static Ref<UIColor> hudForegroundColor();
    static Ref<UIFont> hudFont();
    static CGFloat ringThickness();
    static Ref<UIImage> infoImage();
    static Ref<UIImage> successImage();
    static Ref<UIImage> errorImage();
    static STProgressHUDMaskType defaultMaskType();
    static Ref<UIView> viewForExtension();
    // min(0.5 + 0.06 x UTF-16 length, 5.0) seconds.
    static double displayDurationForString(const Ref<NSString>& string);

    // MARK: Instance operations.
    void doSetStatus(const Ref<NSString>& status);
    void doShowProgressStatusMaskType(float progress, const Ref<NSString>& status, STProgressHUDMaskType maskType);
    void doShowImageStatusDurationMaskType(const Ref<UIImage>& image, const Ref<NSString>& status, double duration,
                                           STProgressHUDMaskType maskType);
    void doDismiss();
    void updatePosition();
    void positionHUD(const Ref<NSNotification>& notification);
    void moveToPointRotateAngle(CGPoint point, CGFloat angle);
    void overlayViewDidReceiveTouchEventForEvent(const id& sender, const Ref<UIEvent>& event);
    Ref<NSDictionary> notificationUserInfo();
    void registerNotifications();
    void drawRect(CGRect rect) override;

    // MARK: State.
    STProgressHUDMaskType maskType() const noexcept { return maskType_; }
    Ref<NSTimer> fadeOutTimer() const { return fadeOutTimer_; }
    void setFadeOutTimer(const Ref<NSTimer>& timer);
    Ref<UIControl> overlayView();
    Ref<UIView> hudView();
    Ref<UILabel> stringLabel();
    Ref<UIImageView> imageView();
    Ref<STIndefiniteAnimatedView> indefiniteAnimatedView();
    Ref<CAShapeLayer> ringLayer();
    Ref<CAShapeLayer> backgroundRingLayer();
    // The ring as they are now, without making them.
    Ref<CAShapeLayer> currentRingLayer() const { return ringLayer_; }
    Ref<CAShapeLayer> currentBackgroundRingLayer() const { return backgroundRingLayer_; }
    double progress() const noexcept { return progress_; }
    NSUInteger activityCount() const noexcept { return activityCount_; }
    UIOffset offsetFromCenter() const noexcept { return offsetFromCenter_; }
    void setOffsetFromCenter_(UIOffset offset) { offsetFromCenter_ = offset; }
    bool isClear() const noexcept;
    CGFloat visibleKeyboardHeight() const;
    // The parts as they are now, without making them.
    Ref<UIControl> currentOverlayView() const { return overlayView_; }
    Ref<UIView> currentHudView() const { return hudView_; }
    Ref<STIndefiniteAnimatedView> currentIndefiniteAnimatedView() const { return indefiniteAnimatedView_; }

    // A full circle of `radius` from the top, clockwise, in a 2r x 2r layer centred at `center`.
    Ref<CAShapeLayer> createRingLayerWithCenterRadiusLineWidthColor(CGPoint center, CGFloat radius, CGFloat lineWidth,
                                                                    const Ref<UIColor>& color);
    // The image's shape filled with the colour (its alpha kept), at its size and scale.
    static Ref<UIImage> imageWithTintColor(const Ref<UIImage>& image, const Ref<UIColor>& color);

private:
    void cancelRingLayerAnimation();
    void changeMaskType(STProgressHUDMaskType maskType);
    void applyTouchesAndAccessibility(const Ref<NSString>& status);

    STProgressHUDMaskType maskType_ = STProgressHUDMaskTypeNone;
    Ref<NSTimer> fadeOutTimer_;
    Ref<UIControl> overlayView_;
    Ref<UIView> hudView_;
    Ref<UILabel> stringLabel_;
    Ref<UIImageView> imageView_;
    Ref<STIndefiniteAnimatedView> indefiniteAnimatedView_;
    double progress_ = -1;
    NSUInteger activityCount_ = 0;
    Ref<CAShapeLayer> backgroundRingLayer_;
    Ref<CAShapeLayer> ringLayer_;
    UIOffset offsetFromCenter_{};
    // Shown since the last fade-in started, until a dismissal has torn the overlay down.
    bool shown_ = false;
    // Counts show requests, so that a fade-out's end knows whether a show came meanwhile.
    uint64_t showCount_ = 0;
};
