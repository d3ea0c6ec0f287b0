// UIProgressView: a bar showing a fraction from 0 to 1.
#pragma once

#include <UIKit/UIView.h>

enum UIProgressViewStyle : NSInteger {
    UIProgressViewStyleDefault = 0,
    UIProgressViewStyleBar = 1,
};

class UIProgressView : public UIView {
    NS_OBJECT(UIProgressView, UIView)
public:
    UIProgressView() : UIProgressView(CGRectZero) {}
    explicit UIProgressView(CGRect frame) : UIView(frame) {}
    // `initWithProgressViewStyle:`.
    explicit UIProgressView(UIProgressViewStyle style) : UIView(CGRectMake(0, 0, 150, 2)), style_(style) {}

    float progress() const noexcept { return progress_; }
    // Clamped to 0..1 (NaN reads as 0).
    void setProgress(float progress);
    void setProgressAnimated(float progress, bool animated) { setProgress(progress); }
    UIProgressViewStyle progressViewStyle() const noexcept { return style_; }
    void setProgressViewStyle(UIProgressViewStyle style) { style_ = style; }
    NS_PROPERTY(Ref<UIColor>, progressTintColor, setProgressTintColor)
    NS_PROPERTY(Ref<UIColor>, trackTintColor, setTrackTintColor)

    CGSize intrinsicContentSize() const override { return CGSizeMake(UIViewNoIntrinsicMetric, 2); }

private:
    float progress_ = 0;
    UIProgressViewStyle style_ = UIProgressViewStyleDefault;
};
