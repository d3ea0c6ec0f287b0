// CAShapeLayer: a layer that draws a path: filled (winding or even-odd) in its fill colour, then
// stroked in its stroke colour with its line settings and dash, from strokeStart to strokeEnd (the
// fractions of the path's length that are stroked). Changes of lineWidth, strokeStart and strokeEnd
// animate implicitly, as the base layer's properties do (see CALayer.h).
#pragma once

#include <CoreGraphics/CGPath.h>
#include <QuartzCore/CALayer.h>

const Ref<NSString>& kCAFillRuleNonZero();
const Ref<NSString>& kCAFillRuleEvenOdd();
const Ref<NSString>& kCALineCapButt();
const Ref<NSString>& kCALineCapRound();
const Ref<NSString>& kCALineCapSquare();
const Ref<NSString>& kCALineJoinMiter();
const Ref<NSString>& kCALineJoinRound();
const Ref<NSString>& kCALineJoinBevel();

class CAShapeLayer : public CALayer {
    NS_OBJECT(CAShapeLayer, CALayer)
public:
    CAShapeLayer();
    static Ref<CAShapeLayer> layer();

    CGPathRef path() const { return path_; }
    void setPath(const CGPathRef& path);
    // Opaque black by default; nil fills nothing.
    CGColorRef fillColor() const { return fillColor_; }
    void setFillColor(const CGColorRef& color) { fillColor_ = color; }
    // nil by default: no stroke.
    CGColorRef strokeColor() const { return strokeColor_; }
    void setStrokeColor(const CGColorRef& color) { strokeColor_ = color; }
    Ref<NSString> fillRule() const { return fillRule_; }
    void setFillRule(const Ref<NSString>& rule) { fillRule_ = rule; }
    CGFloat lineWidth() const noexcept { return lineWidth_; }
    void setLineWidth(CGFloat width);
    CGFloat miterLimit() const noexcept { return miterLimit_; }
    void setMiterLimit(CGFloat limit) { miterLimit_ = limit; }
    Ref<NSString> lineCap() const { return lineCap_; }
    void setLineCap(const Ref<NSString>& cap) { lineCap_ = cap; }
    Ref<NSString> lineJoin() const { return lineJoin_; }
    void setLineJoin(const Ref<NSString>& join) { lineJoin_ = join; }
    // NSNumbers of dash and gap lengths; nil for a solid line.
    Ref<NSArray> lineDashPattern() const { return lineDashPattern_; }
    void setLineDashPattern(const Ref<NSArray>& pattern) { lineDashPattern_ = pattern; }
    CGFloat lineDashPhase() const noexcept { return lineDashPhase_; }
    void setLineDashPhase(CGFloat phase) { lineDashPhase_ = phase; }
    CGFloat strokeStart() const noexcept { return strokeStart_; }
    void setStrokeStart(CGFloat start);
    CGFloat strokeEnd() const noexcept { return strokeEnd_; }
    void setStrokeEnd(CGFloat end);

    void drawInContext(const CGContextRef& context) override;

private:
    CGPathRef path_;
    CGColorRef fillColor_;
    CGColorRef strokeColor_;
    Ref<NSString> fillRule_;
    CGFloat lineWidth_ = 1;
    CGFloat miterLimit_ = 10;
    Ref<NSString> lineCap_;
    Ref<NSString> lineJoin_;
    Ref<NSArray> lineDashPattern_;
    CGFloat lineDashPhase_ = 0;
    CGFloat strokeStart_ = 0;
    CGFloat strokeEnd_ = 1;
};
