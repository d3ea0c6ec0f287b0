#include <Diagnostics/Sensors/VibrationViewController.h>

#include "SensorLayout.h"

#include <AudioToolbox/AudioServices.h>
#include <Categorys/DXLocalizedString.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/RXSubject.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIDevice.h>

#include <cmath>
#include <memory>

NS_IMPLEMENT_CLASS(VibrationViewController, DXBaseViewController) {
    using V = VibrationViewController;
    b.property("tipLabel", &V::tipLabel, &V::setTipLabel, "weak");
    b.property("countLabel", &V::countLabel, &V::setCountLabel, "weak");
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_sensors;
    registerLayout("VibrationViewController",
                   {{"labelTitle", Kind::Label}, {"countLabel", Kind::Label}, {"tipLabel", Kind::Label, true}});
    return true;
}();

// How far the motor must stand out of the still device's own jitter (g).
constexpr double kMotorMargin = 0.02;

double spread(const std::vector<double>& magnitudes) {
    if (magnitudes.size() < 2) {
        return 0;
    }
    double mean = 0;
    for (double m : magnitudes) {
        mean += m;
    }
    mean /= static_cast<double>(magnitudes.size());
    double sum = 0;
    for (double m : magnitudes) {
        sum += (m - mean) * (m - mean);
    }
    return std::sqrt(sum / static_cast<double>(magnitudes.size()));
}

void showTitle(const Ref<UILabel>& label, const char* key) {
    if (label) {
        label->setText(DXLocalizedString(key));
    }
}

} // namespace

void VibrationViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    setSubItemlist(dx_sensors::subItems({"Vibration"}));
    Weak<VibrationViewController> weak(this);
    disappear()->take(1)->subscribeNext([weak](const id&) {
        if (auto self = weak.lock()) {
            if (self->repeatDs()) {
                self->repeatDs()->dispose();
            }
        }
    });

    if (info() && info()->fakeTest()) {
        choose()->take(1)->subscribeNext([weak](const id& value) {
            if (auto self = weak.lock()) {
                self->finish(unbox<bool>(value) ? DXTestResultFail : DXTestResultPass);
            }
        });
        return;
    }
    auto model = UIDevice::currentDevice()->model();
    if (model && model->hasPrefix("iPad"_ns)) {
        // A tablet has no motor to feel; the operator says what happens.
        manualPath();
        return;
    }

    setMotionManager(make<CMMotionManager>());
    if (auto tip = tipLabel()) {
        tip->setText(DXLocalizedString("VIBRATION_ANSWER"));
        tip->setHidden(true);
    }
    hidenButtons(true);
    showTitle(labelTitle(), "VIBRATION_USAGE_TOPIC");
    if (auto label = countLabel()) {
        label->setText("3"_ns);
    }
    readySignal(3)
        ->takeUntil(checkDirection())
        ->subscribeNextCompleted(
            [weak](const id& value) {
                auto self = weak.lock();
                if (!self) {
                    return;
                }
                if (unbox<long long>(value) == 0) {
                    self->manualPath();
                } else if (auto label = self->countLabel()) {
                    label->setText(NSString::stringWithFormat("%@", value));
                }
            },
            [weak] {
                auto self = weak.lock();
                if (self && !self->manual_ && !self->gone_) {
                    self->automaticPath();
                }
            });
}

Ref<RXSignal> VibrationViewController::disappear() {
    return rx_signalForSelector(Ref<NSObject>(this), "viewWillDisappear:")->mapReplace(NSNumber::numberWithBool(true));
}

void VibrationViewController::viewWillDisappear(bool animated) {
    DXBaseViewController::viewWillDisappear(animated);
    gone_ = true;
    if (motionManager_) {
        motionManager_->stopAccelerometerUpdates();
    }
}

Ref<RXSignal> VibrationViewController::readySignal(int64_t count) {
    return RXSignal::createSignal([count](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        auto left = std::make_shared<int64_t>(count);
        return RXSignal::intervalOnScheduler(1.0, RXScheduler::mainThreadScheduler())
            ->take(static_cast<NSUInteger>(count + 1))
            ->subscribeNext([left, subscriber](const id&) {
                --*left;
                subscriber->sendNext(NSNumber::numberWithLongLong(*left));
            });
    });
}

Ref<RXSignal> VibrationViewController::checkDirection() {
    auto subject = RXSubject::subject();
    if (!motionManager() || !motionManager()->isAccelerometerAvailable()) {
        return RXSignal::error(make<NSError>("com.vantrel.dx"_ns, 1000));
    }
    auto queue = NSOperationQueue::currentQueue() ? NSOperationQueue::currentQueue() : NSOperationQueue::mainQueue();
    motionManager()->setAccelerometerUpdateInterval(1.0);
    motionManager()->startAccelerometerUpdatesToQueueWithHandler(
        // The handler keeps the subject while the updates run.
        queue, [subject](const Ref<CMAccelerometerData>& data, const Ref<NSError>& error) {
            if (error || !data) {
                subject->sendError(error);
                return;
            }
            CMAcceleration a = data->acceleration();
            NSLog("x: %f y: %f z: %f", a.x, a.y, a.z);
            if (a.x >= -0.1 && a.x <= 0.1 && a.y >= -0.1 && a.y <= 0.1 && a.z < 0) {
                subject->sendNext(NSNumber::numberWithBool(true));
                subject->sendCompleted();
            }
        });
    return subject;
}

Ref<RXSignal> VibrationViewController::vibrationSignal() {
    return RXSignal::createSignal([](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        NSLog("vibration...");
        AudioServicesPlayAlertSound(kSystemSoundID_Vibrate);
        return RXScheduler::mainThreadScheduler()->afterDelaySchedule(1.0,
                                                                      [subscriber] { subscriber->sendCompleted(); });
    });
}

void VibrationViewController::manualPath() {
    if (manual_ || gone_ || isCompleted()) {
        return;
    }
    manual_ = true;
    if (motionManager_) {
        motionManager_->stopAccelerometerUpdates();
    }
    NSLog("timeout");
    showTitle(labelTitle(), "VIBRATION_DETECTING_TITLE");
    if (auto tip = tipLabel()) {
        tip->setText(DXLocalizedString("VIBRATION_ANSWER"));
        tip->setHidden(false);
    }
    if (auto label = countLabel()) {
        label->setHidden(true);
    }
    hidenButtons(false);
    Weak<VibrationViewController> weak(this);
    setRepeatDs(vibrationSignal()->repeat()->takeUntilReplacement(choose())->subscribeNext([weak](const id& value) {
        if (auto self = weak.lock()) {
            self->finish(unbox<bool>(value) ? DXTestResultPass : DXTestResultFail);
        }
    }));
}

void VibrationViewController::listen(bool buzzing) {
    buzzingNow_ = buzzing;
}

void VibrationViewController::automaticPath() {
    count_ = 3;
    showTitle(labelTitle(), "VIBRATION_INITIALIZE_TITLE");
    if (auto label = countLabel()) {
        label->setText("3"_ns);
    }
    // From now on the accelerometer listens closely: first to the device lying still, then to it
    // while the motor runs.
    Weak<VibrationViewController> weak(this);
    motionManager()->setAccelerometerUpdateInterval(0.01);
    motionManager()->startAccelerometerUpdatesToQueueWithHandler(
        NSOperationQueue::mainQueue(), [weak](const Ref<CMAccelerometerData>& data, const Ref<NSError>& error) {
            auto self = weak.lock();
            if (!self || error || !data) {
                return;
            }
            CMAcceleration a = data->acceleration();
            double magnitude = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
            if (!std::isfinite(magnitude)) {
                return;
            }
            (self->buzzingNow_ ? self->buzzing_ : self->still_).push_back(magnitude);
        });
    auto scheduler = RXScheduler::mainThreadScheduler();
    auto gone = disappear();
    setVibrationDs(
        RXSignal::intervalOnScheduler(1.0, scheduler)
            ->take(4)
            ->takeUntil(gone)
            ->subscribeNextCompleted(
                [weak](const id&) {
                    auto self = weak.lock();
                    if (!self) {
                        return;
                    }
                    --self->count_;
                    if (auto label = self->countLabel()) {
                        label->setText(
                            NSString::stringWithFormat("%ld", static_cast<long>(std::max<int64_t>(self->count_, 0))));
                    }
                },
                [weak, scheduler, gone] {
                    auto self = weak.lock();
                    if (!self || self->gone_) {
                        return;
                    }
                    if (auto label = self->countLabel()) {
                        label->setHidden(true);
                    }
                    showTitle(self->labelTitle(), "VIBRATION_DETECTING_TITLE");
                    self->listen(true);
                    AudioServicesPlayAlertSound(kSystemSoundID_Vibrate);
                    RXSignal::intervalOnScheduler(1.0, scheduler)
                        ->take(2)
                        ->takeUntil(gone)
                        ->subscribeNextCompleted([](const id&) { AudioServicesPlayAlertSound(kSystemSoundID_Vibrate); },
                                                 [weak] {
                                                     auto self = weak.lock();
                                                     if (!self || self->gone_) {
                                                         return;
                                                     }
                                                     self->listen(false);
                                                     self->motionManager()->stopAccelerometerUpdates();
                                                     if (self->motorFelt()) {
                                                         self->finish(DXTestResultPass);
                                                     } else {
                                                         NSLog("the accelerometer did not feel the motor");
                                                         self->manualPath();
                                                     }
                                                 });
                }));
}

bool VibrationViewController::motorFelt() const {
    if (buzzing_.size() < 10 || still_.size() < 10) {
        return false;
    }
    return spread(buzzing_) > 3 * spread(still_) + kMotorMargin;
}

void VibrationViewController::finish(NSInteger result) {
    if (isCompleted() || gone_ || !info()) {
        return;
    }
    info()->setResult(result);
    gotoResultView();
}
