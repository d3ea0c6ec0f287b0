// UIScrollView: a view whose bounds origin (the content offset) moves over a larger content area.
// Headless there is no deceleration: the host scrolls by setting the offset (the test driver's
// scroll), and the delegate (held weakly) is told scrollViewDidScroll: by selector.
#pragma once

#include <UIKit/UIView.h>

class UIRefreshControl;

class UIScrollView : public UIView {
    NS_OBJECT(UIScrollView, UIView)
public:
    UIScrollView() : UIScrollView(CGRectZero) {}
    explicit UIScrollView(CGRect frame);
    ~UIScrollView() override;

    CGPoint contentOffset() const;
    void setContentOffset(CGPoint offset);
    void setContentOffsetAnimated(CGPoint offset, bool animated);
    CGSize contentSize() const noexcept { return contentSize_; }
    void setContentSize(CGSize size);
    UIEdgeInsets contentInset() const noexcept { return contentInset_; }
    void setContentInset(UIEdgeInsets inset) { contentInset_ = inset; }
    UIEdgeInsets scrollIndicatorInsets() const noexcept { return indicatorInsets_; }
    void setScrollIndicatorInsets(UIEdgeInsets insets) { indicatorInsets_ = insets; }
    bool isScrollEnabled() const noexcept { return scrollEnabled_; }
    void setScrollEnabled(bool enabled) { scrollEnabled_ = enabled; }
    bool isPagingEnabled() const noexcept { return pagingEnabled_; }
    void setPagingEnabled(bool enabled) { pagingEnabled_ = enabled; }
    bool bounces() const noexcept { return bounces_; }
    void setBounces(bool bounces) { bounces_ = bounces; }
    bool alwaysBounceVertical() const noexcept { return alwaysBounceVertical_; }
    void setAlwaysBounceVertical(bool b) { alwaysBounceVertical_ = b; }
    bool showsVerticalScrollIndicator() const noexcept { return showsVertical_; }
    void setShowsVerticalScrollIndicator(bool shows) { showsVertical_ = shows; }
    bool showsHorizontalScrollIndicator() const noexcept { return showsHorizontal_; }
    void setShowsHorizontalScrollIndicator(bool shows) { showsHorizontal_ = shows; }
    CGFloat zoomScale() const noexcept { return zoomScale_; }
    void setZoomScale(CGFloat scale) { zoomScale_ = scale; }
    CGFloat minimumZoomScale() const noexcept { return minimumZoomScale_; }
    void setMinimumZoomScale(CGFloat scale) { minimumZoomScale_ = scale; }
    CGFloat maximumZoomScale() const noexcept { return maximumZoomScale_; }
    void setMaximumZoomScale(CGFloat scale) { maximumZoomScale_ = scale; }
    bool isDragging() const noexcept { return false; }
    bool isDecelerating() const noexcept { return false; }
    bool isTracking() const noexcept { return false; }
    // Scrolls just enough to show the rectangle (in content coordinates).
    void scrollRectToVisibleAnimated(CGRect rect, bool animated);

    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }
    Ref<UIRefreshControl> refreshControl() const;
    void setRefreshControl(const Ref<UIRefreshControl>& control);

protected:
    // Called after the offset changed, before the delegate hears of it.
    virtual void contentOffsetDidChange() {}

private:
    CGSize contentSize_{};
    UIEdgeInsets contentInset_{};
    UIEdgeInsets indicatorInsets_{};
    bool scrollEnabled_ = true;
    bool pagingEnabled_ = false;
    bool bounces_ = true;
    bool alwaysBounceVertical_ = false;
    bool showsVertical_ = true;
    bool showsHorizontal_ = true;
    CGFloat zoomScale_ = 1;
    CGFloat minimumZoomScale_ = 1;
    CGFloat maximumZoomScale_ = 1;
    Weak<NSObject> delegate_;
    Ref<UIRefreshControl> refreshControl_;
};
