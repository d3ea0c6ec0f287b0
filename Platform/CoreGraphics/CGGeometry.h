// The geometry of the drawing layer: points, sizes and rectangles in double precision, with the
// platform's helper functions and the type encodings that NSValue records for them.
#pragma once

#include <Foundation/NSNumber.h>

#include <cmath>
#include <limits>

using CGFloat = double;

struct CGPoint {
    CGFloat x = 0;
    CGFloat y = 0;
    bool operator==(const CGPoint&) const = default;
};

struct CGSize {
    CGFloat width = 0;
    CGFloat height = 0;
    bool operator==(const CGSize&) const = default;
};

struct CGVector {
    CGFloat dx = 0;
    CGFloat dy = 0;
    bool operator==(const CGVector&) const = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    bool operator==(const CGRect&) const = default;
};

template <>
struct NSObjCType<CGPoint> {
    static std::string encoding() { return "{CGPoint=dd}"; }
};
template <>
struct NSObjCType<CGSize> {
    static std::string encoding() { return "{CGSize=dd}"; }
};
template <>
struct NSObjCType<CGVector> {
    static std::string encoding() { return "{CGVector=dd}"; }
};
template <>
struct NSObjCType<CGRect> {
    static std::string encoding() { return "{CGRect={CGPoint=dd}{CGSize=dd}}"; }
};

inline constexpr CGPoint CGPointZero{};
inline constexpr CGSize CGSizeZero{};
inline constexpr CGRect CGRectZero{};
// The null rectangle: the result of intersecting rectangles that do not meet.
inline constexpr CGRect CGRectNull{{std::numeric_limits<CGFloat>::infinity(), std::numeric_limits<CGFloat>::infinity()},
                                   {0, 0}};
inline constexpr CGRect CGRectInfinite{
    {-std::numeric_limits<CGFloat>::max() / 2, -std::numeric_limits<CGFloat>::max() / 2},
    {std::numeric_limits<CGFloat>::max(), std::numeric_limits<CGFloat>::max()}};

inline CGPoint CGPointMake(CGFloat x, CGFloat y) {
    return {x, y};
}
inline CGSize CGSizeMake(CGFloat width, CGFloat height) {
    return {width, height};
}
inline CGVector CGVectorMake(CGFloat dx, CGFloat dy) {
    return {dx, dy};
}
inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) {
    return {{x, y}, {width, height}};
}

// A rectangle with a non-negative width and height, describing the same area.
CGRect CGRectStandardize(CGRect rect);

CGFloat CGRectGetMinX(CGRect rect);
CGFloat CGRectGetMidX(CGRect rect);
CGFloat CGRectGetMaxX(CGRect rect);
CGFloat CGRectGetMinY(CGRect rect);
CGFloat CGRectGetMidY(CGRect rect);
CGFloat CGRectGetMaxY(CGRect rect);
CGFloat CGRectGetWidth(CGRect rect);
CGFloat CGRectGetHeight(CGRect rect);

bool CGPointEqualToPoint(CGPoint a, CGPoint b);
bool CGSizeEqualToSize(CGSize a, CGSize b);
bool CGRectEqualToRect(CGRect a, CGRect b);
bool CGRectIsNull(CGRect rect);
bool CGRectIsEmpty(CGRect rect);
bool CGRectIsInfinite(CGRect rect);

// The platform's rule: the minimum edges belong to the rectangle, the maximum edges do not.
bool CGRectContainsPoint(CGRect rect, CGPoint point);
bool CGRectContainsRect(CGRect rect, CGRect other);
bool CGRectIntersectsRect(CGRect a, CGRect b);
CGRect CGRectIntersection(CGRect a, CGRect b);
CGRect CGRectUnion(CGRect a, CGRect b);
CGRect CGRectOffset(CGRect rect, CGFloat dx, CGFloat dy);
CGRect CGRectInset(CGRect rect, CGFloat dx, CGFloat dy);
// The smallest rectangle with whole-number coordinates that contains the rectangle.
CGRect CGRectIntegral(CGRect rect);
