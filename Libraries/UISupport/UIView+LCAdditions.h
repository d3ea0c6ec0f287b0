// The constraint builder's entry points on views:
//     lc_makeConstraints(view, [&](const Ref<LCConstraintMaker>& make) {
//         make->centerX()->equalTo()(superview);
//         make->bottom()->equalTo()(superview)->offset()(-90);
//     });
// The view must already be in its view hierarchy; the installed view is found through its
// superviews. Main thread only.
#pragma once

#include <UISupport/LCConstraintMaker.h>
#include <UISupport/LCViewAttribute.h>

#include <Foundation/NSSet.h>

// Turns off the view's autoresizing-mask translation, runs the block with a maker for the view,
// installs what it describes and answers the installed top-level constraints in order.
Ref<NSArray> lc_makeConstraints(const Ref<UIView>& view, const LCMakerBlock& block);
// The same; an installed constraint with the same items, attributes, relation, multiplier and
// priority only takes the new constant.
Ref<NSArray> lc_updateConstraints(const Ref<UIView>& view, const LCMakerBlock& block);
// The same, after uninstalling every constraint the builder installed with this view first.
Ref<NSArray> lc_remakeConstraints(const Ref<UIView>& view, const LCMakerBlock& block);

// A new attribute of the view.
Ref<LCViewAttribute> lc_left(const Ref<UIView>& view);
Ref<LCViewAttribute> lc_top(const Ref<UIView>& view);
Ref<LCViewAttribute> lc_right(const Ref<UIView>& view);
Ref<LCViewAttribute> lc_bottom(const Ref<UIView>& view);
Ref<LCViewAttribute> lc_leading(const Ref<UIView>& view);
Ref<LCViewAttribute> lc_trailing(const Ref<UIView>& view);
Ref<LCViewAttribute> lc_width(const Ref<UIView>& view);
Ref<LCViewAttribute> lc_height(const Ref<UIView>& view);
Ref<LCViewAttribute> lc_centerX(const Ref<UIView>& view);
Ref<LCViewAttribute> lc_centerY(const Ref<UIView>& view);
Ref<LCViewAttribute> lc_baseline(const Ref<UIView>& view);
std::function<Ref<LCViewAttribute>(NSLayoutAttribute)> lc_attribute(const Ref<UIView>& view);
// The safe-area guide: bottom, and each edge.
Ref<LCViewAttribute> lc_safeAreaLayoutGuide(const Ref<UIView>& view);
Ref<LCViewAttribute> lc_safeAreaLayoutGuideTop(const Ref<UIView>& view);
Ref<LCViewAttribute> lc_safeAreaLayoutGuideBottom(const Ref<UIView>& view);
Ref<LCViewAttribute> lc_safeAreaLayoutGuideLeft(const Ref<UIView>& view);
Ref<LCViewAttribute> lc_safeAreaLayoutGuideRight(const Ref<UIView>& view);

// Bookkeeping: the LCViewConstraints installed with this view as first view (made on first use).
Ref<NSMutableSet> lc_installedConstraints(const Ref<UIView>& view);
// A debugging key shown by constraint descriptions in place of the view's address.
id lc_key(const Ref<UIView>& view);
void setLc_key(const Ref<UIView>& view, const id& key);
// The nearest view that is `view` or an ancestor of it and also `other` or an ancestor of it;
// nil when `other` is nil or they share none.
Ref<UIView> lc_closestCommonSuperview(const Ref<UIView>& view, const Ref<UIView>& other);
