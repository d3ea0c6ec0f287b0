#include <Diagnostics/Sensors/ProximityViewController.h>

#include "SensorLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Reactive/NSNotificationCenter+RXSupport.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/UIControl+RXSignalSupport.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(ProximityViewController, DXBaseViewController) {
    using P = ProximityViewController;
    b.property("count", &P::count, &P::setCount);
    b.property("tipLabel", &P::tipLabel, &P::setTipLabel, "weak");
    b.property("questionLabel", &P::questionLabel, &P::setQuestionLabel, "weak");
    b.property("skipButton", &P::skipButton, &P::setSkipButton, "weak");
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_sensors;
    registerLayout("ProximityViewController", {{"labelTitle", Kind::Label},
                                               {"tipLabel", Kind::Label},
                                               {"questionLabel", Kind::Label, true},
                                               {"skipButton", Kind::Button, true}});
    return true;
}();

} // namespace

void ProximityViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto label = questionLabel()) {
        label->setText(DXLocalizedString("PROXIMITY_CONTROLLER_QUESTION_LABEL"));
    }
    if (auto button = skipButton()) {
        button->setTitleForState(DXLocalizedString("RPOXIMITY_CONTROLLER_SKIP_BUTTON"), UIControlStateNormal);
    }
    setSubItemlist(dx_sensors::subItems({"Proximity Sensor"}));
    hidenButtons(true);

    Weak<ProximityViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        bool on = unbox<bool>(value);
        auto screen = UIScreen::mainScreen();
        if (on && self->brightness_ < 0) {
            self->brightness_ = screen->brightness();
        }
        UIDevice::currentDevice()->setProximityMonitoringEnabled(on);
        self->setCount(0);
        self->covered_ = false;
        if (!on && self->brightness_ >= 0) {
            screen->setBrightness(self->brightness_);
        }
    });

    showTitle();
    double limit = dx_sensors::timeLimit(info() ? info()->timeout() : 0);
    proximitySignal()
        ->timeoutOnScheduler(limit, RXScheduler::mainThreadScheduler())
        ->takeUntil(disappear())
        ->subscribeNextError(
            [weak](const id& covered) {
                if (auto self = weak.lock()) {
                    self->countState(covered);
                }
            },
            [weak](const Ref<NSError>&) {
                auto self = weak.lock();
                if (!self) {
                    return;
                }
                if (auto button = self->skipButton()) {
                    button->setHidden(false);
                }
                if (auto label = self->questionLabel()) {
                    label->setHidden(false);
                }
                self->proximitySignal()->takeUntil(self->disappear())->subscribeNext([weak](const id& covered) {
                    if (auto again = weak.lock()) {
                        again->countState(covered);
                    }
                });
            });

    if (auto button = skipButton()) {
        rx_signalForControlEvents(button, UIControlEventTouchUpInside)
            ->takeUntil(disappear())
            ->subscribeNext([weak](const id&) {
                auto self = weak.lock();
                if (!self || self->isCompleted() || !self->info()) {
                    return;
                }
                self->info()->setResult(DXTestResultFail);
                self->setIsFailedBySkip(true);
                self->gotoResultView();
            });
    }
}

Ref<RXSignal> ProximityViewController::proximitySignal() {
    return rx_addObserverForNameObject(NSNotificationCenter::defaultCenter(),
                                       UIDeviceProximityStateDidChangeNotification(), nullptr)
        ->map([](const id&) -> id {
            bool state = UIDevice::currentDevice()->proximityState();
            NSLog("state = %d", static_cast<int>(state));
            return NSNumber::numberWithBool(state);
        })
        ->deliverOnMainThread();
}

void ProximityViewController::countState(const id& value) {
    if (isCompleted()) {
        return;
    }
    if (unbox<bool>(value)) {
        covered_ = true;
        return;
    }
    // Only a return from covered counts: a sensor that goes away reads uncovered without a hand.
    if (!covered_ || !UIDevice::currentDevice()->isProximityMonitoringEnabled()) {
        return;
    }
    covered_ = false;
    setCount(count() + 1);
    showTitle();
    if (count() >= 2) {
        UIDevice::currentDevice()->setProximityMonitoringEnabled(false);
        if (info()) {
            info()->setResult(DXTestResultPass);
        }
        gotoResultView();
    }
}

void ProximityViewController::showTitle() {
    if (auto title = labelTitle()) {
        title->setText(DXLocalizedStringWithArguments("PROXIMITY_CONTROLLER_TITLE"_ns, {static_cast<long>(count())}));
    }
}
