// VibrationViewController: checks the vibration motor. The operator lays the device flat, screen
// up, within a 3-second count-down; the accelerometer confirms it, a second count-down follows and
// the device vibrates three times while the accelerometer listens: the test passes only when the
// accelerometer felt the motor (clearly more motion than while the device lay still before). When
// the device is not laid flat in time, has no accelerometer, the accelerometer did not feel the
// motor, or the device is a tablet ("iPad"), the device vibrates once a second and the operator
// answers whether it vibrates. The operator-audit copy asks without vibrating and inverts the answer.
#pragma once

#include <Core/DXBaseViewController.h>
#include <CoreMotion/CMMotionManager.h>
#include <Reactive/RXDisposable.h>
#include <UIKit/UILabel.h>

#include <vector>

class VibrationViewController : public DXBaseViewController {
    NS_OBJECT(VibrationViewController, DXBaseViewController)
public:
    VibrationViewController() = default;
    NS_PROPERTY(Ref<CMMotionManager>, motionManager, setMotionManager)
    NS_WEAK_PROPERTY(UILabel, tipLabel, setTipLabel)
    NS_WEAK_PROPERTY(UILabel, countLabel, setCountLabel)
    NS_PROPERTY(Ref<RXDisposable>, repeatDs, setRepeatDs)
    NS_PROPERTY(Ref<RXDisposable>, vibrationDs, setVibrationDs)

    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;
    Ref<RXSignal> disappear() override;

    // Ticks every second, n + 1 times, with the count lowered each time (n - 1 ... -1).
    Ref<RXSignal> readySignal(int64_t count);
    // YES and completion once the device lies flat, screen up; an error without an accelerometer or
    // on a sample that carries one.
    Ref<RXSignal> checkDirection();
    // Vibrates once and completes a second later.
    Ref<RXSignal> vibrationSignal();

private:
    void manualPath();
    void automaticPath();
    void listen(bool buzzing);
    bool motorFelt() const;
    void finish(NSInteger result);
    int64_t count_ = 3;
    bool gone_ = false;
    bool manual_ = false;
    std::vector<double> still_;
    std::vector<double> buzzing_;
    bool buzzingNow_ = false;
};
