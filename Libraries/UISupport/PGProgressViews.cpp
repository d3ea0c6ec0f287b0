#include <UISupport/PGProgressViews.h>

#include <Runtime/ClassBuilder.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UIBlurEffect.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIGraphics.h>

#include <cmath>

NS_IMPLEMENT_CLASS(PGRoundProgressView, UIView) {
    using V = PGRoundProgressView;
    b.property("progress", &V::progress, &V::setProgress);
    b.property("annular", &V::isAnnular, &V::setAnnular, "getter=isAnnular");
    b.property("progressTintColor", &V::progressTintColor, &V::setProgressTintColor);
    b.property("backgroundTintColor", &V::backgroundTintColor, &V::setBackgroundTintColor);
}

NS_IMPLEMENT_CLASS(PGBarProgressView, UIView) {
    using V = PGBarProgressView;
    b.property("progress", &V::progress, &V::setProgress);
    b.property("lineColor", &V::lineColor, &V::setLineColor);
    b.property("progressRemainingColor", &V::progressRemainingColor, &V::setProgressRemainingColor);
    b.property("progressColor", &V::progressColor, &V::setProgressColor);
}

NS_IMPLEMENT_CLASS(PGBackgroundView, UIView) {
    using V = PGBackgroundView;
    b.property("style", &V::style, &V::setStyle);
    b.property("color", &V::color, &V::setColor);
}

NS_IMPLEMENT_CLASS(PGProgressHUDRoundedButton, UIButton) {}

bool PGIsLegacySystem() {
    auto version = UIDevice::currentDevice()->systemVersion();
    return version && version->intValue() < 8;
}

namespace {

// Stores `value` in `field` unless it is the same colour; answers whether it changed.
bool changeColor(Ref<UIColor>& field, const Ref<UIColor>& value) {
    if (field == value || NSObjectsEqual(field, value)) {
        return false;
    }
    field = value;
    return true;
}

constexpr float kPi = static_cast<float>(M_PI);

} // namespace

// MARK: PGRoundProgressView

PGRoundProgressView::PGRoundProgressView() : PGRoundProgressView(CGRectMake(0, 0, 37, 37)) {}

PGRoundProgressView::PGRoundProgressView(CGRect frame) : UIView(frame) {
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
    progressTintColor_ = UIColor::colorWithWhiteAlpha(1.0, 1.0);
    backgroundTintColor_ = UIColor::colorWithWhiteAlpha(1.0, 0.1f);
}

void PGRoundProgressView::setProgress(float progress) {
    if (progress != progress_) {
        progress_ = progress;
        setNeedsDisplay();
    }
}

void PGRoundProgressView::setProgressTintColor(const Ref<UIColor>& color) {
    if (changeColor(progressTintColor_, color)) {
        setNeedsDisplay();
    }
}

void PGRoundProgressView::setBackgroundTintColor(const Ref<UIColor>& color) {
    if (changeColor(backgroundTintColor_, color)) {
        setNeedsDisplay();
    }
}

CGSize PGRoundProgressView::intrinsicContentSize() const {
    return CGSizeMake(37, 37);
}

void PGRoundProgressView::drawRect(CGRect) {
    auto context = UIGraphicsGetCurrentContext();
    if (!context) {
        return;
    }
    CGRect bounds = this->bounds();
    const float startAngle = -(kPi / 2);
    const float fullTurn = 2 * kPi;
    const float endAngle = progress_ * 2 * kPi + startAngle;
    CGPoint center = CGPointMake(CGRectGetMidX(bounds), CGRectGetMidY(bounds));
    if (annular_) {
        const CGFloat lineWidth = 2.0;
        CGFloat radius = (bounds.size.width - lineWidth) / 2;
        auto background = UIBezierPath::bezierPath();
        background->setLineWidth(lineWidth);
        background->setLineCapStyle(kCGLineCapButt);
        background->addArcWithCenterRadiusStartAngleEndAngleClockwise(center, radius, startAngle, startAngle + fullTurn,
                                                                      true);
        if (backgroundTintColor_) {
            backgroundTintColor_->set();
            background->stroke();
        }
        auto progress = UIBezierPath::bezierPath();
        progress->setLineWidth(lineWidth);
        progress->setLineCapStyle(kCGLineCapSquare);
        progress->addArcWithCenterRadiusStartAngleEndAngleClockwise(center, radius, startAngle, endAngle, true);
        if (progressTintColor_ && endAngle > startAngle) {
            progressTintColor_->set();
            progress->stroke();
        }
    } else {
        const CGFloat lineWidth = 2.0;
        CGRect circle = CGRectInset(bounds, lineWidth / 2, lineWidth / 2);
        CGContextSetStrokeColorWithColor(context, progressTintColor_ ? progressTintColor_->CGColor() : CGColorRef());
        CGContextSetFillColorWithColor(context, backgroundTintColor_ ? backgroundTintColor_->CGColor() : CGColorRef());
        CGContextSetLineWidth(context, lineWidth);
        CGContextStrokeEllipseInRect(context, circle);
        auto pie = UIBezierPath::bezierPath();
        pie->setLineCapStyle(kCGLineCapButt);
        pie->setLineWidth(lineWidth * 2);
        CGFloat radius = bounds.size.width / 2 - pie->lineWidth() / 2;
        pie->addArcWithCenterRadiusStartAngleEndAngleClockwise(center, radius, startAngle, endAngle, true);
        CGContextSetBlendMode(context, kCGBlendModeCopy);
        if (progressTintColor_ && endAngle > startAngle) {
            progressTintColor_->set();
            pie->stroke();
        }
    }
}

// MARK: PGBarProgressView

PGBarProgressView::PGBarProgressView() : PGBarProgressView(CGRectMake(0, 0, 120, 20)) {}

PGBarProgressView::PGBarProgressView(CGRect frame) : UIView(frame) {
    lineColor_ = UIColor::whiteColor();
    progressColor_ = UIColor::whiteColor();
    progressRemainingColor_ = UIColor::clearColor();
    setBackgroundColor(UIColor::clearColor());
    setOpaque(false);
}

void PGBarProgressView::setProgress(float progress) {
    if (progress != progress_) {
        progress_ = progress;
        setNeedsDisplay();
    }
}

void PGBarProgressView::setProgressRemainingColor(const Ref<UIColor>& color) {
    if (changeColor(progressRemainingColor_, color)) {
        setNeedsDisplay();
    }
}

void PGBarProgressView::setProgressColor(const Ref<UIColor>& color) {
    if (changeColor(progressColor_, color)) {
        setNeedsDisplay();
    }
}

CGSize PGBarProgressView::intrinsicContentSize() const {
    return CGSizeMake(120, 10);
}

void PGBarProgressView::drawRect(CGRect rect) {
    auto c = UIGraphicsGetCurrentContext();
    if (!c) {
        return;
    }
    const CGFloat w = rect.size.width, h = rect.size.height;
    const CGFloat m = h / 2, R = m - 2, r = R - 2;
    auto cgColor = [](const Ref<UIColor>& color) { return color ? color->CGColor() : CGColorRef(); };
    CGContextSetLineWidth(c, 2);
    CGContextSetStrokeColorWithColor(c, cgColor(lineColor_));
    CGContextSetFillColorWithColor(c, cgColor(progressRemainingColor_));

    // The outline, filled with the remaining colour, then stroked.
    auto outline = [&] {
        CGContextMoveToPoint(c, 2, m);
        CGContextAddArcToPoint(c, 2, 2, R + 2, 2, R);
        CGContextAddLineToPoint(c, w - R - 2, 2);
        CGContextAddArcToPoint(c, w - 2, 2, w - 2, m, R);
        CGContextAddArcToPoint(c, w - 2, h - 2, w - R - 2, h - 2, R);
        CGContextAddLineToPoint(c, R + 2, h - 2);
        CGContextAddArcToPoint(c, 2, h - 2, 2, m, R);
    };
    outline();
    CGContextFillPath(c);
    outline();
    CGContextStrokePath(c);

    CGContextSetFillColorWithColor(c, cgColor(progressColor_));
    const CGFloat amount = progress_ * w;
    if (amount >= r + 4 && amount <= w - r - 4) {
        CGContextMoveToPoint(c, 4, m);
        CGContextAddArcToPoint(c, 4, 4, r + 4, 4, r);
        CGContextAddLineToPoint(c, amount, 4);
        CGContextAddLineToPoint(c, amount, r + 4);
        CGContextMoveToPoint(c, 4, m);
        CGContextAddArcToPoint(c, 4, h - 4, r + 4, h - 4, r);
        CGContextAddLineToPoint(c, amount, h - 4);
        CGContextAddLineToPoint(c, amount, r + 4);
        CGContextFillPath(c);
    } else if (amount > r + 4) {
        const CGFloat x = amount - (w - r - 4);
        CGFloat a = std::acos(x / r);
        if (std::isnan(a)) {
            a = 0;
        }
        CGContextMoveToPoint(c, 4, m);
        CGContextAddArcToPoint(c, 4, 4, r + 4, 4, r);
        CGContextAddLineToPoint(c, w - r - 4, 4);
        CGContextAddArc(c, w - r - 4, m, r, M_PI, -a, 0);
        CGContextAddLineToPoint(c, amount, m);
        CGContextMoveToPoint(c, 4, m);
        CGContextAddArcToPoint(c, 4, h - 4, r + 4, h - 4, r);
        CGContextAddLineToPoint(c, w - r - 4, h - 4);
        CGContextAddArc(c, w - r - 4, m, r, -M_PI, a, 1);
        CGContextAddLineToPoint(c, amount, m);
        CGContextFillPath(c);
    } else if (amount > 0) {
        CGContextMoveToPoint(c, 4, m);
        CGContextAddArcToPoint(c, 4, 4, r + 4, 4, r);
        CGContextAddLineToPoint(c, r + 4, m);
        CGContextMoveToPoint(c, 4, m);
        CGContextAddArcToPoint(c, 4, h - 4, r + 4, h - 4, r);
        CGContextAddLineToPoint(c, r + 4, m);
        CGContextFillPath(c);
    }
}

// MARK: PGBackgroundView

PGBackgroundView::PGBackgroundView(CGRect frame) : UIView(frame) {
    color_ = PGIsLegacySystem() ? UIColor::colorWithWhiteAlpha(0.95f, 0.6f) : UIColor::colorWithWhiteAlpha(0.8f, 0.6f);
    setClipsToBounds(true);
    updateForBackgroundStyle();
}

void PGBackgroundView::setStyle(PGProgressHUDBackgroundStyle style) {
    if (style_ != style) {
        style_ = style;
        updateForBackgroundStyle();
    }
}

void PGBackgroundView::setColor(const Ref<UIColor>& color) {
    if (changeColor(color_, color)) {
        updateViewsForColor(color);
    }
}

void PGBackgroundView::updateForBackgroundStyle() {
    bool legacy = PGIsLegacySystem();
    if (style_ == PGProgressHUDBackgroundStyleBlur) {
        if (!legacy) {
            auto effect = UIBlurEffect::effectWithStyle(UIBlurEffectStyleLight);
            auto effectView = make<UIVisualEffectView>(effect);
            addSubview(effectView);
            effectView->setFrame(bounds());
            effectView->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
            setBackgroundColor(color_);
            layer()->setAllowsGroupOpacity(false);
            effectView_ = effectView;
        } else {
            auto toolbar = make<UIToolbar>(CGRectInset(bounds(), -100, -100));
            toolbar->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
            toolbar->setBarTintColor(color_);
            toolbar->setTranslucent(true);
            addSubview(toolbar);
            toolbar_ = toolbar;
        }
    } else {
        if (!legacy) {
            if (effectView_) {
                effectView_->removeFromSuperview();
            }
            effectView_ = nullptr;
        } else {
            if (toolbar_) {
                toolbar_->removeFromSuperview();
            }
            toolbar_ = nullptr;
        }
        setBackgroundColor(color_);
    }
}

void PGBackgroundView::updateViewsForColor(const Ref<UIColor>& color) {
    if (style_ == PGProgressHUDBackgroundStyleBlur && PGIsLegacySystem()) {
        if (toolbar_) {
            toolbar_->setBarTintColor(color);
        }
    } else {
        setBackgroundColor(color_);
    }
}

// MARK: PGProgressHUDRoundedButton

PGProgressHUDRoundedButton::PGProgressHUDRoundedButton(CGRect frame) : UIButton(UIButtonTypeCustom, frame) {
    layer()->setBorderWidth(1.0);
}

void PGProgressHUDRoundedButton::layoutSubviews() {
    UIButton::layoutSubviews();
    layer()->setCornerRadius(std::ceil(bounds().size.height / 2));
}

CGSize PGProgressHUDRoundedButton::intrinsicContentSize() const {
    if (allControlEvents() == 0) {
        return CGSizeZero;
    }
    CGSize size = UIButton::intrinsicContentSize();
    size.width += 20;
    return size;
}

void PGProgressHUDRoundedButton::setTitleColorForState(const Ref<UIColor>& color, UIControlState state) {
    UIButton::setTitleColorForState(color, state);
    setHighlighted(isHighlighted());
    layer()->setBorderColor(color ? color->CGColor() : CGColorRef());
}

void PGProgressHUDRoundedButton::setHighlighted(bool highlighted) {
    UIButton::setHighlighted(highlighted);
    auto base = titleColorForState(UIControlStateSelected);
    setBackgroundColor(highlighted && base ? base->colorWithAlphaComponent(0.1f) : UIColor::clearColor());
}
