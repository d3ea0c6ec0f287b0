#include <Runtime/ClassBuilder.h>
#include <UIKit/UIRefreshControl.h>

NS_IMPLEMENT_CLASS(UIRefreshControl, UIControl) {
    b.readonlyProperty("refreshing", &UIRefreshControl::isRefreshing);
    b.method("beginRefreshing", &UIRefreshControl::beginRefreshing);
    b.method("endRefreshing", &UIRefreshControl::endRefreshing);
    b.property("title", &UIRefreshControl::title, &UIRefreshControl::setTitle);
}

void UIRefreshControl::beginRefreshing() {
    changeValueForKey("refreshing", [&] { refreshing_ = true; });
}

void UIRefreshControl::endRefreshing() {
    changeValueForKey("refreshing", [&] { refreshing_ = false; });
}

void UIRefreshControl::pull() {
    if (refreshing_ || !isEnabled()) {
        return;
    }
    beginRefreshing();
    sendActionsForControlEvents(UIControlEventValueChanged);
}
