// UINavigationBar: the bar across the top of a navigation controller's screens. Headless it is a
// plain view of the platform's height that shows the top controller's title.
#pragma once

#include <UIKit/UIView.h>

class UINavigationBar : public UIView {
    NS_OBJECT(UINavigationBar, UIView)
public:
    UINavigationBar() : UIView(CGRectMake(0, 0, 0, 44)) {}
    explicit UINavigationBar(CGRect frame) : UIView(frame) {}

    static constexpr CGFloat height = 44;
    NS_PROPERTY(Ref<NSString>, title, setTitle)
    NS_PROPERTY(bool, translucent, setTranslucent)
    NS_PROPERTY(Ref<UIColor>, barTintColor, setBarTintColor)
};
