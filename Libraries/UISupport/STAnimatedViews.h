// The status HUD's drawing components: the spinning ring, a ring whose drawn length follows a
// progress value, and a layer that darkens towards its edges.
//
// The rings are STRingLayer: a layer holding the shape's path and stroke settings (the platform's
// shape layer when drawing is available). Ring geometry: with radius r and thickness t the arc
// centre is c = r + t/2 + 5 on both axes and the ring layer is 2c x 2c. The spinner keeps its ring
// centred in its bounds whatever size it is given.
#pragma once

#include <CoreGraphics/CGPath.h>
#include <Foundation/NSBundle.h>
#include <QuartzCore/CALayer.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIView.h>

class STRingLayer : public CALayer {
    NS_OBJECT(STRingLayer, CALayer)
public:
    STRingLayer() = default;
    CGPathRef path() const { return path_; }
    void setPath(CGPathRef path) { path_ = std::move(path); }
    CGColorRef strokeColor() const { return strokeColor_; }
    void setStrokeColor(CGColorRef color) { strokeColor_ = std::move(color); }
    CGColorRef fillColor() const { return fillColor_; }
    void setFillColor(CGColorRef color) { fillColor_ = std::move(color); }
    CGFloat lineWidth() const noexcept { return lineWidth_; }
    void setLineWidth(CGFloat width) { lineWidth_ = width; }
    CGFloat strokeStart() const noexcept { return strokeStart_; }
    void setStrokeStart(CGFloat start) { strokeStart_ = start; }
    CGFloat strokeEnd() const noexcept { return strokeEnd_; }
    void setStrokeEnd(CGFloat end) { strokeEnd_ = end; }
    CGLineCap lineCap() const noexcept { return lineCap_; }
    void setLineCap(CGLineCap cap) { lineCap_ = cap; }
    CGLineJoin lineJoin() const noexcept { return lineJoin_; }
    void setLineJoin(CGLineJoin join) { lineJoin_ = join; }

    // A ring of `radius` around (c, c) from `start` to `end` (clockwise), stroked with `color`.
    static Ref<STRingLayer> ring(CGFloat radius, CGFloat thickness, const Ref<UIColor>& color, CGFloat start,
                                 CGFloat end);

private:
    CGPathRef path_;
    CGColorRef strokeColor_;
    CGColorRef fillColor_;
    CGFloat lineWidth_ = 1;
    CGFloat strokeStart_ = 0;
    CGFloat strokeEnd_ = 1;
    CGLineCap lineCap_ = kCGLineCapButt;
    CGLineJoin lineJoin_ = kCGLineJoinMiter;
};

class STIndefiniteAnimatedView : public UIView {
    NS_OBJECT(STIndefiniteAnimatedView, UIView)
public:
    STIndefiniteAnimatedView() = default;
    explicit STIndefiniteAnimatedView(CGRect frame) : UIView(frame) {}

    CGFloat strokeThickness() const noexcept { return strokeThickness_; }
    void setStrokeThickness(CGFloat thickness);
    CGFloat radius() const noexcept { return radius_; }
    void setRadius(CGFloat radius);
    Ref<UIColor> strokeColor() const { return strokeColor_; }
    void setStrokeColor(const Ref<UIColor>& color);
    // Made on first use: two turns from the top, masked by the "angle-mask" image, turning.
    Ref<STRingLayer> indefiniteAnimatedLayer();
    // The layer if it exists now (without making it).
    Ref<STRingLayer> currentLayer() const { return layer_; }

    void setFrame(CGRect frame) override;
    CGSize sizeThatFits(CGSize size) const override;
    void willMoveToSuperview(const Ref<UIView>& newSuperview) override;
    void layoutAnimatedLayer();

private:
    CGFloat strokeThickness_ = 0;
    CGFloat radius_ = 0;
    Ref<UIColor> strokeColor_;
    Ref<STRingLayer> layer_;
};

class STProgressAnimatedView : public UIView {
    NS_OBJECT(STProgressAnimatedView, UIView)
public:
    STProgressAnimatedView() = default;
    explicit STProgressAnimatedView(CGRect frame) : UIView(frame) {}

    CGFloat radius() const noexcept { return radius_; }
    void setRadius(CGFloat radius);
    CGFloat strokeThickness() const noexcept { return strokeThickness_; }
    void setStrokeThickness(CGFloat thickness);
    Ref<UIColor> strokeColor() const { return strokeColor_; }
    void setStrokeColor(const Ref<UIColor>& color);
    CGFloat strokeEnd() const noexcept { return strokeEnd_; }
    void setStrokeEnd(CGFloat end);
    // Made on first use: one turn from the top.
    Ref<STRingLayer> ringAnimatedLayer();
    Ref<STRingLayer> currentLayer() const { return layer_; }

    void setFrame(CGRect frame) override;
    CGSize sizeThatFits(CGSize size) const override;
    void willMoveToSuperview(const Ref<UIView>& newSuperview) override;
    void layoutAnimatedLayer();

private:
    CGFloat radius_ = 0;
    CGFloat strokeThickness_ = 0;
    Ref<UIColor> strokeColor_;
    CGFloat strokeEnd_ = 0;
    Ref<STRingLayer> layer_;
};

class STRadialGradientLayer : public CALayer {
    NS_OBJECT(STRadialGradientLayer, CALayer)
public:
    STRadialGradientLayer() = default;
    CGPoint gradientCenter() const noexcept { return gradientCenter_; }
    void setGradientCenter(CGPoint center) { gradientCenter_ = center; }

private:
    CGPoint gradientCenter_{};
};

// The status HUD's resource bundle ("STProgressHUD.bundle" beside the application's resources),
// or nil when it is absent.
Ref<NSBundle> STProgressHUDImageBundle();
