// UIStepper: minus and plus halves that step a value within a range; sends value-changed.
#pragma once

#include <UIKit/UIControl.h>

class UIStepper : public UIControl {
    NS_OBJECT(UIStepper, UIControl)
public:
    UIStepper() : UIStepper(CGRectZero) {}
    explicit UIStepper(CGRect frame) : UIControl(CGRectMake(frame.origin.x, frame.origin.y, 94, 29)) {}

    double value() const noexcept { return value_; }
    void setValue(double value);
    double minimumValue() const noexcept { return minimum_; }
    // Raises NSInvalidArgumentException when the minimum is not below the maximum (NaN included).
    // A NaN value is ignored.
    void setMinimumValue(double value);
    double maximumValue() const noexcept { return maximum_; }
    void setMaximumValue(double value);
    double stepValue() const noexcept { return step_; }
    // Raises NSInvalidArgumentException for a step of 0 or less (or not a finite number).
    void setStepValue(double step);
    bool wraps() const noexcept { return wraps_; }
    void setWraps(bool wraps) { wraps_ = wraps; }
    bool autorepeat() const noexcept { return autorepeat_; }
    void setAutorepeat(bool autorepeat) { autorepeat_ = autorepeat; }
    bool isContinuous() const noexcept { return continuous_; }
    void setContinuous(bool continuous) { continuous_ = continuous; }

    // One step up or down, as a tap on a half does; answers whether the value changed.
    bool increment();
    bool decrement();
    CGSize intrinsicContentSize() const override { return CGSizeMake(94, 29); }
    void endTrackingWithTouchWithEvent(const Ref<UITouch>& touch, const Ref<UIEvent>& event) override;

private:
    double value_ = 0;
    double minimum_ = 0;
    double maximum_ = 100;
    double step_ = 1;
    bool wraps_ = false;
    bool autorepeat_ = true;
    bool continuous_ = true;
};
