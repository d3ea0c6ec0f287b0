// PrecisionViewController: peek and pop on the pressure-sensitive display.
#include <Diagnostics/TouchKeys/PrecisionViewController.h>
#include <Diagnostics/TouchKeys/TouchKeysSupport.h>

#include <Categorys/DXLocalizedString.h>
#include <Dispatch/DispatchQueue.h>
#include <Dispatch/DispatchTime.h>
#include <Foundation/NSNumber.h>
#include <Reactive/RXScheduler.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSString+NSStringDrawing.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UITouch.h>
#include <UIKit/UITraitCollection.h>

#include <cstdlib>

NS_IMPLEMENT_CLASS(PrecisionTouchView, UIView) {}

NS_IMPLEMENT_CLASS(PrecisionViewController, DXBaseViewController) {
    using P = PrecisionViewController;
    b.method("no:", &P::no);
    b.method("done:", &P::done);
    b.method("previewingContext:viewControllerForLocation:", &P::previewingContextViewControllerForLocation);
    b.method("previewingContext:commitViewController:", &P::previewingContextCommitViewController);
}

namespace {

bool systemFrom(double version) {
    auto text = UIDevice::currentDevice()->systemVersion();
    return text && std::strtod(text->UTF8String(), nullptr) >= version;
}

} // namespace

// MARK: - The force list

PrecisionTouchView::PrecisionTouchView(CGRect frame) : UIView(frame) {
    setBackgroundColor(UIColor::blackColor());
    auto list = make<UITextView>(CGRectMake(0, 26, 80, 200));
    list->setShowsVerticalScrollIndicator(false);
    list->setShowsHorizontalScrollIndicator(false);
    list->setEditable(false);
    list->setUserInteractionEnabled(false);
    list->setBackgroundColor(UIColor::clearColor());
    list->setTextColor(UIColor::whiteColor());
    list->setFont(UIFont::systemFontOfSize(12));
    addSubview(list);
    setValueList(list);
}

Ref<PrecisionTouchView> PrecisionTouchView::touchViewOnCompleted(CGRect frame, Block block) {
    auto view = make<PrecisionTouchView>(frame);
    view->onCompleted = std::move(block);
    return view;
}

void PrecisionTouchView::touchesBeganWithEvent(const Ref<NSSet>& touches, const Ref<UIEvent>&) {
    auto touch = cast<UITouch>(touches ? touches->anyObject() : nullptr);
    if (!touch) {
        return;
    }
    setCurrentPoint(touch->locationInView(Ref<UIView>(this)));
    setCurrentForce(touch->force());
    auto text = valueList()->text() ? valueList()->text()->str() : std::string();
    valueList()->setText(NSString::from(text + NSString::stringWithFormat("%f\n", currentForce())->str()));
    // The newest force stays in sight.
    valueList()->scrollRangeToVisible(NSMakeRange(valueList()->text()->length(), 0));
    setNeedsDisplay();
    if (currentForce() != 0) {
        setSuccessed(true);
    }
    if (count() == 9) {
        if (onCompleted) {
            onCompleted(Ref<PrecisionTouchView>(this), successed());
        }
    } else {
        setCount(count() + 1);
    }
}

void PrecisionTouchView::drawRect(CGRect) {
    CGPoint p = currentPoint();
    auto context = UIGraphicsGetCurrentContext();
    if ((p.x == 0 && p.y == 0) || !context) {
        return;
    }
    CGContextSetStrokeColorWithColor(context, UIColor::greenColor()->CGColor());
    CGContextSetLineWidth(context, 2.0);
    CGContextStrokeEllipseInRect(context, CGRectMake(p.x - 60, p.y - 60, 120, 120));
    CGRect b = bounds();
    double dx = p.x < b.size.width / 2 ? 50 : -100;
    double dy = p.y < b.size.height / 2 ? 50 : -60;
    auto attributes = NSDictionary::dictionaryWithObjectsForKeys(
        NSArray::arrayWithObjects({UIFont::systemFontOfSize(12), UIColor::whiteColor()}),
        NSArray::arrayWithObjects({NSFontAttributeName(), NSForegroundColorAttributeName()}));
    drawAtPointWithAttributes(NSString::stringWithFormat("%f", currentForce()), CGPointMake(p.x + dx, p.y + dy),
                              attributes);
}

// MARK: - The screen

void PrecisionViewController::viewDidLoad() {
    DXBaseViewController::viewDidLoad();
    CGSize s = UIScreen::mainScreen()->bounds().size;
    setImageView(make<UIImageView>(CGRectMake(s.width / 2 - 100, s.height / 2 - 150, 200, 200)));
    imageView()->setBackgroundColor(UIColor::lightGrayColor());
    view()->addSubview(imageView());
    setTipLabel(make<UILabel>(CGRectMake(20, 100, s.width - 40, 60)));
    tipLabel()->setNumberOfLines(0);
    tipLabel()->setTextAlignment(NSTextAlignmentCenter);
    view()->addSubview(tipLabel());
    setOnButton(UIButton::buttonWithType(UIButtonTypeSystem));
    onButton()->setFrame(CGRectMake(s.width / 2 - 60, s.height - 140, 120, 44));
    onButton()->addTargetActionForControlEvents(Ref<NSObject>(this), "no:", UIControlEventTouchUpInside);
    view()->addSubview(onButton());

    tipLabel()->setText(DXLocalizedString("TOUCH3D_TIP_LABEL"));
    onButton()->setTitleForState(DXLocalizedString("BASETEST_CONTROLLER_NO"), UIControlStateNormal);
    hidenButtons(true);
    setDetailViewController(make<DetailViewController>());
    setSubject(RXSubject::subject());

    double limit = dx_touchkeys::timeLimit(info() ? info()->timeout() : 0);
    Weak<PrecisionViewController> weak(this);
    limit_ = subject()
                 ->timeoutOnScheduler(limit, RXScheduler::mainThreadScheduler())
                 ->subscribeError([weak](const Ref<NSError>&) {
                     auto self = weak.lock();
                     if (!self || self->isCompleted() || !self->info()) {
                         return;
                     }
                     self->info()->setResult(DXTestResultTimeout);
                     self->gotoResultView();
                 });
    // Leaving the screen (not for the popped screen) ends the limit.
    disappear()->subscribeNext([weak](const id&) {
        auto self = weak.lock();
        if (self && !self->popped_ && self->limit_) {
            self->limit_->dispose();
        }
    });
}

void PrecisionViewController::viewDidAppear(bool animated) {
    DXBaseViewController::viewDidAppear(animated);
    if (!systemFrom(9.0)) {
        return;
    }
    if (hasRegisterPreview()) {
        if (popped_ && !isCompleted() && info()) {
            info()->setResult(DXTestResultPass);
            gotoResultView();
        }
        return;
    }
    if (traitCollection()->forceTouchCapability() == UIForceTouchCapabilityAvailable) {
        registerForPreviewingWithDelegateSourceView(Ref<NSObject>(this), view());
        setHasRegisterPreview(true);
    }
}

id PrecisionViewController::previewingContextViewControllerForLocation(const id& context, const id&) {
    auto detail = detailViewController();
    if (!detail || popped_ || isCompleted()) {
        return nullptr;
    }
    detail->setPreferredContentSize(CGSizeMake(0, 480));
    if (auto previewing = cast<UIViewControllerPreviewing>(context); previewing && systemFrom(9.0)) {
        previewing->setSourceRect(imageView()->frame());
    }
    return detail;
}

void PrecisionViewController::previewingContextCommitViewController(const id&, const id& controller) {
    auto committed = cast<UIViewController>(controller);
    if (!committed || popped_ || isCompleted()) {
        return;
    }
    popped_ = true;
    subject()->sendCompleted();
    if (auto label = detailViewController()->percentLabel()) {
        label->setText(DetailViewController::precisionText(100));
    }
    Weak<UIViewController> weakCommitted(committed);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(NSEC_PER_SEC)), dispatch_get_main_queue(),
                   [weakCommitted] {
                       if (auto shown = weakCommitted.lock()) {
                           shown->dismissViewControllerAnimatedCompletion(false);
                       }
                   });
    committed->setModalPresentationStyle(UIModalPresentationFullScreen);
    presentViewControllerAnimatedCompletion(committed, true);
}

void PrecisionViewController::no(const id&) {
    if (isCompleted() || !info()) {
        return;
    }
    info()->setResult(DXTestResultFail);
    gotoResultView();
}

void PrecisionViewController::done(const id&) {
    Weak<PrecisionViewController> weak(this);
    detailViewController()->dismissViewControllerAnimatedCompletion(true, [weak] {
        auto self = weak.lock();
        if (!self || self->isCompleted() || !self->info()) {
            return;
        }
        self->info()->setResult(DXTestResultPass);
        self->gotoResultView();
    });
}
