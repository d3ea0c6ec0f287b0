#include <CoreGraphics/CGPath.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;
// The handle length of a cubic curve that follows a quarter of a circle, per unit of radius.
constexpr double kKappa = 0.5522847498307936;

int pointCount(CGPathElementType type) {
    switch (type) {
    case kCGPathElementMoveToPoint:
    case kCGPathElementAddLineToPoint:
        return 1;
    case kCGPathElementAddQuadCurveToPoint:
        return 2;
    case kCGPathElementAddCurveToPoint:
        return 3;
    case kCGPathElementCloseSubpath:
        break;
    }
    return 0;
}

CGPoint apply(CGPoint p, const CGAffineTransform* m) {
    return m ? CGPointApplyAffineTransform(p, *m) : p;
}

struct Bounds {
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    void add(CGPoint p) {
        minX = std::min(minX, p.x);
        minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x);
        maxY = std::max(maxY, p.y);
    }
    CGRect rect() const { return minX > maxX ? CGRectNull : CGRectMake(minX, minY, maxX - minX, maxY - minY); }
};

double lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

// Parameters in (0, 1) where a quadratic (a t^2 + b t + c) is zero.
std::vector<double> roots(double a, double b, double c) {
    std::vector<double> out;
    auto keep = [&](double t) {
        if (t > 0 && t < 1) {
            out.push_back(t);
        }
    };
    if (std::fabs(a) < 1e-12) {
        if (std::fabs(b) > 1e-12) {
            keep(-c / b);
        }
        return out;
    }
    double d = b * b - 4 * a * c;
    if (d < 0) {
        return out;
    }
    double s = std::sqrt(d);
    keep((-b + s) / (2 * a));
    keep((-b - s) / (2 * a));
    return out;
}

} // namespace

bool CGPathElement::operator==(const CGPathElement& other) const {
    if (type != other.type) {
        return false;
    }
    for (int i = 0; i < pointCount(type); ++i) {
        if (points[i] != other.points[i]) {
            return false;
        }
    }
    return true;
}

NS_IMPLEMENT_CLASS(CGPath, NSObject) {}

void CGPath::append(CGPathElementType type, std::initializer_list<CGPoint> points, const CGAffineTransform* m) {
    CGPathElement e;
    e.type = type;
    int i = 0;
    for (CGPoint p : points) {
        e.points[i++] = apply(p, m);
    }
    elements_.push_back(e);
    if (i > 0) {
        current_ = e.points[i - 1];
    }
}

void CGPath::moveToPoint(CGPoint p, const CGAffineTransform* m) {
    append(kCGPathElementMoveToPoint, {p}, m);
    subpathStart_ = current_;
    hasCurrent_ = true;
}

void CGPath::addLineToPoint(CGPoint p, const CGAffineTransform* m) {
    if (!hasCurrent_) {
        NSLog("CGPathAddLineToPoint: no current point.");
        return;
    }
    append(kCGPathElementAddLineToPoint, {p}, m);
}

void CGPath::addQuadCurveToPoint(CGPoint control, CGPoint p, const CGAffineTransform* m) {
    if (!hasCurrent_) {
        NSLog("CGPathAddQuadCurveToPoint: no current point.");
        return;
    }
    append(kCGPathElementAddQuadCurveToPoint, {control, p}, m);
}

void CGPath::addCurveToPoint(CGPoint control1, CGPoint control2, CGPoint p, const CGAffineTransform* m) {
    if (!hasCurrent_) {
        NSLog("CGPathAddCurveToPoint: no current point.");
        return;
    }
    append(kCGPathElementAddCurveToPoint, {control1, control2, p}, m);
}

void CGPath::closeSubpath() {
    if (!hasCurrent_) {
        return;
    }
    CGPathElement e;
    e.type = kCGPathElementCloseSubpath;
    elements_.push_back(e);
    current_ = subpathStart_;
}

void CGPath::arcSegments(CGPoint center, CGFloat radius, CGFloat start, CGFloat sweep, const CGAffineTransform* m) {
    if (std::fabs(sweep) < 1e-12) {
        return;
    }
    int n = std::max(1, static_cast<int>(std::ceil(std::fabs(sweep) / (std::numbers::pi / 2) - 1e-9)));
    double step = sweep / n;
    double k = 4.0 / 3.0 * std::tan(step / 4);
    for (int i = 0; i < n; ++i) {
        double a0 = start + step * i;
        double a1 = a0 + step;
        CGPoint p0 = CGPointMake(center.x + radius * std::cos(a0), center.y + radius * std::sin(a0));
        CGPoint p3 = CGPointMake(center.x + radius * std::cos(a1), center.y + radius * std::sin(a1));
        CGPoint c1 = CGPointMake(p0.x - k * radius * std::sin(a0), p0.y + k * radius * std::cos(a0));
        CGPoint c2 = CGPointMake(p3.x + k * radius * std::sin(a1), p3.y - k * radius * std::cos(a1));
        append(kCGPathElementAddCurveToPoint, {c1, c2, p3}, m);
    }
}

void CGPath::addArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise,
                    const CGAffineTransform* m) {
    double sweep = endAngle - startAngle;
    if (!clockwise && sweep < 0) {
        sweep = std::fmod(sweep, kTwoPi) + kTwoPi;
    } else if (clockwise && sweep > 0) {
        sweep = std::fmod(sweep, kTwoPi) - kTwoPi;
    }
    addRelativeArc(center, radius, startAngle, sweep, m);
}

void CGPath::addRelativeArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat delta,
                            const CGAffineTransform* m) {
    CGPoint start = CGPointMake(center.x + radius * std::cos(startAngle), center.y + radius * std::sin(startAngle));
    if (hasCurrent_) {
        if (apply(start, m) != current_) {
            append(kCGPathElementAddLineToPoint, {start}, m);
        }
    } else {
        moveToPoint(start, m);
    }
    arcSegments(center, radius, startAngle, delta, m);
}

void CGPath::addArcToPoint(CGPoint p1, CGPoint p2, CGFloat radius, const CGAffineTransform* m) {
    if (!hasCurrent_) {
        NSLog("CGPathAddArcToPoint: no current point.");
        return;
    }
    CGPoint p0 = m ? CGPointApplyAffineTransform(current_, CGAffineTransformInvert(*m)) : current_;
    double ux = p0.x - p1.x, uy = p0.y - p1.y;
    double vx = p2.x - p1.x, vy = p2.y - p1.y;
    double lu = std::hypot(ux, uy), lv = std::hypot(vx, vy);
    double cross = ux * vy - uy * vx;
    if (radius <= 0 || lu < 1e-12 || lv < 1e-12 || std::fabs(cross) < 1e-12 * lu * lv) {
        append(kCGPathElementAddLineToPoint, {p1}, m);
        return;
    }
    ux /= lu, uy /= lu, vx /= lv, vy /= lv;
    double angle = std::acos(std::clamp(ux * vx + uy * vy, -1.0, 1.0)); // between the two lines
    double d = radius / std::tan(angle / 2);
    CGPoint t1 = CGPointMake(p1.x + ux * d, p1.y + uy * d);
    CGPoint t2 = CGPointMake(p1.x + vx * d, p1.y + vy * d);
    double bx = ux + vx, by = uy + vy;
    double lb = std::hypot(bx, by);
    double h = radius / std::sin(angle / 2);
    CGPoint c = CGPointMake(p1.x + bx / lb * h, p1.y + by / lb * h);
    double a0 = std::atan2(t1.y - c.y, t1.x - c.x);
    double a1 = std::atan2(t2.y - c.y, t2.x - c.x);
    double sweep = a1 - a0;
    while (sweep > std::numbers::pi) {
        sweep -= kTwoPi;
    }
    while (sweep < -std::numbers::pi) {
        sweep += kTwoPi;
    }
    if (apply(t1, m) != current_) {
        append(kCGPathElementAddLineToPoint, {t1}, m);
    }
    arcSegments(c, radius, a0, sweep, m);
}

void CGPath::addRect(CGRect rect, const CGAffineTransform* m) {
    CGRect r = CGRectStandardize(rect);
    moveToPoint(r.origin, m);
    append(kCGPathElementAddLineToPoint, {CGPointMake(CGRectGetMaxX(r), r.origin.y)}, m);
    append(kCGPathElementAddLineToPoint, {CGPointMake(CGRectGetMaxX(r), CGRectGetMaxY(r))}, m);
    append(kCGPathElementAddLineToPoint, {CGPointMake(r.origin.x, CGRectGetMaxY(r))}, m);
    closeSubpath();
}

void CGPath::addEllipseInRect(CGRect rect, const CGAffineTransform* m) {
    CGRect r = CGRectStandardize(rect);
    double cx = CGRectGetMidX(r), cy = CGRectGetMidY(r);
    double rx = r.size.width / 2, ry = r.size.height / 2;
    double kx = rx * kKappa, ky = ry * kKappa;
    moveToPoint(CGPointMake(cx + rx, cy), m);
    append(kCGPathElementAddCurveToPoint,
           {CGPointMake(cx + rx, cy + ky), CGPointMake(cx + kx, cy + ry), CGPointMake(cx, cy + ry)}, m);
    append(kCGPathElementAddCurveToPoint,
           {CGPointMake(cx - kx, cy + ry), CGPointMake(cx - rx, cy + ky), CGPointMake(cx - rx, cy)}, m);
    append(kCGPathElementAddCurveToPoint,
           {CGPointMake(cx - rx, cy - ky), CGPointMake(cx - kx, cy - ry), CGPointMake(cx, cy - ry)}, m);
    append(kCGPathElementAddCurveToPoint,
           {CGPointMake(cx + kx, cy - ry), CGPointMake(cx + rx, cy - ky), CGPointMake(cx + rx, cy)}, m);
    closeSubpath();
}

void CGPath::addRoundedRect(CGRect rect, CGFloat cornerWidth, CGFloat cornerHeight, const CGAffineTransform* m) {
    CGRect r = CGRectStandardize(rect);
    double cw = std::clamp(cornerWidth, 0.0, r.size.width / 2);
    double ch = std::clamp(cornerHeight, 0.0, r.size.height / 2);
    if (cw <= 0 || ch <= 0) {
        addRect(r, m);
        return;
    }
    double x0 = r.origin.x, y0 = r.origin.y, x1 = CGRectGetMaxX(r), y1 = CGRectGetMaxY(r);
    double kx = cw * kKappa, ky = ch * kKappa;
    moveToPoint(CGPointMake(x0 + cw, y0), m);
    append(kCGPathElementAddLineToPoint, {CGPointMake(x1 - cw, y0)}, m);
    append(kCGPathElementAddCurveToPoint,
           {CGPointMake(x1 - cw + kx, y0), CGPointMake(x1, y0 + ch - ky), CGPointMake(x1, y0 + ch)}, m);
    append(kCGPathElementAddLineToPoint, {CGPointMake(x1, y1 - ch)}, m);
    append(kCGPathElementAddCurveToPoint,
           {CGPointMake(x1, y1 - ch + ky), CGPointMake(x1 - cw + kx, y1), CGPointMake(x1 - cw, y1)}, m);
    append(kCGPathElementAddLineToPoint, {CGPointMake(x0 + cw, y1)}, m);
    append(kCGPathElementAddCurveToPoint,
           {CGPointMake(x0 + cw - kx, y1), CGPointMake(x0, y1 - ch + ky), CGPointMake(x0, y1 - ch)}, m);
    append(kCGPathElementAddLineToPoint, {CGPointMake(x0, y0 + ch)}, m);
    append(kCGPathElementAddCurveToPoint,
           {CGPointMake(x0, y0 + ch - ky), CGPointMake(x0 + cw - kx, y0), CGPointMake(x0 + cw, y0)}, m);
    closeSubpath();
}

void CGPath::addPath(const Ref<CGPath>& other, const CGAffineTransform* m) {
    if (!other) {
        return;
    }
    std::vector<CGPathElement> copy = other->elements_;
    for (const auto& e : copy) {
        switch (e.type) {
        case kCGPathElementMoveToPoint:
            moveToPoint(e.points[0], m);
            break;
        case kCGPathElementAddLineToPoint:
            append(e.type, {e.points[0]}, m);
            break;
        case kCGPathElementAddQuadCurveToPoint:
            append(e.type, {e.points[0], e.points[1]}, m);
            break;
        case kCGPathElementAddCurveToPoint:
            append(e.type, {e.points[0], e.points[1], e.points[2]}, m);
            break;
        case kCGPathElementCloseSubpath:
            closeSubpath();
            break;
        }
    }
}

void CGPath::applyTransform(const CGAffineTransform& m) {
    for (auto& e : elements_) {
        for (int i = 0; i < pointCount(e.type); ++i) {
            e.points[i] = CGPointApplyAffineTransform(e.points[i], m);
        }
    }
    current_ = CGPointApplyAffineTransform(current_, m);
    subpathStart_ = CGPointApplyAffineTransform(subpathStart_, m);
}

void CGPath::removeAllElements() {
    elements_.clear();
    current_ = subpathStart_ = CGPointZero;
    hasCurrent_ = false;
}

CGRect CGPath::boundingBox() const {
    Bounds b;
    for (const auto& e : elements_) {
        for (int i = 0; i < pointCount(e.type); ++i) {
            b.add(e.points[i]);
        }
    }
    return b.rect();
}

CGRect CGPath::pathBoundingBox() const {
    Bounds b;
    CGPoint current{}, start{};
    for (const auto& e : elements_) {
        switch (e.type) {
        case kCGPathElementMoveToPoint:
            current = start = e.points[0];
            b.add(current);
            break;
        case kCGPathElementAddLineToPoint:
            current = e.points[0];
            b.add(current);
            break;
        case kCGPathElementAddQuadCurveToPoint: {
            CGPoint p0 = current, p1 = e.points[0], p2 = e.points[1];
            for (int axis = 0; axis < 2; ++axis) {
                double a0 = axis ? p0.y : p0.x, a1 = axis ? p1.y : p1.x, a2 = axis ? p2.y : p2.x;
                for (double t : roots(0, 2 * (a0 - 2 * a1 + a2), 2 * (a1 - a0))) {
                    double u = 1 - t;
                    b.add(CGPointMake(u * u * p0.x + 2 * u * t * p1.x + t * t * p2.x,
                                      u * u * p0.y + 2 * u * t * p1.y + t * t * p2.y));
                }
            }
            current = p2;
            b.add(current);
            break;
        }
        case kCGPathElementAddCurveToPoint: {
            CGPoint p0 = current, p1 = e.points[0], p2 = e.points[1], p3 = e.points[2];
            for (int axis = 0; axis < 2; ++axis) {
                double a0 = axis ? p0.y : p0.x, a1 = axis ? p1.y : p1.x, a2 = axis ? p2.y : p2.x,
                       a3 = axis ? p3.y : p3.x;
                double a = 3 * (-a0 + 3 * a1 - 3 * a2 + a3);
                double bb = 6 * (a0 - 2 * a1 + a2);
                double c = 3 * (a1 - a0);
                for (double t : roots(a, bb, c)) {
                    double x01 = lerp(p0.x, p1.x, t), x12 = lerp(p1.x, p2.x, t), x23 = lerp(p2.x, p3.x, t);
                    double y01 = lerp(p0.y, p1.y, t), y12 = lerp(p1.y, p2.y, t), y23 = lerp(p2.y, p3.y, t);
                    double x = lerp(lerp(x01, x12, t), lerp(x12, x23, t), t);
                    double y = lerp(lerp(y01, y12, t), lerp(y12, y23, t), t);
                    b.add(CGPointMake(x, y));
                }
            }
            current = p3;
            b.add(current);
            break;
        }
        case kCGPathElementCloseSubpath:
            current = start;
            break;
        }
    }
    return b.rect();
}

bool CGPath::isEqual(const id& other) const {
    auto o = cast<CGPath>(other);
    return o && o->elements_ == elements_;
}

NSUInteger CGPath::hash() const {
    NSUInteger h = elements_.size();
    for (const auto& e : elements_) {
        h = h * 31 + static_cast<NSUInteger>(e.type);
    }
    return h;
}

id CGPath::copy() const {
    auto c = make<CGPath>();
    c->elements_ = elements_;
    c->current_ = current_;
    c->subpathStart_ = subpathStart_;
    c->hasCurrent_ = hasCurrent_;
    return c;
}

Ref<NSString> CGPath::description() const {
    return NSString::stringWithFormat("<CGPath %p: %lu elements>", static_cast<const void*>(this),
                                      static_cast<unsigned long>(elements_.size()));
}

// MARK: - Functions

CGMutablePathRef CGPathCreateMutable() {
    return make<CGPath>();
}

CGMutablePathRef CGPathCreateMutableCopy(const CGPathRef& path) {
    return path ? cast<CGPath>(path->copy()) : nullptr;
}

CGPathRef CGPathCreateCopy(const CGPathRef& path) {
    return CGPathCreateMutableCopy(path);
}

CGPathRef CGPathCreateWithRect(CGRect rect, const CGAffineTransform* transform) {
    auto p = make<CGPath>();
    p->addRect(rect, transform);
    return p;
}

CGPathRef CGPathCreateWithEllipseInRect(CGRect rect, const CGAffineTransform* transform) {
    auto p = make<CGPath>();
    p->addEllipseInRect(rect, transform);
    return p;
}

void CGPathMoveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x, CGFloat y) {
    if (path) {
        path->moveToPoint(CGPointMake(x, y), m);
    }
}

void CGPathAddLineToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x, CGFloat y) {
    if (path) {
        path->addLineToPoint(CGPointMake(x, y), m);
    }
}

void CGPathAddQuadCurveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat cpx, CGFloat cpy,
                               CGFloat x, CGFloat y) {
    if (path) {
        path->addQuadCurveToPoint(CGPointMake(cpx, cpy), CGPointMake(x, y), m);
    }
}

void CGPathAddCurveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat cp1x, CGFloat cp1y,
                           CGFloat cp2x, CGFloat cp2y, CGFloat x, CGFloat y) {
    if (path) {
        path->addCurveToPoint(CGPointMake(cp1x, cp1y), CGPointMake(cp2x, cp2y), CGPointMake(x, y), m);
    }
}

void CGPathAddArc(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x, CGFloat y, CGFloat radius,
                  CGFloat startAngle, CGFloat endAngle, bool clockwise) {
    if (path) {
        path->addArc(CGPointMake(x, y), radius, startAngle, endAngle, clockwise, m);
    }
}

void CGPathAddRelativeArc(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x, CGFloat y,
                          CGFloat radius, CGFloat startAngle, CGFloat delta) {
    if (path) {
        path->addRelativeArc(CGPointMake(x, y), radius, startAngle, delta, m);
    }
}

void CGPathAddArcToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x1, CGFloat y1, CGFloat x2,
                         CGFloat y2, CGFloat radius) {
    if (path) {
        path->addArcToPoint(CGPointMake(x1, y1), CGPointMake(x2, y2), radius, m);
    }
}

void CGPathAddRect(const CGMutablePathRef& path, const CGAffineTransform* m, CGRect rect) {
    if (path) {
        path->addRect(rect, m);
    }
}

void CGPathAddEllipseInRect(const CGMutablePathRef& path, const CGAffineTransform* m, CGRect rect) {
    if (path) {
        path->addEllipseInRect(rect, m);
    }
}

void CGPathAddRoundedRect(const CGMutablePathRef& path, const CGAffineTransform* m, CGRect rect, CGFloat cornerWidth,
                          CGFloat cornerHeight) {
    if (path) {
        path->addRoundedRect(rect, cornerWidth, cornerHeight, m);
    }
}

void CGPathAddPath(const CGMutablePathRef& path, const CGAffineTransform* m, const CGPathRef& other) {
    if (path) {
        path->addPath(other, m);
    }
}

void CGPathCloseSubpath(const CGMutablePathRef& path) {
    if (path) {
        path->closeSubpath();
    }
}

bool CGPathIsEmpty(const CGPathRef& path) {
    return !path || path->isEmpty();
}

CGPoint CGPathGetCurrentPoint(const CGPathRef& path) {
    return path ? path->currentPoint() : CGPointZero;
}

CGRect CGPathGetBoundingBox(const CGPathRef& path) {
    return path ? path->boundingBox() : CGRectNull;
}

CGRect CGPathGetPathBoundingBox(const CGPathRef& path) {
    return path ? path->pathBoundingBox() : CGRectNull;
}

bool CGPathEqualToPath(const CGPathRef& a, const CGPathRef& b) {
    if (!a || !b) {
        return a == b;
    }
    return a->isEqual(b);
}

void CGPathApply(const CGPathRef& path, const std::function<void(const CGPathElement&)>& visit) {
    if (!path || !visit) {
        return;
    }
    std::vector<CGPathElement> copy = path->elements();
    for (const auto& e : copy) {
        visit(e);
    }
}
