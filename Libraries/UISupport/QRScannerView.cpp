// QRScannerView: the dashed guide over the camera picture.
#include <UISupport/QRScannerView.h>

#include <Foundation/NSNumber.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIBezierPath.h>
#include <UIKit/UIColor.h>

#include <algorithm>

NS_IMPLEMENT_CLASS(QRScannerView, UIView) {}

QRScannerView::QRScannerView(CGRect frame) : UIView(frame) {
    auto guide = make<CAShapeLayer>();
    guide->setBackgroundColor(UIColor::clearColor()->CGColor());
    guide->setFillColor(UIColor::clearColor()->CGColor());
    guide->setStrokeColor(UIColor::whiteColor()->CGColor());
    guide->setLineWidth(3.0);
    guide->setLineDashPattern(NSArray::arrayWithObjects({box(7), box(7)}));
    guide->setLineDashPhase(0);
    layer()->addSublayer(guide);
    setOverlay(guide);
}

void QRScannerView::drawRect(CGRect rect) {
    CGRect inner = CGRectInset(rect, 50, 50);
    CGFloat side = std::min(inner.size.width, inner.size.height);
    inner.origin.x += (inner.size.width - side) / 2;
    inner.origin.y += (inner.size.height - side) / 2;
    inner.size = CGSizeMake(side, side);
    inner.origin.y += 15;
    if (side > 0) {
        overlay()->setPath(UIBezierPath::bezierPathWithRoundedRectCornerRadius(inner, 5)->CGPath());
    }
}
