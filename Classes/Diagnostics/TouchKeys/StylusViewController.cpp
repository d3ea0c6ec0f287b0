// StylusViewController: the arrow that walks the corners and the centre.
#include <Diagnostics/TouchKeys/StylusViewController.h>
#include <Diagnostics/TouchKeys/TouchKeysSupport.h>

#include <Foundation/NSLog.h>
#include <Foundation/NSNumber.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIGeometry.h>
#include <UIKit/UIImage.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(StylusViewController, DXBaseViewController) {
    b.method("tapped:", &StylusViewController::tapped);
    b.property("count", &StylusViewController::count, &StylusViewController::setCount);
}

void StylusViewController::viewDidLoad() {
    DXBaseViewController::viewDidLoad();
    setSubItemlist(dx_touchkeys::subItems({"Touch screen"}));
    Weak<StylusViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        if (auto self = weak.lock(); self && unbox<bool>(value)) {
            self->hidenButtons(true);
        }
    });
    // Under the top bar only: the left, bottom and right edges (2, 4, 8) extend, the top (1) not.
    setEdgesForExtendedLayout(2 | 4 | 8);

    auto arrow = UIButton::buttonWithType(UIButtonTypeCustom);
    arrow->setImageForState(UIImage::imageNamed("icon_arrow_n"_ns), UIControlStateNormal);
    arrow->setImageForState(UIImage::imageNamed("icon_arrow_h"_ns), UIControlStateHighlighted);
    arrow->setFrame(CGRectMake(4, 4, 32, 32));
    arrow->addTargetActionForControlEvents(Ref<NSObject>(this), "tapped:", UIControlEventTouchUpInside);
    view()->addSubview(arrow);
    setButton(arrow);
    NSLog("%@", NSStringFromCGRect(view()->bounds()));

    CGSize s = UIScreen::mainScreen()->bounds().size;
    double w = s.width, h = s.height;
    setPoints(NSArray::arrayWithObjects({NSValue::valueWithValue(CGPointMake(w - 20, 21)),
                                         NSValue::valueWithValue(CGPointMake(20, h - 64 - 16)),
                                         NSValue::valueWithValue(CGPointMake(w - 20, h - 64 - 16)),
                                         NSValue::valueWithValue(CGPointMake(w / 2, h / 2 - 32))}));
}

void StylusViewController::tapped(const id&) {
    if (isCompleted()) {
        return;
    }
    if (count() < 4) {
        auto value = cast<NSValue>(points()->objectAtIndex(static_cast<NSUInteger>(count())));
        CGPoint next = CGPointZero;
        if (value) {
            (void)value->getValue(next);
        }
        UIView::beginAnimationsContext("move"_ns, nullptr);
        UIView::setAnimationDuration(0.5);
        UIView::setAnimationDelegate(Ref<NSObject>(this));
        button()->setCenter(next);
        UIView::commitAnimations();
        setCount(count() + 1);
        return;
    }
    button()->setHidden(true);
    // The navigation bar stays as the run keeps it: shown here, it would push the next screens down
    // by its height, their lowest buttons off the glass.
    if (info()) {
        info()->setResult(DXTestResultPass);
    }
    dx_touchkeys::markSubItem(subItemlist(), 0, 1);
    gotoResultView();
}
