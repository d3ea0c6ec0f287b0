// UIVisualEffect: an effect that a UIVisualEffectView shows (blur, vibrancy). Headless, effects
// are values: nothing is blurred.
#pragma once

#include <Runtime/NSObject.h>

class UIVisualEffect : public NSObject {
    NS_OBJECT(UIVisualEffect, NSObject)
public:
    UIVisualEffect() = default;
    id copy() const override;
};
