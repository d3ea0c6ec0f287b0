// SJTouchView and its cells: the touch grid.
#include <Diagnostics/TouchKeys/SJTouchView.h>

#include <Foundation/NSLog.h>
#include <Foundation/NSNumber.h>
#include <QuartzCore/CAShapeLayer.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UITouch.h>

#include <cmath>

NS_IMPLEMENT_CLASS(SJTouchButton, UIButton) {
    b.property("isTouched", &SJTouchButton::isTouched, &SJTouchButton::setIsTouched);
}

SJTouchButton::SJTouchButton() : SJTouchButton(CGRectZero) {}

SJTouchButton::SJTouchButton(CGRect frame) : UIButton(UIButtonTypeCustom, frame) {
    setUserInteractionEnabled(false);
}

NS_IMPLEMENT_CLASS(SJTouchView, UIView) {
    b.property("hasNotify", &SJTouchView::hasNotify, &SJTouchView::setHasNotify);
    b.method("reset", &SJTouchView::reset);
}

namespace {

constexpr int kColumns = 5;

// Whole rows of square cells that a width and height hold (none for sizes that are not real).
size_t rowsFor(double width, double height) {
    if (!(width > 0) || !(height > 0) || !std::isfinite(width) || !std::isfinite(height)) {
        return 0;
    }
    double side = width / kColumns;
    return static_cast<size_t>(std::trunc(height / side));
}

// Edges included: a finger on the line between cells touches both.
bool frameHolds(CGRect r, CGPoint p) {
    return p.x >= CGRectGetMinX(r) && p.x <= CGRectGetMaxX(r) && p.y >= CGRectGetMinY(r) && p.y <= CGRectGetMaxY(r);
}

} // namespace

SJTouchView::SJTouchView(CGRect frame) : UIView(frame) {
    setBackgroundColor(UIColor::whiteColor());
    addButtons();
}

Ref<SJTouchView> SJTouchView::touchViewOnAllTouch(CGRect frame, Block block) {
    auto view = make<SJTouchView>(frame);
    view->setOnTouchView(std::move(block));
    return view;
}

Ref<UIColor> SJTouchView::untouchedColor() {
    return UIColor::colorWithRedGreenBlueAlpha(74.0 / 255, 144.0 / 255, 226.0 / 255, 1.0);
}

Ref<UIColor> SJTouchView::touchedColor() {
    return UIColor::greenColor();
}

void SJTouchView::addButtons() {
    CGRect screen = UIScreen::mainScreen()->bounds();
    buildCells(kColumns * rowsFor(screen.size.width, screen.size.height));
}

void SJTouchView::buildCells(size_t count) {
    auto existing = cells();
    for (size_t i = count; i < existing.size(); ++i) {
        existing[i]->removeFromSuperview();
    }
    for (size_t i = existing.size(); i < count; ++i) {
        auto cell = make<SJTouchButton>();
        cell->setBackgroundColor(untouchedColor());
        addSubview(cell);
    }
}

std::vector<Ref<SJTouchButton>> SJTouchView::cells() const {
    std::vector<Ref<SJTouchButton>> out;
    for (const auto& v : subviewList()) {
        if (auto cell = cast<SJTouchButton>(v)) {
            out.push_back(cell);
        }
    }
    return out;
}

size_t SJTouchView::touchedCount() const {
    size_t n = 0;
    for (const auto& c : cells()) {
        n += c->isTouched() ? 1 : 0;
    }
    return n;
}

void SJTouchView::layoutSubviews() {
    UIView::layoutSubviews();
    layoutButtons();
    drawDashedLine();
}

void SJTouchView::layoutButtons() {
    CGRect b = bounds();
    size_t rows = rowsFor(b.size.width, b.size.height);
    if (cells().size() != rows * kColumns) {
        buildCells(rows * kColumns);
    }
    double side = b.size.width / kColumns;
    auto list = cells();
    for (size_t k = 0; k < list.size(); ++k) {
        double row = static_cast<double>(k / kColumns);
        double column = static_cast<double>(k % kColumns);
        list[k]->setFrame(CGRectMake(column * side, row * side, side, side));
    }
}

void SJTouchView::drawDashedLine() {
    CGRect b = bounds();
    size_t rows = rowsFor(b.size.width, b.size.height);
    double side = rows ? b.size.width / kColumns : 0;
    auto shape = CAShapeLayer::layer();
    shape->setBounds(b);
    shape->setPosition(CGPointMake(CGRectGetMidX(b), CGRectGetMidY(b)));
    shape->setFillColor(UIColor::clearColor()->CGColor());
    shape->setStrokeColor(UIColor::whiteColor()->CGColor());
    shape->setLineWidth(1.0);
    shape->setLineJoin(kCALineJoinRound());
    shape->setLineDashPattern(NSArray::arrayWithObjects({box(2), box(3)}));
    auto path = CGPathCreateMutable();
    for (int i = 1; i < kColumns && rows; ++i) {
        CGPathMoveToPoint(path, nullptr, i * side, 0);
        CGPathAddLineToPoint(path, nullptr, i * side, static_cast<double>(rows) * side);
    }
    for (size_t i = 1; i <= rows; ++i) {
        CGPathMoveToPoint(path, nullptr, 0, static_cast<double>(i) * side);
        CGPathAddLineToPoint(path, nullptr, b.size.width, static_cast<double>(i) * side);
    }
    shape->setPath(path);
    // One layer of lines at a time: the one of the last layout.
    if (dashes_) {
        dashes_->removeFromSuperlayer();
    }
    dashes_ = shape;
    layer()->addSublayer(shape);
}

void SJTouchView::checkResultWithCGPoint(CGPoint point) {
    for (const auto& cell : cells()) {
        if (frameHolds(cell->frame(), point)) {
            cell->setBackgroundColor(touchedColor());
            cell->setIsTouched(true);
        }
    }
}

void SJTouchView::takeTouch(const Ref<NSSet>& touches) {
    auto touch = cast<UITouch>(touches ? touches->anyObject() : nullptr);
    if (!touch) {
        return;
    }
    CGPoint p = touch->locationInView(Ref<UIView>(this));
    setCurrentPoint(p);
    checkResultWithCGPoint(p);
}

void SJTouchView::touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    UIView::touchesBeganWithEvent(touches, event);
    takeTouch(touches);
}

void SJTouchView::touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    UIView::touchesMovedWithEvent(touches, event);
    takeTouch(touches);
}

void SJTouchView::touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>& event) {
    UIView::touchesEndedWithEvent(touches, event);
    takeTouch(touches);
    checkCompletion();
}

void SJTouchView::checkCompletion() {
    auto list = cells();
    if (list.empty()) {
        return; // a grid without cells has nothing to pass
    }
    for (const auto& cell : list) {
        if (!cell->isTouched()) {
            return;
        }
    }
    if (hasNotify()) {
        return;
    }
    NSLog("all Touch");
    if (onTouchView_) {
        Ref<SJTouchView> self(this);
        auto block = onTouchView_;
        block(self);
        setHasNotify(true);
    }
}

void SJTouchView::reset() {
    for (const auto& cell : cells()) {
        cell->setBackgroundColor(untouchedColor());
        cell->setIsTouched(false);
    }
    setHasNotify(false);
}
