// UIActivityIndicatorView: the spinner. Hidden while stopped when hidesWhenStopped (the default).
#pragma once

#include <UIKit/UIView.h>

enum UIActivityIndicatorViewStyle : NSInteger {
    UIActivityIndicatorViewStyleWhiteLarge = 0,
    UIActivityIndicatorViewStyleWhite = 1,
    UIActivityIndicatorViewStyleGray = 2,
};

class UIActivityIndicatorView : public UIView {
    NS_OBJECT(UIActivityIndicatorView, UIView)
public:
    UIActivityIndicatorView() : UIActivityIndicatorView(UIActivityIndicatorViewStyleWhite) {}
    // `initWithActivityIndicatorStyle:`: 37 points square for the large style, 20 otherwise.
    explicit UIActivityIndicatorView(UIActivityIndicatorViewStyle style);

    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const noexcept { return style_; }
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style) { style_ = style; }
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const noexcept { return animating_; }
    bool hidesWhenStopped() const noexcept { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool hides);
    NS_PROPERTY(Ref<UIColor>, color, setColor)

    CGSize intrinsicContentSize() const override;

private:
    UIActivityIndicatorViewStyle style_;
    bool animating_ = false;
    bool hidesWhenStopped_ = true;
};
