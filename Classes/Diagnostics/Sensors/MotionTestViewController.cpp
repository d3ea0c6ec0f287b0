#include <Diagnostics/Sensors/MotionTestViewController.h>

#include "SensorLayout.h"

#include <AudioToolbox/AudioServices.h>
#include <Categorys/DXLocalizedString.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/UIControl+RXSignalSupport.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIImage.h>
#include <UIKit/UIScreen.h>

#include <cmath>

NS_IMPLEMENT_CLASS(MotionTestViewController, DXBaseViewController) {
    using M = MotionTestViewController;
    b.property("motionTitleLabel", &M::motionTitleLabel, &M::setMotionTitleLabel, "weak");
    b.property("accelerometerLabel", &M::accelerometerLabel, &M::setAccelerometerLabel, "weak");
    b.property("gyroLabel", &M::gyroLabel, &M::setGyroLabel, "weak");
    b.property("magnetometerLabel", &M::magnetometerLabel, &M::setMagnetometerLabel, "weak");
    b.property("accelerometerLight", &M::accelerometerLight, &M::setAccelerometerLight, "weak");
    b.property("gyroLight", &M::gyroLight, &M::setGyroLight, "weak");
    b.property("magnetometLight", &M::magnetometLight, &M::setMagnetometLight, "weak");
    b.property("tipLabel", &M::tipLabel, &M::setTipLabel, "weak");
    b.property("skipButton", &M::skipButton, &M::setSkipButton, "weak");
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_sensors;
    registerLayout("MotionTestViewController", {{"motionTitleLabel", Kind::Label},
                                                {"accelerometerLabel", Kind::Label},
                                                {"accelerometerLight", Kind::Image},
                                                {"gyroLabel", Kind::Label},
                                                {"gyroLight", Kind::Image},
                                                {"magnetometerLabel", Kind::Label},
                                                {"magnetometLight", Kind::Image},
                                                {"tipLabel", Kind::Label, true},
                                                {"skipButton", Kind::Button, true}});
    return true;
}();

constexpr const char* kSubTestKeys[] = {"MOTION_SENSOR_TEST_ACCELEROMETER", "MOTION_SENSOR_TEST_GYROSCOPE",
                                        "MOTION_SENSOR_TEST_MAGNETOMETER"};

bool finite(double x, double y, double z) {
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

void setText(const Ref<UILabel>& label, const char* key) {
    if (label) {
        label->setText(DXLocalizedString(key));
    }
}

} // namespace

void MotionTestViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    setText(motionTitleLabel(), "MOTION_VIEW_TITLE");
    setText(accelerometerLabel(), "MOTION_ACCELEROMETER_TITLE");
    setText(gyroLabel(), "MOTION_GYROSCOPE_TITLE");
    setText(magnetometerLabel(), "MOTION_MAGNETOMETER_TITLE");
    setText(tipLabel(), "MOTION_TIP_LABEL");
    if (auto button = skipButton()) {
        button->setTitleForState(DXLocalizedString("MOTION_SKIPBUTTON_TITLE"), UIControlStateNormal);
    }
    bool small = UIScreen::mainScreen()->bounds().size.height == 480.0;
    if (small) {
        if (auto label = magnetometerLabel()) {
            label->setHidden(true);
        }
        if (auto light = magnetometLight()) {
            light->setHidden(true);
        }
        waited_[Magnetometer] = false;
    }
    setMotionManager(make<CMMotionManager>());
    setAccelerometer(RXSubject::subject());
    setGyro(RXSubject::subject());
    setMagnetometer(RXSubject::subject());

    Weak<MotionTestViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        if (unbox<bool>(value)) {
            self->hidenButtons(true);
            self->startSensors();
        } else {
            self->stopSensors();
        }
    });

    std::vector<Ref<RXSignal>> waited{accelerometer_, gyro_};
    if (!small) {
        waited.push_back(magnetometer_);
    }
    double limit = dx_sensors::timeLimit(info() ? info()->timeout() : 0);
    RXSignal::merge(waited)
        ->timeoutOnScheduler(limit, RXScheduler::mainThreadScheduler())
        ->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))
        ->subscribeErrorCompleted(
            [weak](const Ref<NSError>&) {
                auto self = weak.lock();
                if (!self || self->isCompleted()) {
                    return;
                }
                if (auto tip = self->tipLabel()) {
                    tip->setHidden(false);
                }
                if (auto button = self->skipButton()) {
                    button->setHidden(false);
                }
                self->stopSensors();
                for (int s = 0; s < SensorCount; ++s) {
                    if (self->waited_[s] && !self->passed_[s]) {
                        self->setSubResult(static_cast<Sensor>(s), "FAIL");
                    }
                }
            },
            [weak] {
                auto self = weak.lock();
                if (!self || self->isCompleted() || !self->info()) {
                    return;
                }
                AudioServicesPlayAlertSound(kSystemSoundID_Vibrate);
                self->info()->setResult(DXTestResultPass);
                self->gotoResultView();
            });

    if (auto button = skipButton()) {
        rx_signalForControlEvents(button, UIControlEventTouchUpInside)->subscribeNext([weak](const id&) {
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

void MotionTestViewController::startSensors() {
    auto queue = NSOperationQueue::currentQueue();
    if (!queue) {
        queue = NSOperationQueue::mainQueue();
    }
    Weak<MotionTestViewController> weak(this);
    auto manager = motionManager();
    if (manager->isAccelerometerAvailable()) {
        manager->startAccelerometerUpdatesToQueueWithHandler(
            queue, [weak](const Ref<CMAccelerometerData>& data, const Ref<NSError>& error) {
                auto self = weak.lock();
                if (!self || error || !data) {
                    return;
                }
                CMAcceleration a = data->acceleration();
                if (finite(a.x, a.y, a.z) && (a.x >= 1.0 || a.y >= 1.0 || a.z >= 1.0)) {
                    self->sensorPassed(Accelerometer);
                }
            });
    } else if (!passed_[Accelerometer]) {
        setSubResult(Accelerometer, "FAIL");
    }
    if (manager->isGyroAvailable()) {
        manager->startGyroUpdatesToQueueWithHandler(
            queue, [weak](const Ref<CMGyroData>& data, const Ref<NSError>& error) {
                auto self = weak.lock();
                if (!self || error || !data) {
                    return;
                }
                CMRotationRate r = data->rotationRate();
                if (finite(r.x, r.y, r.z) && (r.x >= 1.0 || r.y >= 1.0 || r.z >= 1.0)) {
                    self->sensorPassed(Gyroscope);
                }
            });
    } else if (!passed_[Gyroscope]) {
        setSubResult(Gyroscope, "FAIL");
    }
    if (manager->isMagnetometerAvailable()) {
        manager->startMagnetometerUpdatesToQueueWithHandler(
            queue, [weak](const Ref<CMMagnetometerData>& data, const Ref<NSError>& error) {
                auto self = weak.lock();
                if (!self || error || !data) {
                    return;
                }
                CMMagneticField f = data->magneticField();
                NSLog("x: %f y: %f z:%f", f.x, f.y, f.z);
                // Any reading of a field is the magnetometer at work, a constant one included.
                if (finite(f.x, f.y, f.z) && (f.x != 0.0 || f.y != 0.0 || f.z != 0.0)) {
                    self->sensorPassed(Magnetometer);
                }
            });
    } else if (!passed_[Magnetometer] && waited_[Magnetometer]) {
        setSubResult(Magnetometer, "FAIL");
    }
}

void MotionTestViewController::stopSensors() {
    motionManager()->stopAccelerometerUpdates();
    motionManager()->stopGyroUpdates();
    motionManager()->stopMagnetometerUpdates();
}

void MotionTestViewController::sensorPassed(Sensor sensor) {
    Ref<UIImageView> lights[] = {accelerometerLight(), gyroLight(), magnetometLight()};
    if (lights[sensor]) {
        lights[sensor]->setImage(UIImage::imageNamed("icon_success_shape"_ns));
    }
    passed_[sensor] = true;
    setSubResult(sensor, "SUCCESS");
    switch (sensor) {
    case Accelerometer:
        motionManager()->stopAccelerometerUpdates();
        accelerometer()->sendCompleted();
        break;
    case Gyroscope:
        motionManager()->stopGyroUpdates();
        gyro()->sendCompleted();
        break;
    default:
        motionManager()->stopMagnetometerUpdates();
        magnetometer()->sendCompleted();
        break;
    }
}

void MotionTestViewController::setSubResult(Sensor sensor, const char* value) {
    if (!info()) {
        return;
    }
    auto results = info()->subTestItemsResult();
    if (!results) {
        results = NSMutableDictionary::dictionary();
        info()->setSubTestItemsResult(results);
    }
    results->setObjectForKey(NSString::from(value), NSString::from(kSubTestKeys[sensor]));
}
