// CAPropertyAnimation: an animation of one property of the layer, named by a key path ("opacity",
// "position.x", "transform.rotation.z", "strokeEnd"; see CAAnimationValue.h for the forms).
//
// `additive`: the animated value is added to the layer's value instead of replacing it.
// `cumulative`: each repeat starts where the previous one ended.
#pragma once

#include <QuartzCore/CAAnimation.h>

namespace ca_detail {
struct AnimValue;
}

class CAPropertyAnimation : public CAAnimation {
    NS_OBJECT(CAPropertyAnimation, CAAnimation)
public:
    CAPropertyAnimation() = default;
    static Ref<CAPropertyAnimation> animationWithKeyPath(const Ref<NSString>& keyPath);

    Ref<NSString> keyPath() const { return keyPath_; }
    void setKeyPath(const Ref<NSString>& keyPath) { keyPath_ = keyPath; }
    bool isAdditive() const noexcept { return additive_; }
    void setAdditive(bool additive) { additive_ = additive; }
    bool isCumulative() const noexcept { return cumulative_; }
    void setCumulative(bool cumulative) { cumulative_ = cumulative; }

    void applyToPresentation(CALayer& presentation, double parentTime, double defaultDuration) const override;

protected:
    void copySettingsInto(CAAnimation& into) const override;
    // The value at a fraction of the pass over `underlying` (the layer's value without this
    // animation); none for no value.
    virtual ca_detail::AnimValue valueAtFraction(double fraction, const ca_detail::AnimValue& underlying) const;
    // The change over one pass, which `cumulative` adds once per pass done.
    virtual ca_detail::AnimValue passChange(const ca_detail::AnimValue& underlying) const;

private:
    Ref<NSString> keyPath_;
    bool additive_ = false;
    bool cumulative_ = false;
};
