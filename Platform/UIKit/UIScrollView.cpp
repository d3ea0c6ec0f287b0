#include <Runtime/ClassBuilder.h>
#include <UIKit/UIKitInternal.h>
#include <UIKit/UIRefreshControl.h>
#include <UIKit/UIScrollView.h>

#include <algorithm>

NS_IMPLEMENT_CLASS(UIScrollView, UIView) {
    b.property("contentOffset", &UIScrollView::contentOffset, &UIScrollView::setContentOffset);
    b.property("contentSize", &UIScrollView::contentSize, &UIScrollView::setContentSize);
    b.property("contentInset", &UIScrollView::contentInset, &UIScrollView::setContentInset);
    b.property("scrollEnabled", &UIScrollView::isScrollEnabled, &UIScrollView::setScrollEnabled);
    b.method("setContentOffset:animated:", &UIScrollView::setContentOffsetAnimated);
}

UIScrollView::UIScrollView(CGRect frame) : UIView(frame) {
    setClipsToBounds(true);
}

UIScrollView::~UIScrollView() = default;

CGPoint UIScrollView::contentOffset() const {
    return bounds().origin;
}

void UIScrollView::setContentOffset(CGPoint offset) {
    CGRect b = bounds();
    if (b.origin == offset) {
        return;
    }
    changeValueForKey("contentOffset", [&] { setBounds(CGRectMake(offset.x, offset.y, b.size.width, b.size.height)); });
    contentOffsetDidChange();
    setNeedsLayout();
    uikit_detail::sendIfResponds(delegate(), "scrollViewDidScroll:", {Ref<UIScrollView>(this)});
}

void UIScrollView::setContentOffsetAnimated(CGPoint offset, bool) {
    setContentOffset(offset);
}

void UIScrollView::setContentSize(CGSize size) {
    changeValueForKey("contentSize", [&] { contentSize_ = size; });
}

void UIScrollView::scrollRectToVisibleAnimated(CGRect rect, bool) {
    CGRect b = bounds();
    CGPoint o = b.origin;
    if (CGRectGetMaxY(rect) > o.y + b.size.height) {
        o.y = CGRectGetMaxY(rect) - b.size.height;
    }
    if (rect.origin.y < o.y) {
        o.y = rect.origin.y;
    }
    if (CGRectGetMaxX(rect) > o.x + b.size.width) {
        o.x = CGRectGetMaxX(rect) - b.size.width;
    }
    if (rect.origin.x < o.x) {
        o.x = rect.origin.x;
    }
    o.y = std::max(-contentInset_.top, o.y);
    o.x = std::max(-contentInset_.left, o.x);
    setContentOffset(o);
}

Ref<UIRefreshControl> UIScrollView::refreshControl() const {
    return refreshControl_;
}

void UIScrollView::setRefreshControl(const Ref<UIRefreshControl>& control) {
    if (refreshControl_) {
        refreshControl_->removeFromSuperview();
    }
    refreshControl_ = control;
    if (control) {
        insertSubviewAtIndex(control, 0);
    }
}
