#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIControl.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UITouch.h>

#include <utility>

namespace {
// How far outside its bounds a tracked touch still counts as inside, as on the platform.
constexpr CGFloat kTrackingSlop = 70;
} // namespace

NS_IMPLEMENT_CLASS(UIControl, UIView) {
    b.property("enabled", &UIControl::isEnabled, &UIControl::setEnabled);
    b.property("selected", &UIControl::isSelected, &UIControl::setSelected);
    b.property("highlighted", &UIControl::isHighlighted, &UIControl::setHighlighted);
    b.readonlyProperty("state", &UIControl::state);
    b.readonlyProperty("tracking", &UIControl::isTracking);
    b.method("sendActionsForControlEvents:", &UIControl::sendActionsForControlEvents);
    b.method("sendAction:to:forEvent:", &UIControl::sendActionToForEvent);
    b.method("allTargets", &UIControl::allTargets);
    b.method("allControlEvents", &UIControl::allControlEvents);
    b.method("actionsForTarget:forControlEvent:", &UIControl::actionsForTargetForControlEvent);
}

void UIControl::addTargetActionForControlEvents(const id& target, SEL action, UIControlEvents events) {
    if (action.isNull() || events == 0) {
        return;
    }
    std::erase_if(entries_, [](const Entry& e) { return !e.nilTarget && e.target.expired(); });
    for (auto& e : entries_) {
        bool same = target ? (!e.nilTarget && e.target.unsafePointer() == target.get()) : e.nilTarget;
        if (same && e.action == action) {
            e.events |= events;
            return;
        }
    }
    entries_.push_back({Weak<NSObject>(target), !target, action, events});
}

void UIControl::removeTargetActionForControlEvents(const id& target, SEL action, UIControlEvents events) {
    for (auto& e : entries_) {
        bool same = target ? (!e.nilTarget && e.target.unsafePointer() == target.get()) : true;
        if (same && (action.isNull() || e.action == action)) {
            e.events &= ~events;
        }
    }
    std::erase_if(entries_, [](const Entry& e) { return e.events == 0 || (!e.nilTarget && e.target.expired()); });
}

Ref<NSSet> UIControl::allTargets() const {
    std::vector<id> targets;
    for (const auto& e : entries_) {
        if (e.nilTarget) {
            targets.push_back(NSNull::null());
        } else if (auto t = e.target.lock()) {
            targets.push_back(t);
        }
    }
    return NSSet::setWithArray(NSArray::arrayWithVector(std::move(targets)));
}

UIControlEvents UIControl::allControlEvents() const {
    UIControlEvents all = 0;
    for (const auto& e : entries_) {
        if (e.nilTarget || !e.target.expired()) {
            all |= e.events;
        }
    }
    return all;
}

Ref<NSArray> UIControl::actionsForTargetForControlEvent(const id& target, UIControlEvents event) const {
    std::vector<id> names;
    for (const auto& e : entries_) {
        bool same = target ? (!e.nilTarget && e.target.unsafePointer() == target.get()) : e.nilTarget;
        if (same && (e.events & event)) {
            names.push_back(NSString::from(e.action.name()));
        }
    }
    if (names.empty()) {
        return nullptr;
    }
    return NSArray::arrayWithVector(std::move(names));
}

void UIControl::sendActionsForControlEvents(UIControlEvents events) {
    sendActionsForEventsWithEvent(events, nullptr);
}

void UIControl::sendActionsForEventsWithEvent(UIControlEvents events, const Ref<UIEvent>& event) {
    uikit_detail::assertMainThread("sendActionsForControlEvents");
    Ref<UIControl> self(this);
    auto entries = entries_;
    for (const auto& e : entries) {
        if (!(e.events & events)) {
            continue;
        }
        id target;
        if (!e.nilTarget) {
            target = e.target.lock();
            if (!target) {
                continue;
            }
        }
        uikit_detail::send(self, "sendAction:to:forEvent:", {NSString::from(e.action.name()), target, event});
    }
}

void UIControl::sendActionToForEvent(SEL action, const id& target, const Ref<UIEvent>& event) {
    UIApplication::sharedApplication()->sendActionToFromForEvent(action, target, Ref<UIControl>(this), event);
}

void UIControl::setEnabled(bool enabled) {
    if (enabled == enabled_) {
        return;
    }
    changeValueForKey("enabled", [&] { enabled_ = enabled; });
    if (!enabled) {
        highlighted_ = false;
    }
    stateDidChange();
}

void UIControl::setSelected(bool selected) {
    if (selected == selected_) {
        return;
    }
    changeValueForKey("selected", [&] { selected_ = selected; });
    stateDidChange();
}

void UIControl::setHighlighted(bool highlighted) {
    if (highlighted == highlighted_) {
        return;
    }
    changeValueForKey("highlighted", [&] { highlighted_ = highlighted; });
    stateDidChange();
}

UIControlState UIControl::state() const {
    UIControlState s = UIControlStateNormal;
    if (highlighted_) {
        s |= UIControlStateHighlighted;
    }
    if (!enabled_) {
        s |= UIControlStateDisabled;
    }
    if (selected_) {
        s |= UIControlStateSelected;
    }
    return s;
}

bool UIControl::beginTrackingWithTouchWithEvent(const Ref<UITouch>&, const Ref<UIEvent>&) {
    return true;
}

bool UIControl::continueTrackingWithTouchWithEvent(const Ref<UITouch>&, const Ref<UIEvent>&) {
    return true;
}

bool UIControl::insideForTracking(const Ref<UITouch>& touch) const {
    CGPoint p = touch->locationInView(Ref<UIView>(const_cast<UIControl*>(this)));
    return CGRectContainsPoint(CGRectInset(bounds(), -kTrackingSlop, -kTrackingSlop), p);
}

void UIControl::touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    auto touch = cast<UITouch>(touches->anyObject());
    if (!enabled_ || !touch) {
        return;
    }
    Ref<UIControl> self(this);
    following_ = true;
    tracking_ = beginTrackingWithTouchWithEvent(touch, event);
    touchInside_ = true;
    setHighlighted(true);
    UIControlEvents events = UIControlEventTouchDown;
    if (touch->tapCount() > 1) {
        events |= UIControlEventTouchDownRepeat;
    }
    sendActionsForEventsWithEvent(events, event);
}

void UIControl::touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    auto touch = cast<UITouch>(touches->anyObject());
    if (!enabled_ || !touch || !following_) {
        return;
    }
    Ref<UIControl> self(this);
    bool inside = insideForTracking(touch);
    bool was = touchInside_;
    touchInside_ = inside;
    setHighlighted(inside);
    if (tracking_) {
        tracking_ = continueTrackingWithTouchWithEvent(touch, event);
    }
    UIControlEvents events = inside ? (was ? UIControlEventTouchDragInside : UIControlEventTouchDragEnter)
                                    : (was ? UIControlEventTouchDragExit : UIControlEventTouchDragOutside);
    sendActionsForEventsWithEvent(events, event);
}

void UIControl::touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    auto touch = cast<UITouch>(touches->anyObject());
    bool following = std::exchange(following_, false);
    if (!enabled_ || !touch || !following) {
        return;
    }
    Ref<UIControl> self(this);
    bool inside = insideForTracking(touch);
    touchInside_ = inside;
    setHighlighted(false);
    if (tracking_) {
        endTrackingWithTouchWithEvent(touch, event);
    }
    tracking_ = false;
    sendActionsForEventsWithEvent(inside ? UIControlEventTouchUpInside : UIControlEventTouchUpOutside, event);
}

void UIControl::touchesCancelledWithEvent(const Ref<NSSet>&, const Ref<UIEvent>& event) {
    if (!std::exchange(following_, false)) {
        return; // no touch of this control to cancel
    }
    Ref<UIControl> self(this);
    setHighlighted(false);
    if (tracking_) {
        cancelTrackingWithEvent(event);
    }
    tracking_ = false;
    sendActionsForEventsWithEvent(UIControlEventTouchCancel, event);
}
