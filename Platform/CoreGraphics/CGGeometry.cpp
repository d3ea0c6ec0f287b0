#include <CoreGraphics/CGGeometry.h>

#include <algorithm>

CGRect CGRectStandardize(CGRect r) {
    if (CGRectIsNull(r)) {
        return r;
    }
    if (r.size.width < 0) {
        r.origin.x += r.size.width;
        r.size.width = -r.size.width;
    }
    if (r.size.height < 0) {
        r.origin.y += r.size.height;
        r.size.height = -r.size.height;
    }
    return r;
}

CGFloat CGRectGetMinX(CGRect r) {
    return CGRectStandardize(r).origin.x;
}
CGFloat CGRectGetMidX(CGRect r) {
    r = CGRectStandardize(r);
    return r.origin.x + r.size.width / 2;
}
CGFloat CGRectGetMaxX(CGRect r) {
    r = CGRectStandardize(r);
    return r.origin.x + r.size.width;
}
CGFloat CGRectGetMinY(CGRect r) {
    return CGRectStandardize(r).origin.y;
}
CGFloat CGRectGetMidY(CGRect r) {
    r = CGRectStandardize(r);
    return r.origin.y + r.size.height / 2;
}
CGFloat CGRectGetMaxY(CGRect r) {
    r = CGRectStandardize(r);
    return r.origin.y + r.size.height;
}
CGFloat CGRectGetWidth(CGRect r) {
    return std::abs(r.size.width);
}
CGFloat CGRectGetHeight(CGRect r) {
    return std::abs(r.size.height);
}

bool CGPointEqualToPoint(CGPoint a, CGPoint b) {
    return a == b;
}
bool CGSizeEqualToSize(CGSize a, CGSize b) {
    return a == b;
}
bool CGRectEqualToRect(CGRect a, CGRect b) {
    if (CGRectIsNull(a) || CGRectIsNull(b)) {
        return CGRectIsNull(a) && CGRectIsNull(b);
    }
    return CGRectStandardize(a) == CGRectStandardize(b);
}
bool CGRectIsNull(CGRect r) {
    return std::isinf(r.origin.x) && r.origin.x > 0 && std::isinf(r.origin.y) && r.origin.y > 0;
}
bool CGRectIsEmpty(CGRect r) {
    return CGRectIsNull(r) || r.size.width == 0 || r.size.height == 0;
}
bool CGRectIsInfinite(CGRect r) {
    return r == CGRectInfinite;
}

bool CGRectContainsPoint(CGRect r, CGPoint p) {
    if (CGRectIsNull(r)) {
        return false;
    }
    r = CGRectStandardize(r);
    return p.x >= r.origin.x && p.x < r.origin.x + r.size.width && p.y >= r.origin.y &&
           p.y < r.origin.y + r.size.height;
}

bool CGRectContainsRect(CGRect r, CGRect o) {
    if (CGRectIsNull(r) || CGRectIsNull(o)) {
        return false;
    }
    r = CGRectStandardize(r);
    o = CGRectStandardize(o);
    return o.origin.x >= r.origin.x && o.origin.y >= r.origin.y && CGRectGetMaxX(o) <= CGRectGetMaxX(r) &&
           CGRectGetMaxY(o) <= CGRectGetMaxY(r);
}

bool CGRectIntersectsRect(CGRect a, CGRect b) {
    return !CGRectIsNull(CGRectIntersection(a, b));
}

CGRect CGRectIntersection(CGRect a, CGRect b) {
    if (CGRectIsNull(a) || CGRectIsNull(b)) {
        return CGRectNull;
    }
    a = CGRectStandardize(a);
    b = CGRectStandardize(b);
    CGFloat x1 = std::max(a.origin.x, b.origin.x);
    CGFloat y1 = std::max(a.origin.y, b.origin.y);
    CGFloat x2 = std::min(CGRectGetMaxX(a), CGRectGetMaxX(b));
    CGFloat y2 = std::min(CGRectGetMaxY(a), CGRectGetMaxY(b));
    if (x2 < x1 || y2 < y1) {
        return CGRectNull;
    }
    return CGRectMake(x1, y1, x2 - x1, y2 - y1);
}

CGRect CGRectUnion(CGRect a, CGRect b) {
    if (CGRectIsNull(a)) {
        return CGRectStandardize(b);
    }
    if (CGRectIsNull(b)) {
        return CGRectStandardize(a);
    }
    a = CGRectStandardize(a);
    b = CGRectStandardize(b);
    CGFloat x1 = std::min(a.origin.x, b.origin.x);
    CGFloat y1 = std::min(a.origin.y, b.origin.y);
    CGFloat x2 = std::max(CGRectGetMaxX(a), CGRectGetMaxX(b));
    CGFloat y2 = std::max(CGRectGetMaxY(a), CGRectGetMaxY(b));
    return CGRectMake(x1, y1, x2 - x1, y2 - y1);
}

CGRect CGRectOffset(CGRect r, CGFloat dx, CGFloat dy) {
    if (CGRectIsNull(r)) {
        return r;
    }
    r = CGRectStandardize(r);
    r.origin.x += dx;
    r.origin.y += dy;
    return r;
}

CGRect CGRectInset(CGRect r, CGFloat dx, CGFloat dy) {
    if (CGRectIsNull(r)) {
        return r;
    }
    r = CGRectStandardize(r);
    r.origin.x += dx;
    r.origin.y += dy;
    r.size.width -= 2 * dx;
    r.size.height -= 2 * dy;
    if (r.size.width < 0 || r.size.height < 0) {
        return CGRectNull;
    }
    return r;
}

CGRect CGRectIntegral(CGRect r) {
    if (CGRectIsNull(r)) {
        return r;
    }
    r = CGRectStandardize(r);
    CGFloat x1 = std::floor(r.origin.x);
    CGFloat y1 = std::floor(r.origin.y);
    CGFloat x2 = std::ceil(r.origin.x + r.size.width);
    CGFloat y2 = std::ceil(r.origin.y + r.size.height);
    return CGRectMake(x1, y1, x2 - x1, y2 - y1);
}
