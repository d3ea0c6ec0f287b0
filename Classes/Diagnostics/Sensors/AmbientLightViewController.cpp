#include <Diagnostics/Sensors/AmbientLightViewController.h>

#include "SensorLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Foundation/NSNotificationCenter.h>
#include <Reactive/NSNotificationCenter+RXSupport.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/UIControl+RXSignalSupport.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>

NS_IMPLEMENT_CLASS(AmbientLightViewController, DXBaseViewController) {
    using A = AmbientLightViewController;
    b.property("tipLabel", &A::tipLabel, &A::setTipLabel, "weak");
    b.property("coverCountLabel", &A::coverCountLabel, &A::setCoverCountLabel, "weak");
    b.property("birghtnessTitleLabel", &A::birghtnessTitleLabel, &A::setBirghtnessTitleLabel, "weak");
    b.property("birghtnessValueLabel", &A::birghtnessValueLabel, &A::setBirghtnessValueLabel, "weak");
    b.property("imageView", &A::imageView, &A::setImageView, "weak");
    b.property("noButton", &A::noButton, &A::setNoButton, "weak");
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_sensors;
    registerLayout("AmbientLightViewController", {{"labelTitle", Kind::Label},
                                                  {"coverCountLabel", Kind::Label},
                                                  {"imageView", Kind::Image},
                                                  {"birghtnessTitleLabel", Kind::Label},
                                                  {"birghtnessValueLabel", Kind::Label},
                                                  {"tipLabel", Kind::Label, true},
                                                  {"noButton", Kind::Button, true}});
    return true;
}();

} // namespace

void AmbientLightViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    auto model = UIDevice::currentDevice()->model();
    bool tablet = model && (model->hasPrefix("iPad"_ns) || model->hasPrefix("iPod"_ns));
    if (auto title = labelTitle()) {
        title->setText(DXLocalizedString(tablet ? "AMBIENT_LIGHT_CONTROLLER_TITLE" : "AMBIENT_SENSOR_TITLE"));
    }
    if (tablet) {
        if (auto label = coverCountLabel()) {
            label->setHidden(true);
        }
        if (auto image = imageView()) {
            image->setHidden(true);
        }
        if (auto tip = tipLabel()) {
            tip->setHidden(false);
        }
    }
    if (auto label = birghtnessTitleLabel()) {
        label->setText(DXLocalizedString("AMBIENT_SENSOR_BIRGHT_LABEL"));
    }
    if (auto tip = tipLabel()) {
        tip->setText(DXLocalizedString("AMBIENT_SENSOR_QUESTION"));
    }
    showBrightness();
    hidenButtons(true);

    double limit = dx_sensors::timeLimit(info() ? info()->timeout() : 0);
    auto scheduler = RXScheduler::mainThreadScheduler();
    auto center = NSNotificationCenter::defaultCenter();
    Ref<RXSignal> gone = disappear();
    Weak<AmbientLightViewController> weak(this);
    auto brightness = rx_addObserverForNameObject(center, UIScreenBrightnessDidChangeNotification(), nullptr);

    if (!tablet) {
        UIDevice::currentDevice()->setProximityMonitoringEnabled(true);
        brightness->takeUntil(gone)->subscribeNext([weak](const id&) {
            if (auto self = weak.lock()) {
                self->showBrightness();
            }
        });
        auto covered = std::make_shared<bool>(false);
        rx_addObserverForNameObject(center, UIDeviceProximityStateDidChangeNotification(), nullptr)
            ->map([](const id&) -> id { return NSNumber::numberWithBool(UIDevice::currentDevice()->proximityState()); })
            ->deliverOnMainThread()
            ->timeoutOnScheduler(limit, scheduler)
            ->takeUntil(gone)
            ->subscribeNextError(
                [weak, covered](const id& value) {
                    auto self = weak.lock();
                    if (!self || self->isCompleted()) {
                        return;
                    }
                    if (unbox<bool>(value)) {
                        *covered = true;
                        return;
                    }
                    if (!*covered) {
                        return; // uncovered without a cover first: the sensor went away
                    }
                    if (auto label = self->coverCountLabel()) {
                        label->setText("(1:1)"_ns);
                    }
                    if (auto image = self->imageView()) {
                        image->setImage(UIImage::imageNamed("light_on"_ns));
                    }
                    self->finish(DXTestResultPass);
                },
                [weak](const Ref<NSError>&) {
                    auto self = weak.lock();
                    if (!self || self->isCompleted()) {
                        return;
                    }
                    if (auto tip = self->tipLabel()) {
                        tip->setHidden(false);
                    }
                    self->hidenButtons(false);
                });
        choose()->takeUntil(gone)->subscribeNext([weak](const id& value) {
            if (auto self = weak.lock()) {
                self->finish(unbox<bool>(value) ? DXTestResultPass : DXTestResultFail);
            }
        });
        return;
    }

    auto changed = [weak](const id&) {
        if (auto self = weak.lock(); self && !self->isCompleted()) {
            self->showBrightness();
            self->passLater();
        }
    };
    brightness->timeoutOnScheduler(limit, scheduler)
        ->takeUntil(gone)
        ->subscribeNextError(changed, [weak, brightness, gone, changed](const Ref<NSError>&) {
            auto self = weak.lock();
            if (!self || self->isCompleted()) {
                return;
            }
            if (auto no = self->noButton()) {
                no->setHidden(false);
            }
            brightness->takeUntil(gone)->subscribeNext(changed);
        });
    if (auto no = noButton()) {
        no->setTitleForState("No"_ns, UIControlStateNormal);
        rx_signalForControlEvents(no, UIControlEventTouchUpInside)->takeUntil(gone)->subscribeNext([weak](const id&) {
            if (auto self = weak.lock()) {
                self->finish(DXTestResultFail);
            }
        });
    }
}

void AmbientLightViewController::passLater() {
    Weak<AmbientLightViewController> weak(this);
    RXScheduler::mainThreadScheduler()->afterDelaySchedule(1.0, [weak] {
        if (auto self = weak.lock()) {
            self->finish(DXTestResultPass);
        }
    });
}

void AmbientLightViewController::finish(NSInteger result) {
    if (isCompleted() || gone_ || !info()) {
        return;
    }
    info()->setResult(result);
    gotoResultView();
}

void AmbientLightViewController::showBrightness() {
    if (auto label = birghtnessValueLabel()) {
        label->setText(NSString::stringWithFormat(" %f", static_cast<double>(UIScreen::mainScreen()->brightness())));
    }
}

void AmbientLightViewController::viewWillDisappear(bool animated) {
    DXBaseViewController::viewWillDisappear(animated);
    gone_ = true;
    UIDevice::currentDevice()->setProximityMonitoringEnabled(false);
}
