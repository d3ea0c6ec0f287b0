#include <Runtime/ClassBuilder.h>
#include <UIKit/UIToolbar.h>

NS_IMPLEMENT_CLASS(UIToolbar, UIView) {
    b.property("items", &UIToolbar::items, &UIToolbar::setItems);
    b.property("barStyle", &UIToolbar::barStyle, &UIToolbar::setBarStyle);
    b.property("barTintColor", &UIToolbar::barTintColor, &UIToolbar::setBarTintColor);
    b.property("translucent", &UIToolbar::isTranslucent, &UIToolbar::setTranslucent, "getter=isTranslucent");
    b.method("setItems:animated:", &UIToolbar::setItemsAnimated);
}

UIToolbar::UIToolbar(CGRect frame) : UIView(frame) {}

void UIToolbar::setItems(const Ref<NSArray>& items) {
    changeValueForKey("items", [&] { items_ = items ? cast<NSArray>(items->copy()) : nullptr; });
    setNeedsLayout();
}

void UIToolbar::setItemsAnimated(const Ref<NSArray>& items, bool) {
    setItems(items);
}

void UIToolbar::setTranslucent(bool translucent) {
    changeValueForKey("translucent", [&] { translucent_ = translucent; });
}

CGSize UIToolbar::sizeThatFits(CGSize size) const {
    return CGSizeMake(size.width, height);
}
