#include <Runtime/ClassBuilder.h>
#include <UIKit/UISlider.h>
#include <UIKit/UITouch.h>

#include <algorithm>
#include <cmath>

NS_IMPLEMENT_CLASS(UISlider, UIControl) {
    b.property("value", &UISlider::value, &UISlider::setValue);
    b.property("minimumValue", &UISlider::minimumValue, &UISlider::setMinimumValue);
    b.property("maximumValue", &UISlider::maximumValue, &UISlider::setMaximumValue);
    b.property("continuous", &UISlider::isContinuous, &UISlider::setContinuous);
    b.method("setValue:animated:", &UISlider::setValueAnimated);
}

void UISlider::setValue(float value) {
    if (std::isnan(value)) {
        return;
    }
    changeValueForKey("value", [&] { value_ = std::clamp(value, minimum_, std::max(minimum_, maximum_)); });
}

void UISlider::setMinimumValue(float value) {
    if (std::isnan(value)) {
        return;
    }
    minimum_ = value;
    maximum_ = std::max(maximum_, value);
    setValue(value_);
}

void UISlider::setMaximumValue(float value) {
    if (std::isnan(value)) {
        return;
    }
    maximum_ = value;
    minimum_ = std::min(minimum_, value);
    setValue(value_);
}

float UISlider::valueAtX(CGFloat x) const {
    CGFloat width = bounds().size.width;
    double fraction = width > 0 ? std::clamp(x / width, 0.0, 1.0) : 0;
    return static_cast<float>(minimum_ + fraction * (maximum_ - minimum_));
}

void UISlider::track(const Ref<UITouch>& touch, const Ref<UIEvent>& event, bool end) {
    float v = valueAtX(touch->locationInView(Ref<UIView>(this)).x);
    if (v != value_) {
        setValue(v);
        changed_ = true;
    }
    if (changed_ && (continuous_ || end)) {
        changed_ = false;
        sendActionsForEventsWithEvent(UIControlEventValueChanged, event);
    }
}

bool UISlider::beginTrackingWithTouchWithEvent(const Ref<UITouch>& touch, const Ref<UIEvent>& event) {
    changed_ = false;
    track(touch, event, false);
    return true;
}

bool UISlider::continueTrackingWithTouchWithEvent(const Ref<UITouch>& touch, const Ref<UIEvent>& event) {
    track(touch, event, false);
    return true;
}

void UISlider::endTrackingWithTouchWithEvent(const Ref<UITouch>& touch, const Ref<UIEvent>& event) {
    track(touch, event, true);
}
