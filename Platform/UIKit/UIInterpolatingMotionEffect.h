// UIInterpolatingMotionEffect: moves one key path of a view between a minimum and a maximum
// relative value as the viewer tilts the device along one axis.
#pragma once

#include <UIKit/UIMotionEffect.h>

enum UIInterpolatingMotionEffectType : NSInteger {
    UIInterpolatingMotionEffectTypeTiltAlongHorizontalAxis = 0,
    UIInterpolatingMotionEffectTypeTiltAlongVerticalAxis = 1,
};

class UIInterpolatingMotionEffect : public UIMotionEffect {
    NS_OBJECT(UIInterpolatingMotionEffect, UIMotionEffect)
public:
    UIInterpolatingMotionEffect() = default;
    // `initWithKeyPath:type:`.
    UIInterpolatingMotionEffect(const Ref<NSString>& keyPath, UIInterpolatingMotionEffectType type);

    Ref<NSString> keyPath() const { return keyPath_; }
    UIInterpolatingMotionEffectType type() const noexcept { return type_; }
    // The relative values at the two ends of the axis (numbers, usually).
    NS_PROPERTY(id, minimumRelativeValue, setMinimumRelativeValue)
    NS_PROPERTY(id, maximumRelativeValue, setMaximumRelativeValue)

    // {keyPath: the value interpolated linearly between the minimum (offset -1) and the maximum
    // (offset 1)}; nil while either end is not a number.
    Ref<NSDictionary> keyPathsAndRelativeValuesForViewerOffset(UIOffset viewerOffset) const override;
    Ref<NSString> description() const override;

private:
    Ref<NSString> keyPath_;
    UIInterpolatingMotionEffectType type_ = UIInterpolatingMotionEffectTypeTiltAlongHorizontalAxis;
};
