// UIBlurEffect: a blur of what lies behind a UIVisualEffectView, in one of the platform's styles.
#pragma once

#include <UIKit/UIVisualEffect.h>

enum UIBlurEffectStyle : NSInteger {
    UIBlurEffectStyleExtraLight = 0,
    UIBlurEffectStyleLight = 1,
    UIBlurEffectStyleDark = 2,
    UIBlurEffectStyleRegular = 4,
    UIBlurEffectStyleProminent = 5,
};

class UIBlurEffect : public UIVisualEffect {
    NS_OBJECT(UIBlurEffect, UIVisualEffect)
public:
    UIBlurEffect() = default;
    explicit UIBlurEffect(UIBlurEffectStyle style) : style_(style) {}

    static Ref<UIBlurEffect> effectWithStyle(UIBlurEffectStyle style);
    UIBlurEffectStyle style() const noexcept { return style_; }

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;

private:
    UIBlurEffectStyle style_ = UIBlurEffectStyleLight;
};
