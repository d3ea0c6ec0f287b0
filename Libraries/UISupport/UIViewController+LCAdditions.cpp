#include <UISupport/UIViewController+LCAdditions.h>

#include <UIKit/UILayoutGuide.h>

namespace {

Ref<LCViewAttribute> guide(const Ref<UIViewController>& controller, bool top, NSLayoutAttribute attribute) {
    id item = top ? id(controller->topLayoutGuide()) : id(controller->bottomLayoutGuide());
    return make<LCViewAttribute>(controller->view(), item, attribute);
}

} // namespace

Ref<LCViewAttribute> lc_topLayoutGuide(const Ref<UIViewController>& controller) {
    return guide(controller, true, NSLayoutAttributeBottom);
}
Ref<LCViewAttribute> lc_topLayoutGuideTop(const Ref<UIViewController>& controller) {
    return guide(controller, true, NSLayoutAttributeTop);
}
Ref<LCViewAttribute> lc_topLayoutGuideBottom(const Ref<UIViewController>& controller) {
    return guide(controller, true, NSLayoutAttributeBottom);
}
Ref<LCViewAttribute> lc_bottomLayoutGuide(const Ref<UIViewController>& controller) {
    return guide(controller, false, NSLayoutAttributeTop);
}
Ref<LCViewAttribute> lc_bottomLayoutGuideTop(const Ref<UIViewController>& controller) {
    return guide(controller, false, NSLayoutAttributeTop);
}
Ref<LCViewAttribute> lc_bottomLayoutGuideBottom(const Ref<UIViewController>& controller) {
    return guide(controller, false, NSLayoutAttributeBottom);
}
