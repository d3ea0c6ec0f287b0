#include <Runtime/ClassBuilder.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIGestureRecognizer.h>
#include <UIKit/UITouch.h>
#include <UIKit/UIView.h>
#include <UIKit/UIWindow.h>

#include <algorithm>

NS_IMPLEMENT_CLASS(UIEvent, NSObject) {
    b.readonlyProperty("type", &UIEvent::type);
    b.readonlyProperty("subtype", &UIEvent::subtype);
    b.readonlyProperty("timestamp", &UIEvent::timestamp);
    b.method("allTouches", &UIEvent::allTouches);
    b.method("touchesForView:", &UIEvent::touchesForView);
}

UIEvent::UIEvent(UIEventType type, UIEventSubtype subtype, double timestamp)
    : type_(type), subtype_(subtype), timestamp_(timestamp) {}

UIEvent::~UIEvent() = default;

void UIEvent::setTouches(std::vector<Ref<UITouch>> touches) {
    touches_ = std::move(touches);
}

Ref<NSSet> UIEvent::allTouches() const {
    if (type_ != UIEventTypeTouches) {
        return nullptr;
    }
    return NSSet::setWithArray(NSArray::arrayWithRefs(touches_));
}

Ref<NSSet> UIEvent::touchesForView(const Ref<UIView>& view) const {
    std::vector<id> out;
    for (const auto& t : touches_) {
        if (t->view() == view) {
            out.push_back(t);
        }
    }
    return NSSet::setWithArray(NSArray::arrayWithVector(std::move(out)));
}

Ref<NSSet> UIEvent::touchesForWindow(const Ref<UIWindow>& window) const {
    std::vector<id> out;
    for (const auto& t : touches_) {
        if (t->window() == window) {
            out.push_back(t);
        }
    }
    return NSSet::setWithArray(NSArray::arrayWithVector(std::move(out)));
}

Ref<NSSet> UIEvent::touchesForGestureRecognizer(const Ref<UIGestureRecognizer>& recognizer) const {
    std::vector<id> out;
    for (const auto& t : touches_) {
        const auto& list = t->recognizerList();
        if (std::find(list.begin(), list.end(), recognizer) != list.end()) {
            out.push_back(t);
        }
    }
    return NSSet::setWithArray(NSArray::arrayWithVector(std::move(out)));
}

Ref<NSString> UIEvent::description() const {
    return NSString::stringWithFormat(
        "<UIEvent: %p> type: %ld subtype: %ld timestamp: %g touches: %lu", static_cast<const void*>(this),
        static_cast<long>(type_), static_cast<long>(subtype_), timestamp_, static_cast<unsigned long>(touches_.size()));
}
