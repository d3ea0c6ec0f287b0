#include <UISupport/NSArray+LCAdditions.h>

#include <UISupport/UIView+LCAdditions.h>

namespace {

std::vector<Ref<UIView>> viewsOf(const Ref<NSArray>& array) {
    std::vector<Ref<UIView>> views;
    if (array) {
        for (const id& element : *array) {
            if (auto view = cast<UIView>(element)) {
                views.push_back(view);
            }
        }
    }
    return views;
}

Ref<NSArray> forEachView(const Ref<NSArray>& array, const LCMakerBlock& block,
                         Ref<NSArray> (*operation)(const Ref<UIView>&, const LCMakerBlock&)) {
    std::vector<id> all;
    for (const auto& view : viewsOf(array)) {
        auto installed = operation(view, block);
        for (const id& constraint : *installed) {
            all.push_back(constraint);
        }
    }
    return NSArray::arrayWithVector(std::move(all));
}

} // namespace

Ref<NSArray> lc_makeConstraints(const Ref<NSArray>& views, const LCMakerBlock& block) {
    return forEachView(views, block, &lc_makeConstraints);
}

Ref<NSArray> lc_updateConstraints(const Ref<NSArray>& views, const LCMakerBlock& block) {
    return forEachView(views, block, &lc_updateConstraints);
}

Ref<NSArray> lc_remakeConstraints(const Ref<NSArray>& views, const LCMakerBlock& block) {
    return forEachView(views, block, &lc_remakeConstraints);
}

Ref<UIView> lc_commonSuperviewOfViews(const Ref<NSArray>& views) {
    Ref<UIView> candidate;
    bool first = true;
    for (const auto& view : viewsOf(views)) {
        if (first) {
            candidate = view;
            first = false;
        } else {
            candidate = lc_closestCommonSuperview(view, candidate);
        }
    }
    return candidate;
}

void lc_distributeViewsAlongAxisWithFixedSpacingLeadSpacingTailSpacing(const Ref<NSArray>& array, NSUInteger axis,
                                                                       CGFloat fixedSpacing, CGFloat leadSpacing,
                                                                       CGFloat tailSpacing) {
    if (!array || array->count() < 2) {
        return;
    }
    auto superview = lc_commonSuperviewOfViews(array);
    auto views = viewsOf(array);
    bool horizontal = axis == LCAxisTypeHorizontal;
    Ref<UIView> previous;
    for (size_t i = 0; i < views.size(); ++i) {
        bool last = i + 1 == views.size();
        lc_makeConstraints(views[i], [&](const Ref<LCConstraintMaker>& make) {
            if (i == 0) {
                (horizontal ? make->left() : make->top())->equalTo()(superview)->offset()(leadSpacing);
                return;
            }
            (horizontal ? make->width() : make->height())->equalTo()(previous);
            (horizontal ? make->left() : make->top())
                ->equalTo()(horizontal ? lc_right(previous) : lc_bottom(previous))
                ->offset()(fixedSpacing);
            if (last) {
                (horizontal ? make->right() : make->bottom())->equalTo()(superview)->offset()(-tailSpacing);
            }
        });
        previous = views[i];
    }
}

void lc_distributeViewsAlongAxisWithFixedItemLengthLeadSpacingTailSpacing(const Ref<NSArray>& array, NSUInteger axis,
                                                                          CGFloat fixedItemLength, CGFloat leadSpacing,
                                                                          CGFloat tailSpacing) {
    if (!array || array->count() < 2) {
        return;
    }
    auto superview = lc_commonSuperviewOfViews(array);
    auto views = viewsOf(array);
    bool horizontal = axis == LCAxisTypeHorizontal;
    int count = static_cast<int>(views.size());
    for (int i = 0; i < count; ++i) {
        lc_makeConstraints(views[static_cast<size_t>(i)], [&](const Ref<LCConstraintMaker>& make) {
            (horizontal ? make->width() : make->height())->equalTo()(box(fixedItemLength));
            if (i == 0) {
                (horizontal ? make->left() : make->top())->equalTo()(superview)->offset()(leadSpacing);
            } else if (i == count - 1) {
                (horizontal ? make->right() : make->bottom())->equalTo()(superview)->offset()(-tailSpacing);
            } else {
                double n = static_cast<double>(count - 1);
                double ratio = i / n;
                double offset = (fixedItemLength + leadSpacing) * (1 - ratio) - tailSpacing * ratio;
                (horizontal ? make->right() : make->bottom())
                    ->equalTo()(superview)
                    ->multipliedBy()(ratio)
                    ->offset()(offset);
            }
        });
    }
}
