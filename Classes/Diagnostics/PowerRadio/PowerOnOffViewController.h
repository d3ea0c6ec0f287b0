// PowerOnOffViewController: a question screen that asks the operator whether the power button works. YES on the answer
// bar passes the test (result 1), NO fails it (result 2).
#pragma once

#include <Core/DXBaseViewController.h>
#include <Foundation/NSNumber.h>
#include <UIKit/UILabel.h>

class PowerOnOffViewController : public DXBaseViewController {
    NS_OBJECT(PowerOnOffViewController, DXBaseViewController)
public:
    PowerOnOffViewController() = default;
    NS_WEAK_PROPERTY(UILabel, question, setQuestion)
    NS_WEAK_PROPERTY(UILabel, label, setLabel)

    void viewDidLoad() override;
};
