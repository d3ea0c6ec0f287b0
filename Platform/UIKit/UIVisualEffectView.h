// UIVisualEffectView: a view that shows a visual effect (a blur) over what lies behind it. Its
// content goes into contentView, which always fills it. Headless, the effect is recorded, not
// rendered.
#pragma once

#include <UIKit/UIView.h>
#include <UIKit/UIVisualEffect.h>

class UIVisualEffectView : public UIView {
    NS_OBJECT(UIVisualEffectView, UIView)
public:
    UIVisualEffectView() : UIVisualEffectView(Ref<UIVisualEffect>()) {}
    // `initWithEffect:`.
    explicit UIVisualEffectView(const Ref<UIVisualEffect>& effect);

    Ref<UIVisualEffect> effect() const { return effect_; }
    void setEffect(const Ref<UIVisualEffect>& effect);
    Ref<UIView> contentView() const { return contentView_; }

    Ref<NSString> description() const override;

private:
    Ref<UIVisualEffect> effect_;
    Ref<UIView> contentView_;
};
