// RFTestViewController: the cellular radio test. It shows the carrier, the radio technology and the
// signal strength (read from the status bar's signal item by key path: bars from system 11, the
// raw dBm level before; a status bar without the item reads 0), and with a SIM that has a network
// code and a radio technology lets the operator confirm; without them it fails a second after it
// shows. Only the operator's answer writes a pass, and coming back to the screen later never wipes
// an earlier result. The lines are refreshed every 3 seconds while it is shown.
#pragma once

#include <Core/DXBaseViewController.h>
#include <Foundation/NSTimer.h>
#include <UIKit/UILabel.h>

class RFTestViewController : public DXBaseViewController {
    NS_OBJECT(RFTestViewController, DXBaseViewController)
public:
    RFTestViewController() = default;
    NS_WEAK_PROPERTY(UILabel, carrier, setCarrier)
    NS_WEAK_PROPERTY(UILabel, newtworkType, setNewtworkType)
    NS_WEAK_PROPERTY(UILabel, signalStrength, setSignalStrength)
    NS_WEAK_PROPERTY(UILabel, question, setQuestion)
    NS_PROPERTY(bool, isDone, setIsDone)
    NS_PROPERTY(bool, enterBackgound, setEnterBackgound)
    NS_PROPERTY(Ref<NSTimer>, updateSignalStrengthTimer, setUpdateSignalStrengthTimer)

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    NSInteger getSignalStrength();
    NSInteger fetchSignalBarsForiPhoneX();
    void getSignal();
    void refreshInfoWithSignal(const Ref<NSString>& signal);
    bool hasSimCard();
    Ref<RXSignal> disappear() override;

    static Ref<NSNumber> isSupport();
    static id extraMessage();
};
