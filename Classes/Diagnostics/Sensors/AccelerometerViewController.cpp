#include <Diagnostics/Sensors/AccelerometerViewController.h>

#include "SensorLayout.h"

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(AccelerometerViewController, AxisTestViewController) {
    b.property("centerImageView", &AccelerometerViewController::centerImageView,
               &AccelerometerViewController::setCenterImageView, "weak");
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_sensors;
    registerLayout("AccelerometerViewController", {{"labelTitle", Kind::Label},
                                                   {"tipLabel", Kind::Label},
                                                   {"centerImageView", Kind::Image},
                                                   {"x", Kind::Label},
                                                   {"y", Kind::Label},
                                                   {"z", Kind::Label}});
    return true;
}();

} // namespace

const AxisTestViewController::Texts& AccelerometerViewController::texts() const {
    (void)layoutRegistered;
    static const Texts texts{
        {"ACCELEROMETER_CONTROLLER_X_LABEL", "ACCELEROMETER_CONTROLLER_Y_LABEL", "ACCELEROMETER_CONTROLLER_Z_LABEL"},
        {"ACCELEROMETER_CONTROLLER_X", "ACCELEROMETER_CONTROLLER_Y", "ACCELEROMETER_CONTROLLER_Z"},
        "ACCELEROMETER_CONTROLLER_TIPLABEL",
        {"PNG_AccelerometerTest Graphic_Move or Shake on X Axis",
         "PNG_AccelerometerTest Graphic_Move or Shake on Y Axis",
         "PNG_AccelerometerTest Graphic_Move or Shake on Z Axis"},
        false};
    return texts;
}

bool AccelerometerViewController::sensorAvailable() const {
    return motionManager()->isAccelerometerAvailable();
}

void AccelerometerViewController::startSensor(double interval, Reading handler) {
    auto queue = NSOperationQueue::currentQueue() ? NSOperationQueue::currentQueue() : NSOperationQueue::mainQueue();
    motionManager()->setAccelerometerUpdateInterval(interval);
    motionManager()->startAccelerometerUpdatesToQueueWithHandler(
        queue, [handler](const Ref<CMAccelerometerData>& data, const Ref<NSError>& error) {
            double values[3] = {0, 0, 0};
            if (data) {
                values[0] = data->acceleration().x;
                values[1] = data->acceleration().y;
                values[2] = data->acceleration().z;
            }
            handler(data != nullptr, values, error);
        });
}

void AccelerometerViewController::stopSensor() {
    motionManager()->stopAccelerometerUpdates();
}
