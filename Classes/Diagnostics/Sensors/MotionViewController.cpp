#include <Diagnostics/Sensors/MotionViewController.h>

#include <Diagnostics/Sensors/CLMManager.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSRunLoop.h>
#include <Runtime/ClassBuilder.h>

#include <numbers>

NS_IMPLEMENT_CLASS(MotionViewController, DXBaseViewController) {
    using M = MotionViewController;
    b.conformsTo(NS_PROTOCOL(CLLocationManagerDelegate));
    b.property("pushTracking", &M::pushTracking, &M::setPushTracking);
    b.method("timerMotion:", &M::timerMotion);
    b.method("locationManager:didUpdateHeading:", &M::locationManagerDidUpdateHeading);
    b.method("locationManagerShouldDisplayHeadingCalibration:", &M::locationManagerShouldDisplayHeadingCalibration);
    b.classMethod("degreesToRadians:", [](double d) { return MotionViewController::degreesToRadians(d); });
    b.classMethod("radiansToDegrees:", [](double r) { return MotionViewController::radiansToDegrees(r); });
}

namespace {

constexpr double kRedrawInterval = 1.0 / 60.0;

} // namespace

MotionViewController::~MotionViewController() {
    if (updateViewsTimer_) {
        updateViewsTimer_->invalidate();
    }
}

Ref<CMMotionManager> MotionViewController::motionManager() {
    if (!motionManager_) {
        motionManager_ = CLMManager::sharedManager()->motionManager();
    }
    return motionManager_;
}

Ref<CLLocationManager> MotionViewController::locationManager() {
    if (!locationManager_) {
        locationManager_ = CLMManager::sharedManager()->locationManager();
        locationManager_->setDelegate(Ref<NSObject>(this));
    }
    return locationManager_;
}

double MotionViewController::samplingFrequency() {
    auto store = NSUserDefaults::standardUserDefaults();
    if (samplingFrequency_ != 0) {
        store->setFloatForKey(static_cast<float>(samplingFrequency_), "samplingFrequency"_ns);
        return samplingFrequency_;
    }
    if (store->objectForKey("samplingFrequency"_ns)) {
        samplingFrequency_ = store->floatForKey("samplingFrequency"_ns);
        return samplingFrequency_;
    }
    samplingFrequency_ = kRedrawInterval;
    return samplingFrequency_;
}

void MotionViewController::setSamplingFrequency(double seconds) {
    samplingFrequency_ = seconds;
    NSUserDefaults::standardUserDefaults()->setFloatForKey(static_cast<float>(seconds), "samplingFrequency"_ns);
}

void MotionViewController::viewDidLoad() {
    DXBaseViewController::viewDidLoad();
    setSampleQueue(make<NSOperationQueue>());
    setMainQueue(NSOperationQueue::mainQueue());
    setCurrentQueue(NSOperationQueue::currentQueue());
}

void MotionViewController::viewWillAppear(bool animated) {
    logMotion();
    DXBaseViewController::viewWillAppear(animated);
    setDefaults(NSUserDefaults::standardUserDefaults());
    if (defaults_->dictionaryRepresentation()->objectForKey("pushTracking"_ns)) {
        setPushTracking(defaults_->boolForKey("pushTracking"_ns));
    } else {
        setPushTracking(false);
        defaults_->setBoolForKey(false, "pushTracking"_ns);
    }
    if (pushTracking()) {
        pushMotion();
    } else {
        pullMotion();
    }
}

void MotionViewController::viewWillDisappear(bool animated) {
    DXBaseViewController::viewWillDisappear(animated);
    if (defaults_ && !defaults_->synchronize()) {
        NSLog("motion: the defaults could not be written");
    }
    stopMotion();
}

void MotionViewController::startRedraws(bool commonModes) {
    if (updateViewsTimer_) {
        updateViewsTimer_->invalidate();
    }
    Weak<MotionViewController> weak(this);
    auto timer =
        NSTimer::scheduledTimerWithTimeIntervalRepeatsBlock(kRedrawInterval, true, [weak](const Ref<NSTimer>& timer) {
            if (auto self = weak.lock()) {
                self->timerMotion(timer);
            } else {
                timer->invalidate();
            }
        });
    if (commonModes) {
        NSRunLoop::currentRunLoop()->addTimerForMode(timer, NSRunLoopCommonModes());
    }
    setUpdateViewsTimer(timer);
}

void MotionViewController::pushMotion() {
    NSLog(" %@", "pushMotion"_ns);
    NSLog("sampleFreq %.2f", samplingFrequency());
    if (motionTimer_) {
        motionTimer_->invalidate();
        setMotionTimer(nullptr);
    }
    sampleQueue_->setMaxConcurrentOperationCount(1);
    startRedraws(false);
    pushMotionAdditions();
}

void MotionViewController::pullMotion() {
    double period = samplingFrequency();
    NSLog("samplingFreq %f", period);
    NSLog("samples per second %i", period > 0 ? static_cast<int>(1.0 / period) : 0);
    startRedraws(true);
    pullMotionAdditions();
}

void MotionViewController::stopMotion() {
    NSLog(" %@", "stopMotion"_ns);
    auto motion = motionManager();
    motion->stopDeviceMotionUpdates();
    motion->stopAccelerometerUpdates();
    motion->stopGyroUpdates();
    motion->stopMagnetometerUpdates();
    locationManager()->stopUpdatingHeading();
    if (updateViewsTimer_) {
        updateViewsTimer_->invalidate();
        setUpdateViewsTimer(nullptr);
    }
}

void MotionViewController::timerMotion(const Ref<NSTimer>&) {
    updateMotionViews();
}

double MotionViewController::degreesToRadians(double degrees) {
    return degrees * std::numbers::pi / 180;
}

double MotionViewController::radiansToDegrees(double radians) {
    return radians * 180 / std::numbers::pi;
}

void MotionViewController::logMotion() {
    NSLog("%@ %@", NSString::from(getClass()->name()), "logMotion"_ns);
}

void MotionViewController::initialiseDefaults() {
    logMotion();
}

void MotionViewController::logDiff() {
    auto heading = locationManager()->heading();
    auto motion = motionManager()->deviceMotion();
    CMMagneticField field = motion ? motion->magneticField().field : CMMagneticField{};
    double hx = heading ? heading->x() : 0;
    double hy = heading ? heading->y() : 0;
    double hz = heading ? heading->z() : 0;
    NSLog("xdiff %.2f", motion ? hx - field.x : 0.0);
    NSLog("ydiff %.2f", motion ? hy - field.y : 0.0);
    NSLog("zdiff %.2f", motion ? hz - field.z : 0.0);
    NSLog("       magneticField.field.x %.2f y %.2f z %.2f", field.x, field.y, field.z);
    NSLog("heading %@", heading);
}
