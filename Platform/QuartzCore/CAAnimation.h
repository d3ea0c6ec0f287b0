// CAAnimation: the base of the animation objects that a layer runs on the platform clock, with the
// timing of the media-timing protocol (CAMediaTiming) and the animation's delegate.
//
// Timing. An animation added to a layer starts at `beginTime` (the media time, CACurrentMediaTime;
// 0 means the moment it is added) and runs `duration` seconds (0: the transaction's animation
// duration, 0.25 s by default; inside a group, the group's duration) at `speed`, shifted by
// `timeOffset`. `autoreverses` plays each pass forwards and then backwards. It repeats
// `repeatCount` times (HUGE_VALF: without end) or for `repeatDuration` seconds. Before its start
// and after its end the animation shows nothing, unless `fillMode` holds its first value before
// the start (kCAFillModeBackwards, kCAFillModeBoth) or its last value after the end
// (kCAFillModeForwards, kCAFillModeBoth). `timingFunction` paces each pass (nil: linear).
//
// The delegate (held strongly, as on the platform) receives `animationDidStart:` when the animation
// starts and `animationDidStop:finished:` when it ends, by selector on the main queue: finished YES
// when its time ran out, NO when it was removed from its layer first (or replaced under its key, or
// its layer went away). An animation that is `removedOnCompletion` (the default) leaves its layer
// when it finishes. Animations in a group send nothing of their own.
//
// A layer keeps a copy of the animation it is given (addAnimationForKey), so changing the object
// afterwards changes nothing on screen.
#pragma once

#include <Foundation/NSString.h>
#include <QuartzCore/CAMediaTimingFunction.h>
#include <Runtime/NSObject.h>

#include <optional>

class CALayer;

// Fill modes.
const Ref<NSString>& kCAFillModeRemoved();
const Ref<NSString>& kCAFillModeForwards();
const Ref<NSString>& kCAFillModeBackwards();
const Ref<NSString>& kCAFillModeBoth();

class CAAnimation : public NSObject {
    NS_OBJECT(CAAnimation, NSObject)
public:
    CAAnimation() = default;
    static Ref<CAAnimation> animation();

    // CAMediaTiming.
    double beginTime() const noexcept { return beginTime_; }
    void setBeginTime(double time) { beginTime_ = time; }
    double duration() const noexcept { return duration_; }
    void setDuration(double duration) { duration_ = duration; }
    float speed() const noexcept { return speed_; }
    void setSpeed(float speed) { speed_ = speed; }
    double timeOffset() const noexcept { return timeOffset_; }
    void setTimeOffset(double offset) { timeOffset_ = offset; }
    float repeatCount() const noexcept { return repeatCount_; }
    void setRepeatCount(float count) { repeatCount_ = count; }
    double repeatDuration() const noexcept { return repeatDuration_; }
    void setRepeatDuration(double duration) { repeatDuration_ = duration; }
    bool autoreverses() const noexcept { return autoreverses_; }
    void setAutoreverses(bool autoreverses) { autoreverses_ = autoreverses; }
    Ref<NSString> fillMode() const { return fillMode_; }
    void setFillMode(const Ref<NSString>& mode);

    Ref<CAMediaTimingFunction> timingFunction() const { return timingFunction_; }
    void setTimingFunction(const Ref<CAMediaTimingFunction>& function) { timingFunction_ = function; }
    id delegate() const { return delegate_; }
    void setDelegate(const id& delegate) { delegate_ = delegate; }
    bool isRemovedOnCompletion() const noexcept { return removedOnCompletion_; }
    void setRemovedOnCompletion(bool removed) { removedOnCompletion_ = removed; }

    id copy() const override;

    // The machinery the layer runs animations with.
    //
    // Where the animation stands at `parentTime` (the media time for an animation on a layer, the
    // group's time for one in a group): the pace-adjusted fraction of the current pass and the
    // number of passes done. Nothing when the animation shows nothing at that time.
    struct Progress {
        double fraction; // after the timing function; a spring may overshoot 1
        double iteration;
    };
    std::optional<Progress> progressAtTime(double parentTime, double defaultDuration) const;
    // The duration of one pass with `defaultDuration` standing in for 0.
    double effectiveDuration(double defaultDuration) const { return duration_ > 0 ? duration_ : defaultDuration; }
    // From the start to the end of the last pass, in the animation's own time (infinite when it
    // repeats without end).
    double activeDuration(double defaultDuration) const;
    // The same in the parent's time, from beginTime; infinite when it never ends.
    double endTimeOffset(double defaultDuration) const;
    // Writes the animated values at `parentTime` into a layer's presentation copy.
    virtual void applyToPresentation(CALayer& presentation, double parentTime, double defaultDuration) const;

protected:
    // Copies this animation's settings into `into`, an instance of the same class; subclasses add
    // their own.
    virtual void copySettingsInto(CAAnimation& into) const;
    // Paces the fraction of a pass (0...1); `passDuration` is the pass's length in seconds.
    virtual double pacedFraction(double fraction, double passDuration) const;

private:
    double beginTime_ = 0;
    double duration_ = 0;
    float speed_ = 1;
    double timeOffset_ = 0;
    float repeatCount_ = 0;
    double repeatDuration_ = 0;
    bool autoreverses_ = false;
    Ref<NSString> fillMode_;
    Ref<CAMediaTimingFunction> timingFunction_;
    id delegate_;
    bool removedOnCompletion_ = true;
};
