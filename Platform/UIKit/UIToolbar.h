// UIToolbar: a bar of bar button items along the bottom of a screen (or, made larger, a cheap blur
// behind other views). Headless it is a plain view of the platform's height that keeps its items
// and its look as values; items are tapped through UITestDriver::tapBarButtonItem.
#pragma once

#include <UIKit/UIBarButtonItem.h>
#include <UIKit/UIView.h>

enum UIBarStyle : NSInteger {
    UIBarStyleDefault = 0,
    UIBarStyleBlack = 1,
};

class UIToolbar : public UIView {
    NS_OBJECT(UIToolbar, UIView)
public:
    UIToolbar() : UIToolbar(CGRectMake(0, 0, 0, height)) {}
    explicit UIToolbar(CGRect frame);

    static constexpr CGFloat height = 44;

    Ref<NSArray> items() const { return items_; }
    void setItems(const Ref<NSArray>& items);
    void setItemsAnimated(const Ref<NSArray>& items, bool animated);
    NS_PROPERTY(UIBarStyle, barStyle, setBarStyle)
    NS_PROPERTY(Ref<UIColor>, barTintColor, setBarTintColor)
    bool isTranslucent() const noexcept { return translucent_; }
    void setTranslucent(bool translucent);

    // The platform's height, the width offered.
    CGSize sizeThatFits(CGSize size) const override;

private:
    Ref<NSArray> items_;
    bool translucent_ = true;
};
