#include <Runtime/ClassBuilder.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UIGraphics.h>

#include <algorithm>
#include <numbers>

NS_IMPLEMENT_CLASS(UIBezierPath, NSObject) {
    b.property("lineWidth", &UIBezierPath::lineWidth, &UIBezierPath::setLineWidth);
    b.property("miterLimit", &UIBezierPath::miterLimit, &UIBezierPath::setMiterLimit);
    b.property("usesEvenOddFillRule", &UIBezierPath::usesEvenOddFillRule, &UIBezierPath::setUsesEvenOddFillRule);
    b.readonlyProperty("bounds", &UIBezierPath::bounds);
    b.readonlyProperty("currentPoint", &UIBezierPath::currentPoint);
    b.method("closePath", &UIBezierPath::closePath);
    b.method("removeAllPoints", &UIBezierPath::removeAllPoints);
    b.method("fill", &UIBezierPath::fill);
    b.method("stroke", &UIBezierPath::stroke);
}

UIBezierPath::UIBezierPath() : path_(CGPathCreateMutable()) {}

Ref<UIBezierPath> UIBezierPath::bezierPath() {
    return make<UIBezierPath>();
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithRect(CGRect rect) {
    auto p = make<UIBezierPath>();
    p->path_->addRect(rect);
    return p;
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithOvalInRect(CGRect rect) {
    auto p = make<UIBezierPath>();
    p->path_->addEllipseInRect(rect);
    return p;
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithRoundedRectCornerRadius(CGRect rect, CGFloat cornerRadius) {
    auto p = make<UIBezierPath>();
    p->path_->addRoundedRect(rect, cornerRadius, cornerRadius);
    return p;
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithRoundedRectByRoundingCornersCornerRadii(CGRect rect, UIRectCorner corners,
                                                                                      CGSize radii) {
    auto p = make<UIBezierPath>();
    CGRect r = CGRectStandardize(rect);
    CGFloat rx = std::clamp(radii.width, 0.0, r.size.width / 2);
    CGFloat ry = std::clamp(radii.height, 0.0, r.size.height / 2);
    CGFloat x0 = r.origin.x, y0 = r.origin.y, x1 = CGRectGetMaxX(r), y1 = CGRectGetMaxY(r);
    constexpr double k = 0.5522847498307936;
    auto& path = *p->path_;
    auto corner = [&](UIRectCorner c) { return (corners & c) && rx > 0 && ry > 0; };
    path.moveToPoint(CGPointMake(corner(UIRectCornerTopLeft) ? x0 + rx : x0, y0));
    if (corner(UIRectCornerTopRight)) {
        path.addLineToPoint(CGPointMake(x1 - rx, y0));
        path.addCurveToPoint(CGPointMake(x1 - rx + rx * k, y0), CGPointMake(x1, y0 + ry - ry * k),
                             CGPointMake(x1, y0 + ry));
    } else {
        path.addLineToPoint(CGPointMake(x1, y0));
    }
    if (corner(UIRectCornerBottomRight)) {
        path.addLineToPoint(CGPointMake(x1, y1 - ry));
        path.addCurveToPoint(CGPointMake(x1, y1 - ry + ry * k), CGPointMake(x1 - rx + rx * k, y1),
                             CGPointMake(x1 - rx, y1));
    } else {
        path.addLineToPoint(CGPointMake(x1, y1));
    }
    if (corner(UIRectCornerBottomLeft)) {
        path.addLineToPoint(CGPointMake(x0 + rx, y1));
        path.addCurveToPoint(CGPointMake(x0 + rx - rx * k, y1), CGPointMake(x0, y1 - ry + ry * k),
                             CGPointMake(x0, y1 - ry));
    } else {
        path.addLineToPoint(CGPointMake(x0, y1));
    }
    if (corner(UIRectCornerTopLeft)) {
        path.addLineToPoint(CGPointMake(x0, y0 + ry));
        path.addCurveToPoint(CGPointMake(x0, y0 + ry - ry * k), CGPointMake(x0 + rx - rx * k, y0),
                             CGPointMake(x0 + rx, y0));
    }
    path.closeSubpath();
    return p;
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithArcCenterRadiusStartAngleEndAngleClockwise(CGPoint center, CGFloat radius,
                                                                                         CGFloat startAngle,
                                                                                         CGFloat endAngle,
                                                                                         bool clockwise) {
    auto p = make<UIBezierPath>();
    p->addArcWithCenterRadiusStartAngleEndAngleClockwise(center, radius, startAngle, endAngle, clockwise);
    return p;
}

Ref<UIBezierPath> UIBezierPath::bezierPathWithCGPath(const CGPathRef& path) {
    auto p = make<UIBezierPath>();
    p->setCGPath(path);
    return p;
}

void UIBezierPath::moveToPoint(CGPoint point) {
    path_->moveToPoint(point);
}

void UIBezierPath::addLineToPoint(CGPoint point) {
    path_->addLineToPoint(point);
}

void UIBezierPath::addCurveToPointControlPoint1ControlPoint2(CGPoint endPoint, CGPoint controlPoint1,
                                                             CGPoint controlPoint2) {
    path_->addCurveToPoint(controlPoint1, controlPoint2, endPoint);
}

void UIBezierPath::addQuadCurveToPointControlPoint(CGPoint endPoint, CGPoint controlPoint) {
    path_->addQuadCurveToPoint(controlPoint, endPoint);
}

void UIBezierPath::addArcWithCenterRadiusStartAngleEndAngleClockwise(CGPoint center, CGFloat radius, CGFloat startAngle,
                                                                     CGFloat endAngle, bool clockwise) {
    // Clockwise on a y-down screen is the drawing layer's counterclockwise.
    path_->addArc(center, radius, startAngle, endAngle, !clockwise);
}

void UIBezierPath::closePath() {
    path_->closeSubpath();
}

void UIBezierPath::removeAllPoints() {
    path_->removeAllElements();
}

void UIBezierPath::appendPath(const Ref<UIBezierPath>& path) {
    if (path) {
        path_->addPath(path->path_);
    }
}

void UIBezierPath::applyTransform(CGAffineTransform transform) {
    path_->applyTransform(transform);
}

CGPathRef UIBezierPath::CGPath() const {
    return CGPathCreateCopy(path_);
}

void UIBezierPath::setCGPath(const CGPathRef& path) {
    path_ = path ? CGPathCreateMutableCopy(path) : CGPathCreateMutable();
}

CGRect UIBezierPath::bounds() const {
    CGRect b = path_->boundingBox();
    return CGRectIsNull(b) ? CGRectZero : b;
}

void UIBezierPath::setLineDashPhase(const std::vector<CGFloat>& pattern, CGFloat phase) {
    dash_ = pattern;
    dashPhase_ = phase;
}

id UIBezierPath::copy() const {
    auto c = make<UIBezierPath>();
    c->path_ = CGPathCreateMutableCopy(path_);
    c->lineWidth_ = lineWidth_;
    c->lineCap_ = lineCap_;
    c->lineJoin_ = lineJoin_;
    c->miterLimit_ = miterLimit_;
    c->flatness_ = flatness_;
    c->evenOdd_ = evenOdd_;
    c->dash_ = dash_;
    c->dashPhase_ = dashPhase_;
    return c;
}

bool UIBezierPath::isEqual(const id& other) const {
    auto o = cast<UIBezierPath>(other);
    return o && o->path_->isEqual(path_) && o->lineWidth_ == lineWidth_ && o->lineCap_ == lineCap_ &&
           o->lineJoin_ == lineJoin_ && o->dash_ == dash_ && o->dashPhase_ == dashPhase_ && o->evenOdd_ == evenOdd_;
}

NSUInteger UIBezierPath::hash() const {
    return path_->hash();
}

Ref<NSString> UIBezierPath::description() const {
    return NSString::stringWithFormat("<UIBezierPath: %p; %lu elements>", static_cast<const void*>(this),
                                      static_cast<unsigned long>(path_->elements().size()));
}

void UIBezierPath::fill() const {
    fillWithBlendModeAlpha(kCGBlendModeNormal, 1);
}

void UIBezierPath::stroke() const {
    strokeWithBlendModeAlpha(kCGBlendModeNormal, 1);
}

void UIBezierPath::fillWithBlendModeAlpha(CGBlendMode blendMode, CGFloat alpha) const {
    auto c = UIGraphicsGetCurrentContext();
    if (!c) {
        return;
    }
    CGContextSaveGState(c);
    CGContextSetBlendMode(c, blendMode);
    CGContextSetAlpha(c, alpha);
    CGContextBeginPath(c);
    CGContextAddPath(c, path_);
    CGContextDrawPath(c, evenOdd_ ? kCGPathEOFill : kCGPathFill);
    CGContextRestoreGState(c);
}

void UIBezierPath::strokeWithBlendModeAlpha(CGBlendMode blendMode, CGFloat alpha) const {
    auto c = UIGraphicsGetCurrentContext();
    if (!c) {
        return;
    }
    CGContextSaveGState(c);
    CGContextSetBlendMode(c, blendMode);
    CGContextSetAlpha(c, alpha);
    CGContextSetLineWidth(c, lineWidth_);
    CGContextSetLineCap(c, lineCap_);
    CGContextSetLineJoin(c, lineJoin_);
    CGContextSetMiterLimit(c, miterLimit_);
    CGContextSetLineDash(c, dashPhase_, dash_.empty() ? nullptr : dash_.data(), dash_.size());
    CGContextBeginPath(c);
    CGContextAddPath(c, path_);
    CGContextStrokePath(c);
    CGContextRestoreGState(c);
}

void UIBezierPath::addClip() const {
    auto c = UIGraphicsGetCurrentContext();
    if (!c) {
        return;
    }
    CGContextBeginPath(c);
    CGContextAddPath(c, path_);
    if (evenOdd_) {
        CGContextEOClip(c);
    } else {
        CGContextClip(c);
    }
}
