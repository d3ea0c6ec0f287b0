// MotionTestViewController: the combined motion test. The accelerometer passes on a sample that
// reaches +1 g on an axis, the gyroscope on +1 rad/s, the magnetometer on any sample with a
// non-zero component (a stuck magnetometer still reads a field and passes here; the compass test
// is the one that catches it, since its arrow does not turn). When every sensor waited for has
// passed the device vibrates and the test passes. A sample that comes with an error, or with
// values that are not finite, is not data. After the time limit (0: the
// long default) the sensors stop, every sensor that has not passed is marked failed in the
// sub-results, and the tip and Skip appear; Skip fails the test as skipped. A sensor the device
// lacks is marked failed at once.
#pragma once

#include <Core/DXBaseViewController.h>
#include <CoreMotion/CMMotionManager.h>
#include <Reactive/RXSubject.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>

class MotionTestViewController : public DXBaseViewController {
    NS_OBJECT(MotionTestViewController, DXBaseViewController)
public:
    MotionTestViewController() = default;
    NS_PROPERTY(Ref<CMMotionManager>, motionManager, setMotionManager)
    NS_PROPERTY(Ref<RXSubject>, accelerometer, setAccelerometer)
    NS_PROPERTY(Ref<RXSubject>, gyro, setGyro)
    NS_PROPERTY(Ref<RXSubject>, magnetometer, setMagnetometer)
    NS_WEAK_PROPERTY(UILabel, motionTitleLabel, setMotionTitleLabel)
    NS_WEAK_PROPERTY(UILabel, accelerometerLabel, setAccelerometerLabel)
    NS_WEAK_PROPERTY(UILabel, gyroLabel, setGyroLabel)
    NS_WEAK_PROPERTY(UILabel, magnetometerLabel, setMagnetometerLabel)
    NS_WEAK_PROPERTY(UIImageView, accelerometerLight, setAccelerometerLight)
    NS_WEAK_PROPERTY(UIImageView, gyroLight, setGyroLight)
    NS_WEAK_PROPERTY(UIImageView, magnetometLight, setMagnetometLight)
    NS_WEAK_PROPERTY(UILabel, tipLabel, setTipLabel)
    NS_WEAK_PROPERTY(UIButton, skipButton, setSkipButton)

    void viewDidLoad() override;

private:
    enum Sensor { Accelerometer, Gyroscope, Magnetometer, SensorCount };
    void startSensors();
    void stopSensors();
    void sensorPassed(Sensor sensor);
    void setSubResult(Sensor sensor, const char* value);
    bool passed_[SensorCount] = {false, false, false};
    bool waited_[SensorCount] = {true, true, true};
};
