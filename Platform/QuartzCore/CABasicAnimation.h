// CABasicAnimation: a property animation between two values.
//
// The ends come from fromValue, toValue and byValue, as on the platform: from and to; from and
// from + by; to - by and to; from and the layer's value; the layer's value and to; the layer's value
// and that value + by. The layer's value is the one it would show without this animation.
#pragma once

#include <QuartzCore/CAPropertyAnimation.h>

class CABasicAnimation : public CAPropertyAnimation {
    NS_OBJECT(CABasicAnimation, CAPropertyAnimation)
public:
    CABasicAnimation() = default;
    static Ref<CABasicAnimation> animation();
    static Ref<CABasicAnimation> animationWithKeyPath(const Ref<NSString>& keyPath);

    id fromValue() const { return fromValue_; }
    void setFromValue(const id& value) { fromValue_ = value; }
    id toValue() const { return toValue_; }
    void setToValue(const id& value) { toValue_ = value; }
    id byValue() const { return byValue_; }
    void setByValue(const id& value) { byValue_ = value; }

protected:
    void copySettingsInto(CAAnimation& into) const override;
    ca_detail::AnimValue valueAtFraction(double fraction, const ca_detail::AnimValue& underlying) const override;
    ca_detail::AnimValue passChange(const ca_detail::AnimValue& underlying) const override;

private:
    // The two ends over the layer's value.
    void ends(const ca_detail::AnimValue& underlying, ca_detail::AnimValue& from, ca_detail::AnimValue& to) const;

    id fromValue_;
    id toValue_;
    id byValue_;
};
