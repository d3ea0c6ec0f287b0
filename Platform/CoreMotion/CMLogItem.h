// CMLogItem: a sample of a motion service, stamped with the time it was taken (seconds since the
// device started, on the platform clock). The samples of each sensor derive from it.
#pragma once

#include <Runtime/NSObject.h>

class CMLogItem : public NSObject {
    NS_OBJECT(CMLogItem, NSObject)
public:
    explicit CMLogItem(double timestamp = 0) : timestamp_(timestamp) {}
    double timestamp() const noexcept { return timestamp_; }

private:
    double timestamp_;
};

// Acceleration in g (9.81 m/s²) along the device's axes: x to the right of the screen, y towards
// its top, z out of the screen. A device lying still, screen up, reads (0, 0, -1).
struct CMAcceleration {
    double x = 0, y = 0, z = 0;
};
// Rotation rate in radians per second about the device's axes (right-handed).
struct CMRotationRate {
    double x = 0, y = 0, z = 0;
};
// Magnetic field in microtesla along the device's axes.
struct CMMagneticField {
    double x = 0, y = 0, z = 0;
};

class CMAccelerometerData : public CMLogItem {
    NS_OBJECT(CMAccelerometerData, CMLogItem)
public:
    CMAccelerometerData(double timestamp = 0, CMAcceleration acceleration = {})
        : CMLogItem(timestamp), acceleration_(acceleration) {}
    CMAcceleration acceleration() const noexcept { return acceleration_; }
    Ref<NSString> description() const override;

private:
    CMAcceleration acceleration_;
};

// The raw rotation rate, with the gyroscope's own bias.
class CMGyroData : public CMLogItem {
    NS_OBJECT(CMGyroData, CMLogItem)
public:
    CMGyroData(double timestamp = 0, CMRotationRate rotationRate = {})
        : CMLogItem(timestamp), rotationRate_(rotationRate) {}
    CMRotationRate rotationRate() const noexcept { return rotationRate_; }
    Ref<NSString> description() const override;

private:
    CMRotationRate rotationRate_;
};

// The raw field, with the bias of the device's own iron.
class CMMagnetometerData : public CMLogItem {
    NS_OBJECT(CMMagnetometerData, CMLogItem)
public:
    CMMagnetometerData(double timestamp = 0, CMMagneticField magneticField = {})
        : CMLogItem(timestamp), magneticField_(magneticField) {}
    CMMagneticField magneticField() const noexcept { return magneticField_; }
    Ref<NSString> description() const override;

private:
    CMMagneticField magneticField_;
};
