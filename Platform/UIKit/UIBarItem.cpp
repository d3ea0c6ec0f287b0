#include <Runtime/ClassBuilder.h>
#include <UIKit/UIBarItem.h>

NS_IMPLEMENT_CLASS(UIBarItem, NSObject) {
    b.property("title", &UIBarItem::title, &UIBarItem::setTitle);
    b.property("image", &UIBarItem::image, &UIBarItem::setImage);
    b.property("tag", &UIBarItem::tag, &UIBarItem::setTag);
    b.property("enabled", &UIBarItem::isEnabled, &UIBarItem::setEnabled);
}

void UIBarItem::setEnabled(bool enabled) {
    changeValueForKey("enabled", [&] { enabled_ = enabled; });
}
