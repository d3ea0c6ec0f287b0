// UITapGestureRecognizer: a gesture recognizer for taps.
#pragma once

#include <UIKit/UIGestureRecognizer.h>

// Recognizes one or more taps of one or more fingers that stay within 10 points of where they
// landed.
class UITapGestureRecognizer : public UIGestureRecognizer {
    NS_OBJECT(UITapGestureRecognizer, UIGestureRecognizer)
public:
    UITapGestureRecognizer() = default;
    UITapGestureRecognizer(const id& target, SEL action) : UIGestureRecognizer(target, action) {}

    NSUInteger numberOfTapsRequired() const noexcept { return tapsRequired_; }
    void setNumberOfTapsRequired(NSUInteger taps) { tapsRequired_ = taps; }
    NSUInteger numberOfTouchesRequired() const noexcept { return touchesRequired_; }
    void setNumberOfTouchesRequired(NSUInteger touches) { touchesRequired_ = touches; }

    void touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesCancelledWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void reset() override;

private:
    NSUInteger tapsRequired_ = 1;
    NSUInteger touchesRequired_ = 1;
    NSUInteger down_ = 0;
    NSUInteger maxDown_ = 0;
    std::vector<std::pair<UITouch*, CGPoint>> starts_;
};
