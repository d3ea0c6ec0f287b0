// BrightnessViewController: the backlight test. The screen brightness sweeps between 0 and 100 %
// in steps of 10 %, ten steps a second, turning with a one-step pause at each end, and the level
// is shown; the operator answers whether the backlight followed. The brightness found when the
// screen loaded is put back each time it disappears. As the operator-audit decoy (`fakeTest`)
// nothing is swept and the answer counts inverted (NO passes, YES fails); its sub-item records the
// operator's answer as given (1 for YES, 2 for NO), as on the normal test.
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/UILabel.h>

class BrightnessViewController : public DXBaseViewController {
    NS_OBJECT(BrightnessViewController, DXBaseViewController)
public:
    BrightnessViewController() = default;
    NS_PROPERTY(double, brightnessValue, setBrightnessValue)
    NS_PROPERTY(double, orgin_value, setOrgin_value)
    NS_PROPERTY(bool, direction, setDirection)
    NS_WEAK_PROPERTY(UILabel, labelTips, setLabelTips)
    NS_WEAK_PROPERTY(UILabel, progressLabel, setProgressLabel)

    void viewDidLoad() override;

private:
    void sweepTick();
};
