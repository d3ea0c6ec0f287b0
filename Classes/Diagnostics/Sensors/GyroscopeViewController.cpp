#include <Diagnostics/Sensors/GyroscopeViewController.h>

#include "SensorLayout.h"

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(GyroscopeViewController, AxisTestViewController) {
    b.property("tipImage", &GyroscopeViewController::tipImage, &GyroscopeViewController::setTipImage, "weak");
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_sensors;
    registerLayout("GyroscopeViewController", {{"labelTitle", Kind::Label},
                                               {"tipLabel", Kind::Label},
                                               {"tipImage", Kind::Image},
                                               {"x", Kind::Label},
                                               {"y", Kind::Label},
                                               {"z", Kind::Label}});
    return true;
}();

} // namespace

const AxisTestViewController::Texts& GyroscopeViewController::texts() const {
    (void)layoutRegistered;
    static const Texts texts{
        {"GYROSCOPE_CONTROLLER_X_LABEL", "GYROSCOPE_CONTROLLER_Y_LABEL", "GYROSCOPE_CONTROLLER_Z_LABEL"},
        {"GYROSCOPE_CONTROLLER_X", "GYROSCOPE_CONTROLLER_Y", "GYROSCOPE_CONTROLLER_Z"},
        "GYROSCOPE_CONTROLLER_TIPLABEL",
        {"PNG_AccelerometerTest Graphic_Tilt or Rotate on X Axis",
         "PNG_AccelerometerTest Graphic_Tilt or Rotate on Y Axis",
         "PNG_AccelerometerTest Graphic_Tilt or Rotate on Z Axis"},
        true};
    return texts;
}

bool GyroscopeViewController::sensorAvailable() const {
    return motionManager()->isGyroAvailable();
}

void GyroscopeViewController::startSensor(double interval, Reading handler) {
    auto queue = NSOperationQueue::currentQueue() ? NSOperationQueue::currentQueue() : NSOperationQueue::mainQueue();
    motionManager()->setGyroUpdateInterval(interval);
    motionManager()->startGyroUpdatesToQueueWithHandler(
        queue, [handler](const Ref<CMGyroData>& data, const Ref<NSError>& error) {
            double values[3] = {0, 0, 0};
            if (data) {
                values[0] = data->rotationRate().x;
                values[1] = data->rotationRate().y;
                values[2] = data->rotationRate().z;
            }
            handler(data != nullptr, values, error);
        });
}

void GyroscopeViewController::stopSensor() {
    motionManager()->stopGyroUpdates();
}
