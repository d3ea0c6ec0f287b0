#include <Runtime/ClassBuilder.h>
#include <UIKit/UIVisualEffectView.h>

NS_IMPLEMENT_CLASS(UIVisualEffectView, UIView) {
    b.property("effect", &UIVisualEffectView::effect, &UIVisualEffectView::setEffect);
    b.readonlyProperty("contentView", &UIVisualEffectView::contentView);
}

UIVisualEffectView::UIVisualEffectView(const Ref<UIVisualEffect>& effect)
    : UIView(CGRectZero), effect_(effect ? cast<UIVisualEffect>(effect->copy()) : nullptr),
      contentView_(make<UIView>(CGRectZero)) {
    contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
}

void UIVisualEffectView::setEffect(const Ref<UIVisualEffect>& effect) {
    changeValueForKey("effect", [&] { effect_ = effect ? cast<UIVisualEffect>(effect->copy()) : nullptr; });
}

Ref<NSString> UIVisualEffectView::description() const {
    CGRect f = frame();
    return NSString::stringWithFormat("<%s: %p; frame = (%g %g; %g %g); effect = %@>", getClass()->name(),
                                      static_cast<const void*>(this), f.origin.x, f.origin.y, f.size.width,
                                      f.size.height, effect_);
}
