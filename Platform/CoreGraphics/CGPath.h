// CGPath: a graphics path, kept as the platform keeps it: a list of elements (move, line,
// quadratic curve, cubic curve, close) in user-space coordinates. Arcs, rectangles, ellipses and
// rounded rectangles are added as those elements (arcs as cubic curves of at most a quarter turn
// each), so every reader sees the same elements the drawing layer will draw.
//
// A path is mutable through the CGPath functions while the caller holds it as a CGMutablePathRef;
// CGPathCreateCopy gives an independent copy.
#pragma once

#include <CoreGraphics/CGAffineTransform.h>
#include <Runtime/NSObject.h>

#include <functional>
#include <vector>

enum CGPathElementType : int32_t {
    kCGPathElementMoveToPoint = 0,
    kCGPathElementAddLineToPoint = 1,
    kCGPathElementAddQuadCurveToPoint = 2,
    kCGPathElementAddCurveToPoint = 3,
    kCGPathElementCloseSubpath = 4,
};

enum CGLineCap : int32_t {
    kCGLineCapButt = 0,
    kCGLineCapRound = 1,
    kCGLineCapSquare = 2,
};

enum CGLineJoin : int32_t {
    kCGLineJoinMiter = 0,
    kCGLineJoinRound = 1,
    kCGLineJoinBevel = 2,
};

// One element: its type and its points (control points first, the end point last): 1 point for a
// move or a line, 2 for a quadratic curve, 3 for a cubic curve, none for a close.
struct CGPathElement {
    CGPathElementType type = kCGPathElementMoveToPoint;
    CGPoint points[3]{};
    bool operator==(const CGPathElement& other) const;
};

class CGPath : public NSObject {
    NS_OBJECT(CGPath, NSObject)
public:
    CGPath() = default;

    const std::vector<CGPathElement>& elements() const noexcept { return elements_; }
    bool isEmpty() const noexcept { return elements_.empty(); }
    // The end point of the last element (the start of the subpath after a close); CGPointZero for
    // an empty path.
    CGPoint currentPoint() const noexcept { return current_; }
    bool hasCurrentPoint() const noexcept { return hasCurrent_; }

    // Adding elements; each point goes through `m` when given.
    void moveToPoint(CGPoint p, const CGAffineTransform* m = nullptr);
    // Without a current point these only log, as on the platform.
    void addLineToPoint(CGPoint p, const CGAffineTransform* m = nullptr);
    void addQuadCurveToPoint(CGPoint control, CGPoint p, const CGAffineTransform* m = nullptr);
    void addCurveToPoint(CGPoint control1, CGPoint control2, CGPoint p, const CGAffineTransform* m = nullptr);
    void closeSubpath();
    // An arc of the circle around `center` from `startAngle` to `endAngle` (radians), with
    // increasing angles when `clockwise` is false (the platform's convention: clockwise in a y-up
    // space). A line joins it from the current point, if any. A sweep wider than a full turn keeps
    // its turns.
    void addArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat endAngle, bool clockwise,
                const CGAffineTransform* m = nullptr);
    void addRelativeArc(CGPoint center, CGFloat radius, CGFloat startAngle, CGFloat delta,
                        const CGAffineTransform* m = nullptr);
    // The arc of `radius` tangent to the lines from the current point to `p1` and from `p1` to `p2`.
    void addArcToPoint(CGPoint p1, CGPoint p2, CGFloat radius, const CGAffineTransform* m = nullptr);
    void addRect(CGRect rect, const CGAffineTransform* m = nullptr);
    void addEllipseInRect(CGRect rect, const CGAffineTransform* m = nullptr);
    void addRoundedRect(CGRect rect, CGFloat cornerWidth, CGFloat cornerHeight, const CGAffineTransform* m = nullptr);
    void addPath(const Ref<CGPath>& other, const CGAffineTransform* m = nullptr);
    void applyTransform(const CGAffineTransform& m);
    void removeAllElements();

    // The smallest rectangle holding every point of the path, control points included.
    CGRect boundingBox() const;
    // The smallest rectangle holding the path itself (curves at their extremes); CGRectNull when
    // empty.
    CGRect pathBoundingBox() const;

    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    id copy() const override;
    Ref<NSString> description() const override;

private:
    void append(CGPathElementType type, std::initializer_list<CGPoint> points, const CGAffineTransform* m);
    void arcSegments(CGPoint center, CGFloat radius, CGFloat start, CGFloat sweep, const CGAffineTransform* m);

    std::vector<CGPathElement> elements_;
    CGPoint current_{};
    CGPoint subpathStart_{};
    bool hasCurrent_ = false;
};

using CGPathRef = Ref<CGPath>;
using CGMutablePathRef = Ref<CGPath>;

CGMutablePathRef CGPathCreateMutable();
CGMutablePathRef CGPathCreateMutableCopy(const CGPathRef& path);
CGPathRef CGPathCreateCopy(const CGPathRef& path);
CGPathRef CGPathCreateWithRect(CGRect rect, const CGAffineTransform* transform);
CGPathRef CGPathCreateWithEllipseInRect(CGRect rect, const CGAffineTransform* transform);
void CGPathMoveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x, CGFloat y);
void CGPathAddLineToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x, CGFloat y);
void CGPathAddQuadCurveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat cpx, CGFloat cpy,
                               CGFloat x, CGFloat y);
void CGPathAddCurveToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat cp1x, CGFloat cp1y,
                           CGFloat cp2x, CGFloat cp2y, CGFloat x, CGFloat y);
void CGPathAddArc(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x, CGFloat y, CGFloat radius,
                  CGFloat startAngle, CGFloat endAngle, bool clockwise);
void CGPathAddRelativeArc(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x, CGFloat y,
                          CGFloat radius, CGFloat startAngle, CGFloat delta);
void CGPathAddArcToPoint(const CGMutablePathRef& path, const CGAffineTransform* m, CGFloat x1, CGFloat y1, CGFloat x2,
                         CGFloat y2, CGFloat radius);
void CGPathAddRect(const CGMutablePathRef& path, const CGAffineTransform* m, CGRect rect);
void CGPathAddEllipseInRect(const CGMutablePathRef& path, const CGAffineTransform* m, CGRect rect);
void CGPathAddRoundedRect(const CGMutablePathRef& path, const CGAffineTransform* m, CGRect rect, CGFloat cornerWidth,
                          CGFloat cornerHeight);
void CGPathAddPath(const CGMutablePathRef& path, const CGAffineTransform* m, const CGPathRef& other);
void CGPathCloseSubpath(const CGMutablePathRef& path);
bool CGPathIsEmpty(const CGPathRef& path);
CGPoint CGPathGetCurrentPoint(const CGPathRef& path);
CGRect CGPathGetBoundingBox(const CGPathRef& path);
CGRect CGPathGetPathBoundingBox(const CGPathRef& path);
bool CGPathEqualToPath(const CGPathRef& a, const CGPathRef& b);
// Calls `visit` with every element in order.
void CGPathApply(const CGPathRef& path, const std::function<void(const CGPathElement&)>& visit);
