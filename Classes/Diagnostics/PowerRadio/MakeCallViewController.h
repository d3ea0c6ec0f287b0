// MakeCallViewController: the live call test. It dials the number the test profile gives
// (params "extra" "liveCallNum") through the system's "tel" URL; the phone takes over, and when the
// operator comes back the question whether the call worked is on screen. Only a number made of
// digits (with an optional leading "+", and "*" or "#"), 3 to 20 of them, is dialled; without
// one the test fails at once, so that no made-up number ever reaches a real service. Systems
// before 8 count down first and leave a notification to come back with.
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/UIButton.h>
#include <UIKit/UILabel.h>
#include <UIKit/UITextField.h>

class MakeCallViewController : public DXBaseViewController {
    NS_OBJECT(MakeCallViewController, DXBaseViewController)
public:
    MakeCallViewController() = default;
    NS_WEAK_PROPERTY(UILabel, tipLabel, setTipLabel)
    NS_WEAK_PROPERTY(UILabel, callprogressLabel, setCallprogressLabel)
    NS_WEAK_PROPERTY(UITextField, number, setNumber)
    NS_WEAK_PROPERTY(UIButton, callButton, setCallButton)

    void viewDidLoad() override;
    void makeCallWithNumber(const Ref<NSString>& number);
    // The profile's number when it can be dialled, else nil.
    static Ref<NSString> dialableNumber(const Ref<DXTestModel>& record);
};
