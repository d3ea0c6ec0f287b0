// XCanvas: the touch border canvas. A ring of small square targets along the screen's edges and
// two diagonal lines of targets across it; the finger's stroke is drawn as a black line on a
// transparent overlay (XMaskView), every target under the finger turns green, and on the first lift
// after the last target turned green the canvas reports once, through `onTouchView`. XItem is a
// target: a button that only carries its touched flag and never takes a touch itself.
//
// A canvas without targets never reports.
#pragma once

#include <CoreGraphics/CGContext.h>
#include <CoreGraphics/CGPath.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIView.h>

#include <functional>

class XItem : public UIButton {
    NS_OBJECT(XItem, UIButton)
public:
    XItem();
    explicit XItem(CGRect frame);
    NS_PROPERTY(bool, isTouched, setIsTouched)
};

class XMaskView : public UIView {
    NS_OBJECT(XMaskView, UIView)
public:
    using DrawBlock = std::function<void(const Ref<XMaskView>&, const CGContextRef&)>;
    XMaskView() = default;
    explicit XMaskView(CGRect frame) : UIView(frame) {}
    // `maskViewWithFrame:willDrawBlock:`.
    static Ref<XMaskView> maskViewWithFrameWillDrawBlock(CGRect frame, DrawBlock block);
    void drawRect(CGRect rect) override;
    DrawBlock drawBlock;
};

class XCanvas : public UIView {
    NS_OBJECT(XCanvas, UIView)
public:
    using Block = std::function<void(const Ref<XCanvas>&)>;

    XCanvas() : XCanvas(CGRectZero) {}
    explicit XCanvas(CGRect frame);
    // `touchView:onAllTouch:`.
    static Ref<XCanvas> touchViewOnAllTouch(CGRect frame, Block block);

    const Block& onTouchView() const { return onTouchView_; }
    void setOnTouchView(Block block) { onTouchView_ = std::move(block); }
    NS_PROPERTY(bool, hasNotify, setHasNotify)
    NS_PROPERTY(double, screenHeight, setScreenHeight)
    NS_PROPERTY(CGPoint, currentPoint, setCurrentPoint)
    NS_PROPERTY(CGPoint, previousPoint, setPreviousPoint)
    NS_PROPERTY(CGPoint, previousPreviousPoint, setPreviousPreviousPoint)
    const CGMutablePathRef& path() const { return path_; }
    Ref<XMaskView> maskView();

    // The usable height of a screen of that size: 44 points less on the tall screens.
    static double usableHeight(double width, double height);
    static Ref<XItem> buildItemWithCGRect(CGRect rect);
    void createBorderItem();
    void checkResultWithCGPoint(CGPoint point);
    void layoutSubviews() override;

    void touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;

    std::vector<Ref<XItem>> items() const;
    size_t touchedCount() const;

private:
    Block onTouchView_;
    CGMutablePathRef path_;
    Ref<XMaskView> maskView_;
};
