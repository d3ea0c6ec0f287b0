// AccelerometerViewController: the operator moves or shakes the device along X, Y and Z; each axis
// passes on an acceleration above 0.5 g (see AxisTestViewController).
#pragma once

#include <Diagnostics/Sensors/AxisTestViewController.h>

class AccelerometerViewController : public AxisTestViewController {
    NS_OBJECT(AccelerometerViewController, AxisTestViewController)
public:
    AccelerometerViewController() = default;
    NS_WEAK_PROPERTY(UIImageView, centerImageView, setCenterImageView)

protected:
    const Texts& texts() const override;
    Ref<UIImageView> hintImage() const override { return centerImageView(); }
    bool sensorAvailable() const override;
    void startSensor(double interval, Reading handler) override;
    void stopSensor() override;
};
