#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIBarButtonItem.h>
#include <UIKit/UIEvent.h>

NS_IMPLEMENT_CLASS(UIBarButtonItem, UIBarItem) {
    b.property("target", &UIBarButtonItem::target, &UIBarButtonItem::setTarget);
    b.property("action", &UIBarButtonItem::action, &UIBarButtonItem::setAction);
    b.property("style", &UIBarButtonItem::style, &UIBarButtonItem::setStyle);
    b.property("customView", &UIBarButtonItem::customView, &UIBarButtonItem::setCustomView);
}

UIBarButtonItem::~UIBarButtonItem() = default;

UIBarButtonItem::UIBarButtonItem(const Ref<NSString>& title, UIBarButtonItemStyle style, const id& target, SEL action)
    : target_(target), action_(action), style_(style) {
    title_ = title;
}

UIBarButtonItem::UIBarButtonItem(const Ref<UIImage>& image, UIBarButtonItemStyle style, const id& target, SEL action)
    : target_(target), action_(action), style_(style) {
    image_ = image;
}

UIBarButtonItem::UIBarButtonItem(UIBarButtonSystemItem item, const id& target, SEL action)
    : target_(target), action_(action), systemItem_(item) {}

UIBarButtonItem::UIBarButtonItem(const Ref<UIView>& customView) : customView_(customView) {}

Ref<UIView> UIBarButtonItem::customView() const {
    return customView_;
}

void UIBarButtonItem::setCustomView(const Ref<UIView>& view) {
    customView_ = view;
}

bool UIBarButtonItem::tap() {
    if (!isEnabled() || action_.isNull()) {
        return false;
    }
    return UIApplication::sharedApplication()->sendActionToFromForEvent(action_, target(), Ref<UIBarButtonItem>(this),
                                                                        nullptr);
}
