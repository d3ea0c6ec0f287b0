#include <Runtime/ClassBuilder.h>
#include <UIKit/UIActivityIndicatorView.h>

NS_IMPLEMENT_CLASS(UIActivityIndicatorView, UIView) {
    b.property("color", &UIActivityIndicatorView::color, &UIActivityIndicatorView::setColor);
    b.property("hidesWhenStopped", &UIActivityIndicatorView::hidesWhenStopped,
               &UIActivityIndicatorView::setHidesWhenStopped);
    b.method("startAnimating", &UIActivityIndicatorView::startAnimating);
    b.method("stopAnimating", &UIActivityIndicatorView::stopAnimating);
    b.method("isAnimating", &UIActivityIndicatorView::isAnimating);
}

UIActivityIndicatorView::UIActivityIndicatorView(UIActivityIndicatorViewStyle style)
    : UIView(style == UIActivityIndicatorViewStyleWhiteLarge ? CGRectMake(0, 0, 37, 37) : CGRectMake(0, 0, 20, 20)),
      style_(style) {
    color_ = style == UIActivityIndicatorViewStyleGray ? UIColor::grayColor() : UIColor::whiteColor();
    setHidden(true);
}

void UIActivityIndicatorView::startAnimating() {
    animating_ = true;
    setHidden(false);
}

void UIActivityIndicatorView::stopAnimating() {
    animating_ = false;
    if (hidesWhenStopped_) {
        setHidden(true);
    }
}

void UIActivityIndicatorView::setHidesWhenStopped(bool hides) {
    hidesWhenStopped_ = hides;
    if (hides && !animating_) {
        setHidden(true);
    }
}

CGSize UIActivityIndicatorView::intrinsicContentSize() const {
    return style_ == UIActivityIndicatorViewStyleWhiteLarge ? CGSizeMake(37, 37) : CGSizeMake(20, 20);
}
