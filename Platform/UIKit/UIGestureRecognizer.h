// UIGestureRecognizer: watches the touches of its view (and the view's descendants) and, when it
// recognizes its gesture, sends its actions to its targets (held weakly). The window hands each
// touch to the recognizers of the hit view and its ancestors before the view sees it; a recognizer
// that recognizes with `cancelsTouchesInView` makes the view see the touch cancelled instead.
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <Foundation/NSSet.h>

#include <vector>

class UIView;
class UIEvent;
class UITouch;

enum UIGestureRecognizerState : NSInteger {
    UIGestureRecognizerStatePossible = 0,
    UIGestureRecognizerStateBegan = 1,
    UIGestureRecognizerStateChanged = 2,
    UIGestureRecognizerStateEnded = 3,
    UIGestureRecognizerStateCancelled = 4,
    UIGestureRecognizerStateFailed = 5,
    UIGestureRecognizerStateRecognized = UIGestureRecognizerStateEnded,
};

class UIGestureRecognizer : public NSObject {
    NS_OBJECT(UIGestureRecognizer, NSObject)
public:
    UIGestureRecognizer();
    ~UIGestureRecognizer() override;
    // `initWithTarget:action:`.
    UIGestureRecognizer(const id& target, SEL action);

    void addTargetAction(const id& target, SEL action);
    // A nil target or action matches any.
    void removeTargetAction(const id& target, SEL action);

    UIGestureRecognizerState state() const noexcept { return state_; }
    // Moving to Began, Changed or Ended (Recognized) sends the actions.
    void setState(UIGestureRecognizerState state);
    Ref<UIView> view() const;
    void setView(const Ref<UIView>& view);
    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }
    bool isEnabled() const noexcept { return enabled_; }
    void setEnabled(bool enabled);
    bool cancelsTouchesInView() const noexcept { return cancelsTouchesInView_; }
    void setCancelsTouchesInView(bool cancels) { cancelsTouchesInView_ = cancels; }
    bool delaysTouchesBegan() const noexcept { return delaysTouchesBegan_; }
    void setDelaysTouchesBegan(bool delays) { delaysTouchesBegan_ = delays; }
    bool delaysTouchesEnded() const noexcept { return delaysTouchesEnded_; }
    void setDelaysTouchesEnded(bool delays) { delaysTouchesEnded_ = delays; }
    void requireGestureRecognizerToFail(const Ref<UIGestureRecognizer>& other);

    // The centroid of the touches being tracked, in the view's coordinates (nil: the window's).
    CGPoint locationInView(const Ref<UIView>& view) const;
    NSUInteger numberOfTouches() const noexcept { return touches_.size(); }
    CGPoint locationOfTouchInView(NSUInteger index, const Ref<UIView>& view) const;

    // Touch handling, called by the window; subclasses recognize here.
    virtual void touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event);
    virtual void touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event);
    virtual void touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event);
    virtual void touchesCancelledWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event);
    // Back to Possible, forgetting the touches; called once a gesture has ended or failed.
    virtual void reset();
    // Whether the recognizer accepts a touch: enabled, and its delegate's
    // gestureRecognizer:shouldReceiveTouch: does not refuse.
    bool shouldReceiveTouch(const Ref<UITouch>& touch);

protected:
    std::vector<Ref<UITouch>> touches_;

private:
    void sendActions();
    struct Target {
        Weak<NSObject> target;
        SEL action;
    };
    std::vector<Target> targets_;
    Weak<UIView> view_;
    Weak<NSObject> delegate_;
    UIGestureRecognizerState state_ = UIGestureRecognizerStatePossible;
    bool enabled_ = true;
    bool cancelsTouchesInView_ = true;
    bool delaysTouchesBegan_ = false;
    bool delaysTouchesEnded_ = true;
    std::vector<Weak<UIGestureRecognizer>> mustFail_;
};
