#include <CoreMotion/CMLogItem.h>

#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(CMLogItem, NSObject) {
    b.readonlyProperty("timestamp", &CMLogItem::timestamp);
}
NS_IMPLEMENT_CLASS(CMAccelerometerData, CMLogItem) {}
NS_IMPLEMENT_CLASS(CMGyroData, CMLogItem) {}
NS_IMPLEMENT_CLASS(CMMagnetometerData, CMLogItem) {}

Ref<NSString> CMAccelerometerData::description() const {
    return NSString::stringWithFormat("x %f y %f z %f @ %f", acceleration_.x, acceleration_.y, acceleration_.z,
                                      timestamp());
}

Ref<NSString> CMGyroData::description() const {
    return NSString::stringWithFormat("x %f y %f z %f @ %f", rotationRate_.x, rotationRate_.y, rotationRate_.z,
                                      timestamp());
}

Ref<NSString> CMMagnetometerData::description() const {
    return NSString::stringWithFormat("x %f y %f z %f @ %f", magneticField_.x, magneticField_.y, magneticField_.z,
                                      timestamp());
}
