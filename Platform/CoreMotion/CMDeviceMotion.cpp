#include <CoreMotion/CMDeviceMotion.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(CMDeviceMotion, CMLogItem) {
    b.readonlyProperty("attitude", &CMDeviceMotion::attitude);
    b.readonlyProperty("heading", &CMDeviceMotion::heading);
}

CMDeviceMotion::CMDeviceMotion() : CMDeviceMotion(0, Values{}) {}

CMDeviceMotion::CMDeviceMotion(double timestamp, Values values) : CMLogItem(timestamp), values_(std::move(values)) {
    if (!values_.attitude) {
        values_.attitude = make<CMAttitude>();
    }
}
