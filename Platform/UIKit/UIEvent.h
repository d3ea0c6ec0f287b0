// UIEvent: one event of the touch, motion or remote-control kind. A touch event carries every touch
// down on the screen; each touch remembers its view, window, phase and locations.
#pragma once

#include <UIKit/UIResponder.h>

class UIView;
class UIWindow;
class UITouch;
class UIGestureRecognizer;

enum UIEventType : NSInteger {
    UIEventTypeTouches = 0,
    UIEventTypeMotion = 1,
    UIEventTypeRemoteControl = 2,
    UIEventTypePresses = 3,
};

class UIEvent : public NSObject {
    NS_OBJECT(UIEvent, NSObject)
public:
    UIEvent() = default;
    UIEvent(UIEventType type, UIEventSubtype subtype, double timestamp);
    ~UIEvent() override;

    UIEventType type() const noexcept { return type_; }
    UIEventSubtype subtype() const noexcept { return subtype_; }
    // Seconds on the process clock.
    double timestamp() const noexcept { return timestamp_; }

    Ref<NSSet> allTouches() const;
    Ref<NSSet> touchesForView(const Ref<UIView>& view) const;
    Ref<NSSet> touchesForWindow(const Ref<UIWindow>& window) const;
    Ref<NSSet> touchesForGestureRecognizer(const Ref<UIGestureRecognizer>& recognizer) const;

    // Set by the window that delivers the event.
    void setTouches(std::vector<Ref<UITouch>> touches);
    const std::vector<Ref<UITouch>>& touchList() const noexcept { return touches_; }

    Ref<NSString> description() const override;

private:
    UIEventType type_ = UIEventTypeTouches;
    UIEventSubtype subtype_ = UIEventSubtypeNone;
    double timestamp_ = 0;
    std::vector<Ref<UITouch>> touches_;
};
