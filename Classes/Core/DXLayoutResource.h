// Helpers for the layout resources that the screens register in code (UINib builders): views placed
// by constraints held by the screen's root view, as an interface file would hold them.
#pragma once

#include <UIKit/NSLayoutConstraint.h>
#include <UIKit/UIView.h>

namespace dx_layout {

// Adds `view` to `root` placed by constraints.
inline void place(const Ref<UIView>& root, const Ref<UIView>& view) {
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    root->addSubview(view);
}

// Installs `item.attribute = other.otherAttribute * 1 + constant` on `holder` and answers it.
inline Ref<NSLayoutConstraint> pin(const Ref<UIView>& holder, const id& item, NSLayoutAttribute attribute,
                                   const id& other, NSLayoutAttribute otherAttribute, CGFloat constant) {
    auto constraint =
        make<NSLayoutConstraint>(item, attribute, NSLayoutRelationEqual, other, otherAttribute, 1.0, constant);
    holder->addConstraint(constraint);
    return constraint;
}

// A fixed width or height.
inline Ref<NSLayoutConstraint> size(const Ref<UIView>& holder, const id& item, NSLayoutAttribute attribute,
                                    CGFloat constant) {
    auto constraint = make<NSLayoutConstraint>(item, attribute, NSLayoutRelationEqual, nullptr,
                                               NSLayoutAttributeNotAnAttribute, 1.0, constant);
    holder->addConstraint(constraint);
    return constraint;
}

} // namespace dx_layout
