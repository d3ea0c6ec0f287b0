#include <Runtime/ClassBuilder.h>
#include <UIKit/UIInterpolatingMotionEffect.h>

#include <algorithm>

NS_IMPLEMENT_CLASS(UIInterpolatingMotionEffect, UIMotionEffect) {
    b.readonlyProperty("keyPath", &UIInterpolatingMotionEffect::keyPath);
    b.readonlyProperty("type", &UIInterpolatingMotionEffect::type);
    b.property("minimumRelativeValue", &UIInterpolatingMotionEffect::minimumRelativeValue,
               &UIInterpolatingMotionEffect::setMinimumRelativeValue);
    b.property("maximumRelativeValue", &UIInterpolatingMotionEffect::maximumRelativeValue,
               &UIInterpolatingMotionEffect::setMaximumRelativeValue);
}

UIInterpolatingMotionEffect::UIInterpolatingMotionEffect(const Ref<NSString>& keyPath,
                                                         UIInterpolatingMotionEffectType type)
    : keyPath_(keyPath ? cast<NSString>(keyPath->copy()) : nullptr), type_(type) {}

Ref<NSDictionary> UIInterpolatingMotionEffect::keyPathsAndRelativeValuesForViewerOffset(UIOffset offset) const {
    auto low = cast<NSNumber>(minimumRelativeValue_);
    auto high = cast<NSNumber>(maximumRelativeValue_);
    if (!keyPath_ || !low || !high) {
        return nullptr;
    }
    double t = type_ == UIInterpolatingMotionEffectTypeTiltAlongHorizontalAxis ? offset.horizontal : offset.vertical;
    t = std::clamp(t, -1.0, 1.0);
    double value = low->doubleValue() + (high->doubleValue() - low->doubleValue()) * (t + 1) / 2;
    return NSDictionary::dictionaryWithEntries({{keyPath_, box(value)}});
}

Ref<NSString> UIInterpolatingMotionEffect::description() const {
    return NSString::stringWithFormat("<%s: %p; keyPath = %@, type = %ld>", getClass()->name(),
                                      static_cast<const void*>(this), keyPath_, static_cast<long>(type_));
}
