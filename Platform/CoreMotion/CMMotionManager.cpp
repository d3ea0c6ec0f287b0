#include <CoreMotion/CMMotionManager.h>

#include <CoreMotion/CMSampleStream.h>
#include <Device/SimSensors.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(CMMotionManager, NSObject) {
    using M = CMMotionManager;
    b.readonlyProperty("accelerometerAvailable", &M::isAccelerometerAvailable, "getter=isAccelerometerAvailable");
    b.readonlyProperty("gyroAvailable", &M::isGyroAvailable, "getter=isGyroAvailable");
    b.readonlyProperty("magnetometerAvailable", &M::isMagnetometerAvailable, "getter=isMagnetometerAvailable");
    b.readonlyProperty("deviceMotionAvailable", &M::isDeviceMotionAvailable, "getter=isDeviceMotionAvailable");
    b.readonlyProperty("accelerometerData", &M::accelerometerData);
    b.readonlyProperty("gyroData", &M::gyroData);
    b.readonlyProperty("magnetometerData", &M::magnetometerData);
    b.readonlyProperty("deviceMotion", &M::deviceMotion);
}

namespace {

using Part = SimSensors::Part;
using Results = CMSampleStream::Results;
constexpr double kDefaultInterval = 0.01;

template <class Data, class Value>
Results rawSamples(Part part, double time, bool push, std::optional<SimVector> (SimSensors::*read)(double)) {
    SimSensors& sensors = SimSensors::current();
    Results results;
    if (push) {
        for (const auto& injected : sensors.takeInjected(part)) {
            results.emplace_back(
                make<Data>(injected.timestamp, Value{injected.value.x, injected.value.y, injected.value.z}), nullptr);
        }
        if (!results.empty()) {
            return results;
        }
    }
    if (!sensors.isPresent(part)) {
        results.emplace_back(nullptr, CMNotAvailableError());
        return results;
    }
    if (auto v = (sensors.*read)(time)) {
        results.emplace_back(make<Data>(time, Value{v->x, v->y, v->z}), nullptr);
    }
    return results;
}

template <class Data, class Handler>
CMSampleStream::Handler erase(Handler handler) {
    if (!handler) {
        return {};
    }
    return [handler = std::move(handler)](const id& sample, const Ref<NSError>& error) {
        handler(cast<Data>(sample), error);
    };
}

dispatch_queue_t timerQueue() {
    static dispatch_queue_t* queue = new dispatch_queue_t(dispatch_queue_create("CMMotionManager", nullptr));
    return *queue;
}

} // namespace

CMMotionManager::CMMotionManager()
    : accelerometer_(std::make_unique<CMSampleStream>(kDefaultInterval, timerQueue())),
      gyro_(std::make_unique<CMSampleStream>(kDefaultInterval, timerQueue())),
      magnetometer_(std::make_unique<CMSampleStream>(kDefaultInterval, timerQueue())),
      deviceMotion_(std::make_unique<CMSampleStream>(kDefaultInterval, timerQueue())) {}

CMMotionManager::~CMMotionManager() = default;

// Accelerometer.

double CMMotionManager::accelerometerUpdateInterval() const {
    return accelerometer_->interval();
}
void CMMotionManager::setAccelerometerUpdateInterval(double seconds) {
    accelerometer_->setInterval(seconds);
}
bool CMMotionManager::isAccelerometerAvailable() const {
    return SimSensors::current().isPresent(Part::Accelerometer);
}
bool CMMotionManager::isAccelerometerActive() const {
    return accelerometer_->isActive();
}
Ref<CMAccelerometerData> CMMotionManager::accelerometerData() const {
    return cast<CMAccelerometerData>(accelerometer_->latest());
}
void CMMotionManager::startAccelerometerUpdates() {
    startAccelerometerUpdatesToQueueWithHandler(nullptr, nullptr);
}
void CMMotionManager::startAccelerometerUpdatesToQueueWithHandler(const Ref<NSOperationQueue>& queue,
                                                                  CMAccelerometerHandler handler) {
    accelerometer_->start(
        [](double time, bool push) {
            return rawSamples<CMAccelerometerData, CMAcceleration>(Part::Accelerometer, time, push,
                                                                   &SimSensors::accelerometer);
        },
        queue, erase<CMAccelerometerData>(std::move(handler)));
}
void CMMotionManager::stopAccelerometerUpdates() {
    accelerometer_->stop();
}

// Gyroscope.

double CMMotionManager::gyroUpdateInterval() const {
    return gyro_->interval();
}
void CMMotionManager::setGyroUpdateInterval(double seconds) {
    gyro_->setInterval(seconds);
}
bool CMMotionManager::isGyroAvailable() const {
    return SimSensors::current().isPresent(Part::Gyroscope);
}
bool CMMotionManager::isGyroActive() const {
    return gyro_->isActive();
}
Ref<CMGyroData> CMMotionManager::gyroData() const {
    return cast<CMGyroData>(gyro_->latest());
}
void CMMotionManager::startGyroUpdates() {
    startGyroUpdatesToQueueWithHandler(nullptr, nullptr);
}
void CMMotionManager::startGyroUpdatesToQueueWithHandler(const Ref<NSOperationQueue>& queue, CMGyroHandler handler) {
    gyro_->start(
        [](double time, bool push) {
            return rawSamples<CMGyroData, CMRotationRate>(Part::Gyroscope, time, push, &SimSensors::gyroscope);
        },
        queue, erase<CMGyroData>(std::move(handler)));
}
void CMMotionManager::stopGyroUpdates() {
    gyro_->stop();
}

// Magnetometer.

double CMMotionManager::magnetometerUpdateInterval() const {
    return magnetometer_->interval();
}
void CMMotionManager::setMagnetometerUpdateInterval(double seconds) {
    magnetometer_->setInterval(seconds);
}
bool CMMotionManager::isMagnetometerAvailable() const {
    return SimSensors::current().isPresent(Part::Magnetometer);
}
bool CMMotionManager::isMagnetometerActive() const {
    return magnetometer_->isActive();
}
Ref<CMMagnetometerData> CMMotionManager::magnetometerData() const {
    return cast<CMMagnetometerData>(magnetometer_->latest());
}
void CMMotionManager::startMagnetometerUpdates() {
    startMagnetometerUpdatesToQueueWithHandler(nullptr, nullptr);
}
void CMMotionManager::startMagnetometerUpdatesToQueueWithHandler(const Ref<NSOperationQueue>& queue,
                                                                 CMMagnetometerHandler handler) {
    magnetometer_->start(
        [](double time, bool push) {
            return rawSamples<CMMagnetometerData, CMMagneticField>(Part::Magnetometer, time, push,
                                                                   &SimSensors::magnetometer);
        },
        queue, erase<CMMagnetometerData>(std::move(handler)));
}
void CMMotionManager::stopMagnetometerUpdates() {
    magnetometer_->stop();
}

// Device motion.

double CMMotionManager::deviceMotionUpdateInterval() const {
    return deviceMotion_->interval();
}
void CMMotionManager::setDeviceMotionUpdateInterval(double seconds) {
    deviceMotion_->setInterval(seconds);
}
bool CMMotionManager::isDeviceMotionAvailable() const {
    SimSensors& sensors = SimSensors::current();
    return sensors.isPresent(Part::Accelerometer) && sensors.isPresent(Part::Gyroscope);
}
bool CMMotionManager::isDeviceMotionActive() const {
    return deviceMotion_->isActive();
}
Ref<CMDeviceMotion> CMMotionManager::deviceMotion() const {
    return cast<CMDeviceMotion>(deviceMotion_->latest());
}

CMAttitudeReferenceFrame CMMotionManager::availableAttitudeReferenceFrames() {
    SimSensors& sensors = SimSensors::current();
    if (!sensors.isPresent(Part::Accelerometer) || !sensors.isPresent(Part::Gyroscope)) {
        return 0;
    }
    CMAttitudeReferenceFrame frames =
        CMAttitudeReferenceFrameXArbitraryZVertical | CMAttitudeReferenceFrameXArbitraryCorrectedZVertical;
    if (sensors.isPresent(Part::Magnetometer)) {
        frames |= CMAttitudeReferenceFrameXMagneticNorthZVertical | CMAttitudeReferenceFrameXTrueNorthZVertical;
    }
    return frames;
}

void CMMotionManager::startDeviceMotionUpdates() {
    startDeviceMotion(CMAttitudeReferenceFrameXArbitraryZVertical, nullptr, nullptr);
}
void CMMotionManager::startDeviceMotionUpdatesToQueueWithHandler(const Ref<NSOperationQueue>& queue,
                                                                 CMDeviceMotionHandler handler) {
    startDeviceMotion(CMAttitudeReferenceFrameXArbitraryZVertical, queue, std::move(handler));
}
void CMMotionManager::startDeviceMotionUpdatesUsingReferenceFrame(CMAttitudeReferenceFrame frame) {
    startDeviceMotion(frame, nullptr, nullptr);
}
void CMMotionManager::startDeviceMotionUpdatesUsingReferenceFrameToQueueWithHandler(CMAttitudeReferenceFrame frame,
                                                                                    const Ref<NSOperationQueue>& queue,
                                                                                    CMDeviceMotionHandler handler) {
    startDeviceMotion(frame, queue, std::move(handler));
}

void CMMotionManager::startDeviceMotion(CMAttitudeReferenceFrame frame, const Ref<NSOperationQueue>& queue,
                                        CMDeviceMotionHandler handler) {
    referenceFrame_ = frame;
    bool north = frame == CMAttitudeReferenceFrameXMagneticNorthZVertical ||
                 frame == CMAttitudeReferenceFrameXTrueNorthZVertical;
    deviceMotion_->start(
        [north](double time, bool) -> Results {
            SimSensors& sensors = SimSensors::current();
            if (!sensors.isPresent(Part::Accelerometer) || !sensors.isPresent(Part::Gyroscope)) {
                return {{nullptr, CMNotAvailableError()}};
            }
            auto motion = sensors.deviceMotion(time);
            if (!motion) {
                return {};
            }
            CMDeviceMotion::Values v;
            const SimQuaternion& q = motion->attitude;
            v.attitude = make<CMAttitude>(CMQuaternion{q.x, q.y, q.z, q.w});
            v.rotationRate = {motion->rotationRate.x, motion->rotationRate.y, motion->rotationRate.z};
            v.gravity = {motion->gravity.x, motion->gravity.y, motion->gravity.z};
            v.userAcceleration = {motion->userAcceleration.x, motion->userAcceleration.y, motion->userAcceleration.z};
            bool field = sensors.isPresent(Part::Magnetometer) &&
                         (motion->magneticField.x != 0 || motion->magneticField.y != 0 || motion->magneticField.z != 0);
            if (field) {
                v.magneticField = {{motion->magneticField.x, motion->magneticField.y, motion->magneticField.z},
                                   CMMagneticFieldCalibrationAccuracyHigh};
            }
            if (north && field) {
                if (auto heading = sensors.heading(time)) {
                    v.heading = heading->magneticHeading;
                }
            }
            return {{make<CMDeviceMotion>(time, std::move(v)), nullptr}};
        },
        queue, erase<CMDeviceMotion>(std::move(handler)));
}

void CMMotionManager::stopDeviceMotionUpdates() {
    deviceMotion_->stop();
}
