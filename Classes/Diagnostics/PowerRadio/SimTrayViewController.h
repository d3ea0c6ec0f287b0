// SimTrayViewController: a question screen that asks the operator whether the SIM tray is present and undamaged. YES on
// the answer bar passes the test (result 1), NO fails it (result 2).
#pragma once

#include <Core/DXBaseViewController.h>
#include <Foundation/NSNumber.h>
#include <UIKit/UILabel.h>

class SimTrayViewController : public DXBaseViewController {
    NS_OBJECT(SimTrayViewController, DXBaseViewController)
public:
    SimTrayViewController() = default;
    NS_WEAK_PROPERTY(UILabel, question, setQuestion)
    NS_WEAK_PROPERTY(UILabel, label, setLabel)

    // `+isSupport`: the number 1 when a new telephony network-information object reports a subscriber
    // cellular provider (a SIM carrier record), else 0.
    static Ref<NSNumber> isSupport();

    void viewDidLoad() override;
};
