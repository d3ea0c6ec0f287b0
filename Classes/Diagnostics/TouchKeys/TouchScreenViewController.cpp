// The touch screen tests: the grid, the border canvas, and the two of them in turn.
#include <Diagnostics/TouchKeys/TouchKeysSupport.h>
#include <Diagnostics/TouchKeys/TouchScreenViewController.h>

#include <Foundation/NSError.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/UIControl+RXSignalSupport.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIColor.h>
#include <UIKit/UIGeometry.h>
#include <UIKit/UIScreen.h>

#include <cmath>

NS_IMPLEMENT_CLASS(TouchScreenViewController, DXBaseViewController) {}
NS_IMPLEMENT_CLASS(XTouchViewController, DXBaseViewController) {}
NS_IMPLEMENT_CLASS(TPViewController, DXBaseViewController) {}

CGRect dx_canvasFrame(CGRect rect) {
    if (dx_touchkeys::isTallScreen()) {
        return CGRectMake(rect.origin.x, rect.origin.y + 30, rect.size.width, rect.size.height - 40);
    }
    return rect;
}

double dx_panelHeight() {
    CGSize s = UIScreen::mainScreen()->bounds().size;
    long height = static_cast<long>(std::trunc(s.height));
    long side = static_cast<long>(std::trunc(s.width / 5));
    return side > 0 ? static_cast<double>(height % side) : 0;
}

namespace {

// A white panel across the strip below the grid, with Skip in its middle.
Ref<UIView> makePanel(const Ref<UIButton>& skip) {
    CGSize s = UIScreen::mainScreen()->bounds().size;
    double r = dx_panelHeight();
    auto panel = make<UIView>(CGRectMake(0, s.height - r, s.width, r));
    panel->setBackgroundColor(UIColor::whiteColor());
    skip->setFrame(CGRectMake((s.width - 100) / 2, (r - 40) / 2, 100, 40));
    panel->addSubview(skip);
    return panel;
}

// Places a Skip button centred across the view, its bottom `above` points over the view's bottom.
void placeSkip(const Ref<UIView>& view, const Ref<UIButton>& skip, double above) {
    CGRect b = view->bounds();
    skip->setFrame(CGRectMake((b.size.width - 100) / 2, b.size.height - above - 40, 100, 40));
}

Ref<NSError> skipError() {
    return NSError::errorWithDomainCodeUserInfo("skip"_ns, 100, nullptr);
}

void setStatusBarHidden(bool hidden) {
    UIApplication::sharedApplication()->setStatusBarHidden(hidden);
}

} // namespace

// MARK: - The grid

void TouchScreenViewController::viewDidLoad() {
    DXBaseViewController::viewDidLoad();
    setSubItemlist(dx_touchkeys::subItems({"Touch screen"}));
    Weak<TouchScreenViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        bool v = unbox<bool>(value);
        self->hideHeaderView(v);
        setStatusBarHidden(v);
        self->hidenButtons(v);
    });

    setTouchView(SJTouchView::touchViewOnAllTouch(view()->bounds(), [weak](const Ref<SJTouchView>&) {
        auto self = weak.lock();
        if (!self || self->isCompleted() || !self->info()) {
            return;
        }
        self->info()->setResult(DXTestResultPass);
        self->gotoResultView();
    }));
    view()->addSubview(touchView());

    setSkipButton(dx_touchkeys::makeSkipButton());
    setPanelView(makePanel(skipButton()));
    view()->addSubview(panelView());
    rx_signalForControlEvents(skipButton(), UIControlEventTouchUpInside)->subscribeNext([weak](const id&) {
        auto self = weak.lock();
        if (!self || self->isCompleted() || !self->info()) {
            return;
        }
        self->info()->setResult(DXTestResultFail);
        self->setIsFailedBySkip(true);
        self->gotoResultView();
    });
}

void TouchScreenViewController::viewDidLayoutSubviews() {
    DXBaseViewController::viewDidLayoutSubviews();
    NSLog("viewDidLayoutSubviews");
    if (touchView()) {
        touchView()->setFrame(view()->frame());
    }
}

// MARK: - The canvas

void XTouchViewController::viewDidLoad() {
    DXBaseViewController::viewDidLoad();
    Weak<XTouchViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        bool v = unbox<bool>(value);
        setStatusBarHidden(v);
        if (auto header = self->headerView()) {
            header->setHidden(v);
        }
    });
    hidenButtons(true);

    setTouchView(XCanvas::touchViewOnAllTouch(dx_canvasFrame(view()->bounds()), [weak](const Ref<XCanvas>&) {
        auto self = weak.lock();
        if (!self || self->isCompleted() || !self->info()) {
            return;
        }
        self->info()->setResult(DXTestResultPass);
        self->gotoResultView();
    }));
    view()->addSubview(touchView());

    setSkipButton(dx_touchkeys::makeSkipButton());
    placeSkip(view(), skipButton(), 90);
    view()->addSubview(skipButton());
    rx_signalForControlEvents(skipButton(), UIControlEventTouchUpInside)->subscribeNext([weak](const id&) {
        auto self = weak.lock();
        if (!self || self->isCompleted() || !self->info()) {
            return;
        }
        self->info()->setResult(DXTestResultFail);
        self->setIsFailedBySkip(true);
        self->gotoResultView();
    });
}

void XTouchViewController::viewDidLayoutSubviews() {
    DXBaseViewController::viewDidLayoutSubviews();
    NSLog("%@", NSStringFromCGRect(view()->bounds()));
    if (touchView()) {
        touchView()->setFrame(dx_canvasFrame(view()->bounds()));
    }
    if (skipButton()) {
        placeSkip(view(), skipButton(), 90);
    }
}

// MARK: - The panel: grid, then canvas

void TPViewController::viewDidLoad() {
    DXBaseViewController::viewDidLoad();
    setSubItemlist(dx_touchkeys::subItems({"Touch screen"}));
    setSubject(RXSubject::subject());
    setSubject2(RXSubject::subject());
    Weak<TPViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        bool v = unbox<bool>(value);
        setStatusBarHidden(v);
        self->hidenButtons(v);
        if (auto header = self->headerView()) {
            header->setHidden(v);
        }
    });

    setTouchView(SJTouchView::touchViewOnAllTouch(view()->bounds(), [weak](const Ref<SJTouchView>&) {
        if (auto self = weak.lock()) {
            self->subject()->sendCompleted();
        }
    }));
    view()->addSubview(touchView());
    setGridSkipButton(dx_touchkeys::makeSkipButton());
    setPanelView(makePanel(gridSkipButton()));
    view()->addSubview(panelView());
    rx_signalForControlEvents(gridSkipButton(), UIControlEventTouchUpInside)->subscribeNext([weak](const id&) {
        if (auto self = weak.lock()) {
            self->setIsFailedBySkip(true);
            self->subject()->sendError(skipError());
        }
    });

    setXView(XCanvas::touchViewOnAllTouch(dx_canvasFrame(view()->bounds()), [weak](const Ref<XCanvas>&) {
        if (auto self = weak.lock()) {
            self->subject2()->sendCompleted();
        }
    }));
    xView()->setHidden(true);
    view()->addSubview(xView());
    setSkipButton(dx_touchkeys::makeSkipButton());
    placeSkip(view(), skipButton(), 80);
    skipButton()->setHidden(true);
    view()->addSubview(skipButton());
    rx_signalForControlEvents(skipButton(), UIControlEventTouchUpInside)->subscribeNext([weak](const id&) {
        if (auto self = weak.lock()) {
            self->setIsFailedBySkip(true);
            self->subject2()->sendError(skipError());
        }
    });

    watchPhase(subject(), false);
}

void TPViewController::watchPhase(const Ref<RXSubject>& phase, bool last) {
    double limit = dx_touchkeys::timeLimit(info() ? info()->timeout() : 0);
    Weak<TPViewController> weak(this);
    // Each phase's limit ends with the screen, so a screen that has gone sets nothing later (cut, not
    // completed: a completion is the phase's pass).
    auto watching =
        phase->timeoutOnScheduler(limit, RXScheduler::mainThreadScheduler())
            ->subscribeErrorCompleted(
                [weak](const Ref<NSError>& error) {
                    auto self = weak.lock();
                    if (!self || self->isCompleted() || !self->info()) {
                        return;
                    }
                    self->info()->setResult(error && error->code() == 100 ? DXTestResultFail : DXTestResultTimeout);
                    self->gotoResultView();
                },
                [weak, last] {
                    auto self = weak.lock();
                    if (!self || self->isCompleted() || !self->info()) {
                        return;
                    }
                    if (last) {
                        self->info()->setResult(DXTestResultPass);
                        self->gotoResultView();
                        return;
                    }
                    self->touchView()->setHidden(true);
                    self->panelView()->setHidden(true);
                    self->xView()->setHidden(false);
                    self->skipButton()->setHidden(false);
                    self->watchPhase(self->subject2(), true);
                });
    disappear()->take(1)->subscribeNext([watching](const id&) { watching->dispose(); });
}

void TPViewController::viewDidLayoutSubviews() {
    DXBaseViewController::viewDidLayoutSubviews();
    if (touchView()) {
        touchView()->setFrame(view()->frame());
    }
    if (xView()) {
        xView()->setFrame(dx_canvasFrame(view()->frame()));
    }
    if (skipButton()) {
        placeSkip(view(), skipButton(), 80);
    }
}
