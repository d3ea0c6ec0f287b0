// The icon buttons of the QR code scanner screen, which draw themselves: QRCameraSwitchButton (a
// camera between two arrows) and QRToggleTorchButton (a disc with eight rays). Each has an edge
// and a fill colour, and a pair of each for the highlighted state, and redraws on every touch so
// that the highlighted colours follow the finger.
#pragma once

#include <UIKit/UIBezierPath.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIColor.h>

class QRIconButton : public UIButton {
    NS_OBJECT(QRIconButton, UIButton)
public:
    QRIconButton() : QRIconButton(CGRectZero) {}
    explicit QRIconButton(CGRect frame);
    NS_PROPERTY(Ref<UIColor>, edgeColor, setEdgeColor)
    NS_PROPERTY(Ref<UIColor>, fillColor, setFillColor)
    NS_PROPERTY(Ref<UIColor>, edgeHighlightedColor, setEdgeHighlightedColor)
    NS_PROPERTY(Ref<UIColor>, fillHighlightedColor, setFillHighlightedColor)

    void touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesCancelledWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;

protected:
    // The edge and fill colours for the state now (highlighted only when exactly highlighted).
    Ref<UIColor> currentEdge() const;
    Ref<UIColor> currentFill() const;
};

class QRCameraSwitchButton : public QRIconButton {
    NS_OBJECT(QRCameraSwitchButton, QRIconButton)
public:
    QRCameraSwitchButton() : QRIconButton(CGRectZero) {}
    explicit QRCameraSwitchButton(CGRect frame) : QRIconButton(frame) {}
    void drawRect(CGRect rect) override;
};

class QRToggleTorchButton : public QRIconButton {
    NS_OBJECT(QRToggleTorchButton, QRIconButton)
public:
    QRToggleTorchButton() : QRIconButton(CGRectZero) {}
    explicit QRToggleTorchButton(CGRect frame) : QRIconButton(frame) {}
    // A straight segment with round caps.
    static Ref<UIBezierPath> linePathWithStartPointEndPointThickness(CGPoint start, CGPoint end, CGFloat thickness);
    void drawRect(CGRect rect) override;
};
