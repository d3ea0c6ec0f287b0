// CAKeyframeAnimation: a property animation through a list of values.
//
// `keyTimes` (fractions 0...1, one per value, rising) say when each value is reached; without them,
// or with a list of another length, the values are spread evenly. `timingFunctions` (one per
// segment) pace each segment. `calculationMode`:
//   kCAAnimationLinear   straight from value to value (the default);
//   kCAAnimationDiscrete each value holds until the next key time (keyTimes may then have one
//                        entry more than the values, the last being 1);
//   kCAAnimationPaced    an even speed over the whole way; keyTimes and timingFunctions are ignored;
//   kCAAnimationCubic    a smooth curve through the values (Catmull-Rom);
//   kCAAnimationCubicPaced the smooth curve at an even pace.
#pragma once

#include <Foundation/NSArray.h>
#include <QuartzCore/CAPropertyAnimation.h>

const Ref<NSString>& kCAAnimationLinear();
const Ref<NSString>& kCAAnimationDiscrete();
const Ref<NSString>& kCAAnimationPaced();
const Ref<NSString>& kCAAnimationCubic();
const Ref<NSString>& kCAAnimationCubicPaced();

class CAKeyframeAnimation : public CAPropertyAnimation {
    NS_OBJECT(CAKeyframeAnimation, CAPropertyAnimation)
public:
    CAKeyframeAnimation() = default;
    static Ref<CAKeyframeAnimation> animation();
    static Ref<CAKeyframeAnimation> animationWithKeyPath(const Ref<NSString>& keyPath);

    Ref<NSArray> values() const { return values_; }
    void setValues(const Ref<NSArray>& values) { values_ = values; }
    Ref<NSArray> keyTimes() const { return keyTimes_; }
    void setKeyTimes(const Ref<NSArray>& keyTimes) { keyTimes_ = keyTimes; }
    Ref<NSArray> timingFunctions() const { return timingFunctions_; }
    void setTimingFunctions(const Ref<NSArray>& functions) { timingFunctions_ = functions; }
    Ref<NSString> calculationMode() const { return calculationMode_; }
    void setCalculationMode(const Ref<NSString>& mode);

protected:
    void copySettingsInto(CAAnimation& into) const override;
    ca_detail::AnimValue valueAtFraction(double fraction, const ca_detail::AnimValue& underlying) const override;
    ca_detail::AnimValue passChange(const ca_detail::AnimValue& underlying) const override;

private:
    Ref<NSArray> values_;
    Ref<NSArray> keyTimes_;
    Ref<NSArray> timingFunctions_;
    Ref<NSString> calculationMode_;
};
