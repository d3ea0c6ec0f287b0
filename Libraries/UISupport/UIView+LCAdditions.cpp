#include <UISupport/UIView+LCAdditions.h>

#include <Dispatch/DispatchQueue.h>
#include <UIKit/UILayoutGuide.h>

namespace {

const char kInstalledConstraintsKey = 0;

Ref<NSArray> runMaker(const Ref<UIView>& view, const LCMakerBlock& block, bool update, bool remove) {
    dispatch_assert_main();
    if (!view) {
        NSException::raise(NSInvalidArgumentException, "Constraints need a view.");
    }
    view->setTranslatesAutoresizingMaskIntoConstraints(false);
    auto maker = make<LCConstraintMaker>(view);
    maker->setUpdateExisting(update);
    maker->setRemoveExisting(remove);
    if (block) {
        block(maker);
    }
    return maker->install();
}

Ref<LCViewAttribute> attributeOf(const Ref<UIView>& view, NSLayoutAttribute attribute) {
    return make<LCViewAttribute>(view, attribute);
}

Ref<LCViewAttribute> safeArea(const Ref<UIView>& view, NSLayoutAttribute attribute) {
    return make<LCViewAttribute>(view, view->safeAreaLayoutGuide(), attribute);
}

} // namespace

Ref<NSArray> lc_makeConstraints(const Ref<UIView>& view, const LCMakerBlock& block) {
    return runMaker(view, block, false, false);
}

Ref<NSArray> lc_updateConstraints(const Ref<UIView>& view, const LCMakerBlock& block) {
    return runMaker(view, block, true, false);
}

Ref<NSArray> lc_remakeConstraints(const Ref<UIView>& view, const LCMakerBlock& block) {
    return runMaker(view, block, false, true);
}

Ref<LCViewAttribute> lc_left(const Ref<UIView>& view) {
    return attributeOf(view, NSLayoutAttributeLeft);
}
Ref<LCViewAttribute> lc_top(const Ref<UIView>& view) {
    return attributeOf(view, NSLayoutAttributeTop);
}
Ref<LCViewAttribute> lc_right(const Ref<UIView>& view) {
    return attributeOf(view, NSLayoutAttributeRight);
}
Ref<LCViewAttribute> lc_bottom(const Ref<UIView>& view) {
    return attributeOf(view, NSLayoutAttributeBottom);
}
Ref<LCViewAttribute> lc_leading(const Ref<UIView>& view) {
    return attributeOf(view, NSLayoutAttributeLeading);
}
Ref<LCViewAttribute> lc_trailing(const Ref<UIView>& view) {
    return attributeOf(view, NSLayoutAttributeTrailing);
}
Ref<LCViewAttribute> lc_width(const Ref<UIView>& view) {
    return attributeOf(view, NSLayoutAttributeWidth);
}
Ref<LCViewAttribute> lc_height(const Ref<UIView>& view) {
    return attributeOf(view, NSLayoutAttributeHeight);
}
Ref<LCViewAttribute> lc_centerX(const Ref<UIView>& view) {
    return attributeOf(view, NSLayoutAttributeCenterX);
}
Ref<LCViewAttribute> lc_centerY(const Ref<UIView>& view) {
    return attributeOf(view, NSLayoutAttributeCenterY);
}
Ref<LCViewAttribute> lc_baseline(const Ref<UIView>& view) {
    return attributeOf(view, NSLayoutAttributeBaseline);
}

std::function<Ref<LCViewAttribute>(NSLayoutAttribute)> lc_attribute(const Ref<UIView>& view) {
    return [view](NSLayoutAttribute attribute) { return attributeOf(view, attribute); };
}

Ref<LCViewAttribute> lc_safeAreaLayoutGuide(const Ref<UIView>& view) {
    return safeArea(view, NSLayoutAttributeBottom);
}
Ref<LCViewAttribute> lc_safeAreaLayoutGuideTop(const Ref<UIView>& view) {
    return safeArea(view, NSLayoutAttributeTop);
}
Ref<LCViewAttribute> lc_safeAreaLayoutGuideBottom(const Ref<UIView>& view) {
    return safeArea(view, NSLayoutAttributeBottom);
}
Ref<LCViewAttribute> lc_safeAreaLayoutGuideLeft(const Ref<UIView>& view) {
    return safeArea(view, NSLayoutAttributeLeft);
}
Ref<LCViewAttribute> lc_safeAreaLayoutGuideRight(const Ref<UIView>& view) {
    return safeArea(view, NSLayoutAttributeRight);
}

Ref<NSMutableSet> lc_installedConstraints(const Ref<UIView>& view) {
    auto set = cast<NSMutableSet>(view->associatedObject(&kInstalledConstraintsKey));
    if (!set) {
        set = NSMutableSet::set();
        view->setAssociatedObject(&kInstalledConstraintsKey, set, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    }
    return set;
}

id lc_key(const Ref<UIView>& view) {
    return view->associatedObject(&SEL("lc_key").name());
}

void setLc_key(const Ref<UIView>& view, const id& key) {
    view->setAssociatedObject(&SEL("lc_key").name(), key, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

Ref<UIView> lc_closestCommonSuperview(const Ref<UIView>& view, const Ref<UIView>& other) {
    for (Ref<UIView> up = other; up; up = up->superview()) {
        for (Ref<UIView> mine = view; mine; mine = mine->superview()) {
            if (mine == up) {
                return up;
            }
        }
    }
    return nullptr;
}
