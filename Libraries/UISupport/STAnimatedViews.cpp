#include <UISupport/STAnimatedViews.h>

#include <CoreGraphics/CGColorSpace.h>
#include <CoreGraphics/CGGradient.h>
#include <Foundation/NSBundle.h>
#include <Foundation/NSNumber.h>
#include <QuartzCore/CAAnimationGroup.h>
#include <QuartzCore/CABasicAnimation.h>
#include <QuartzCore/CAMediaTimingFunction.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIScreen.h>

#include <algorithm>
#include <cmath>

NS_IMPLEMENT_CLASS(STIndefiniteAnimatedView, UIView) {}
NS_IMPLEMENT_CLASS(STProgressAnimatedView, UIView) {}
NS_IMPLEMENT_CLASS(STRadialGradientLayer, CALayer) {}

Ref<NSBundle> STProgressHUDImageBundle() {
    auto path = NSBundle::mainBundle()->pathForResourceOfType("STProgressHUD"_ns, "bundle"_ns);
    return path ? NSBundle::bundleWithPath(path) : nullptr;
}

namespace {

// MARK: Artwork

Ref<UIImage> drawImage(CGSize size, const std::function<void(CGRect)>& draw) {
    UIGraphicsBeginImageContextWithOptions(size, false, 0);
    if (UIGraphicsGetCurrentContext()) {
        draw(CGRectMake(0, 0, size.width, size.height));
    }
    auto image = UIGraphicsGetImageFromCurrentImageContext();
    UIGraphicsEndImageContext();
    return image;
}

Ref<UIBezierPath> strokePath(CGFloat width) {
    auto path = UIBezierPath::bezierPath();
    path->setLineWidth(width);
    path->setLineCapStyle(kCGLineCapRound);
    path->setLineJoinStyle(kCGLineJoinRound);
    return path;
}

// The three symbols, drawn in black on clear so that they take the tint colour: a ring holding an
// "i", a tick, and a cross.
Ref<UIImage> drawSymbol(const std::string& name) {
    return drawImage(CGSizeMake(28, 28), [&](CGRect r) {
        UIColor::blackColor()->set();
        if (name == "info") {
            auto ring = UIBezierPath::bezierPathWithOvalInRect(CGRectInset(r, 1.5, 1.5));
            ring->setLineWidth(2);
            ring->stroke();
            UIBezierPath::bezierPathWithOvalInRect(CGRectMake(12.25, 6.5, 3.5, 3.5))->fill();
            auto stem = strokePath(3);
            stem->moveToPoint(CGPointMake(14, 13));
            stem->addLineToPoint(CGPointMake(14, 21));
            stem->stroke();
        } else if (name == "success") {
            auto tick = strokePath(3);
            tick->moveToPoint(CGPointMake(3.5, 14.5));
            tick->addLineToPoint(CGPointMake(10.5, 21.5));
            tick->addLineToPoint(CGPointMake(24.5, 6.5));
            tick->stroke();
        } else {
            auto cross = strokePath(3);
            cross->moveToPoint(CGPointMake(5, 5));
            cross->addLineToPoint(CGPointMake(23, 23));
            cross->moveToPoint(CGPointMake(23, 5));
            cross->addLineToPoint(CGPointMake(5, 23));
            cross->stroke();
        }
    });
}

// The spinner's mask: opacity growing clockwise from the top, from clear to opaque over a turn.
Ref<UIImage> drawAngleMask(CGSize size) {
    if (size.width <= 0 || size.height <= 0) {
        return nullptr;
    }
    return drawImage(size, [](CGRect r) {
        auto c = UIGraphicsGetCurrentContext();
        CGPoint centre = CGPointMake(CGRectGetMidX(r), CGRectGetMidY(r));
        CGFloat radius = std::hypot(r.size.width, r.size.height) / 2 + 1;
        const int steps = 120;
        for (int i = 0; i < steps; ++i) {
            double from = -M_PI / 2 + 2 * M_PI * i / steps;
            double to = -M_PI / 2 + 2 * M_PI * (i + 1.25) / steps; // overlap: no seams between wedges
            CGContextSetRGBFillColor(c, 0, 0, 0, static_cast<double>(i + 1) / steps);
            CGContextBeginPath(c);
            CGContextMoveToPoint(c, centre.x, centre.y);
            CGContextAddArc(c, centre.x, centre.y, radius, from, std::min(to, 1.5 * M_PI), 0);
            CGContextClosePath(c);
            CGContextFillPath(c);
        }
    });
}

CGFloat arcCenter(CGFloat radius, CGFloat thickness) {
    return radius + thickness / 2 + 5;
}

CGSize ringSize(CGFloat radius, CGFloat thickness) {
    CGFloat c = arcCenter(radius, thickness);
    return CGSizeMake(2 * c, 2 * c);
}

// A ring of `radius` around (c, c) from `start` to `end` (clockwise), stroked with `color`.
Ref<CAShapeLayer> makeRing(CGFloat radius, CGFloat thickness, const Ref<UIColor>& color, CGFloat start, CGFloat end) {
    CGFloat c = arcCenter(radius, thickness);
    auto layer = CAShapeLayer::layer();
    layer->setContentsScale(UIScreen::mainScreen()->scale());
    layer->setFrame(CGRectMake(0, 0, 2 * c, 2 * c));
    layer->setFillColor(UIColor::clearColor()->CGColor());
    layer->setStrokeColor(color ? color->CGColor() : CGColorRef());
    layer->setLineWidth(thickness);
    layer->setLineCap(kCALineCapRound());
    layer->setLineJoin(kCALineJoinBevel());
    layer->setPath(UIBezierPath::bezierPathWithArcCenterRadiusStartAngleEndAngleClockwise(CGPointMake(c, c), radius,
                                                                                          start, end, true)
                       ->CGPath());
    return layer;
}

// The layer centred in the view's bounds.
void centre(UIView* view, const Ref<CALayer>& layer) {
    CGRect bounds = view->bounds();
    layer->setPosition(CGPointMake(CGRectGetMidX(bounds), CGRectGetMidY(bounds)));
}

void dropLayer(Ref<CAShapeLayer>& layer) {
    if (layer) {
        layer->removeFromSuperlayer();
        layer = nullptr;
    }
}

} // namespace

Ref<UIImage> STProgressHUDImageNamed(const char* name, CGSize maskSize) {
    std::string which = name ? name : "";
    bool symbol = which == "info" || which == "success" || which == "error";
    if (!symbol && which != "angle-mask") {
        return nullptr;
    }
    if (auto bundle = STProgressHUDImageBundle()) {
        if (auto path = bundle->pathForResourceOfType(NSString::from(which), "png"_ns)) {
            if (auto image = UIImage::imageWithContentsOfFile(path)) {
                return image;
            }
        }
    }
    return symbol ? drawSymbol(which) : drawAngleMask(maskSize);
}

void STDrawRadialDimming(const CGContextRef& context, CGRect bounds, CGPoint center) {
    if (!context) {
        return;
    }
    const CGFloat locations[] = {0.0, 1.0};
    const CGFloat components[] = {0, 0, 0, 0, 0, 0, 0, 0.75};
    auto space = CGColorSpaceCreateDeviceRGB();
    auto gradient = CGGradientCreateWithColorComponents(space, components, locations, 2);
    float radius = static_cast<float>(std::min(bounds.size.width, bounds.size.height));
    CGContextDrawRadialGradient(context, gradient, center, 0, center, radius, kCGGradientDrawsAfterEndLocation);
}

void STRadialGradientLayer::drawInContext(const CGContextRef& context) {
    STDrawRadialDimming(context, bounds(), gradientCenter_);
}

// MARK: STIndefiniteAnimatedView

void STIndefiniteAnimatedView::setStrokeThickness(CGFloat thickness) {
    strokeThickness_ = thickness;
    if (layer_) {
        layer_->setLineWidth(thickness);
    }
}

void STIndefiniteAnimatedView::setRadius(CGFloat radius) {
    radius_ = radius;
    dropLayer(layer_);
    if (superview()) {
        layoutAnimatedLayer();
    }
}

void STIndefiniteAnimatedView::setStrokeColor(const Ref<UIColor>& color) {
    strokeColor_ = color;
    if (layer_) {
        layer_->setStrokeColor(color ? color->CGColor() : CGColorRef());
    }
}

Ref<CAShapeLayer> STIndefiniteAnimatedView::indefiniteAnimatedLayer() {
    if (layer_) {
        return layer_;
    }
    layer_ = makeRing(radius_, strokeThickness_, strokeColor_, 3 * M_PI / 2, 5.5 * M_PI);

    auto mask = CALayer::layer();
    CGRect bounds = layer_->bounds();
    if (auto image = STProgressHUDImageNamed("angle-mask", bounds.size)) {
        mask->setContents(image->CGImage());
        mask->setContentsScale(image->scale());
    }
    mask->setFrame(bounds);
    layer_->setMask(mask);

    auto linear = CAMediaTimingFunction::functionWithName(kCAMediaTimingFunctionLinear());
    auto rotate = CABasicAnimation::animationWithKeyPath("transform.rotation"_ns);
    rotate->setToValue(box(static_cast<float>(2 * M_PI)));
    rotate->setDuration(1.0);
    rotate->setTimingFunction(linear);
    rotate->setRemovedOnCompletion(false);
    rotate->setRepeatCount(HUGE_VALF);
    rotate->setFillMode(kCAFillModeForwards());
    rotate->setAutoreverses(false);
    mask->addAnimationForKey(rotate, "rotate"_ns);

    auto strokeStart = CABasicAnimation::animationWithKeyPath("strokeStart"_ns);
    strokeStart->setFromValue(box(0.015));
    strokeStart->setToValue(box(0.515));
    auto strokeEnd = CABasicAnimation::animationWithKeyPath("strokeEnd"_ns);
    strokeEnd->setFromValue(box(0.485));
    strokeEnd->setToValue(box(0.985));
    auto group = CAAnimationGroup::animation();
    group->setDuration(1.0);
    group->setRepeatCount(HUGE_VALF);
    group->setRemovedOnCompletion(false);
    group->setTimingFunction(linear);
    group->setAnimations(NSArray::arrayWithObjects({strokeStart, strokeEnd}));
    layer_->addAnimationForKey(group, "progress"_ns);
    return layer_;
}

void STIndefiniteAnimatedView::layoutAnimatedLayer() {
    auto ring = indefiniteAnimatedLayer();
    layer()->addSublayer(ring);
    centre(this, ring);
}

void STIndefiniteAnimatedView::setFrame(CGRect frame) {
    UIView::setFrame(frame);
    if (superview()) {
        layoutAnimatedLayer();
    }
}

CGSize STIndefiniteAnimatedView::sizeThatFits(CGSize) const {
    return ringSize(radius_, strokeThickness_);
}

void STIndefiniteAnimatedView::willMoveToSuperview(const Ref<UIView>& newSuperview) {
    if (newSuperview) {
        layoutAnimatedLayer();
    } else {
        dropLayer(layer_);
    }
}

// MARK: STProgressAnimatedView

void STProgressAnimatedView::setRadius(CGFloat radius) {
    if (radius == radius_) {
        return;
    }
    radius_ = radius;
    dropLayer(layer_);
    if (superview()) {
        layoutAnimatedLayer();
    }
}

void STProgressAnimatedView::setStrokeThickness(CGFloat thickness) {
    strokeThickness_ = thickness;
    if (layer_) {
        layer_->setLineWidth(thickness);
    }
}

void STProgressAnimatedView::setStrokeColor(const Ref<UIColor>& color) {
    strokeColor_ = color;
    if (layer_) {
        layer_->setStrokeColor(color ? color->CGColor() : CGColorRef());
    }
}

void STProgressAnimatedView::setStrokeEnd(CGFloat end) {
    strokeEnd_ = end;
    if (layer_) {
        layer_->setStrokeEnd(end);
    }
}

Ref<CAShapeLayer> STProgressAnimatedView::ringAnimatedLayer() {
    if (!layer_) {
        layer_ = makeRing(radius_, strokeThickness_, strokeColor_, -M_PI / 2, 3 * M_PI / 2);
        layer_->setStrokeEnd(strokeEnd_);
    }
    return layer_;
}

void STProgressAnimatedView::layoutAnimatedLayer() {
    auto ring = ringAnimatedLayer();
    layer()->addSublayer(ring);
    centre(this, ring);
}

void STProgressAnimatedView::setFrame(CGRect frame) {
    if (CGRectEqualToRect(frame, this->frame())) {
        return;
    }
    UIView::setFrame(frame);
    if (superview()) {
        layoutAnimatedLayer();
    }
}

CGSize STProgressAnimatedView::sizeThatFits(CGSize) const {
    return ringSize(radius_, strokeThickness_);
}

void STProgressAnimatedView::willMoveToSuperview(const Ref<UIView>& newSuperview) {
    if (newSuperview) {
        layoutAnimatedLayer();
    } else {
        dropLayer(layer_);
    }
}
