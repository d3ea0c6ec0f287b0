// UIControl: a view that turns touches into control events and sends each event's actions to its
// targets. Targets are held weakly (a freed target is skipped); a nil target sends the action up
// the responder chain. Actions are sent by selector with none, the sender, or the sender and the
// event as arguments, through UIApplication's sendAction:to:from:forEvent:.
#pragma once

#include <Foundation/NSSet.h>
#include <UIKit/UIView.h>

using UIControlEvents = NSUInteger;
inline constexpr UIControlEvents UIControlEventTouchDown = 1 << 0;
inline constexpr UIControlEvents UIControlEventTouchDownRepeat = 1 << 1;
inline constexpr UIControlEvents UIControlEventTouchDragInside = 1 << 2;
inline constexpr UIControlEvents UIControlEventTouchDragOutside = 1 << 3;
inline constexpr UIControlEvents UIControlEventTouchDragEnter = 1 << 4;
inline constexpr UIControlEvents UIControlEventTouchDragExit = 1 << 5;
inline constexpr UIControlEvents UIControlEventTouchUpInside = 1 << 6;
inline constexpr UIControlEvents UIControlEventTouchUpOutside = 1 << 7;
inline constexpr UIControlEvents UIControlEventTouchCancel = 1 << 8;
inline constexpr UIControlEvents UIControlEventValueChanged = 1 << 12;
inline constexpr UIControlEvents UIControlEventPrimaryActionTriggered = 1 << 13;
inline constexpr UIControlEvents UIControlEventEditingDidBegin = 1 << 16;
inline constexpr UIControlEvents UIControlEventEditingChanged = 1 << 17;
inline constexpr UIControlEvents UIControlEventEditingDidEnd = 1 << 18;
inline constexpr UIControlEvents UIControlEventEditingDidEndOnExit = 1 << 19;
inline constexpr UIControlEvents UIControlEventAllTouchEvents = 0x00000FFF;
inline constexpr UIControlEvents UIControlEventAllEditingEvents = 0x000F0000;
inline constexpr UIControlEvents UIControlEventApplicationReserved = 0x0F000000;
inline constexpr UIControlEvents UIControlEventSystemReserved = 0xF0000000;
inline constexpr UIControlEvents UIControlEventAllEvents = 0xFFFFFFFF;

using UIControlState = NSUInteger;
inline constexpr UIControlState UIControlStateNormal = 0;
inline constexpr UIControlState UIControlStateHighlighted = 1 << 0;
inline constexpr UIControlState UIControlStateDisabled = 1 << 1;
inline constexpr UIControlState UIControlStateSelected = 1 << 2;
inline constexpr UIControlState UIControlStateFocused = 1 << 3;

enum UIControlContentHorizontalAlignment : NSInteger {
    UIControlContentHorizontalAlignmentCenter = 0,
    UIControlContentHorizontalAlignmentLeft = 1,
    UIControlContentHorizontalAlignmentRight = 2,
    UIControlContentHorizontalAlignmentFill = 3,
};

enum UIControlContentVerticalAlignment : NSInteger {
    UIControlContentVerticalAlignmentCenter = 0,
    UIControlContentVerticalAlignmentTop = 1,
    UIControlContentVerticalAlignmentBottom = 2,
    UIControlContentVerticalAlignmentFill = 3,
};

class UIControl : public UIView {
    NS_OBJECT(UIControl, UIView)
public:
    UIControl() = default;
    explicit UIControl(CGRect frame) : UIView(frame) {}

    // Adding the same target and action again adds the events to the existing entry.
    void addTargetActionForControlEvents(const id& target, SEL action, UIControlEvents events);
    // A nil action removes every action of the target for those events.
    void removeTargetActionForControlEvents(const id& target, SEL action, UIControlEvents events);
    Ref<NSSet> allTargets() const;
    UIControlEvents allControlEvents() const;
    // The names of the actions of `target` (nil: the nil target) for `event`, or nil.
    Ref<NSArray> actionsForTargetForControlEvent(const id& target, UIControlEvents event) const;
    // Sends the actions registered for any of the events, in registration order.
    void sendActionsForControlEvents(UIControlEvents events);
    virtual void sendActionToForEvent(SEL action, const id& target, const Ref<UIEvent>& event);

    bool isEnabled() const noexcept { return enabled_; }
    virtual void setEnabled(bool enabled);
    bool isSelected() const noexcept { return selected_; }
    virtual void setSelected(bool selected);
    bool isHighlighted() const noexcept { return highlighted_; }
    virtual void setHighlighted(bool highlighted);
    UIControlState state() const;
    UIControlContentHorizontalAlignment contentHorizontalAlignment() const noexcept { return horizontal_; }
    void setContentHorizontalAlignment(UIControlContentHorizontalAlignment a) { horizontal_ = a; }
    UIControlContentVerticalAlignment contentVerticalAlignment() const noexcept { return vertical_; }
    void setContentVerticalAlignment(UIControlContentVerticalAlignment a) { vertical_ = a; }
    bool isTracking() const noexcept { return tracking_; }
    bool isTouchInside() const noexcept { return touchInside_; }

    // Tracking: the default accepts every touch.
    virtual bool beginTrackingWithTouchWithEvent(const Ref<UITouch>& touch, const Ref<UIEvent>& event);
    virtual bool continueTrackingWithTouchWithEvent(const Ref<UITouch>& touch, const Ref<UIEvent>& event);
    virtual void endTrackingWithTouchWithEvent(const Ref<UITouch>& touch, const Ref<UIEvent>& event) {}
    virtual void cancelTrackingWithEvent(const Ref<UIEvent>& event) {}

    void touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesCancelledWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;

protected:
    // Sends the actions for `events` with the event that caused them.
    void sendActionsForEventsWithEvent(UIControlEvents events, const Ref<UIEvent>& event);
    // Called when enabled, selected or highlighted changed.
    virtual void stateDidChange() {}

private:
    bool insideForTracking(const Ref<UITouch>& touch) const;
    struct Entry {
        Weak<NSObject> target;
        bool nilTarget;
        SEL action;
        UIControlEvents events;
    };
    std::vector<Entry> entries_;
    bool enabled_ = true;
    bool selected_ = false;
    bool highlighted_ = false;
    bool tracking_ = false;
    bool touchInside_ = false;
    bool following_ = false; // a touch began on this control while it was enabled and has not ended
    UIControlContentHorizontalAlignment horizontal_ = UIControlContentHorizontalAlignmentCenter;
    UIControlContentVerticalAlignment vertical_ = UIControlContentVerticalAlignmentCenter;
};
