// UISlider: picks a value between a minimum and a maximum by dragging along its width; sends
// value-changed while dragging (continuous) or at the end.
#pragma once

#include <UIKit/UIControl.h>

class UISlider : public UIControl {
    NS_OBJECT(UISlider, UIControl)
public:
    UISlider() = default;
    explicit UISlider(CGRect frame) : UIControl(frame) {}

    float value() const noexcept { return value_; }
    // Clamped to the range; NaN is ignored (here and for the limits).
    void setValue(float value);
    void setValueAnimated(float value, bool animated) { setValue(value); }
    float minimumValue() const noexcept { return minimum_; }
    void setMinimumValue(float value);
    float maximumValue() const noexcept { return maximum_; }
    void setMaximumValue(float value);
    bool isContinuous() const noexcept { return continuous_; }
    void setContinuous(bool continuous) { continuous_ = continuous; }
    NS_PROPERTY(Ref<UIColor>, minimumTrackTintColor, setMinimumTrackTintColor)
    NS_PROPERTY(Ref<UIColor>, maximumTrackTintColor, setMaximumTrackTintColor)

    // The value at an x position in the slider's bounds.
    float valueAtX(CGFloat x) const;
    CGSize intrinsicContentSize() const override { return CGSizeMake(UIViewNoIntrinsicMetric, 31); }
    bool beginTrackingWithTouchWithEvent(const Ref<UITouch>& touch, const Ref<UIEvent>& event) override;
    bool continueTrackingWithTouchWithEvent(const Ref<UITouch>& touch, const Ref<UIEvent>& event) override;
    void endTrackingWithTouchWithEvent(const Ref<UITouch>& touch, const Ref<UIEvent>& event) override;

private:
    void track(const Ref<UITouch>& touch, const Ref<UIEvent>& event, bool end);
    float value_ = 0;
    float minimum_ = 0;
    float maximum_ = 1;
    bool continuous_ = true;
    bool changed_ = false;
};
