// MakeCallViewController: the live call test. It dials the number the test profile gives
// (params "extra" "liveCallNum"), or the carrier's service number "611" when the profile gives none
// (or an empty one), through the system's "tel" URL; the phone takes over, and when the operator
// comes back the question whether the call worked is on screen. A number the profile gives is
// dialled only when it is made of digits (with an optional leading "+", and "*" or "#"), 3 to 20
// of them; any other fails the test without a call. Systems before 8 count down first and leave a
// notification to come back with.
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
    // The number dialled without one in the profile.
    static constexpr const char* kDefaultNumber = "611";
    // The profile's number ("611" when it gives none or an empty one); nil when the number it gives
    // cannot be dialled.
    static Ref<NSString> dialableNumber(const Ref<DXTestModel>& record);
};
