#include <QuartzCore/CAAnimationValue.h>
#include <QuartzCore/CALayer.h>
#include <QuartzCore/CAPropertyAnimation.h>
#include <Runtime/ClassBuilder.h>

using ca_detail::AnimValue;

NS_IMPLEMENT_CLASS(CAPropertyAnimation, CAAnimation) {
    b.property("keyPath", &CAPropertyAnimation::keyPath, &CAPropertyAnimation::setKeyPath, "copy");
    b.property("additive", &CAPropertyAnimation::isAdditive, &CAPropertyAnimation::setAdditive, "getter=isAdditive");
    b.property("cumulative", &CAPropertyAnimation::isCumulative, &CAPropertyAnimation::setCumulative,
               "getter=isCumulative");
}

Ref<CAPropertyAnimation> CAPropertyAnimation::animationWithKeyPath(const Ref<NSString>& keyPath) {
    auto a = make<CAPropertyAnimation>();
    a->setKeyPath(keyPath);
    return a;
}

void CAPropertyAnimation::copySettingsInto(CAAnimation& into) const {
    CAAnimation::copySettingsInto(into);
    if (auto* p = dynamic_cast<CAPropertyAnimation*>(&into)) {
        p->keyPath_ = keyPath_;
        p->additive_ = additive_;
        p->cumulative_ = cumulative_;
    }
}

AnimValue CAPropertyAnimation::valueAtFraction(double, const AnimValue&) const {
    return {};
}

AnimValue CAPropertyAnimation::passChange(const AnimValue&) const {
    return {};
}

void CAPropertyAnimation::applyToPresentation(CALayer& presentation, double parentTime, double defaultDuration) const {
    if (!keyPath_ || !ca_detail::layerHasKeyPath(presentation, keyPath_->str())) {
        return;
    }
    auto progress = progressAtTime(parentTime, defaultDuration);
    if (!progress) {
        return;
    }
    const std::string& path = keyPath_->str();
    AnimValue underlying = ca_detail::valueFromObject(ca_detail::layerValueForKeyPath(presentation, path));
    AnimValue value = valueAtFraction(progress->fraction, underlying);
    if (value.isNone()) {
        return;
    }
    if (cumulative_ && progress->iteration > 0) {
        AnimValue change = passChange(underlying);
        if (!change.isNone()) {
            value = ca_detail::add(value, ca_detail::scale(change, progress->iteration));
        }
    }
    if (additive_) {
        value = ca_detail::add(underlying, value);
    }
    ca_detail::setLayerValueForKeyPath(presentation, path, ca_detail::objectFromValue(value));
}
