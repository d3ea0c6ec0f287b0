// Arrow: an upward arrowhead with a notch in its base, designed on a 240 x 240 square and drawn
// at the view's size. Both colours may be nil: a dark red fill and a black outline.
#pragma once

#include <UIKit/UIColor.h>
#include <UIKit/UIView.h>

class Arrow : public UIView {
    NS_OBJECT(Arrow, UIView)
public:
    Arrow() : Arrow(CGRectZero) {}
    explicit Arrow(CGRect frame);
    NS_PROPERTY(Ref<UIColor>, fillColor, setFillColor)
    NS_PROPERTY(Ref<UIColor>, pathColor, setPathColor)

    CGSize sizeThatFits(CGSize size) const override;
    void drawRect(CGRect rect) override;
};
