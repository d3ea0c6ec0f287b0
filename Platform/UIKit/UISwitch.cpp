#include <Runtime/ClassBuilder.h>
#include <UIKit/UISwitch.h>

NS_IMPLEMENT_CLASS(UISwitch, UIControl) {
    b.property("on", &UISwitch::isOn, &UISwitch::setOn);
    b.property("onTintColor", &UISwitch::onTintColor, &UISwitch::setOnTintColor);
    b.method("setOn:animated:", &UISwitch::setOnAnimated);
}

void UISwitch::setOn(bool on) {
    changeValueForKey("on", [&] { on_ = on; });
}

void UISwitch::endTrackingWithTouchWithEvent(const Ref<UITouch>&, const Ref<UIEvent>& event) {
    if (!isTouchInside()) {
        return;
    }
    setOn(!on_);
    sendActionsForEventsWithEvent(UIControlEventValueChanged, event);
}
