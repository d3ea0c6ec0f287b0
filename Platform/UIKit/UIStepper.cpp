#include <Runtime/ClassBuilder.h>
#include <UIKit/UIStepper.h>
#include <UIKit/UITouch.h>

#include <algorithm>
#include <cmath>

NS_IMPLEMENT_CLASS(UIStepper, UIControl) {
    b.property("value", &UIStepper::value, &UIStepper::setValue);
    b.property("minimumValue", &UIStepper::minimumValue, &UIStepper::setMinimumValue);
    b.property("maximumValue", &UIStepper::maximumValue, &UIStepper::setMaximumValue);
    b.property("stepValue", &UIStepper::stepValue, &UIStepper::setStepValue);
    b.property("wraps", &UIStepper::wraps, &UIStepper::setWraps);
}

void UIStepper::setValue(double value) {
    if (std::isnan(value)) {
        return;
    }
    changeValueForKey("value", [&] { value_ = std::clamp(value, minimum_, maximum_); });
}

void UIStepper::setMinimumValue(double value) {
    if (!(value < maximum_)) {
        NSException::raise(NSInvalidArgumentException, "the stepper's minimum must be below its maximum");
    }
    minimum_ = value;
    setValue(value_);
}

void UIStepper::setMaximumValue(double value) {
    if (!(value > minimum_)) {
        NSException::raise(NSInvalidArgumentException, "the stepper's maximum must be above its minimum");
    }
    maximum_ = value;
    setValue(value_);
}

void UIStepper::setStepValue(double step) {
    if (!(step > 0) || std::isinf(step)) {
        NSException::raise(NSInvalidArgumentException, "the stepper's step must be above 0");
    }
    step_ = step;
}

bool UIStepper::increment() {
    double old = value_;
    double next = value_ + step_;
    if (next > maximum_) {
        next = wraps_ ? minimum_ : maximum_;
    }
    setValue(next);
    return value_ != old;
}

bool UIStepper::decrement() {
    double old = value_;
    double next = value_ - step_;
    if (next < minimum_) {
        next = wraps_ ? maximum_ : minimum_;
    }
    setValue(next);
    return value_ != old;
}

void UIStepper::endTrackingWithTouchWithEvent(const Ref<UITouch>& touch, const Ref<UIEvent>& event) {
    if (!isTouchInside()) {
        return;
    }
    bool plus = touch->locationInView(Ref<UIView>(this)).x >= bounds().size.width / 2;
    if (plus ? increment() : decrement()) {
        sendActionsForEventsWithEvent(UIControlEventValueChanged, event);
    }
}
