// PGProgressHUD: a modal progress overlay laid over a host view with the host's bounds. A rounded
// bezel in its middle holds a vertical stack of an indicator (spinner, round, annular or bar
// progress, a custom view, or none), a bold label, a multi-line details label and a button, laid
// out by Auto Layout. It fades or zooms in and out, can wait a grace time before it shows, stays a
// minimum time once shown, can hide itself after a delay, and when hidden can leave its host, run
// a completion block and tell its delegate. Main thread only (checked).
//
// Timers run on the run loop of the calling thread in the common modes, on the platform clock.
// Show and hide requests pair up:
//   - a show request cancels every delayed hide that is still pending, so a delayed hide asked for
//     an earlier showing never hides the HUD once it is shown again;
//   - the completion block and the delegate's hudWasHidden: run once when a showing ends, never
//     for a hiding that a new show overtook (the HUD is then still visible), and not again for a
//     further hide of a HUD that is already hidden;
//   - HUDForView: and hideHUDForView:animated: pass over HUDs that are already hiding.
#pragma once

#include <UISupport/PGProgressViews.h>

#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSNotificationCenter.h>
#include <Runtime/ProtocolBuilder.h>
#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UILabel.h>

#include <atomic>
#include <mutex>

#include <functional>

#include <Foundation/NSTimer.h>
#include <Network/NSProgress.h>
#include <QuartzCore/CADisplayLink.h>
class PGProgressHUD;

enum PGProgressHUDMode : NSInteger {
    PGProgressHUDModeIndeterminate = 0,
    PGProgressHUDModeDeterminate = 1,
    PGProgressHUDModeDeterminateHorizontalBar = 2,
    PGProgressHUDModeAnnularDeterminate = 3,
    PGProgressHUDModeCustomView = 4,
    PGProgressHUDModeText = 5,
};

enum PGProgressHUDAnimation : NSInteger {
    PGProgressHUDAnimationFade = 0,
    PGProgressHUDAnimationZoom = 1,
    PGProgressHUDAnimationZoomOut = 2,
    PGProgressHUDAnimationZoomIn = 3,
};

NS_DECLARE_PROTOCOL(PGProgressHUDDelegate);

class PGProgressHUD : public UIView {
    NS_OBJECT(PGProgressHUD, UIView)
public:
    using CompletionBlock = std::function<void()>;

    // `initWithFrame:`.
    PGProgressHUD() : PGProgressHUD(CGRectZero) {}
    explicit PGProgressHUD(CGRect frame);
    // `initWithView:`: the view's bounds.
    explicit PGProgressHUD(const Ref<UIView>& view);
    ~PGProgressHUD() override;

    // MARK: Class operations. `cls` is the receiving class (PGProgressHUD or a subclass).
    static Ref<PGProgressHUD> showHUDAddedToAnimated(const Ref<UIView>& view, bool animated,
                                                     Class cls = PGProgressHUD::class_());
    static bool hideHUDForViewAnimated(const Ref<UIView>& view, bool animated, Class cls = PGProgressHUD::class_());
    // The HUD nearest the top of the view's own subviews that is not hiding, or nil.
    static Ref<PGProgressHUD> HUDForView(const Ref<UIView>& view, Class cls = PGProgressHUD::class_());

    // MARK: Showing and hiding.
    void showAnimated(bool animated);
    void hideAnimated(bool animated);
    void hideAnimatedAfterDelay(bool animated, double delay);

    // MARK: Properties.
    Ref<NSObject> delegate() const { return delegate_.lock(); }
    void setDelegate(const Ref<NSObject>& delegate) { delegate_ = delegate; }
    CompletionBlock completionBlock() const;
    void setCompletionBlock(CompletionBlock block);
    double graceTime() const noexcept { return graceTime_; }
    void setGraceTime(double seconds) { graceTime_ = seconds; }
    double minShowTime() const noexcept { return minShowTime_; }
    void setMinShowTime(double seconds) { minShowTime_ = seconds; }
    bool removeFromSuperViewOnHide() const noexcept { return removeFromSuperViewOnHide_; }
    void setRemoveFromSuperViewOnHide(bool remove) { removeFromSuperViewOnHide_ = remove; }
    PGProgressHUDMode mode() const noexcept { return mode_; }
    void setMode(PGProgressHUDMode mode);
    Ref<UIColor> contentColor() const { return contentColor_; }
    void setContentColor(const Ref<UIColor>& color);
    PGProgressHUDAnimation animationType() const noexcept { return animationType_; }
    void setAnimationType(PGProgressHUDAnimation type) { animationType_ = type; }
    CGPoint offset() const noexcept { return offset_; }
    void setOffset(CGPoint offset);
    CGFloat margin() const noexcept { return margin_; }
    void setMargin(CGFloat margin);
    CGSize minSize() const noexcept { return minSize_; }
    void setMinSize(CGSize size);
    bool isSquare() const noexcept { return square_; }
    void setSquare(bool square);
    bool areDefaultMotionEffectsEnabled() const noexcept { return defaultMotionEffectsEnabled_; }
    void setDefaultMotionEffectsEnabled(bool enabled);
    float progress() const noexcept { return progress_; }
    void setProgress(float progress);
    Ref<NSProgress> progressObject() const { return progressObject_; }
    void setProgressObject(const Ref<NSProgress>& progress);
    Ref<UIView> customView() const { return customView_; }
    void setCustomView(const Ref<UIView>& view);
    Ref<PGBackgroundView> bezelView() const { return bezelView_; }
    Ref<PGBackgroundView> backgroundView() const { return backgroundView_; }
    Ref<UILabel> label() const { return label_; }
    Ref<UILabel> detailsLabel() const { return detailsLabel_; }
    Ref<PGProgressHUDRoundedButton> button() const { return button_; }
    bool taskInProgress() const noexcept { return taskInProgress_.load(); }
    void setTaskInProgress(bool inProgress) { taskInProgress_.store(inProgress); }

    // Internal state, readable for tests and subclasses.
    bool useAnimation() const noexcept { return useAnimation_; }
    bool hasFinished() const noexcept { return finished_; }
    Ref<UIView> indicator() const { return indicator_; }
    Ref<NSDate> showStarted() const { return showStarted_; }
    Ref<NSArray> paddingConstraints() const { return paddingConstraints_; }
    Ref<NSArray> bezelConstraints() const { return bezelConstraints_; }
    Ref<UIView> topSpacer() const { return topSpacer_; }
    Ref<UIView> bottomSpacer() const { return bottomSpacer_; }
    Ref<NSTimer> graceTimer() const;
    Ref<NSTimer> minShowTimer() const;
    Ref<NSTimer> hideDelayTimer() const;
    Ref<CADisplayLink> progressObjectDisplayLink() const;

    // MARK: The older interface.
    static Ref<NSArray> allHUDsForView(const Ref<UIView>& view, Class cls = PGProgressHUD::class_());
    static NSUInteger hideAllHUDsForViewAnimated(const Ref<UIView>& view, bool animated);
    // `initWithWindow:`.
    static Ref<PGProgressHUD> HUDWithWindow(const Ref<UIWindow>& window);
    void show(bool animated) { showAnimated(animated); }
    void hide(bool animated) { hideAnimated(animated); }
    void hideAfterDelay(bool animated, double delay) { hideAnimatedAfterDelay(animated, delay); }
    void showWhileExecutingOnTargetWithObjectAnimated(SEL method, const id& target, const id& object, bool animated);
    void showAnimatedWhileExecutingBlock(bool animated, std::function<void()> block);
    void showAnimatedWhileExecutingBlockCompletionBlock(bool animated, std::function<void()> block,
                                                        CompletionBlock completion);
    void showAnimatedWhileExecutingBlockOnQueue(bool animated, std::function<void()> block,
                                                const dispatch_queue_t& queue);
    void showAnimatedWhileExecutingBlockOnQueueCompletionBlock(bool animated, std::function<void()> block,
                                                               const dispatch_queue_t& queue,
                                                               CompletionBlock completion);
    Ref<NSString> labelText() const;
    void setLabelText(const Ref<NSString>& text);
    Ref<UIFont> labelFont() const;
    void setLabelFont(const Ref<UIFont>& font);
    Ref<UIColor> labelColor() const;
    void setLabelColor(const Ref<UIColor>& color);
    Ref<NSString> detailsLabelText() const;
    void setDetailsLabelText(const Ref<NSString>& text);
    Ref<UIFont> detailsLabelFont() const;
    void setDetailsLabelFont(const Ref<UIFont>& font);
    Ref<UIColor> detailsLabelColor() const;
    void setDetailsLabelColor(const Ref<UIColor>& color);
    double opacity() const noexcept { return opacity_; }
    void setOpacity(double opacity) { opacity_ = opacity; }
    Ref<UIColor> color() const;
    void setColor(const Ref<UIColor>& color);
    CGFloat xOffset() const noexcept { return offset_.x; }
    void setXOffset(CGFloat x);
    CGFloat yOffset() const noexcept { return offset_.y; }
    void setYOffset(CGFloat y);
    CGFloat cornerRadius() const;
    void setCornerRadius(CGFloat radius);
    bool dimBackground() const;
    void setDimBackground(bool dim);
    CGSize size() const;
    Ref<UIColor> activityIndicatorColor() const { return activityIndicatorColor_; }
    void setActivityIndicatorColor(const Ref<UIColor>& color);

    // MARK: UIView.
    void didMoveToSuperview() override;
    void layoutSubviews() override;
    void updateConstraints() override;

    // Targets of timers, the display link and notifications (reached by selector).
    void handleGraceTimer(const Ref<NSTimer>& timer);
    void handleMinShowTimer(const Ref<NSTimer>& timer);
    void handleHideTimer(const Ref<NSTimer>& timer);
    void updateProgressFromProgressObject();
    void statusBarOrientationDidChange(const Ref<NSNotification>& notification);

private:
    void commonInit();
    void setupViews();
    void updateIndicators();
    void updateViewsForColor(const Ref<UIColor>& color);
    void updateBezelMotionEffects();
    void updatePaddingConstraints();
    void showUsingAnimation(bool animated);
    void hideUsingAnimation(bool animated);
    void animateIn(bool animatingIn, PGProgressHUDAnimation type, std::function<void(bool)> completion);
    void done();
    void cleanUp();
    void setNSProgressDisplayLinkEnabled(bool enabled);
    void setProgressObjectDisplayLink(const Ref<CADisplayLink>& link);
    void updateForCurrentOrientationAnimated(bool animated);
    void registerForNotifications();
    void unregisterFromNotifications();
    void cancelDelayedHides();

    Ref<UIColor> activityIndicatorColor_;
    double opacity_ = 1.0;
    bool removeFromSuperViewOnHide_ = false;
    bool square_ = false;
    bool defaultMotionEffectsEnabled_ = true;
    bool useAnimation_ = false;
    bool finished_ = false;
    // A show was asked for and its hiding has not ended yet.
    bool showing_ = false;
    std::atomic<bool> taskInProgress_{false};
    float progress_ = 0;
    Weak<NSObject> delegate_;
    mutable std::mutex completionLock_;
    CompletionBlock completionBlock_;
    double graceTime_ = 0;
    double minShowTime_ = 0;
    PGProgressHUDMode mode_ = PGProgressHUDModeIndeterminate;
    Ref<UIColor> contentColor_;
    PGProgressHUDAnimation animationType_ = PGProgressHUDAnimationFade;
    CGFloat margin_ = 20.0;
    Ref<NSProgress> progressObject_;
    Ref<PGBackgroundView> bezelView_;
    Ref<PGBackgroundView> backgroundView_;
    Ref<UIView> customView_;
    Ref<UILabel> label_;
    Ref<UILabel> detailsLabel_;
    Ref<PGProgressHUDRoundedButton> button_;
    Ref<UIView> indicator_;
    Ref<NSDate> showStarted_;
    Ref<NSArray> paddingConstraints_;
    Ref<NSArray> bezelConstraints_;
    Ref<UIView> topSpacer_;
    Ref<UIView> bottomSpacer_;
    Weak<NSTimer> graceTimer_;
    Weak<NSTimer> minShowTimer_;
    Weak<NSTimer> hideDelayTimer_;
    std::vector<Weak<NSTimer>> pendingHideTimers_;
    Weak<CADisplayLink> progressObjectDisplayLink_;
    CGPoint offset_{0, 0};
    CGSize minSize_{0, 0};
};
