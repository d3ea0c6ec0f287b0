// WaterDamgeViewController: a question screen that asks the operator whether the device is free of water damage. YES on
// the answer bar passes the test (result 1), NO fails it (result 2).
#pragma once

#include <Core/DXBaseViewController.h>
#include <Foundation/NSNumber.h>
#include <UIKit/UILabel.h>

class WaterDamgeViewController : public DXBaseViewController {
    NS_OBJECT(WaterDamgeViewController, DXBaseViewController)
public:
    WaterDamgeViewController() = default;
    NS_WEAK_PROPERTY(UILabel, question, setQuestion)
    NS_WEAK_PROPERTY(UILabel, titleLabel, setTitleLabel)

    void viewDidLoad() override;
};
