#include <Runtime/ClassBuilder.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UITapGestureRecognizer.h>
#include <UIKit/UITouch.h>
#include <UIKit/UIView.h>

#include <cmath>

namespace {
constexpr double kAllowableMovement = 10;
}

NS_IMPLEMENT_CLASS(UITapGestureRecognizer, UIGestureRecognizer) {
    b.property("numberOfTapsRequired", &UITapGestureRecognizer::numberOfTapsRequired,
               &UITapGestureRecognizer::setNumberOfTapsRequired);
    b.property("numberOfTouchesRequired", &UITapGestureRecognizer::numberOfTouchesRequired,
               &UITapGestureRecognizer::setNumberOfTouchesRequired);
}

void UITapGestureRecognizer::touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    UIGestureRecognizer::touchesBeganWithEvent(touches, event);
    auto all1 = touches->allObjects();
    for (const auto& o : *all1) {
        auto t = cast<UITouch>(o);
        starts_.emplace_back(t.get(), t->locationInView(nullptr));
        ++down_;
    }
    maxDown_ = std::max(maxDown_, down_);
    if (down_ > touchesRequired_) {
        setState(UIGestureRecognizerStateFailed);
    }
}

void UITapGestureRecognizer::touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) {
    auto all2 = touches->allObjects();
    for (const auto& o : *all2) {
        auto t = cast<UITouch>(o);
        for (const auto& [touch, start] : starts_) {
            if (touch != t.get()) {
                continue;
            }
            CGPoint now = t->locationInView(nullptr);
            if (std::hypot(now.x - start.x, now.y - start.y) > kAllowableMovement) {
                setState(UIGestureRecognizerStateFailed);
            }
        }
    }
}

void UITapGestureRecognizer::touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    NSUInteger taps = 0;
    auto all3 = touches->allObjects();
    for (const auto& o : *all3) {
        auto t = cast<UITouch>(o);
        taps = std::max(taps, t->tapCount());
        down_ = down_ > 0 ? down_ - 1 : 0;
    }
    touchesMovedWithEvent(touches, event);
    if (state() == UIGestureRecognizerStatePossible && down_ == 0 && maxDown_ == touchesRequired_ &&
        taps >= tapsRequired_) {
        setState(UIGestureRecognizerStateRecognized);
    }
    UIGestureRecognizer::touchesEndedWithEvent(touches, event);
}

void UITapGestureRecognizer::touchesCancelledWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    setState(UIGestureRecognizerStateFailed);
    UIGestureRecognizer::touchesCancelledWithEvent(touches, event);
}

void UITapGestureRecognizer::reset() {
    UIGestureRecognizer::reset();
    down_ = 0;
    maxDown_ = 0;
    starts_.clear();
}
