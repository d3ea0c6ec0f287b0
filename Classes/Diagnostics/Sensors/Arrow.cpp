#include <Diagnostics/Sensors/Arrow.h>

#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGPath.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIGraphics.h>

#include <cmath>

NS_IMPLEMENT_CLASS(Arrow, UIView) {
    b.property("fillColor", &Arrow::fillColor, &Arrow::setFillColor);
    b.property("pathColor", &Arrow::pathColor, &Arrow::setPathColor);
}

Arrow::Arrow(CGRect frame) : UIView(frame) {
    setOpaque(false);
    setBackgroundColor(UIColor::clearColor());
}

CGSize Arrow::sizeThatFits(CGSize) const {
    return CGSizeMake(240, 240);
}

void Arrow::drawRect(CGRect) {
    auto context = UIGraphicsGetCurrentContext();
    if (!context) {
        return;
    }
    CGRect b = bounds();
    double sx = b.size.width / 240.0;
    double sy = b.size.height / 240.0;
    double m = (sx + sy) / 2;
    if (!(m > 0)) {
        return;
    }
    CGContextTranslateCTM(context, b.origin.x, b.origin.y);
    CGContextScaleCTM(context, sx, sy);
    // Snap design coordinates to whole device pixels (or to their middles for odd line widths).
    double W = std::round(m * 240) / m;
    double k = m < 1 ? std::ceil(m) : std::round(m);
    double o = k / 2 - std::floor(k / 2);
    auto snap = [&](double c) {
        return static_cast<double>((std::round(static_cast<float>(m * c + o)) - static_cast<float>(o)) /
                                   static_cast<float>(m));
    };
    CGMutablePathRef path = CGPathCreateMutable();
    CGPathMoveToPoint(path, nullptr, snap(W / 2), snap(0));
    CGPathAddLineToPoint(path, nullptr, snap(W), snap(W));
    CGPathAddLineToPoint(path, nullptr, snap(W / 2), snap(W / 2));
    CGPathAddLineToPoint(path, nullptr, snap(0), snap(W));
    CGPathAddLineToPoint(path, nullptr, snap(W / 2), snap(0));
    auto fill = fillColor() ? fillColor() : UIColor::colorWithRedGreenBlueAlpha(0.6, 0, 0, 1);
    auto stroke = pathColor() ? pathColor() : UIColor::blackColor();
    CGContextAddPath(context, path);
    CGContextSetFillColorWithColor(context, fill->CGColor());
    CGContextFillPath(context);
    CGContextAddPath(context, path);
    CGContextSetStrokeColorWithColor(context, stroke->CGColor());
    CGContextSetLineWidth(context, o);
    CGContextSetLineCap(context, kCGLineCapSquare);
    CGContextStrokePath(context);
}
