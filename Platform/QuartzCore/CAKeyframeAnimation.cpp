#include <Foundation/NSNumber.h>
#include <QuartzCore/CAAnimationValue.h>
#include <QuartzCore/CAKeyframeAnimation.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>

using ca_detail::AnimValue;

NS_IMPLEMENT_CLASS(CAKeyframeAnimation, CAPropertyAnimation) {
    b.property("values", &CAKeyframeAnimation::values, &CAKeyframeAnimation::setValues, "copy");
    b.property("keyTimes", &CAKeyframeAnimation::keyTimes, &CAKeyframeAnimation::setKeyTimes, "copy");
    b.property("timingFunctions", &CAKeyframeAnimation::timingFunctions, &CAKeyframeAnimation::setTimingFunctions,
               "copy");
    b.property("calculationMode", &CAKeyframeAnimation::calculationMode, &CAKeyframeAnimation::setCalculationMode,
               "copy");
}

#define CA_STRING_CONSTANT(Name, Value)                                                                                \
    const Ref<NSString>& Name() {                                                                                      \
        static const Ref<NSString> value = NSString::from(Value);                                                      \
        return value;                                                                                                  \
    }

CA_STRING_CONSTANT(kCAAnimationLinear, "linear")
CA_STRING_CONSTANT(kCAAnimationDiscrete, "discrete")
CA_STRING_CONSTANT(kCAAnimationPaced, "paced")
CA_STRING_CONSTANT(kCAAnimationCubic, "cubic")
CA_STRING_CONSTANT(kCAAnimationCubicPaced, "cubicPaced")

Ref<CAKeyframeAnimation> CAKeyframeAnimation::animation() {
    return make<CAKeyframeAnimation>();
}

Ref<CAKeyframeAnimation> CAKeyframeAnimation::animationWithKeyPath(const Ref<NSString>& keyPath) {
    auto a = make<CAKeyframeAnimation>();
    a->setKeyPath(keyPath);
    return a;
}

void CAKeyframeAnimation::setCalculationMode(const Ref<NSString>& mode) {
    calculationMode_ = mode ? NSString::from(mode->str()) : nullptr;
}

void CAKeyframeAnimation::copySettingsInto(CAAnimation& into) const {
    CAPropertyAnimation::copySettingsInto(into);
    if (auto* k = dynamic_cast<CAKeyframeAnimation*>(&into)) {
        k->values_ = values_;
        k->keyTimes_ = keyTimes_;
        k->timingFunctions_ = timingFunctions_;
        k->calculationMode_ = calculationMode_;
    }
}

namespace {

std::vector<AnimValue> valueList(const Ref<NSArray>& values) {
    std::vector<AnimValue> list;
    if (values) {
        for (NSUInteger i = 0; i < values->count(); ++i) {
            list.push_back(ca_detail::valueFromObject(values->objectAtIndex(i)));
        }
    }
    return list;
}

// The key times as given, when there are `count` of them, each a number and none falling.
std::vector<double> givenTimes(const Ref<NSArray>& keyTimes, size_t count) {
    std::vector<double> times;
    if (!keyTimes || keyTimes->count() != count) {
        return {};
    }
    for (NSUInteger i = 0; i < count; ++i) {
        auto n = cast<NSNumber>(keyTimes->objectAtIndex(i));
        if (!n) {
            return {};
        }
        double t = std::clamp(n->doubleValue(), 0.0, 1.0);
        if (!times.empty() && t < times.back()) {
            return {};
        }
        times.push_back(t);
    }
    return times;
}

std::vector<double> evenTimes(size_t count, size_t steps) {
    std::vector<double> times;
    for (size_t i = 0; i < count; ++i) {
        times.push_back(steps == 0 ? 0 : static_cast<double>(i) / static_cast<double>(steps));
    }
    return times;
}

} // namespace

AnimValue CAKeyframeAnimation::valueAtFraction(double fraction, const AnimValue&) const {
    std::vector<AnimValue> values = valueList(values_);
    size_t n = values.size();
    if (n == 0) {
        return {};
    }
    if (n == 1) {
        return values[0];
    }
    std::string mode = calculationMode_ ? calculationMode_->str() : std::string("linear");
    bool paced = mode == "paced" || mode == "cubicPaced";
    bool curved = mode == "cubic" || mode == "cubicPaced";

    if (mode == "discrete") {
        std::vector<double> times = givenTimes(keyTimes_, n + 1);
        if (times.empty()) {
            times = givenTimes(keyTimes_, n);
        }
        if (times.empty()) {
            times = evenTimes(n, n);
        }
        size_t index = 0;
        for (size_t i = 0; i < n; ++i) {
            if (times[i] <= fraction) {
                index = i;
            }
        }
        return values[index];
    }

    std::vector<double> times;
    if (paced) {
        std::vector<double> lengths{0};
        for (size_t i = 1; i < n; ++i) {
            lengths.push_back(lengths.back() + ca_detail::distance(values[i - 1], values[i]));
        }
        if (lengths.back() > 0) {
            for (double l : lengths) {
                times.push_back(l / lengths.back());
            }
        }
    } else {
        times = givenTimes(keyTimes_, n);
    }
    if (times.empty()) {
        times = evenTimes(n, n - 1);
    }
    if (fraction <= times.front()) {
        return values.front();
    }
    if (fraction >= times.back()) {
        return values.back();
    }
    size_t i = 0;
    while (i + 2 < n && fraction > times[i + 1]) {
        ++i;
    }
    double span = times[i + 1] - times[i];
    double local = span > 0 ? (fraction - times[i]) / span : 1;
    if (!paced && timingFunctions_ && i < timingFunctions_->count()) {
        if (auto f = cast<CAMediaTimingFunction>(timingFunctions_->objectAtIndex(i))) {
            local = f->solveForInput(local);
        }
    }
    if (curved) {
        return ca_detail::cubic(values[i == 0 ? 0 : i - 1], values[i], values[i + 1], values[std::min(i + 2, n - 1)],
                                local);
    }
    return ca_detail::interpolate(values[i], values[i + 1], local);
}

AnimValue CAKeyframeAnimation::passChange(const AnimValue&) const {
    std::vector<AnimValue> values = valueList(values_);
    if (values.size() < 2) {
        return {};
    }
    return ca_detail::subtract(values.back(), values.front());
}
