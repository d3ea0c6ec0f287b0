// TrueToneViewController: a question screen that asks the operator whether True Tone changes the display. YES on the
// answer bar passes the test (result 1), NO fails it (result 2).
#pragma once

#include <Core/DXBaseViewController.h>
#include <Foundation/NSNumber.h>
#include <UIKit/UILabel.h>

class TrueToneViewController : public DXBaseViewController {
    NS_OBJECT(TrueToneViewController, DXBaseViewController)
public:
    TrueToneViewController() = default;
    NS_WEAK_PROPERTY(UILabel, question, setQuestion)
    NS_WEAK_PROPERTY(UILabel, tipLabel, setTipLabel)

    void viewDidLoad() override;
};
