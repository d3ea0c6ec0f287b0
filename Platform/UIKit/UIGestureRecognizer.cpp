#include <Runtime/ClassBuilder.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIGestureRecognizer.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UITouch.h>
#include <UIKit/UIView.h>

NS_IMPLEMENT_CLASS(UIGestureRecognizer, NSObject) {
    b.property("enabled", &UIGestureRecognizer::isEnabled, &UIGestureRecognizer::setEnabled);
    b.property("cancelsTouchesInView", &UIGestureRecognizer::cancelsTouchesInView,
               &UIGestureRecognizer::setCancelsTouchesInView);
    b.readonlyProperty("state", &UIGestureRecognizer::state);
    b.readonlyProperty("view", &UIGestureRecognizer::view);
    b.method("reset", &UIGestureRecognizer::reset);
}

UIGestureRecognizer::UIGestureRecognizer() = default;
UIGestureRecognizer::~UIGestureRecognizer() = default;

UIGestureRecognizer::UIGestureRecognizer(const id& target, SEL action) {
    addTargetAction(target, action);
}

void UIGestureRecognizer::addTargetAction(const id& target, SEL action) {
    if (action.isNull()) {
        NSException::raise(NSInvalidArgumentException, "a gesture recognizer action needs a selector");
    }
    targets_.push_back({Weak<NSObject>(target), action});
}

void UIGestureRecognizer::removeTargetAction(const id& target, SEL action) {
    std::erase_if(targets_, [&](const Target& t) {
        bool targetMatches = !target || t.target.unsafePointer() == target.get();
        bool actionMatches = action.isNull() || t.action == action;
        return targetMatches && actionMatches;
    });
}

Ref<UIView> UIGestureRecognizer::view() const {
    return view_.lock();
}

void UIGestureRecognizer::setView(const Ref<UIView>& view) {
    view_ = view;
}

void UIGestureRecognizer::setEnabled(bool enabled) {
    enabled_ = enabled;
    if (!enabled && (state_ == UIGestureRecognizerStateBegan || state_ == UIGestureRecognizerStateChanged)) {
        setState(UIGestureRecognizerStateCancelled);
    }
    if (!enabled) {
        reset();
    }
}

void UIGestureRecognizer::requireGestureRecognizerToFail(const Ref<UIGestureRecognizer>& other) {
    mustFail_.emplace_back(other);
}

void UIGestureRecognizer::setState(UIGestureRecognizerState state) {
    if (state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateRecognized) {
        id result;
        if (state_ == UIGestureRecognizerStatePossible &&
            uikit_detail::sendIfResponds(delegate(), "gestureRecognizerShouldBegin:", {Ref<NSObject>(this)}, &result) &&
            !unbox<bool>(result)) {
            state_ = UIGestureRecognizerStateFailed;
            return;
        }
    }
    state_ = state;
    if (state == UIGestureRecognizerStateBegan || state == UIGestureRecognizerStateChanged ||
        state == UIGestureRecognizerStateEnded || state == UIGestureRecognizerStateCancelled) {
        sendActions();
    }
}

void UIGestureRecognizer::sendActions() {
    Ref<UIGestureRecognizer> self(this);
    auto targets = targets_;
    for (const auto& t : targets) {
        auto target = t.target.lock();
        if (!target) {
            continue;
        }
        if (t.action.argumentCount() == 0) {
            uikit_detail::send(target, t.action);
        } else {
            uikit_detail::send(target, t.action, {self});
        }
    }
}

CGPoint UIGestureRecognizer::locationInView(const Ref<UIView>& view) const {
    if (touches_.empty()) {
        return CGPointZero;
    }
    CGPoint sum{};
    for (const auto& t : touches_) {
        CGPoint p = t->locationInView(view);
        sum.x += p.x;
        sum.y += p.y;
    }
    double n = static_cast<double>(touches_.size());
    return {sum.x / n, sum.y / n};
}

CGPoint UIGestureRecognizer::locationOfTouchInView(NSUInteger index, const Ref<UIView>& view) const {
    if (index >= touches_.size()) {
        NSException::raise(NSRangeException, "touch index beyond the number of touches");
    }
    return touches_[index]->locationInView(view);
}

bool UIGestureRecognizer::shouldReceiveTouch(const Ref<UITouch>& touch) {
    if (!enabled_) {
        return false;
    }
    id result;
    if (uikit_detail::sendIfResponds(delegate(), "gestureRecognizer:shouldReceiveTouch:", {Ref<NSObject>(this), touch},
                                     &result)) {
        return unbox<bool>(result);
    }
    return true;
}

void UIGestureRecognizer::touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) {
    auto all1 = touches->allObjects();
    for (const auto& t : *all1) {
        touches_.push_back(cast<UITouch>(t));
    }
}

void UIGestureRecognizer::touchesMovedWithEvent(const Ref<NSSet>&, const Ref<UIEvent>&) {}

void UIGestureRecognizer::touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) {
    auto all2 = touches->allObjects();
    for (const auto& t : *all2) {
        std::erase(touches_, cast<UITouch>(t));
    }
}

void UIGestureRecognizer::touchesCancelledWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    touchesEndedWithEvent(touches, event);
}

void UIGestureRecognizer::reset() {
    state_ = UIGestureRecognizerStatePossible;
    touches_.clear();
}
