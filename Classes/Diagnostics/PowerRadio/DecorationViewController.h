// DecorationViewController: a question screen that asks the operator whether the device is free of stickers and
// decorations. YES on the answer bar passes the test (result 1), NO fails it (result 2).
#pragma once

#include <Core/DXBaseViewController.h>
#include <Foundation/NSNumber.h>
#include <UIKit/UILabel.h>

class DecorationViewController : public DXBaseViewController {
    NS_OBJECT(DecorationViewController, DXBaseViewController)
public:
    DecorationViewController() = default;
    NS_WEAK_PROPERTY(UILabel, question, setQuestion)
    NS_WEAK_PROPERTY(UILabel, label, setLabel)

    void viewDidLoad() override;
};
