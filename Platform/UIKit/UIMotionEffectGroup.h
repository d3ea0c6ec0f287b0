// UIMotionEffectGroup: several motion effects that act together.
#pragma once

#include <Foundation/NSArray.h>
#include <UIKit/UIMotionEffect.h>

class UIMotionEffectGroup : public UIMotionEffect {
    NS_OBJECT(UIMotionEffectGroup, UIMotionEffect)
public:
    UIMotionEffectGroup() = default;

    Ref<NSArray> motionEffects() const { return motionEffects_; }
    void setMotionEffects(const Ref<NSArray>& effects);

    // The values of every effect of the group; a key path named twice takes the sum.
    Ref<NSDictionary> keyPathsAndRelativeValuesForViewerOffset(UIOffset viewerOffset) const override;

private:
    Ref<NSArray> motionEffects_;
};
