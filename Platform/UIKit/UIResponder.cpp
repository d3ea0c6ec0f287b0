#include <Runtime/ClassBuilder.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UIResponder.h>

namespace {
Weak<UIResponder>& firstResponderSlot() {
    static Weak<UIResponder>* slot = new Weak<UIResponder>;
    return *slot;
}
} // namespace

NS_IMPLEMENT_CLASS(UIResponder, NSObject) {
    b.method("nextResponder", &UIResponder::nextResponder);
    b.method("canBecomeFirstResponder", &UIResponder::canBecomeFirstResponder);
    b.method("becomeFirstResponder", &UIResponder::becomeFirstResponder);
    b.method("resignFirstResponder", &UIResponder::resignFirstResponder);
    b.method("isFirstResponder", &UIResponder::isFirstResponder);
    b.method("touchesBegan:withEvent:", &UIResponder::touchesBeganWithEvent);
    b.method("touchesMoved:withEvent:", &UIResponder::touchesMovedWithEvent);
    b.method("touchesEnded:withEvent:", &UIResponder::touchesEndedWithEvent);
    b.method("touchesCancelled:withEvent:", &UIResponder::touchesCancelledWithEvent);
    b.method("motionBegan:withEvent:", &UIResponder::motionBeganWithEvent);
    b.method("motionEnded:withEvent:", &UIResponder::motionEndedWithEvent);
    b.method("motionCancelled:withEvent:", &UIResponder::motionCancelledWithEvent);
    b.method("remoteControlReceivedWithEvent:", &UIResponder::remoteControlReceivedWithEvent);
}

Ref<UIResponder> UIResponder::currentFirstResponder() {
    return firstResponderSlot().lock();
}

bool UIResponder::isFirstResponder() const {
    return firstResponderSlot().lock().get() == this;
}

bool UIResponder::becomeFirstResponder() {
    uikit_detail::assertMainThread("becomeFirstResponder");
    if (isFirstResponder()) {
        return true;
    }
    if (!canBecomeFirstResponder()) {
        return false;
    }
    if (auto current = currentFirstResponder()) {
        if (!current->resignFirstResponder() || current->isFirstResponder()) {
            return false;
        }
    }
    firstResponderSlot() = Ref<UIResponder>(this);
    firstResponderDidChange(true);
    return true;
}

bool UIResponder::resignFirstResponder() {
    if (!isFirstResponder()) {
        return true;
    }
    if (!canResignFirstResponder()) {
        return false;
    }
    firstResponderSlot() = nullptr;
    firstResponderDidChange(false);
    return true;
}

void UIResponder::forward(SEL selector, const std::vector<id>& args) const {
    if (auto next = nextResponder()) {
        uikit_detail::send(next, selector, args);
    }
}

void UIResponder::touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    forward("touchesBegan:withEvent:", {touches, event});
}
void UIResponder::touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    forward("touchesMoved:withEvent:", {touches, event});
}
void UIResponder::touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    forward("touchesEnded:withEvent:", {touches, event});
}
void UIResponder::touchesCancelledWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    forward("touchesCancelled:withEvent:", {touches, event});
}
void UIResponder::motionBeganWithEvent(UIEventSubtype motion, const Ref<UIEvent>& event) {
    forward("motionBegan:withEvent:", {box(static_cast<long>(motion)), event});
}
void UIResponder::motionEndedWithEvent(UIEventSubtype motion, const Ref<UIEvent>& event) {
    forward("motionEnded:withEvent:", {box(static_cast<long>(motion)), event});
}
void UIResponder::motionCancelledWithEvent(UIEventSubtype motion, const Ref<UIEvent>& event) {
    forward("motionCancelled:withEvent:", {box(static_cast<long>(motion)), event});
}
void UIResponder::remoteControlReceivedWithEvent(const Ref<UIEvent>& event) {
    forward("remoteControlReceivedWithEvent:", {event});
}
