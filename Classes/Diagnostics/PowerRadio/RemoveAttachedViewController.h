// RemoveAttachedViewController: a question screen that asks the operator whether every accessory has been removed. YES
// on the answer bar passes the test (result 1), NO fails it (result 2).
#pragma once

#include <Core/DXBaseViewController.h>
#include <Foundation/NSNumber.h>
#include <UIKit/UILabel.h>

class RemoveAttachedViewController : public DXBaseViewController {
    NS_OBJECT(RemoveAttachedViewController, DXBaseViewController)
public:
    RemoveAttachedViewController() = default;
    NS_WEAK_PROPERTY(UILabel, question, setQuestion)
    NS_WEAK_PROPERTY(UILabel, label, setLabel)

    void viewDidLoad() override;
};
