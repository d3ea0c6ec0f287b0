#include <QuartzCore/CAAnimation.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cmath>
#include <limits>

NS_IMPLEMENT_CLASS(CAAnimation, NSObject) {
    b.property("beginTime", &CAAnimation::beginTime, &CAAnimation::setBeginTime);
    b.property("duration", &CAAnimation::duration, &CAAnimation::setDuration);
    b.property("speed", &CAAnimation::speed, &CAAnimation::setSpeed);
    b.property("timeOffset", &CAAnimation::timeOffset, &CAAnimation::setTimeOffset);
    b.property("repeatCount", &CAAnimation::repeatCount, &CAAnimation::setRepeatCount);
    b.property("repeatDuration", &CAAnimation::repeatDuration, &CAAnimation::setRepeatDuration);
    b.property("autoreverses", &CAAnimation::autoreverses, &CAAnimation::setAutoreverses);
    b.property("fillMode", &CAAnimation::fillMode, &CAAnimation::setFillMode, "copy");
    b.property("timingFunction", &CAAnimation::timingFunction, &CAAnimation::setTimingFunction);
    b.property("delegate", &CAAnimation::delegate, &CAAnimation::setDelegate);
    b.property("removedOnCompletion", &CAAnimation::isRemovedOnCompletion, &CAAnimation::setRemovedOnCompletion,
               "getter=isRemovedOnCompletion");
}

#define CA_STRING_CONSTANT(Name, Value)                                                                                \
    const Ref<NSString>& Name() {                                                                                      \
        static const Ref<NSString> value = NSString::from(Value);                                                      \
        return value;                                                                                                  \
    }

CA_STRING_CONSTANT(kCAFillModeRemoved, "removed")
CA_STRING_CONSTANT(kCAFillModeForwards, "forwards")
CA_STRING_CONSTANT(kCAFillModeBackwards, "backwards")
CA_STRING_CONSTANT(kCAFillModeBoth, "both")

Ref<CAAnimation> CAAnimation::animation() {
    return make<CAAnimation>();
}

void CAAnimation::setFillMode(const Ref<NSString>& mode) {
    fillMode_ = mode ? NSString::from(mode->str()) : nullptr;
}

id CAAnimation::copy() const {
    Ref<CAAnimation> c = cast<CAAnimation>(getClass()->createInstance());
    if (!c) {
        c = make<CAAnimation>();
    }
    copySettingsInto(*c);
    return c;
}

void CAAnimation::copySettingsInto(CAAnimation& into) const {
    into.beginTime_ = beginTime_;
    into.duration_ = duration_;
    into.speed_ = speed_;
    into.timeOffset_ = timeOffset_;
    into.repeatCount_ = repeatCount_;
    into.repeatDuration_ = repeatDuration_;
    into.autoreverses_ = autoreverses_;
    into.fillMode_ = fillMode_;
    into.timingFunction_ = timingFunction_;
    into.delegate_ = delegate_;
    into.removedOnCompletion_ = removedOnCompletion_;
}

double CAAnimation::pacedFraction(double fraction, double) const {
    return timingFunction_ ? timingFunction_->solveForInput(fraction) : fraction;
}

double CAAnimation::activeDuration(double defaultDuration) const {
    double d = effectiveDuration(defaultDuration);
    double cycle = autoreverses_ ? 2 * d : d;
    if (repeatDuration_ > 0) {
        return repeatDuration_;
    }
    if (repeatCount_ > 0) {
        return std::isinf(repeatCount_) ? std::numeric_limits<double>::infinity() : cycle * repeatCount_;
    }
    return cycle;
}

double CAAnimation::endTimeOffset(double defaultDuration) const {
    if (!(speed_ > 0)) {
        return std::numeric_limits<double>::infinity();
    }
    return activeDuration(defaultDuration) / speed_;
}

std::optional<CAAnimation::Progress> CAAnimation::progressAtTime(double parentTime, double defaultDuration) const {
    double d = effectiveDuration(defaultDuration);
    if (!(d > 0) || std::isnan(parentTime)) {
        return std::nullopt;
    }
    std::string mode = fillMode_ ? fillMode_->str() : std::string();
    bool fillsBackwards = mode == "backwards" || mode == "both";
    bool fillsForwards = mode == "forwards" || mode == "both";
    double active = activeDuration(defaultDuration);
    double local = (parentTime - beginTime_) * speed_;
    if (local < 0) {
        if (!fillsBackwards) {
            return std::nullopt;
        }
        local = 0;
    }
    bool ended = local >= active;
    if (ended && !fillsForwards) {
        return std::nullopt;
    }
    double cycle = autoreverses_ ? 2 * d : d;
    double iteration = 0;
    double inPass = 0;
    if (ended) {
        iteration = std::max(0.0, std::ceil(active / cycle) - 1);
        inPass = active - iteration * cycle;
    } else {
        if (timeOffset_ != 0) {
            local += timeOffset_;
            if (std::isfinite(active) && active > 0) {
                local = std::fmod(local, active);
                if (local < 0) {
                    local += active;
                }
            }
        }
        iteration = std::floor(local / cycle);
        inPass = local - iteration * cycle;
    }
    double fraction = (autoreverses_ && inPass > d) ? (2 * d - inPass) / d : inPass / d;
    fraction = std::clamp(fraction, 0.0, 1.0);
    return Progress{pacedFraction(fraction, d), iteration};
}

void CAAnimation::applyToPresentation(CALayer&, double, double) const {}
