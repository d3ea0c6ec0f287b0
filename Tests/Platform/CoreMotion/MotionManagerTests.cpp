#include <AudioToolbox/AudioServices.h>
#include <CoreMotion/CMAltimeter.h>
#include <CoreMotion/CMMotionManager.h>
#include <Device/SimSensors.h>
#include <Dispatch/Clock.h>
#include <Support/PlatformTestCase.h>

#include <atomic>
#include <cmath>
#include <vector>

namespace {

using Part = SimSensors::Part;
using State = SimSensors::State;

struct Received {
    std::vector<Ref<CMAccelerometerData>> samples;
    std::vector<Ref<NSError>> errors;
};

} // namespace

class MotionManagerTests : public PlatformTestCase {
protected:
    SimSensors& sensors = SimSensors::current();
    Ref<CMMotionManager> manager = make<CMMotionManager>();

    // Starts accelerometer updates to the main queue, collecting what arrives.
    std::shared_ptr<Received> collect(double interval) {
        auto received = std::make_shared<Received>();
        manager->setAccelerometerUpdateInterval(interval);
        manager->startAccelerometerUpdatesToQueueWithHandler(
            NSOperationQueue::mainQueue(), [received](const Ref<CMAccelerometerData>& d, const Ref<NSError>& e) {
                if (d) {
                    received->samples.push_back(d);
                }
                if (e) {
                    received->errors.push_back(e);
                }
            });
        return received;
    }
};

TEST_F(MotionManagerTests, PushDeliversAtTheIntervalOnTheQueue) {
    EXPECT_TRUE(manager->isAccelerometerAvailable());
    auto received = collect(0.1);
    EXPECT_TRUE(manager->isAccelerometerActive());
    advance(0.05);
    EXPECT_TRUE(received->samples.empty()); // nothing before the first interval
    EXPECT_FALSE(manager->accelerometerData());
    advance(1.0);
    ASSERT_EQ(received->samples.size(), 10u);
    EXPECT_NEAR(received->samples[1]->timestamp() - received->samples[0]->timestamp(), 0.1, 1e-9);
    EXPECT_NEAR(received->samples.back()->acceleration().z, -1, 0.02);
    EXPECT_EQ(manager->accelerometerData(), received->samples.back());

    manager->stopAccelerometerUpdates();
    EXPECT_FALSE(manager->isAccelerometerActive());
    advance(1.0);
    EXPECT_EQ(received->samples.size(), 10u);
    EXPECT_TRUE(manager->accelerometerData()); // the last sample stays
}

TEST_F(MotionManagerTests, PullReadsTheLatestIntervalsSample) {
    manager->setGyroUpdateInterval(0.02);
    manager->startGyroUpdates();
    EXPECT_FALSE(manager->gyroData());
    sensors.rotate({0, 0, 1}, 180, 1.0);
    advance(0.5);
    auto sample = manager->gyroData();
    ASSERT_TRUE(sample);
    EXPECT_NEAR(sample->rotationRate().z, M_PI, 0.05);
    EXPECT_EQ(manager->gyroData(), sample); // the same interval, the same sample
    advance(0.02);
    EXPECT_NE(manager->gyroData(), sample);
}

TEST_F(MotionManagerTests, IntervalsHaveAFloor) {
    manager->setMagnetometerUpdateInterval(0);
    EXPECT_DOUBLE_EQ(manager->magnetometerUpdateInterval(), 0.01);
    manager->setMagnetometerUpdateInterval(NAN);
    EXPECT_DOUBLE_EQ(manager->magnetometerUpdateInterval(), 0.01);
    manager->setMagnetometerUpdateInterval(-3);
    EXPECT_DOUBLE_EQ(manager->magnetometerUpdateInterval(), 0.01);
    EXPECT_DOUBLE_EQ(manager->accelerometerUpdateInterval(), 0.01);
}

TEST_F(MotionManagerTests, BrokenSensorsAsTheAppSeesThem) {
    sensors.setState(Part::Accelerometer, State::Dead);
    auto received = collect(0.1);
    advance(1.0);
    EXPECT_TRUE(received->samples.empty());
    EXPECT_TRUE(received->errors.empty());

    sensors.setState(Part::Accelerometer, State::Stuck);
    sensors.shake({1, 0, 0}, 2, 4, 1);
    advance(1.0);
    ASSERT_FALSE(received->samples.empty());
    for (const auto& s : received->samples) {
        EXPECT_EQ(s->acceleration().x, received->samples.front()->acceleration().x);
    }

    // Disappearing while running: one error, then silence.
    sensors.setState(Part::Accelerometer, State::Absent);
    EXPECT_FALSE(manager->isAccelerometerAvailable());
    size_t before = received->samples.size();
    advance(1.0);
    EXPECT_EQ(received->samples.size(), before);
    ASSERT_EQ(received->errors.size(), 1u);
    EXPECT_TRUE(received->errors[0]->domain()->isEqualToString(CMErrorDomain()));
    EXPECT_EQ(received->errors[0]->code(), CMErrorNotAvailable);
}

TEST_F(MotionManagerTests, InjectedStreamsArriveAsGiven) {
    auto received = collect(0.1);
    sensors.inject(Part::Accelerometer, {{5.0, {NAN, INFINITY, 0}}, {4.0, {1, 1, 1}}});
    advance(0.2);
    ASSERT_EQ(received->samples.size(), 2u);
    EXPECT_TRUE(std::isnan(received->samples[0]->acceleration().x));
    EXPECT_TRUE(std::isinf(received->samples[0]->acceleration().y));
    EXPECT_GT(received->samples[0]->timestamp(), received->samples[1]->timestamp()); // out of order
    sensors.inject(Part::Accelerometer, {{1, {0, 0, 1}}, {2, {0, 0, 2}}, {3, {0, 0, 3}}}, true);
    advance(0.1);
    EXPECT_EQ(received->samples.size(), 5u); // a burst: three at one tick
}

TEST_F(MotionManagerTests, NoHandlerRunsAfterStopOrRestart) {
    int first = 0;
    int second = 0;
    manager->setAccelerometerUpdateInterval(0.01);
    manager->startAccelerometerUpdatesToQueueWithHandler(NSOperationQueue::mainQueue(),
                                                         [&](const auto&, const auto&) { ++first; });
    advance(0.1);
    int seen = first;
    EXPECT_GT(seen, 0);
    manager->startAccelerometerUpdatesToQueueWithHandler(NSOperationQueue::mainQueue(),
                                                         [&](const auto&, const auto&) { ++second; });
    advance(0.1);
    EXPECT_EQ(first, seen);
    EXPECT_GT(second, 0);
    manager = nullptr; // a manager that goes stops its sensors
    int last = second;
    advance(0.1);
    EXPECT_EQ(second, last);
}

// Samples already waiting on the application's own operation queue when a sensor stops (or starts
// again with a new handler) never reach the handler they were taken for.
TEST_F(MotionManagerTests, SamplesQueuedOnTheAppsOwnQueueDieWithAStop) {
    auto queue = make<NSOperationQueue>();
    queue->setMaxConcurrentOperationCount(1);
    queue->setSuspended(true); // the queue is busy: samples pile up on it
    std::atomic<int> accelerometer{0}, gyro{0}, magnetometer{0}, motion{0}, restarted{0};
    manager->startAccelerometerUpdatesToQueueWithHandler(queue, [&](const auto&, const auto&) { ++accelerometer; });
    manager->startGyroUpdatesToQueueWithHandler(queue, [&](const auto&, const auto&) { ++gyro; });
    manager->startMagnetometerUpdatesToQueueWithHandler(queue, [&](const auto&, const auto&) { ++magnetometer; });
    manager->startDeviceMotionUpdatesToQueueWithHandler(queue, [&](const auto&, const auto&) { ++motion; });
    advance(0.1);
    EXPECT_GE(queue->operationCount(), 40u);
    manager->stopAccelerometerUpdates();
    manager->stopGyroUpdates();
    manager->stopMagnetometerUpdates();
    // Device motion starts again with another handler instead.
    double restart = DispatchClock::uptime();
    std::atomic<bool> early{false};
    manager->startDeviceMotionUpdatesToQueueWithHandler(queue, [&](const Ref<CMDeviceMotion>& m, const auto&) {
        if (m && m->timestamp() < restart) {
            early = true;
        }
        ++restarted;
    });
    advance(0.05);
    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(accelerometer.load(), 0);
    EXPECT_EQ(gyro.load(), 0);
    EXPECT_EQ(magnetometer.load(), 0);
    EXPECT_EQ(motion.load(), 0);
    EXPECT_GE(restarted.load(), 4);
    EXPECT_FALSE(early.load()) << "a sample of the first run reached the new handler";
    queue->setSuspended(true);
    int before = restarted.load();
    advance(0.05);
    EXPECT_GE(queue->operationCount(), 4u);
    manager->stopDeviceMotionUpdates();
    queue->setSuspended(false);
    queue->waitUntilAllOperationsAreFinished();
    EXPECT_EQ(restarted.load(), before);
}

TEST_F(MotionManagerTests, DeviceMotionSplitsGravityAndCalibratesTheField) {
    ASSERT_TRUE(manager->isDeviceMotionAvailable());
    EXPECT_EQ(CMMotionManager::availableAttitudeReferenceFrames(), 15u);
    manager->startDeviceMotionUpdatesUsingReferenceFrame(CMAttitudeReferenceFrameXMagneticNorthZVertical);
    EXPECT_EQ(manager->attitudeReferenceFrame(), CMAttitudeReferenceFrameXMagneticNorthZVertical);
    sensors.shake({0, 1, 0}, 0.5, 2, 2);
    advance(0.13);
    auto motion = manager->deviceMotion();
    ASSERT_TRUE(motion);
    EXPECT_NEAR(motion->gravity().z, -1, 1e-6);
    EXPECT_GT(motion->userAcceleration().y, 0.3);
    EXPECT_EQ(motion->magneticField().accuracy, CMMagneticFieldCalibrationAccuracyHigh);
    EXPECT_NEAR(motion->magneticField().field.y, 20, 2); // the northward field along the top
    EXPECT_NEAR(std::fmod(motion->heading() + 180, 360) - 180, 0, 3);

    sensors.setState(Part::Magnetometer, State::Absent);
    EXPECT_EQ(CMMotionManager::availableAttitudeReferenceFrames(), 3u);
    advance(0.1);
    EXPECT_EQ(manager->deviceMotion()->magneticField().accuracy, CMMagneticFieldCalibrationAccuracyUncalibrated);
    sensors.setState(Part::Gyroscope, State::Absent);
    EXPECT_FALSE(manager->isDeviceMotionAvailable());
}

TEST_F(MotionManagerTests, AltimeterReportsPressureAndRelativeAltitude) {
    ASSERT_TRUE(CMAltimeter::isRelativeAltitudeAvailable());
    auto altimeter = make<CMAltimeter>();
    std::vector<Ref<CMAltitudeData>> data;
    altimeter->startRelativeAltitudeUpdatesToQueueWithHandler(
        NSOperationQueue::mainQueue(), [&](const Ref<CMAltitudeData>& d, const Ref<NSError>&) { data.push_back(d); });
    advance(1.0);
    ASSERT_EQ(data.size(), 1u);
    EXPECT_DOUBLE_EQ(data[0]->relativeAltitude()->doubleValue(), 0);
    EXPECT_NEAR(data[0]->pressure()->doubleValue(), 101.14, 0.05); // 15 m above the sea
    sensors.climb(3, 3);
    advance(4.0);
    EXPECT_NEAR(data.back()->relativeAltitude()->doubleValue(), 3, 0.01);
    altimeter->stopRelativeAltitudeUpdates();
    size_t n = data.size();
    advance(3);
    EXPECT_EQ(data.size(), n);

    // No barometer: one error, no data.
    sensors.setState(Part::Barometer, State::Absent);
    EXPECT_FALSE(CMAltimeter::isRelativeAltitudeAvailable());
    std::vector<Ref<NSError>> errors;
    altimeter->startRelativeAltitudeUpdatesToQueueWithHandler(NSOperationQueue::mainQueue(),
                                                              [&](const Ref<CMAltitudeData>& d, const Ref<NSError>& e) {
                                                                  EXPECT_FALSE(d);
                                                                  errors.push_back(e);
                                                              });
    advance(5);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0]->code(), CMErrorNotAvailable);
}

TEST_F(MotionManagerTests, TheVibrationShakesWhatTheAccelerometerFeels) {
    auto received = collect(0.01);
    bool done = false;
    AudioServicesPlaySystemSoundWithCompletion(kSystemSoundID_Vibrate, [&] { done = true; });
    advance(0.39);
    EXPECT_FALSE(done);
    advance(0.02);
    EXPECT_TRUE(done);
    double spread = 0;
    for (const auto& s : received->samples) {
        spread = std::max(spread, std::abs(s->acceleration().x));
    }
    EXPECT_GT(spread, 0.1);

    sensors.setState(Part::VibrationMotor, State::Dead);
    received->samples.clear();
    AudioServicesPlayAlertSound(kSystemSoundID_Vibrate);
    advance(0.4);
    for (const auto& s : received->samples) {
        EXPECT_LT(std::abs(s->acceleration().x), 0.02);
    }
    AudioServicesPlayAlertSound(1007); // another sound does not vibrate
    EXPECT_EQ(sensors.motorRuns().size(), 2u);
}
