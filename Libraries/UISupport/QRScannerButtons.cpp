// The self-drawing icon buttons of the QR code scanner screen.
#include <UISupport/QRScannerButtons.h>

#include <Runtime/ClassBuilder.h>

#include <cmath>

NS_IMPLEMENT_CLASS(QRIconButton, UIButton) {}
NS_IMPLEMENT_CLASS(QRCameraSwitchButton, QRIconButton) {}
NS_IMPLEMENT_CLASS(QRToggleTorchButton, QRIconButton) {}

QRIconButton::QRIconButton(CGRect frame) : UIButton(frame) {
    setEdgeColor(UIColor::whiteColor());
    setFillColor(UIColor::darkGrayColor());
    setEdgeHighlightedColor(UIColor::whiteColor());
    setFillHighlightedColor(UIColor::blackColor());
}

Ref<UIColor> QRIconButton::currentEdge() const {
    return state() == UIControlStateHighlighted ? edgeHighlightedColor() : edgeColor();
}

Ref<UIColor> QRIconButton::currentFill() const {
    return state() == UIControlStateHighlighted ? fillHighlightedColor() : fillColor();
}

void QRIconButton::touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    UIButton::touchesBeganWithEvent(touches, event);
    setNeedsDisplay();
}

void QRIconButton::touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    UIButton::touchesMovedWithEvent(touches, event);
    setNeedsDisplay();
}

void QRIconButton::touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    UIButton::touchesEndedWithEvent(touches, event);
    setNeedsDisplay();
}

void QRIconButton::touchesCancelledWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    UIButton::touchesCancelledWithEvent(touches, event);
    setNeedsDisplay();
}

namespace {

// An arrow with its tip at `tip`, pointing left (dir -1) or right (dir 1), its shaft running away.
Ref<UIBezierPath> arrow(CGPoint tip, double dir, double headLength, double headHeight, double shaftLength,
                        double shaftHeight) {
    auto path = UIBezierPath::bezierPath();
    double back = -dir; // the shaft runs away from the tip
    path->moveToPoint(tip);
    path->addLineToPoint(CGPointMake(tip.x + back * headLength, tip.y - headHeight / 2));
    path->addLineToPoint(CGPointMake(tip.x + back * headLength, tip.y - shaftHeight / 2));
    path->addLineToPoint(CGPointMake(tip.x + back * (headLength + shaftLength), tip.y - shaftHeight / 2));
    path->addLineToPoint(CGPointMake(tip.x + back * (headLength + shaftLength), tip.y + shaftHeight / 2));
    path->addLineToPoint(CGPointMake(tip.x + back * headLength, tip.y + shaftHeight / 2));
    path->addLineToPoint(CGPointMake(tip.x + back * headLength, tip.y + headHeight / 2));
    path->closePath();
    path->setLineWidth(2);
    return path;
}

void paint(const Ref<UIBezierPath>& path, const Ref<UIColor>& fill, const Ref<UIColor>& edge) {
    fill->setFill();
    path->fill();
    edge->setStroke();
    path->stroke();
}

} // namespace

void QRCameraSwitchButton::drawRect(CGRect rect) {
    double w = rect.size.width, h = rect.size.height;
    double cx = w / 2, cy = h / 2;
    double cw = 0.4 * w, ch = 0.6 * cw;
    double bx = cx - cw / 2, by = cy - ch / 2;
    double m = (w - cw) / 2;
    auto fill = currentFill();
    auto edge = currentEdge();
    paint(arrow(CGPointMake(cx + 0.2 * cw, cy + 0.6 * ch), -1, 0.3 * m, ch / 2, 0.7 * m, 0.3 * ch), fill, edge);
    auto body = UIBezierPath::bezierPathWithRoundedRectCornerRadius(CGRectMake(bx, by, cw, ch), cw / 80);
    body->setLineWidth(2);
    paint(body, fill, edge);
    double outer = 0.8 * ch;
    edge->setFill();
    UIBezierPath::bezierPathWithOvalInRect(CGRectMake(cx - outer / 2, cy - outer / 2, outer, outer))->fill();
    double inner = 0.7 * outer;
    fill->setFill();
    UIBezierPath::bezierPathWithOvalInRect(CGRectMake(cx - inner / 2, cy - inner / 2, inner, inner))->fill();
    double fw = 0.8 * cw;
    double fx = bx + (cw - fw) / 2;
    auto top = UIBezierPath::bezierPath();
    top->moveToPoint(CGPointMake(fx, by));
    top->addLineToPoint(CGPointMake(fx + 0.14 * fw, by - 0.17 * ch));
    top->addLineToPoint(CGPointMake(fx + fw - 0.14 * fw, by - 0.17 * ch));
    top->addLineToPoint(CGPointMake(fx + fw, by));
    top->closePath();
    top->setLineWidth(2);
    top->setLineCapStyle(kCGLineCapRound);
    paint(top, fill, edge);
    paint(arrow(CGPointMake(cx - 0.2 * cw, cy + 0.45 * ch), 1, 0.3 * m, ch / 2, 0.7 * m, 0.3 * ch), fill, edge);
}

Ref<UIBezierPath> QRToggleTorchButton::linePathWithStartPointEndPointThickness(CGPoint start, CGPoint end,
                                                                               CGFloat thickness) {
    auto path = UIBezierPath::bezierPath();
    path->moveToPoint(start);
    path->addLineToPoint(end);
    path->setLineWidth(thickness);
    path->setLineCapStyle(kCGLineCapRound);
    return path;
}

void QRToggleTorchButton::drawRect(CGRect rect) {
    double w = rect.size.width, h = rect.size.height;
    CGPoint c = CGPointMake(w / 2, h / 2);
    double r = w / 10;
    currentFill()->setFill();
    for (int k = 0; k < 8; ++k) {
        double a = k * M_PI / 4;
        linePathWithStartPointEndPointThickness(CGPointMake(c.x + 2 * r * std::cos(a), c.y + 2 * r * std::sin(a)),
                                                CGPointMake(c.x + 3 * r * std::cos(a), c.y + 3 * r * std::sin(a)), 2)
            ->stroke();
    }
    auto disc = UIBezierPath::bezierPathWithArcCenterRadiusStartAngleEndAngleClockwise(c, r, 0, M_PI, true);
    disc->appendPath(
        UIBezierPath::bezierPathWithArcCenterRadiusStartAngleEndAngleClockwise(c, r, M_PI, 2 * M_PI, true));
    disc->setLineWidth(2);
    currentEdge()->setFill();
    disc->fill();
    disc->stroke();
}
