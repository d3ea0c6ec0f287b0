// CMDeviceMotion: the fused reading of accelerometer, gyroscope and magnetometer: the attitude,
// the unbiased rotation rate, the acceleration split into gravity and the user's part (both in g,
// device frame), and the calibrated magnetic field.
#pragma once

#include <CoreMotion/CMAttitude.h>
#include <CoreMotion/CMLogItem.h>

enum CMMagneticFieldCalibrationAccuracy : int {
    CMMagneticFieldCalibrationAccuracyUncalibrated = -1,
    CMMagneticFieldCalibrationAccuracyLow = 0,
    CMMagneticFieldCalibrationAccuracyMedium = 1,
    CMMagneticFieldCalibrationAccuracyHigh = 2,
};

struct CMCalibratedMagneticField {
    CMMagneticField field;
    CMMagneticFieldCalibrationAccuracy accuracy = CMMagneticFieldCalibrationAccuracyUncalibrated;
};

class CMDeviceMotion : public CMLogItem {
    NS_OBJECT(CMDeviceMotion, CMLogItem)
public:
    struct Values {
        Ref<CMAttitude> attitude;
        CMRotationRate rotationRate;
        CMAcceleration gravity;
        CMAcceleration userAcceleration;
        CMCalibratedMagneticField magneticField;
        double heading = -1; // degrees from north in a north frame, else -1
    };
    CMDeviceMotion();
    CMDeviceMotion(double timestamp, Values values);

    const Ref<CMAttitude>& attitude() const noexcept { return values_.attitude; }
    CMRotationRate rotationRate() const noexcept { return values_.rotationRate; }
    CMAcceleration gravity() const noexcept { return values_.gravity; }
    CMAcceleration userAcceleration() const noexcept { return values_.userAcceleration; }
    CMCalibratedMagneticField magneticField() const noexcept { return values_.magneticField; }
    double heading() const noexcept { return values_.heading; }

private:
    Values values_;
};
