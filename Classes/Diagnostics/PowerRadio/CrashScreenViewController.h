// CrashScreenViewController: a question screen that asks the operator whether the screen is free of damage. YES on the
// answer bar passes the test (result 1), NO fails it (result 2).
#pragma once

#include <Core/DXBaseViewController.h>
#include <Foundation/NSNumber.h>
#include <UIKit/UILabel.h>

class CrashScreenViewController : public DXBaseViewController {
    NS_OBJECT(CrashScreenViewController, DXBaseViewController)
public:
    CrashScreenViewController() = default;
    NS_WEAK_PROPERTY(UILabel, question, setQuestion)

    void viewDidLoad() override;
};
