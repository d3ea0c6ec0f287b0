// XCanvas, its targets and its drawing overlay: the touch border canvas.
#include <Diagnostics/TouchKeys/XCanvas.h>

#include <Runtime/ClassBuilder.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UITouch.h>

#include <cmath>

NS_IMPLEMENT_CLASS(XItem, UIButton) {
    b.property("isTouched", &XItem::isTouched, &XItem::setIsTouched);
}

XItem::XItem() : XItem(CGRectZero) {}

XItem::XItem(CGRect frame) : UIButton(UIButtonTypeCustom, frame) {
    setUserInteractionEnabled(false);
}

NS_IMPLEMENT_CLASS(XMaskView, UIView) {}

Ref<XMaskView> XMaskView::maskViewWithFrameWillDrawBlock(CGRect frame, DrawBlock block) {
    auto view = make<XMaskView>(frame);
    view->setBackgroundColor(UIColor::clearColor());
    view->setUserInteractionEnabled(false);
    view->drawBlock = std::move(block);
    return view;
}

void XMaskView::drawRect(CGRect) {
    auto context = UIGraphicsGetCurrentContext();
    if (drawBlock && context) {
        drawBlock(Ref<XMaskView>(this), context);
    }
}

NS_IMPLEMENT_CLASS(XCanvas, UIView) {
    b.property("hasNotify", &XCanvas::hasNotify, &XCanvas::setHasNotify);
}

namespace {

constexpr int kAcross = 13;

Ref<UIColor> untouched() {
    return UIColor::colorWithRedGreenBlueAlpha(74.0 / 255, 144.0 / 255, 226.0 / 255, 1.0);
}

bool frameHolds(CGRect r, CGPoint p) {
    return p.x >= CGRectGetMinX(r) && p.x <= CGRectGetMaxX(r) && p.y >= CGRectGetMinY(r) && p.y <= CGRectGetMaxY(r);
}

CGPoint midpoint(CGPoint a, CGPoint b) {
    return CGPointMake((a.x + b.x) / 2, (a.y + b.y) / 2);
}

} // namespace

double XCanvas::usableHeight(double width, double height) {
    bool tall = (width == 375 && height == 812) || (width == 414 && height == 896);
    return tall ? height - 44 : height;
}

XCanvas::XCanvas(CGRect frame) : UIView(frame), path_(CGPathCreateMutable()) {
    CGRect screen = UIScreen::mainScreen()->bounds();
    setScreenHeight(usableHeight(screen.size.width, screen.size.height));
    setBackgroundColor(UIColor::whiteColor());
    createBorderItem();
    addSubview(maskView());
}

Ref<XCanvas> XCanvas::touchViewOnAllTouch(CGRect frame, Block block) {
    auto canvas = make<XCanvas>(frame);
    canvas->setOnTouchView(std::move(block));
    return canvas;
}

Ref<XMaskView> XCanvas::maskView() {
    if (!maskView_) {
        CGRect screen = UIScreen::mainScreen()->bounds();
        Weak<XCanvas> weak(Ref<XCanvas>(this));
        maskView_ = XMaskView::maskViewWithFrameWillDrawBlock(
            CGRectMake(0, 0, std::floor(screen.size.width), std::floor(screenHeight())),
            [weak](const Ref<XMaskView>&, const CGContextRef& context) {
                auto canvas = weak.lock();
                if (!canvas) {
                    return;
                }
                CGContextSetStrokeColorWithColor(context, UIColor::blackColor()->CGColor());
                CGContextSetLineWidth(context, 2.0);
                CGContextSetLineCap(context, kCGLineCapRound);
                CGContextAddPath(context, canvas->path());
                CGContextStrokePath(context);
            });
    }
    return maskView_;
}

void XCanvas::layoutSubviews() {
    UIView::layoutSubviews();
    maskView()->setFrame(bounds());
}

Ref<XItem> XCanvas::buildItemWithCGRect(CGRect rect) {
    auto item = make<XItem>(rect);
    item->setBackgroundColor(untouched());
    item->layer()->setCornerRadius(5.0);
    item->layer()->setBorderWidth(1.0);
    item->layer()->setBorderColor(UIColor::blackColor()->CGColor());
    return item;
}

void XCanvas::createBorderItem() {
    double width = UIScreen::mainScreen()->bounds().size.width;
    if (!(width > 0)) {
        return;
    }
    double s = width / kAcross;
    auto add = [&](double x, double y) { addSubview(buildItemWithCGRect(CGRectMake(x, y, s, s))); };
    for (int i = 0; i < kAcross; ++i) {
        add(i * s, 0);
    }
    long n = static_cast<long>(std::trunc(screenHeight() / s));
    if (n >= 3) {
        for (long k = 1; k <= n - 2; ++k) {
            add(12 * s, static_cast<double>(k) * s);
        }
    }
    double bottom = n >= 3 ? static_cast<double>(n - 1) * s : s;
    for (int i = 0; i < kAcross; ++i) {
        add(i * s, bottom);
    }
    if (n >= 3) {
        for (long k = 1; k <= n - 2; ++k) {
            add(0, static_cast<double>(k) * s);
        }
    }
    if (n >= 4) {
        double d = width / static_cast<double>(n);
        for (long k = 1; k <= n - 3; ++k) {
            add(static_cast<double>(k) * d, static_cast<double>(k) * s);
        }
        for (long k = 1; k <= n - 3; ++k) {
            add(width - s - static_cast<double>(k) * d, static_cast<double>(k) * s);
        }
    }
}

std::vector<Ref<XItem>> XCanvas::items() const {
    std::vector<Ref<XItem>> out;
    for (const auto& v : subviewList()) {
        if (auto item = cast<XItem>(v)) {
            out.push_back(item);
        }
    }
    return out;
}

size_t XCanvas::touchedCount() const {
    size_t n = 0;
    for (const auto& i : items()) {
        n += i->isTouched() ? 1 : 0;
    }
    return n;
}

void XCanvas::checkResultWithCGPoint(CGPoint point) {
    for (const auto& item : items()) {
        if (frameHolds(item->frame(), point)) {
            item->setBackgroundColor(UIColor::greenColor());
            item->setIsTouched(true);
        }
    }
}

void XCanvas::touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) {
    auto touch = cast<UITouch>(touches ? touches->anyObject() : nullptr);
    if (!touch) {
        return;
    }
    Ref<UIView> self(this);
    CGPoint previous = touch->previousLocationInView(self);
    setPreviousPoint(previous);
    setPreviousPreviousPoint(previous);
    CGPoint p = touch->locationInView(self);
    setCurrentPoint(p);
    checkResultWithCGPoint(p);
}

void XCanvas::touchesMovedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) {
    auto touch = cast<UITouch>(touches ? touches->anyObject() : nullptr);
    if (!touch) {
        return;
    }
    Ref<UIView> self(this);
    CGPoint p = touch->locationInView(self);
    checkResultWithCGPoint(p);
    double dx = p.x - currentPoint().x, dy = p.y - currentPoint().y;
    if (!(dx * dx + dy * dy >= 25)) {
        return; // closer than 5 points (or not a number): no segment
    }
    setPreviousPreviousPoint(previousPoint());
    setPreviousPoint(touch->previousLocationInView(self));
    setCurrentPoint(p);
    CGPoint from = midpoint(previousPoint(), previousPreviousPoint());
    CGPoint to = midpoint(currentPoint(), previousPoint());
    auto segment = CGPathCreateMutable();
    CGPathMoveToPoint(segment, nullptr, from.x, from.y);
    CGPathAddQuadCurveToPoint(segment, nullptr, previousPoint().x, previousPoint().y, to.x, to.y);
    CGPathAddPath(path_, nullptr, segment);
    CGRect box = CGPathGetBoundingBox(segment);
    maskView()->setNeedsDisplayInRect(CGRectInset(box, -10, -10));
}

void XCanvas::touchesEndedWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) {
    auto touch = cast<UITouch>(touches ? touches->anyObject() : nullptr);
    if (touch) {
        checkResultWithCGPoint(touch->locationInView(Ref<UIView>(this)));
    }
    auto list = items();
    if (list.empty()) {
        return;
    }
    for (const auto& item : list) {
        if (!item->isTouched()) {
            return;
        }
    }
    if (!hasNotify() && onTouchView_) {
        auto block = onTouchView_;
        block(Ref<XCanvas>(this));
        setHasNotify(true);
    }
}
