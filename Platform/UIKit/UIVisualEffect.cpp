#include <Runtime/ClassBuilder.h>
#include <UIKit/UIVisualEffect.h>

NS_IMPLEMENT_CLASS(UIVisualEffect, NSObject) {}

id UIVisualEffect::copy() const {
    // Effects are immutable.
    return id(const_cast<UIVisualEffect*>(this));
}
