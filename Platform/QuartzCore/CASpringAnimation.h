// CASpringAnimation: a basic animation paced by a damped spring instead of a timing function: a
// mass on a spring of `stiffness`, slowed by `damping`, pulled from the start value towards the end
// value, leaving with `initialVelocity` (in lengths of the whole change per second). A weakly
// damped spring overshoots and swings back. The spring's own time is the animation's time in
// seconds; `settlingDuration` is how long it takes to come to rest (within a thousandth of the
// change), the natural `duration` for it.
#pragma once

#include <QuartzCore/CABasicAnimation.h>

class CASpringAnimation : public CABasicAnimation {
    NS_OBJECT(CASpringAnimation, CABasicAnimation)
public:
    CASpringAnimation() = default;
    static Ref<CASpringAnimation> animationWithKeyPath(const Ref<NSString>& keyPath);

    // Values that are not positive (damping: negative) are ignored.
    double mass() const noexcept { return mass_; }
    void setMass(double mass);
    double stiffness() const noexcept { return stiffness_; }
    void setStiffness(double stiffness);
    double damping() const noexcept { return damping_; }
    void setDamping(double damping);
    double initialVelocity() const noexcept { return initialVelocity_; }
    void setInitialVelocity(double velocity) { initialVelocity_ = velocity; }
    double settlingDuration() const;

    // The spring's position at `t` seconds, 0 at the start and 1 at rest.
    double springPosition(double t) const;

protected:
    void copySettingsInto(CAAnimation& into) const override;
    double pacedFraction(double fraction, double passDuration) const override;

private:
    double mass_ = 1;
    double stiffness_ = 100;
    double damping_ = 10;
    double initialVelocity_ = 0;
};
