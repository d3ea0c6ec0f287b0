#include <Runtime/ClassBuilder.h>
#include <UIKit/UIBlurEffect.h>

NS_IMPLEMENT_CLASS(UIBlurEffect, UIVisualEffect) {
    b.readonlyProperty("style", &UIBlurEffect::style);
    b.classMethod("effectWithStyle:",
                  [](long style) { return UIBlurEffect::effectWithStyle(static_cast<UIBlurEffectStyle>(style)); });
}

Ref<UIBlurEffect> UIBlurEffect::effectWithStyle(UIBlurEffectStyle style) {
    return make<UIBlurEffect>(style);
}

bool UIBlurEffect::isEqual(const id& other) const {
    auto o = cast<UIBlurEffect>(other);
    return o && o->style_ == style_;
}

NSUInteger UIBlurEffect::hash() const {
    return static_cast<NSUInteger>(style_) + 0x5bd1e995u;
}

Ref<NSString> UIBlurEffect::description() const {
    return NSString::stringWithFormat("<UIBlurEffect: %p> style=%ld", static_cast<const void*>(this),
                                      static_cast<long>(style_));
}
