#include <Foundation/NSNumber.h>
#include <Foundation/NSString.h>
#include <QuartzCore/CAShapeLayer.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cmath>

#define CA_STRING_CONSTANT(Name, Value)                                                                                \
    const Ref<NSString>& Name() {                                                                                      \
        static const Ref<NSString> value = NSString::from(Value);                                                      \
        return value;                                                                                                  \
    }
CA_STRING_CONSTANT(kCAFillRuleNonZero, "non-zero")
CA_STRING_CONSTANT(kCAFillRuleEvenOdd, "even-odd")
CA_STRING_CONSTANT(kCALineCapButt, "butt")
CA_STRING_CONSTANT(kCALineCapRound, "round")
CA_STRING_CONSTANT(kCALineCapSquare, "square")
CA_STRING_CONSTANT(kCALineJoinMiter, "miter")
CA_STRING_CONSTANT(kCALineJoinRound, "round")
CA_STRING_CONSTANT(kCALineJoinBevel, "bevel")
#undef CA_STRING_CONSTANT

NS_IMPLEMENT_CLASS(CAShapeLayer, CALayer) {
    b.property("strokeStart", &CAShapeLayer::strokeStart, &CAShapeLayer::setStrokeStart);
    b.property("strokeEnd", &CAShapeLayer::strokeEnd, &CAShapeLayer::setStrokeEnd);
    b.property("lineWidth", &CAShapeLayer::lineWidth, &CAShapeLayer::setLineWidth);
    // Registered too so that a presentation copy (what the screen shows while an animation runs)
    // carries the whole shape, and so that they can be animated by key path.
    b.property("path", &CAShapeLayer::path, &CAShapeLayer::setPath);
    b.property("fillColor", &CAShapeLayer::fillColor, &CAShapeLayer::setFillColor);
    b.property("strokeColor", &CAShapeLayer::strokeColor, &CAShapeLayer::setStrokeColor);
    b.property("fillRule", &CAShapeLayer::fillRule, &CAShapeLayer::setFillRule);
    b.property("miterLimit", &CAShapeLayer::miterLimit, &CAShapeLayer::setMiterLimit);
    b.property("lineCap", &CAShapeLayer::lineCap, &CAShapeLayer::setLineCap);
    b.property("lineJoin", &CAShapeLayer::lineJoin, &CAShapeLayer::setLineJoin);
    b.property("lineDashPattern", &CAShapeLayer::lineDashPattern, &CAShapeLayer::setLineDashPattern);
    b.property("lineDashPhase", &CAShapeLayer::lineDashPhase, &CAShapeLayer::setLineDashPhase);
}

CAShapeLayer::CAShapeLayer()
    : fillColor_(CGColorCreateGenericRGB(0, 0, 0, 1)), fillRule_(kCAFillRuleNonZero()), lineCap_(kCALineCapButt()),
      lineJoin_(kCALineJoinMiter()) {}

Ref<CAShapeLayer> CAShapeLayer::layer() {
    return make<CAShapeLayer>();
}

void CAShapeLayer::setPath(const CGPathRef& path) {
    path_ = path ? CGPathCreateCopy(path) : nullptr;
    setNeedsDisplay();
}

void CAShapeLayer::setLineWidth(CGFloat width) {
    AnimatableChange change(this, "lineWidth");
    lineWidth_ = width;
}

void CAShapeLayer::setStrokeStart(CGFloat start) {
    AnimatableChange change(this, "strokeStart");
    changeValueForKey("strokeStart", [&] { strokeStart_ = std::isfinite(start) ? std::clamp(start, 0.0, 1.0) : 0; });
}

void CAShapeLayer::setStrokeEnd(CGFloat end) {
    AnimatableChange change(this, "strokeEnd");
    changeValueForKey("strokeEnd", [&] { strokeEnd_ = std::isfinite(end) ? std::clamp(end, 0.0, 1.0) : 1; });
}

namespace {

struct Polyline {
    std::vector<CGPoint> points;
    bool closed = false;
};

// The path as polylines (curves cut into short segments), for measuring lengths along it.
std::vector<Polyline> flatten(const CGPath& path) {
    std::vector<Polyline> out;
    CGPoint current{}, start{};
    auto ensure = [&] {
        if (out.empty() || out.back().points.empty()) {
            out.push_back({{current}, false});
        }
    };
    for (const auto& e : path.elements()) {
        const CGPoint* p = e.points;
        switch (e.type) {
        case kCGPathElementMoveToPoint:
            out.push_back({{p[0]}, false});
            current = start = p[0];
            break;
        case kCGPathElementAddLineToPoint:
            ensure();
            out.back().points.push_back(p[0]);
            current = p[0];
            break;
        case kCGPathElementAddQuadCurveToPoint:
        case kCGPathElementAddCurveToPoint: {
            ensure();
            bool quad = e.type == kCGPathElementAddQuadCurveToPoint;
            CGPoint c1 = quad ? CGPointMake(current.x + 2.0 / 3 * (p[0].x - current.x),
                                            current.y + 2.0 / 3 * (p[0].y - current.y))
                              : p[0];
            CGPoint end = quad ? p[1] : p[2];
            CGPoint c2 =
                quad ? CGPointMake(end.x + 2.0 / 3 * (p[0].x - end.x), end.y + 2.0 / 3 * (p[0].y - end.y)) : p[1];
            const int steps = 24;
            for (int i = 1; i <= steps; ++i) {
                double t = static_cast<double>(i) / steps, u = 1 - t;
                out.back().points.push_back(CGPointMake(
                    u * u * u * current.x + 3 * u * u * t * c1.x + 3 * u * t * t * c2.x + t * t * t * end.x,
                    u * u * u * current.y + 3 * u * u * t * c1.y + 3 * u * t * t * c2.y + t * t * t * end.y));
            }
            current = end;
            break;
        }
        case kCGPathElementCloseSubpath:
            if (!out.empty() && !out.back().points.empty()) {
                out.back().points.push_back(start);
                out.back().closed = true;
            }
            current = start;
            break;
        }
    }
    return out;
}

// The part of the path from `from` to `to` (lengths along it) as lines.
Ref<CGPath> trimmed(const CGPath& path, double fromFraction, double toFraction) {
    auto lines = flatten(path);
    double total = 0;
    for (const auto& l : lines) {
        for (size_t i = 1; i < l.points.size(); ++i) {
            total += std::hypot(l.points[i].x - l.points[i - 1].x, l.points[i].y - l.points[i - 1].y);
        }
    }
    double from = fromFraction * total, to = toFraction * total, at = 0;
    auto out = make<CGPath>();
    for (const auto& l : lines) {
        bool drawing = false;
        for (size_t i = 1; i < l.points.size(); ++i) {
            CGPoint a = l.points[i - 1], b = l.points[i];
            double len = std::hypot(b.x - a.x, b.y - a.y);
            double s0 = std::max(from, at), s1 = std::min(to, at + len);
            if (s1 > s0 || (len == 0 && at >= from && at <= to)) {
                auto lerp = [&](double s) {
                    double t = len > 0 ? (s - at) / len : 0;
                    return CGPointMake(a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t);
                };
                if (!drawing) {
                    out->moveToPoint(lerp(s0));
                    drawing = true;
                }
                out->addLineToPoint(lerp(s1));
            } else {
                drawing = false;
            }
            at += len;
        }
    }
    return out;
}

} // namespace

void CAShapeLayer::drawInContext(const CGContextRef& c) {
    if (!path_ || path_->isEmpty()) {
        return;
    }
    if (fillColor_ && fillColor_->alpha() > 0) {
        CGContextSetFillColorWithColor(c, fillColor_);
        CGContextBeginPath(c);
        CGContextAddPath(c, path_);
        if (fillRule_ && fillRule_->isEqual(kCAFillRuleEvenOdd())) {
            CGContextEOFillPath(c);
        } else {
            CGContextFillPath(c);
        }
    }
    if (!strokeColor_ || strokeColor_->alpha() <= 0 || lineWidth_ <= 0 || strokeEnd_ <= strokeStart_) {
        return;
    }
    CGContextSetStrokeColorWithColor(c, strokeColor_);
    CGContextSetLineWidth(c, lineWidth_);
    CGContextSetMiterLimit(c, miterLimit_);
    CGContextSetLineCap(c, lineCap_ && lineCap_->isEqual(kCALineCapRound())    ? kCGLineCapRound
                           : lineCap_ && lineCap_->isEqual(kCALineCapSquare()) ? kCGLineCapSquare
                                                                               : kCGLineCapButt);
    CGContextSetLineJoin(c, lineJoin_ && lineJoin_->isEqual(kCALineJoinRound())   ? kCGLineJoinRound
                            : lineJoin_ && lineJoin_->isEqual(kCALineJoinBevel()) ? kCGLineJoinBevel
                                                                                  : kCGLineJoinMiter);
    std::vector<CGFloat> dash;
    if (lineDashPattern_) {
        for (const auto& n : *lineDashPattern_) {
            if (auto number = cast<NSNumber>(n)) {
                dash.push_back(number->doubleValue());
            }
        }
    }
    CGContextSetLineDash(c, lineDashPhase_, dash.empty() ? nullptr : dash.data(), dash.size());
    CGContextBeginPath(c);
    if (strokeStart_ <= 0 && strokeEnd_ >= 1) {
        CGContextAddPath(c, path_);
    } else {
        CGContextAddPath(c, trimmed(*path_, strokeStart_, strokeEnd_));
    }
    CGContextStrokePath(c);
}
