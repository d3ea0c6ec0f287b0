// CMMotionManager: the device's motion sensors: accelerometer, gyroscope, magnetometer and device
// motion (their fusion). Each can be started with an operation queue and a handler (push: the
// handler gets each sample, or an error, on that queue) or without (pull: the latest sample is
// read from the property). Nothing is delivered before the first interval has passed; a sensor
// the device lacks reports itself unavailable, and one that disappears while running sends an
// error (CMErrorDomain, CMErrorNotAvailable) and no further samples. Every manager reads the one
// simulated body, so two managers see the same motion. Samples are taken on the platform clock.
#pragma once

#include <CoreMotion/CMAttitude.h>
#include <CoreMotion/CMDeviceMotion.h>
#include <CoreMotion/CMError.h>
#include <CoreMotion/CMLogItem.h>
#include <Foundation/NSOperationQueue.h>

#include <functional>
#include <memory>

class CMSampleStream;

using CMAccelerometerHandler = std::function<void(const Ref<CMAccelerometerData>&, const Ref<NSError>&)>;
using CMGyroHandler = std::function<void(const Ref<CMGyroData>&, const Ref<NSError>&)>;
using CMMagnetometerHandler = std::function<void(const Ref<CMMagnetometerData>&, const Ref<NSError>&)>;
using CMDeviceMotionHandler = std::function<void(const Ref<CMDeviceMotion>&, const Ref<NSError>&)>;

class CMMotionManager : public NSObject {
    NS_OBJECT(CMMotionManager, NSObject)
public:
    CMMotionManager();
    ~CMMotionManager() override;

    // Intervals in seconds (default 0.01; at least 0.01).
    double accelerometerUpdateInterval() const;
    void setAccelerometerUpdateInterval(double seconds);
    bool isAccelerometerAvailable() const;
    bool isAccelerometerActive() const;
    Ref<CMAccelerometerData> accelerometerData() const;
    void startAccelerometerUpdates();
    void startAccelerometerUpdatesToQueueWithHandler(const Ref<NSOperationQueue>& queue,
                                                     CMAccelerometerHandler handler);
    void stopAccelerometerUpdates();

    double gyroUpdateInterval() const;
    void setGyroUpdateInterval(double seconds);
    bool isGyroAvailable() const;
    bool isGyroActive() const;
    Ref<CMGyroData> gyroData() const;
    void startGyroUpdates();
    void startGyroUpdatesToQueueWithHandler(const Ref<NSOperationQueue>& queue, CMGyroHandler handler);
    void stopGyroUpdates();

    double magnetometerUpdateInterval() const;
    void setMagnetometerUpdateInterval(double seconds);
    bool isMagnetometerAvailable() const;
    bool isMagnetometerActive() const;
    Ref<CMMagnetometerData> magnetometerData() const;
    void startMagnetometerUpdates();
    void startMagnetometerUpdatesToQueueWithHandler(const Ref<NSOperationQueue>& queue, CMMagnetometerHandler handler);
    void stopMagnetometerUpdates();

    // Device motion needs the accelerometer and the gyroscope; the north frames also need the
    // magnetometer (without it the heading reads -1 and the field is uncalibrated).
    double deviceMotionUpdateInterval() const;
    void setDeviceMotionUpdateInterval(double seconds);
    bool isDeviceMotionAvailable() const;
    bool isDeviceMotionActive() const;
    Ref<CMDeviceMotion> deviceMotion() const;
    static CMAttitudeReferenceFrame availableAttitudeReferenceFrames();
    CMAttitudeReferenceFrame attitudeReferenceFrame() const { return referenceFrame_; }
    void startDeviceMotionUpdates();
    void startDeviceMotionUpdatesToQueueWithHandler(const Ref<NSOperationQueue>& queue, CMDeviceMotionHandler handler);
    void startDeviceMotionUpdatesUsingReferenceFrame(CMAttitudeReferenceFrame frame);
    void startDeviceMotionUpdatesUsingReferenceFrameToQueueWithHandler(CMAttitudeReferenceFrame frame,
                                                                       const Ref<NSOperationQueue>& queue,
                                                                       CMDeviceMotionHandler handler);
    void stopDeviceMotionUpdates();

    bool showsDeviceMovementDisplay() const { return showsDeviceMovementDisplay_; }
    void setShowsDeviceMovementDisplay(bool shows) { showsDeviceMovementDisplay_ = shows; }

private:
    void startDeviceMotion(CMAttitudeReferenceFrame frame, const Ref<NSOperationQueue>& queue,
                           CMDeviceMotionHandler handler);
    std::unique_ptr<CMSampleStream> accelerometer_;
    std::unique_ptr<CMSampleStream> gyro_;
    std::unique_ptr<CMSampleStream> magnetometer_;
    std::unique_ptr<CMSampleStream> deviceMotion_;
    CMAttitudeReferenceFrame referenceFrame_ = CMAttitudeReferenceFrameXArbitraryZVertical;
    bool showsDeviceMovementDisplay_ = false;
};
