#include <Runtime/ClassBuilder.h>
#include <UIKit/UINavigationBar.h>

NS_IMPLEMENT_CLASS(UINavigationBar, UIView) {
    b.property("title", &UINavigationBar::title, &UINavigationBar::setTitle);
    b.property("translucent", &UINavigationBar::translucent, &UINavigationBar::setTranslucent);
    b.property("barTintColor", &UINavigationBar::barTintColor, &UINavigationBar::setBarTintColor);
}
