#include <QuartzCore/CAAnimationValue.h>
#include <QuartzCore/CABasicAnimation.h>
#include <Runtime/ClassBuilder.h>

using ca_detail::AnimValue;

NS_IMPLEMENT_CLASS(CABasicAnimation, CAPropertyAnimation) {
    b.property("fromValue", &CABasicAnimation::fromValue, &CABasicAnimation::setFromValue);
    b.property("toValue", &CABasicAnimation::toValue, &CABasicAnimation::setToValue);
    b.property("byValue", &CABasicAnimation::byValue, &CABasicAnimation::setByValue);
}

Ref<CABasicAnimation> CABasicAnimation::animation() {
    return make<CABasicAnimation>();
}

Ref<CABasicAnimation> CABasicAnimation::animationWithKeyPath(const Ref<NSString>& keyPath) {
    auto a = make<CABasicAnimation>();
    a->setKeyPath(keyPath);
    return a;
}

void CABasicAnimation::copySettingsInto(CAAnimation& into) const {
    CAPropertyAnimation::copySettingsInto(into);
    if (auto* b = dynamic_cast<CABasicAnimation*>(&into)) {
        b->fromValue_ = fromValue_;
        b->toValue_ = toValue_;
        b->byValue_ = byValue_;
    }
}

void CABasicAnimation::ends(const AnimValue& underlying, AnimValue& from, AnimValue& to) const {
    from = ca_detail::valueFromObject(fromValue_);
    to = ca_detail::valueFromObject(toValue_);
    AnimValue by = ca_detail::valueFromObject(byValue_);
    if (!from.isNone() && !to.isNone()) {
        return;
    }
    if (!from.isNone() && !by.isNone()) {
        to = ca_detail::add(from, by);
    } else if (!by.isNone() && !to.isNone()) {
        from = ca_detail::subtract(to, by);
    } else if (!from.isNone()) {
        to = underlying;
    } else if (!to.isNone()) {
        from = underlying;
    } else if (!by.isNone()) {
        from = underlying;
        to = ca_detail::add(underlying, by);
    } else {
        from = to = underlying;
    }
}

AnimValue CABasicAnimation::valueAtFraction(double fraction, const AnimValue& underlying) const {
    AnimValue from, to;
    ends(underlying, from, to);
    return ca_detail::interpolate(from, to, fraction);
}

AnimValue CABasicAnimation::passChange(const AnimValue& underlying) const {
    AnimValue from, to;
    ends(underlying, from, to);
    return ca_detail::subtract(to, from);
}
