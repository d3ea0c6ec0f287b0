// AxisTestViewController: the shared logic of the accelerometer and gyroscope screens, which check
// one motion sensor axis by axis: X, then Y, then Z. Each axis passes on its first sample above 0.5
// (a finite, signed reading) within its own time limit (the record's, 0: the long default); the Z
// axis passing passes the test. A time-out, a sensor error, a sample that does not come or a
// sensor the device lacks ends the stage at once with result 3 and the axis's sub-item failed.
// Leaving the screen stops the sensor without a result; coming back starts the stage again.
#pragma once

#include <Core/DXBaseViewController.h>
#include <CoreMotion/CMMotionManager.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>

class AxisTestViewController : public DXBaseViewController {
    NS_OBJECT(AxisTestViewController, DXBaseViewController)
public:
    AxisTestViewController() = default;
    NS_PROPERTY(Ref<CMMotionManager>, motionManager, setMotionManager)
    NS_WEAK_PROPERTY(UILabel, x, setX)
    NS_WEAK_PROPERTY(UILabel, y, setY)
    NS_WEAK_PROPERTY(UILabel, z, setZ)
    NS_WEAK_PROPERTY(UILabel, tipLabel, setTipLabel)
    NS_PROPERTY(bool, x_value, setX_value)
    NS_PROPERTY(bool, y_value, setY_value)
    NS_PROPERTY(bool, z_value, setZ_value)

    void viewDidLoad() override;
    // The axis signal with the record's time limit; the sensor stops when it ends.
    Ref<RXSignal> motionSignal(NSInteger axis);
    // The raw axis signal fed by the sensor.
    Ref<RXSignal> signal111(NSInteger axis);
    // The caption followed by the success mark.
    void addSuccessImageInLabelString(const Ref<UILabel>& label, const Ref<NSString>& string);

protected:
    struct Texts {
        const char* captions[3];
        const char* values[3];
        const char* tip;
        const char* images[3];
        bool hideHintAtEnd;
    };
    virtual const Texts& texts() const = 0;
    virtual Ref<UIImageView> hintImage() const = 0;
    // The sensor: availability, interval, start with a handler (reading of the axes, or none), stop.
    using Reading = std::function<void(bool hasSample, const double values[3], const Ref<NSError>& error)>;
    virtual bool sensorAvailable() const = 0;
    virtual void startSensor(double interval, Reading handler) = 0;
    virtual void stopSensor() = 0;

private:
    void startStage(NSInteger axis);
    void showStage(NSInteger axis);
    Ref<UILabel> axisLabel(NSInteger axis) const;
    bool flag(NSInteger axis) const;
    void setFlag(NSInteger axis);
    NSInteger stage_ = 0;
    bool stageCut_ = false;
};
