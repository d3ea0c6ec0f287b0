// LCViewAttribute: one layout attribute of a view (or of a layout guide that belongs to a view).
#pragma once

#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UIView.h>

class LCViewAttribute : public NSObject {
    NS_OBJECT(LCViewAttribute, NSObject)
public:
    LCViewAttribute() = default;
    // `initWithView:layoutAttribute:`: the item is the view itself.
    LCViewAttribute(const Ref<UIView>& view, NSLayoutAttribute layoutAttribute);
    // `initWithView:item:layoutAttribute:`: `item` is a layout guide of `view`, or the view.
    LCViewAttribute(const Ref<UIView>& view, const id& item, NSLayoutAttribute layoutAttribute);

    // The view, which decides where a constraint is installed (held weakly).
    Ref<UIView> view() const { return view_.lock(); }
    // What the platform constraint relates (held weakly).
    id item() const { return item_.lock(); }
    NSLayoutAttribute layoutAttribute() const noexcept { return layoutAttribute_; }
    // Width and height.
    bool isSizeAttribute() const noexcept;

    // Equal: an LCViewAttribute of the identical view with the same attribute.
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;

private:
    Weak<UIView> view_;
    Weak<NSObject> item_;
    NSLayoutAttribute layoutAttribute_ = NSLayoutAttributeNotAnAttribute;
};
