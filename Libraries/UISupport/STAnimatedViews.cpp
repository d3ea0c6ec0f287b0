#include <UISupport/STAnimatedViews.h>

#include <Foundation/NSBundle.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>

#include <cmath>

NS_IMPLEMENT_CLASS(STRingLayer, CALayer) {}
NS_IMPLEMENT_CLASS(STIndefiniteAnimatedView, UIView) {}
NS_IMPLEMENT_CLASS(STProgressAnimatedView, UIView) {}
NS_IMPLEMENT_CLASS(STRadialGradientLayer, CALayer) {}

Ref<NSBundle> STProgressHUDImageBundle() {
    auto path = NSBundle::mainBundle()->pathForResourceOfType("STProgressHUD"_ns, "bundle"_ns);
    return path ? NSBundle::bundleWithPath(path) : nullptr;
}

namespace {

CGFloat arcCenter(CGFloat radius, CGFloat thickness) {
    return radius + thickness / 2 + 5;
}

CGSize ringSize(CGFloat radius, CGFloat thickness) {
    CGFloat c = arcCenter(radius, thickness);
    return CGSizeMake(2 * c, 2 * c);
}

// The layer centred in the view's bounds.
void centre(UIView* view, const Ref<STRingLayer>& layer) {
    CGRect bounds = view->bounds();
    layer->setPosition(CGPointMake(CGRectGetMidX(bounds), CGRectGetMidY(bounds)));
}

} // namespace

Ref<STRingLayer> STRingLayer::ring(CGFloat radius, CGFloat thickness, const Ref<UIColor>& color, CGFloat start,
                                   CGFloat end) {
    CGFloat c = arcCenter(radius, thickness);
    auto layer = make<STRingLayer>();
    layer->setContentsScale(UIScreen::mainScreen()->scale());
    layer->setFrame(CGRectMake(0, 0, 2 * c, 2 * c));
    layer->setFillColor(UIColor::clearColor()->CGColor());
    layer->setStrokeColor(color ? color->CGColor() : CGColorRef());
    layer->setLineWidth(thickness);
    layer->setLineCap(kCGLineCapRound);
    layer->setLineJoin(kCGLineJoinBevel);
    layer->setPath(UIBezierPath::bezierPathWithArcCenterRadiusStartAngleEndAngleClockwise(CGPointMake(c, c), radius,
                                                                                          start, end, true)
                       ->CGPath());
    return layer;
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
    if (layer_) {
        layer_->removeFromSuperlayer();
        layer_ = nullptr;
    }
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

Ref<STRingLayer> STIndefiniteAnimatedView::indefiniteAnimatedLayer() {
    if (!layer_) {
        layer_ = STRingLayer::ring(radius_, strokeThickness_, strokeColor_, 3 * M_PI / 2, 5.5 * M_PI);
        auto mask = CALayer::layer();
        if (auto bundle = STProgressHUDImageBundle()) {
            if (auto path = bundle->pathForResourceOfType("angle-mask"_ns, "png"_ns)) {
                mask->setContents(UIImage::imageWithContentsOfFile(path));
            }
        }
        mask->setFrame(layer_->bounds());
        layer_->setMask(mask);
    }
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
    } else if (layer_) {
        layer_->removeFromSuperlayer();
        layer_ = nullptr;
    }
}

// MARK: STProgressAnimatedView

void STProgressAnimatedView::setRadius(CGFloat radius) {
    if (radius == radius_) {
        return;
    }
    radius_ = radius;
    if (layer_) {
        layer_->removeFromSuperlayer();
        layer_ = nullptr;
    }
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

Ref<STRingLayer> STProgressAnimatedView::ringAnimatedLayer() {
    if (!layer_) {
        layer_ = STRingLayer::ring(radius_, strokeThickness_, strokeColor_, -M_PI / 2, 3 * M_PI / 2);
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
    } else if (layer_) {
        layer_->removeFromSuperlayer();
        layer_ = nullptr;
    }
}
