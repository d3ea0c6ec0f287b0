// UIBarItem: an item of a bar (title, image, tag, enabled); not a view.
#pragma once

#include <UIKit/UIImage.h>

class UIBarItem : public NSObject {
    NS_OBJECT(UIBarItem, NSObject)
public:
    UIBarItem() = default;
    NS_PROPERTY(Ref<NSString>, title, setTitle)
    NS_PROPERTY(Ref<UIImage>, image, setImage)
    NS_PROPERTY(NSInteger, tag, setTag)
    bool isEnabled() const noexcept { return enabled_; }
    void setEnabled(bool enabled);

private:
    bool enabled_ = true;
};
