// BarometerViewController: checks the barometer. It starts relative-altitude updates, shows the
// first good reading's pressure (hectopascals) and relative altitude, and passes 3 seconds later;
// without a good reading within the record's time limit the test fails. Only a finite, positive
// pressure with a finite altitude counts as a reading. The time limit (0: the long default) stops
// when the screen goes, and so do the updates.
#pragma once

#include <Core/DXBaseViewController.h>
#include <CoreMotion/CMAltimeter.h>
#include <Reactive/RXSubject.h>
#include <UIKit/UILabel.h>

class BarometerViewController : public DXBaseViewController {
    NS_OBJECT(BarometerViewController, DXBaseViewController)
public:
    BarometerViewController() = default;
    NS_PROPERTY(Ref<CMAltimeter>, altimeter, setAltimeter)
    NS_WEAK_PROPERTY(UILabel, pressureLabel, setPressureLabel)
    NS_WEAK_PROPERTY(UILabel, altitudeLabel, setAltitudeLabel)
    NS_PROPERTY(Ref<RXSubject>, event, setEvent)

    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;

private:
    bool gone_ = false;
};
