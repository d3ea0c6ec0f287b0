// CAAnimationGroup: animations that run together on one layer on the group's time. Each member's
// times are in the group's time (a member's beginTime 0 is the group's start; its duration 0 is the
// group's duration), the group's timing function paces them all, and the group's duration cuts
// them off. Members are applied in order.
#pragma once

#include <Foundation/NSArray.h>
#include <QuartzCore/CAAnimation.h>

class CAAnimationGroup : public CAAnimation {
    NS_OBJECT(CAAnimationGroup, CAAnimation)
public:
    CAAnimationGroup() = default;
    static Ref<CAAnimationGroup> animation();

    Ref<NSArray> animations() const { return animations_; }
    void setAnimations(const Ref<NSArray>& animations) { animations_ = animations; }

    void applyToPresentation(CALayer& presentation, double parentTime, double defaultDuration) const override;

protected:
    void copySettingsInto(CAAnimation& into) const override;

private:
    Ref<NSArray> animations_;
};
