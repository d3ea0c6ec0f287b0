// The constraint builder over several views at once.
#pragma once

#include <UISupport/LCConstraintMaker.h>

#include <Foundation/NSArray.h>

enum LCAxisType : NSUInteger {
    LCAxisTypeHorizontal = 0,
    LCAxisTypeVertical = 1, // any value other than 0
};

// The same operation on every view of the array, in order; all installed constraints, in order.
Ref<NSArray> lc_makeConstraints(const Ref<NSArray>& views, const LCMakerBlock& block);
Ref<NSArray> lc_updateConstraints(const Ref<NSArray>& views, const LCMakerBlock& block);
Ref<NSArray> lc_remakeConstraints(const Ref<NSArray>& views, const LCMakerBlock& block);

// Lays the views out one after another along the axis inside their common superview: fixed gaps
// and equal lengths, or fixed lengths and equal gaps. Fewer than two views: nothing happens.
void lc_distributeViewsAlongAxisWithFixedSpacingLeadSpacingTailSpacing(const Ref<NSArray>& views, NSUInteger axis,
                                                                       CGFloat fixedSpacing, CGFloat leadSpacing,
                                                                       CGFloat tailSpacing);
void lc_distributeViewsAlongAxisWithFixedItemLengthLeadSpacingTailSpacing(const Ref<NSArray>& views, NSUInteger axis,
                                                                          CGFloat fixedItemLength, CGFloat leadSpacing,
                                                                          CGFloat tailSpacing);

// The closest common superview of the views in the array (the view itself for one view); nil
// for none.
Ref<UIView> lc_commonSuperviewOfViews(const Ref<NSArray>& views);
