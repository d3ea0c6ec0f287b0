// QRScannerView: the camera area of the QR code scanner screen, with a dashed square guide (a
// shape layer) drawn over the live preview: the view inset by 50 points, its longer side cut to the
// shorter, centred, moved 15 points down, with corners of radius 5.
#pragma once

#include <QuartzCore/CAShapeLayer.h>
#include <UIKit/UIView.h>

class QRScannerView : public UIView {
    NS_OBJECT(QRScannerView, UIView)
public:
    QRScannerView() : QRScannerView(CGRectZero) {}
    explicit QRScannerView(CGRect frame);
    NS_PROPERTY(Ref<CAShapeLayer>, overlay, setOverlay)

    void drawRect(CGRect rect) override;
};
