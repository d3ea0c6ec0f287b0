#include <Diagnostics/Sensors/BarometerViewController.h>

#include "SensorLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Foundation/NSLog.h>
#include <Reactive/RXScheduler.h>
#include <Runtime/ClassBuilder.h>

#include <cmath>

NS_IMPLEMENT_CLASS(BarometerViewController, DXBaseViewController) {
    using B = BarometerViewController;
    b.property("pressureLabel", &B::pressureLabel, &B::setPressureLabel, "weak");
    b.property("altitudeLabel", &B::altitudeLabel, &B::setAltitudeLabel, "weak");
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_sensors;
    registerLayout("BarometerViewController",
                   {{"labelTitle", Kind::Label}, {"pressureLabel", Kind::Label}, {"altitudeLabel", Kind::Label}});
    return true;
}();

void show(const Ref<UILabel>& label, const char* format, double value) {
    if (label) {
        label->setText(DXLocalizedStringWithArguments(NSString::from(format), {value}));
    }
}

} // namespace

void BarometerViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto title = labelTitle()) {
        title->setText(DXLocalizedString("BAROMETER_CONTROLLER_TITLE"));
    }
    show(pressureLabel(), "BAROMETER_CONTROLLER_PRESSURE", 0.0);
    show(altitudeLabel(), "BAROMETER_CONTROLLER_ALTITUDE", 0.0);
    hidenButtons(true);
    setEvent(RXSubject::subject());

    setAltimeter(make<CMAltimeter>());
    Weak<BarometerViewController> weak(this);
    altimeter_->startRelativeAltitudeUpdatesToQueueWithHandler(
        NSOperationQueue::mainQueue(), [weak](const Ref<CMAltitudeData>& data, const Ref<NSError>& error) {
            auto self = weak.lock();
            if (!self || error || !data || !data->pressure() || !data->relativeAltitude()) {
                return;
            }
            float pressure = data->pressure()->floatValue();
            float altitude = data->relativeAltitude()->floatValue();
            if (!std::isfinite(pressure) || !(pressure > 0) || !std::isfinite(altitude)) {
                return; // not a reading
            }
            show(self->pressureLabel(), "BAROMETER_CONTROLLER_PRESSURE", pressure * 10.0);
            show(self->altitudeLabel(), "BAROMETER_CONTROLLER_ALTITUDE", static_cast<double>(altitude));
            self->event()->sendCompleted();
        });

    double limit = dx_sensors::timeLimit(info() ? info()->timeout() : 0);
    event_->timeoutOnScheduler(limit, RXScheduler::mainThreadScheduler())
        ->delay(3.0)
        ->takeUntil(disappear())
        ->subscribeErrorCompleted(
            [weak](const Ref<NSError>&) {
                if (auto self = weak.lock(); self && self->info()) {
                    self->info()->setResult(DXTestResultFail);
                    self->gotoResultView();
                }
            },
            [weak] {
                // The screen going away also ends the wait; only a reading passes.
                if (auto self = weak.lock(); self && self->info() && !self->gone_) {
                    self->info()->setResult(DXTestResultPass);
                    self->gotoResultView();
                }
            });
}

void BarometerViewController::viewWillDisappear(bool animated) {
    DXBaseViewController::viewWillDisappear(animated);
    gone_ = true;
    if (altimeter_) {
        altimeter_->stopRelativeAltitudeUpdates();
    }
}
