// SJTouchView: the touch grid. A full-screen view covered by square cells, five to a row; every
// cell under a finger turns green, and on the first lift after the last cell turned green the view
// reports once, through `onTouchView`, that the whole screen answers to touch. SJTouchButton is a
// cell: a button that only carries its touched flag and never takes a touch itself.
//
// The cells always match the rows the view's bounds hold: a layout whose bounds hold another
// number of whole rows than were built rebuilds the grid (cells that stay keep their state), so no
// cell lies outside the view or is missing from it, and a view with no cell never reports.
#pragma once

#include <UIKit/UIButton.h>
#include <UIKit/UIView.h>

#include <functional>

class SJTouchButton : public UIButton {
    NS_OBJECT(SJTouchButton, UIButton)
public:
    SJTouchButton();
    explicit SJTouchButton(CGRect frame);
    NS_PROPERTY(bool, isTouched, setIsTouched)
};

class SJTouchView : public UIView {
    NS_OBJECT(SJTouchView, UIView)
public:
    using Block = std::function<void(const Ref<SJTouchView>&)>;

    SJTouchView() : SJTouchView(CGRectZero) {}
    explicit SJTouchView(CGRect frame);
    // `touchView:onAllTouch:`.
    static Ref<SJTouchView> touchViewOnAllTouch(CGRect frame, Block block);

    const Block& onTouchView() const { return onTouchView_; }
    void setOnTouchView(Block block) { onTouchView_ = std::move(block); }
    NS_PROPERTY(bool, hasNotify, setHasNotify)
    NS_PROPERTY(CGPoint, currentPoint, setCurrentPoint)

    // The colours of an untouched and a touched cell.
    static Ref<UIColor> untouchedColor();
    static Ref<UIColor> touchedColor();

    void addButtons();
    void layoutSubviews() override;
    void layoutButtons();
    void drawDashedLine();
    void checkResultWithCGPoint(CGPoint point);
    void reset();

    void touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;
    void touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) override;

    // The cells, in order (row by row from the top, left to right).
    std::vector<Ref<SJTouchButton>> cells() const;
    size_t touchedCount() const;

private:
    void takeTouch(const Ref<NSSet>& touches);
    void checkCompletion();
    void buildCells(size_t count);
    Block onTouchView_;
    Ref<CALayer> dashes_;
};
