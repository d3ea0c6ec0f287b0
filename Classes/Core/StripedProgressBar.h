// StripedProgressBar: a horizontal progress bar that draws itself: a track, a gradient fill up to
// the progress, moving diagonal stripes over the fill, a gloss band and an optional text.
//
// Its timers (the stripe animation and an animated change of progress) hold the bar weakly and run
// only while it is in a window, so a bar that leaves the screen stops redrawing and can go away.
#pragma once

#include <Foundation/NSTimer.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIView.h>

class StripedProgressBar : public UIView {
    NS_OBJECT(StripedProgressBar, UIView)
public:
    // `initWithFrame:`.
    explicit StripedProgressBar(CGRect frame = CGRectZero);
    ~StripedProgressBar() override;

    // The single-precision 1/30 second of both timers.
    static double timerInterval() { return static_cast<double>(1.0f / 30.0f); }

    double progress() const;
    void setProgress(double progress);
    void setProgressAnimated(double progress, bool animated);
    uint64_t behavior() const noexcept { return behavior_; }
    void setBehavior(uint64_t behavior);
    bool hideGloss() const noexcept { return hideGloss_; }
    void setHideGloss(bool hide) { hideGloss_ = hide; }
    bool progressStretch() const noexcept { return progressStretch_; }
    void setProgressStretch(bool stretch) { progressStretch_ = stretch; }
    Ref<NSArray> progressTintColors() const { return progressTintColors_; }
    void setProgressTintColors(const Ref<NSArray>& colors);
    Ref<UIColor> progressTintColor() const { return progressTintColor_; }
    void setProgressTintColor(const Ref<UIColor>& color);
    Ref<UIColor> trackTintColor() const { return trackTintColor_; }
    void setTrackTintColor(const Ref<UIColor>& color) { trackTintColor_ = color; }
    double progressBarInset() const noexcept { return progressBarInset_; }
    void setProgressBarInset(double inset) { progressBarInset_ = inset; }
    uint64_t type() const noexcept { return type_; }
    void setType(uint64_t type);
    double cornerRadius() const noexcept { return cornerRadius_; }
    void setCornerRadius(double radius) { cornerRadius_ = radius; }
    Ref<UILabel> indicatorTextLabel() const { return indicatorTextLabel_; }
    void setIndicatorTextLabel(const Ref<UILabel>& label) { indicatorTextLabel_ = label; }
    uint64_t indicatorTextDisplayMode() const noexcept { return indicatorTextDisplayMode_; }
    void setIndicatorTextDisplayMode(uint64_t mode) { indicatorTextDisplayMode_ = mode; }
    bool isStripesAnimated() const noexcept { return stripesAnimated_; }
    void setStripesAnimated(bool animated);
    int64_t stripesDirection() const noexcept { return stripesDirection_; }
    void setStripesDirection(int64_t direction) { stripesDirection_ = direction; }
    double stripesAnimationVelocity() const noexcept { return stripesAnimationVelocity_; }
    void setStripesAnimationVelocity(double velocity) { stripesAnimationVelocity_ = velocity; }
    uint64_t stripesOrientation() const noexcept { return stripesOrientation_; }
    void setStripesOrientation(uint64_t orientation) { stripesOrientation_ = orientation; }
    int64_t stripesWidth() const noexcept { return stripesWidth_; }
    void setStripesWidth(int64_t width) { stripesWidth_ = width; }
    Ref<UIColor> stripesColor() const { return stripesColor_; }
    void setStripesColor(const Ref<UIColor>& color) { stripesColor_ = color; }
    int64_t stripesDelta() const noexcept { return stripesDelta_; }
    void setStripesDelta(int64_t delta) { stripesDelta_ = delta; }
    bool hideStripes() const noexcept { return hideStripes_; }
    void setHideStripes(bool hide);
    bool hideTrack() const noexcept { return hideTrack_; }
    void setHideTrack(bool hide) { hideTrack_ = hide; }

    // Internal state, readable for tests.
    double stripesOffset() const noexcept { return stripesOffset_; }
    double internalCornerRadius() const noexcept { return internalCornerRadius_; }
    Ref<NSTimer> stripesTimer() const { return stripesTimer_; }
    Ref<NSTimer> progressTargetTimer() const { return progressTargetTimer_; }
    double progressTargetValue() const noexcept { return progressTargetValue_; }
    Ref<NSArray> colors() const { return colors_; }

    void initializeProgressBar();
    void updateProgressWithTimer(const Ref<NSTimer>& timer);
    void layoutSubviews() override;
    void drawRect(CGRect rect) override;
    void drawTrackWithRect(const CGContextRef& context, CGRect rect);
    void drawTextWithRect(const CGContextRef& context, CGRect rect);
    void drawProgressBarWithInnerRectOutterRect(const CGContextRef& context, CGRect innerRect, CGRect outterRect);
    void drawStripesWithRect(const CGContextRef& context, CGRect rect);
    void drawGlossWithRect(const CGContextRef& context, CGRect rect);
    Ref<UIBezierPath> stripeWithOriginBoundsOrientation(CGPoint origin, CGRect bounds, uint64_t orientation) const;
    void didMoveToWindow() override;

private:
    // Starts or stops the stripe timer by hideStripes and stripesAnimated (and the window).
    void updateStripesTimer();
    Ref<NSTimer> makeTimer(void (*tick)(StripedProgressBar*, const Ref<NSTimer>&), const id& userInfo);

    double progress_ = 0.3;
    uint64_t behavior_ = 0;
    bool hideGloss_ = false;
    bool progressStretch_ = true;
    Ref<NSArray> progressTintColors_;
    Ref<UIColor> progressTintColor_;
    Ref<UIColor> trackTintColor_;
    double progressBarInset_ = 1;
    uint64_t type_ = 0;
    double cornerRadius_ = 0;
    Ref<UILabel> indicatorTextLabel_;
    uint64_t indicatorTextDisplayMode_ = 0;
    bool stripesAnimated_ = false;
    int64_t stripesDirection_ = 1;
    double stripesAnimationVelocity_ = 1;
    uint64_t stripesOrientation_ = 0;
    int64_t stripesWidth_ = 7;
    Ref<UIColor> stripesColor_;
    int64_t stripesDelta_ = 8;
    bool hideStripes_ = false;
    bool hideTrack_ = false;
    double stripesOffset_ = 0;
    double internalCornerRadius_ = 0;
    Ref<NSTimer> stripesTimer_;
    Ref<NSArray> colors_;
    Ref<NSTimer> progressTargetTimer_;
    double progressTargetValue_ = 0;
    // Set when the bar has left its window.
    bool offScreen_ = false;
};
