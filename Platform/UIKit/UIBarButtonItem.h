// UIBarButtonItem: a button of a navigation bar or toolbar, with a target (held weakly) and an
// action. A tap (the test driver's) sends the action through UIApplication.
#pragma once

#include <UIKit/UIBarItem.h>
#include <UIKit/UIView.h>

enum UIBarButtonItemStyle : NSInteger {
    UIBarButtonItemStylePlain = 0,
    UIBarButtonItemStyleBordered = 1,
    UIBarButtonItemStyleDone = 2,
};

enum UIBarButtonSystemItem : NSInteger {
    UIBarButtonSystemItemDone = 0,
    UIBarButtonSystemItemCancel = 1,
    UIBarButtonSystemItemEdit = 2,
    UIBarButtonSystemItemSave = 3,
    UIBarButtonSystemItemAdd = 4,
    UIBarButtonSystemItemFlexibleSpace = 5,
    UIBarButtonSystemItemFixedSpace = 6,
    UIBarButtonSystemItemRefresh = 13,
};

class UIBarButtonItem : public UIBarItem {
    NS_OBJECT(UIBarButtonItem, UIBarItem)
public:
    UIBarButtonItem() = default;
    ~UIBarButtonItem() override;
    // `initWithTitle:style:target:action:`.
    UIBarButtonItem(const Ref<NSString>& title, UIBarButtonItemStyle style, const id& target, SEL action);
    // `initWithImage:style:target:action:`.
    UIBarButtonItem(const Ref<UIImage>& image, UIBarButtonItemStyle style, const id& target, SEL action);
    // `initWithBarButtonSystemItem:target:action:`.
    UIBarButtonItem(UIBarButtonSystemItem item, const id& target, SEL action);
    // `initWithCustomView:`.
    explicit UIBarButtonItem(const Ref<UIView>& customView);

    id target() const { return target_.lock(); }
    void setTarget(const id& target) { target_ = target; }
    SEL action() const noexcept { return action_; }
    void setAction(SEL action) { action_ = action; }
    UIBarButtonItemStyle style() const noexcept { return style_; }
    void setStyle(UIBarButtonItemStyle style) { style_ = style; }
    Ref<UIView> customView() const;
    void setCustomView(const Ref<UIView>& view);
    CGFloat width() const noexcept { return width_; }
    void setWidth(CGFloat width) { width_ = width; }
    NSInteger systemItem() const noexcept { return systemItem_; }

    // What a tap does: sends the action (with the item as sender) when the item is enabled.
    bool tap();

private:
    Weak<NSObject> target_;
    SEL action_;
    UIBarButtonItemStyle style_ = UIBarButtonItemStylePlain;
    Ref<UIView> customView_;
    CGFloat width_ = 0;
    NSInteger systemItem_ = -1;
};
