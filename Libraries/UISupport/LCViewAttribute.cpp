#include <UISupport/LCViewAttribute.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(LCViewAttribute, NSObject) {
    using A = LCViewAttribute;
    b.readonlyProperty("view", &A::view);
    b.readonlyProperty("item", &A::item);
    b.readonlyProperty("layoutAttribute", &A::layoutAttribute);
    b.method("isSizeAttribute", &A::isSizeAttribute);
}

LCViewAttribute::LCViewAttribute(const Ref<UIView>& view, NSLayoutAttribute layoutAttribute)
    : LCViewAttribute(view, view, layoutAttribute) {}

LCViewAttribute::LCViewAttribute(const Ref<UIView>& view, const id& item, NSLayoutAttribute layoutAttribute)
    : view_(view), item_(item), layoutAttribute_(layoutAttribute) {}

bool LCViewAttribute::isSizeAttribute() const noexcept {
    return layoutAttribute_ == NSLayoutAttributeWidth || layoutAttribute_ == NSLayoutAttributeHeight;
}

bool LCViewAttribute::isEqual(const id& other) const {
    if (!other || !other->isKindOfClass(getClass())) {
        return NSObject::isEqual(other);
    }
    auto* attribute = static_cast<const LCViewAttribute*>(other.get());
    return attribute->view_.unsafePointer() == view_.unsafePointer() && attribute->layoutAttribute_ == layoutAttribute_;
}

NSUInteger LCViewAttribute::hash() const {
    auto v = view();
    NSUInteger h = v ? v->hash() : 0;
    NSUInteger rotated = (h << 32) | (h >> 32);
    return rotated ^ static_cast<NSUInteger>(layoutAttribute_);
}
