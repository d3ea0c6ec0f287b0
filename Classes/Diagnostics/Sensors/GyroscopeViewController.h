// GyroscopeViewController: the operator tilts or rotates the device about X, Y and Z; each axis
// passes on a rotation rate above 0.5 rad/s (see AxisTestViewController). The hint image hides when
// the test ends.
#pragma once

#include <Diagnostics/Sensors/AxisTestViewController.h>

class GyroscopeViewController : public AxisTestViewController {
    NS_OBJECT(GyroscopeViewController, AxisTestViewController)
public:
    GyroscopeViewController() = default;
    NS_WEAK_PROPERTY(UIImageView, tipImage, setTipImage)

protected:
    const Texts& texts() const override;
    Ref<UIImageView> hintImage() const override { return tipImage(); }
    bool sensorAvailable() const override;
    void startSensor(double interval, Reading handler) override;
    void stopSensor() override;
};
