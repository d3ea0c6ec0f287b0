// LCDCrackViewController: asks the operator whether the display is free of cracks. The title goes
// into the base's title line. YES passes the test (result 1), NO fails it (result 2).
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/UILabel.h>

class LCDCrackViewController : public DXBaseViewController {
    NS_OBJECT(LCDCrackViewController, DXBaseViewController)
public:
    LCDCrackViewController() = default;
    NS_WEAK_PROPERTY(UILabel, label, setLabel)
    NS_WEAK_PROPERTY(UILabel, question, setQuestion)

    void viewDidLoad() override;
};
