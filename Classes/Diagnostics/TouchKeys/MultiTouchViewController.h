// MultiTouchViewController: three circles; a finger must rest on each of the three at once before
// a count-down of the record's time limit (0: the long default) runs out. All three held passes;
// the end of the count-down ends the test with result 3.
//
// A circle stays held while any finger rests on it: a finger that is lifted or cancelled (the
// system took the touch) releases only itself, so two fingers on one circle count once and a
// cancelled touch never leaves its circle held.
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/UIImageView.h>

#include <set>

class MultiTouchViewController : public DXBaseViewController {
    NS_OBJECT(MultiTouchViewController, DXBaseViewController)
public:
    MultiTouchViewController() = default;
    NS_PROPERTY(Ref<UILabel>, countdownLabel, setCountdownLabel)
    NS_PROPERTY(Ref<UIImageView>, circle1, setCircle1)
    NS_PROPERTY(Ref<UIImageView>, circle2, setCircle2)
    NS_PROPERTY(Ref<UIImageView>, circle3, setCircle3)
    NS_PROPERTY(bool, circle1Touched, setCircle1Touched)
    NS_PROPERTY(bool, circle2Touched, setCircle2Touched)
    NS_PROPERTY(bool, circle3Touched, setCircle3Touched)

    void viewDidLoad() override;
    void touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesCancelledWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;

private:
    void buildCircles();
    void release(const Ref<NSSet>& touches);
    void showCircle(int index);
    std::set<const UITouch*> fingers_[3];
};
