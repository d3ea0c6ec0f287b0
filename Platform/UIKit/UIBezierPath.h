// UIBezierPath: a path with the stroke and fill settings used to draw it. The path's elements live
// in a CGPath (see CoreGraphics/CGPath.h), so what the drawing code builds can be read back
// element by element. fill, stroke and addClip work on the current UIKit context (UIGraphics.h)
// with the path's own settings, leaving the context's state as it was (addClip excepted).
//
// The platform's arc convention holds: `clockwise` YES means increasing angles, which turn
// clockwise on the screen (y grows downwards).
#pragma once

#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGPath.h>
#include <UIKit/UIGeometry.h>

#include <vector>

using UIRectCorner = NSUInteger;
inline constexpr UIRectCorner UIRectCornerTopLeft = 1 << 0;
inline constexpr UIRectCorner UIRectCornerTopRight = 1 << 1;
inline constexpr UIRectCorner UIRectCornerBottomLeft = 1 << 2;
inline constexpr UIRectCorner UIRectCornerBottomRight = 1 << 3;
inline constexpr UIRectCorner UIRectCornerAllCorners = 15;

class UIBezierPath : public NSObject {
    NS_OBJECT(UIBezierPath, NSObject)
public:
    UIBezierPath();

    static Ref<UIBezierPath> bezierPath();
    static Ref<UIBezierPath> bezierPathWithRect(CGRect rect);
    static Ref<UIBezierPath> bezierPathWithOvalInRect(CGRect rect);
    static Ref<UIBezierPath> bezierPathWithRoundedRectCornerRadius(CGRect rect, CGFloat cornerRadius);
    static Ref<UIBezierPath> bezierPathWithRoundedRectByRoundingCornersCornerRadii(CGRect rect, UIRectCorner corners,
                                                                                   CGSize cornerRadii);
    static Ref<UIBezierPath> bezierPathWithArcCenterRadiusStartAngleEndAngleClockwise(CGPoint center, CGFloat radius,
                                                                                      CGFloat startAngle,
                                                                                      CGFloat endAngle, bool clockwise);
    static Ref<UIBezierPath> bezierPathWithCGPath(const CGPathRef& path);

    // Building.
    void moveToPoint(CGPoint point);
    void addLineToPoint(CGPoint point);
    void addCurveToPointControlPoint1ControlPoint2(CGPoint endPoint, CGPoint controlPoint1, CGPoint controlPoint2);
    void addQuadCurveToPointControlPoint(CGPoint endPoint, CGPoint controlPoint);
    void addArcWithCenterRadiusStartAngleEndAngleClockwise(CGPoint center, CGFloat radius, CGFloat startAngle,
                                                           CGFloat endAngle, bool clockwise);
    void closePath();
    void removeAllPoints();
    void appendPath(const Ref<UIBezierPath>& path);
    void applyTransform(CGAffineTransform transform);

    // The path. `CGPath` answers a copy; setting one replaces the elements.
    CGPathRef CGPath() const;
    void setCGPath(const CGPathRef& path);
    const std::vector<CGPathElement>& elements() const { return path_->elements(); }
    bool isEmpty() const { return path_->isEmpty(); }
    CGPoint currentPoint() const { return path_->currentPoint(); }
    // The box of every point of the path, control points included.
    CGRect bounds() const;

    // Drawing settings.
    CGFloat lineWidth() const noexcept { return lineWidth_; }
    void setLineWidth(CGFloat width) { lineWidth_ = width; }
    CGLineCap lineCapStyle() const noexcept { return lineCap_; }
    void setLineCapStyle(CGLineCap cap) { lineCap_ = cap; }
    CGLineJoin lineJoinStyle() const noexcept { return lineJoin_; }
    void setLineJoinStyle(CGLineJoin join) { lineJoin_ = join; }
    CGFloat miterLimit() const noexcept { return miterLimit_; }
    void setMiterLimit(CGFloat limit) { miterLimit_ = limit; }
    CGFloat flatness() const noexcept { return flatness_; }
    void setFlatness(CGFloat flatness) { flatness_ = flatness; }
    bool usesEvenOddFillRule() const noexcept { return evenOdd_; }
    void setUsesEvenOddFillRule(bool evenOdd) { evenOdd_ = evenOdd; }
    // `setLineDash:count:phase:`.
    void setLineDashPhase(const std::vector<CGFloat>& pattern, CGFloat phase);
    const std::vector<CGFloat>& lineDashPattern() const noexcept { return dash_; }
    CGFloat lineDashPhase() const noexcept { return dashPhase_; }

    // Drawing into the current context (see the header comment).
    void fill() const;
    void stroke() const;
    void fillWithBlendModeAlpha(CGBlendMode blendMode, CGFloat alpha) const;
    void strokeWithBlendModeAlpha(CGBlendMode blendMode, CGFloat alpha) const;
    // Intersects the current context's clip with the path.
    void addClip() const;

    id copy() const override;
    bool isEqual(const id& other) const override;
    NSUInteger hash() const override;
    Ref<NSString> description() const override;

private:
    Ref<::CGPath> path_;
    CGFloat lineWidth_ = 1;
    CGLineCap lineCap_ = kCGLineCapButt;
    CGLineJoin lineJoin_ = kCGLineJoinMiter;
    CGFloat miterLimit_ = 10;
    CGFloat flatness_ = 0.6;
    bool evenOdd_ = false;
    std::vector<CGFloat> dash_;
    CGFloat dashPhase_ = 0;
};
