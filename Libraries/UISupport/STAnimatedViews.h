// The status HUD's drawing components: the spinning ring, a ring whose drawn length follows a
// progress value, and a layer that darkens towards its edges.
//
// The rings are shape layers. Ring geometry: with radius r and thickness t the arc centre is
// c = r + t/2 + 5 on both axes and the ring layer is 2c x 2c. Both views keep their ring centred in
// their bounds whatever size they are given.
//
// The spinner's ring is two turns of arc whose stroked part slides along it (strokeStart from
// 0.015 to 0.515, strokeEnd from 0.485 to 0.985, one second, without end), seen through a mask
// that fades in clockwise from the top and turns once a second: a comet-like arc going round.
#pragma once

#include <CoreGraphics/CGPath.h>
#include <Foundation/NSBundle.h>
#include <QuartzCore/CALayer.h>
#include <QuartzCore/CAShapeLayer.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIView.h>

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
    // Made on first use: two turns from the top, masked by the "angle-mask" image, turning (the
    // mask's animation "rotate", the ring's "progress").
    Ref<CAShapeLayer> indefiniteAnimatedLayer();
    // The layer if it exists now (without making it).
    Ref<CAShapeLayer> currentLayer() const { return layer_; }

    void setFrame(CGRect frame) override;
    CGSize sizeThatFits(CGSize size) const override;
    void willMoveToSuperview(const Ref<UIView>& newSuperview) override;
    void layoutAnimatedLayer();

private:
    CGFloat strokeThickness_ = 0;
    CGFloat radius_ = 0;
    Ref<UIColor> strokeColor_;
    Ref<CAShapeLayer> layer_;
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
    Ref<CAShapeLayer> ringAnimatedLayer();
    Ref<CAShapeLayer> currentLayer() const { return layer_; }

    void setFrame(CGRect frame) override;
    CGSize sizeThatFits(CGSize size) const override;
    void willMoveToSuperview(const Ref<UIView>& newSuperview) override;
    void layoutAnimatedLayer();

private:
    CGFloat radius_ = 0;
    CGFloat strokeThickness_ = 0;
    Ref<UIColor> strokeColor_;
    CGFloat strokeEnd_ = 0;
    Ref<CAShapeLayer> layer_;
};

// Clear at `gradientCenter`, black at alpha 0.75 at min(width, height) from it and beyond.
class STRadialGradientLayer : public CALayer {
    NS_OBJECT(STRadialGradientLayer, CALayer)
public:
    STRadialGradientLayer() = default;
    CGPoint gradientCenter() const noexcept { return gradientCenter_; }
    void setGradientCenter(CGPoint center) { gradientCenter_ = center; }

    void drawInContext(const CGContextRef& context) override;

private:
    CGPoint gradientCenter_{};
};

// The status HUD's resource bundle ("STProgressHUD.bundle" beside the application's resources),
// or nil when it is absent.
Ref<NSBundle> STProgressHUDImageBundle();

// The HUD's image of that name ("info", "success", "error", "angle-mask"): the PNG of the bundle
// when there is one, else the library's own artwork drawn at the main screen's scale (28 x 28
// points for the three symbols, black on clear; `maskSize` for the mask, opaque clockwise from the
// top). nil for another name.
Ref<UIImage> STProgressHUDImageNamed(const char* name, CGSize maskSize = CGSizeZero);

// The black radial dimming of the status overlay and STRadialGradientLayer: clear at `center`,
// black at alpha 0.75 at radius min(width, height) of `bounds`, and beyond.
void STDrawRadialDimming(const CGContextRef& context, CGRect bounds, CGPoint center);
