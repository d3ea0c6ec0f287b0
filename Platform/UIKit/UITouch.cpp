#include <Runtime/ClassBuilder.h>
#include <UIKit/UIGestureRecognizer.h>
#include <UIKit/UITouch.h>
#include <UIKit/UIView.h>
#include <UIKit/UIWindow.h>

NS_IMPLEMENT_CLASS(UITouch, NSObject) {
    b.readonlyProperty("phase", &UITouch::phase);
    b.readonlyProperty("tapCount", &UITouch::tapCount);
    b.readonlyProperty("view", &UITouch::view);
    b.readonlyProperty("force", &UITouch::force);
    b.readonlyProperty("maximumPossibleForce", &UITouch::maximumPossibleForce);
    b.method("locationInView:", &UITouch::locationInView);
    b.method("previousLocationInView:", &UITouch::previousLocationInView);
}

UITouch::UITouch() = default;
UITouch::~UITouch() = default;

Ref<UIView> UITouch::view() const {
    return view_;
}

void UITouch::setView(const Ref<UIView>& view) {
    view_ = view;
}

Ref<UIWindow> UITouch::window() const {
    return window_.lock();
}

void UITouch::setWindow(const Ref<UIWindow>& window) {
    window_ = window;
}

void UITouch::setWindowLocation(CGPoint location) {
    previous_ = placed_ ? location_ : location;
    location_ = location;
    placed_ = true;
}

CGPoint UITouch::locationInView(const Ref<UIView>& view) const {
    if (!view) {
        return location_;
    }
    auto win = window();
    return view->convertPointFromView(location_, win);
}

CGPoint UITouch::previousLocationInView(const Ref<UIView>& view) const {
    if (!view) {
        return previous_;
    }
    auto win = window();
    return view->convertPointFromView(previous_, win);
}

Ref<NSArray> UITouch::gestureRecognizers() const {
    return NSArray::arrayWithRefs(recognizers_);
}

void UITouch::addGestureRecognizer(const Ref<UIGestureRecognizer>& recognizer) {
    recognizers_.push_back(recognizer);
}

Ref<NSString> UITouch::description() const {
    static const char* phases[] = {"Began", "Moved", "Stationary", "Ended", "Cancelled"};
    return NSString::stringWithFormat("<UITouch: %p> phase: %s tap count: %lu window location: {%g, %g} view: %@",
                                      static_cast<const void*>(this), phases[phase_],
                                      static_cast<unsigned long>(tapCount_), location_.x, location_.y, view_);
}
