// UIRefreshControl: the pull-to-refresh control of a scroll view. Pulling (the test driver's
// pullToRefresh) begins refreshing and sends value-changed.
#pragma once

#include <UIKit/UIControl.h>

class UIRefreshControl : public UIControl {
    NS_OBJECT(UIRefreshControl, UIControl)
public:
    UIRefreshControl() : UIControl(CGRectMake(0, -60, 0, 60)) {}

    bool isRefreshing() const noexcept { return refreshing_; }
    void beginRefreshing();
    void endRefreshing();
    NS_PROPERTY(Ref<NSString>, title, setTitle)

    // What a pull does: begins refreshing and sends value-changed.
    void pull();

private:
    bool refreshing_ = false;
};
