// UISwitch: an on/off control; a tap flips it and sends value-changed.
#pragma once

#include <UIKit/UIControl.h>

class UISwitch : public UIControl {
    NS_OBJECT(UISwitch, UIControl)
public:
    UISwitch() : UISwitch(CGRectZero) {}
    // The platform's switch has a fixed size of 51 x 31 points.
    explicit UISwitch(CGRect frame) : UIControl(CGRectMake(frame.origin.x, frame.origin.y, 51, 31)) {}

    bool isOn() const noexcept { return on_; }
    void setOn(bool on);
    void setOnAnimated(bool on, bool animated) { setOn(on); }
    NS_PROPERTY(Ref<UIColor>, onTintColor, setOnTintColor)
    NS_PROPERTY(Ref<UIColor>, thumbTintColor, setThumbTintColor)

    CGSize intrinsicContentSize() const override { return CGSizeMake(51, 31); }
    void endTrackingWithTouchWithEvent(const Ref<UITouch>& touch, const Ref<UIEvent>& event) override;

private:
    bool on_ = false;
};
