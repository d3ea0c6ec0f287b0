// The charging tests. ACUsbPlugViewController (the charger) and ComputerUSBPlugViewController (a
// computer's USB port) decide at once from the battery state the platform reports: charging or
// full passes, anything else (unplugged, unknown) fails; either way battery monitoring is switched
// off again and the test ends half a second later. WirelessChargingViewController asks the operator
// whether the device charges on a wireless pad.
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>

class ACUsbPlugViewController : public DXBaseViewController {
    NS_OBJECT(ACUsbPlugViewController, DXBaseViewController)
public:
    ACUsbPlugViewController() = default;
    NS_WEAK_PROPERTY(UILabel, label, setLabel)
    NS_WEAK_PROPERTY(UIImageView, imageView, setImageView)
    NS_WEAK_PROPERTY(UIButton, passButton, setPassButton)
    void viewDidLoad() override;
    // The pass button's action: an unwind the run container does not offer; logged only.
    void onClick(const id& sender);
    // An ending the screen's own flow does not use: decides from the battery state with a sub-item.
    void handleBatteryState();
    static id extraMessage() { return nullptr; }
};

class ComputerUSBPlugViewController : public DXBaseViewController {
    NS_OBJECT(ComputerUSBPlugViewController, DXBaseViewController)
public:
    ComputerUSBPlugViewController() = default;
    NS_WEAK_PROPERTY(UILabel, label, setLabel)
    NS_WEAK_PROPERTY(UIImageView, imageView, setImageView)
    NS_WEAK_PROPERTY(UILabel, tiplabel, setTiplabel)
    void viewDidLoad() override;
    static id extraMessage() { return nullptr; }
};

class WirelessChargingViewController : public DXBaseViewController {
    NS_OBJECT(WirelessChargingViewController, DXBaseViewController)
public:
    WirelessChargingViewController() = default;
    NS_WEAK_PROPERTY(UILabel, label, setLabel)
    NS_WEAK_PROPERTY(UILabel, question, setQuestion)
    void viewDidLoad() override;
    static id extraMessage() { return nullptr; }
};
