// DeviceInfoViewController: shows the model name, the storage capacity as a nominal size and the
// IMEI the testing station supplied, and asks the operator whether they match the device in hand.
// The nominal size is the band the transaction record gives the same size: (1, 4] GiB is "4GB",
// (4, 8] "8GB", (8, 16] "16GB" and so on up to (512, 1024] "1024GB", boundaries included in the
// band below them; a size outside every band is shown as itself in whole GiB.
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/UILabel.h>

class DeviceInfoViewController : public DXBaseViewController {
    NS_OBJECT(DeviceInfoViewController, DXBaseViewController)
public:
    DeviceInfoViewController() = default;
    NS_WEAK_PROPERTY(UILabel, modelLabel, setModelLabel)
    NS_WEAK_PROPERTY(UILabel, modelValue, setModelValue)
    NS_WEAK_PROPERTY(UILabel, capacitylLabel, setCapacitylLabel)
    NS_WEAK_PROPERTY(UILabel, capacitylValue, setCapacitylValue)
    NS_WEAK_PROPERTY(UILabel, imei, setImei)
    NS_WEAK_PROPERTY(UILabel, question, setQuestion)
    void viewDidLoad() override;

    // The IMEI of the station file ("VT_IMEI", plain JSON or Base64 of it), or "".
    static Ref<NSString> getIMEI();
    // The nominal text of a size in GiB.
    static Ref<NSString> capacityText(double gibibytes);
};
