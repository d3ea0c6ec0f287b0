// ManualTestViewController: a question screen that asks the operator the question that the test profile gives the
// record (shown as it is). YES on the answer bar passes the test (result 1), NO fails it (result 2).
#pragma once

#include <Core/DXBaseViewController.h>
#include <Foundation/NSNumber.h>
#include <UIKit/UILabel.h>

class ManualTestViewController : public DXBaseViewController {
    NS_OBJECT(ManualTestViewController, DXBaseViewController)
public:
    ManualTestViewController() = default;
    NS_WEAK_PROPERTY(UILabel, question, setQuestion)

    void viewDidLoad() override;
};
