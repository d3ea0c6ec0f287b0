// AmbientLightViewController: checks the light sensing of the front of the device. On a phone the
// operator covers and uncovers the sensor beside the earpiece: the uncovering passes. On a device
// whose model name begins with "iPad" or "iPod" any change of the screen brightness (automatic
// brightness) passes one second later. After the time limit (0: the long default) the phone asks
// the operator and the tablet offers No. The test ends once: an answer or a late change after the
// end changes nothing, and every subscription ends with the screen.
#pragma once

#include <Core/DXBaseViewController.h>
#include <UIKit/UIButton.h>
#include <UIKit/UIImageView.h>
#include <UIKit/UILabel.h>

class AmbientLightViewController : public DXBaseViewController {
    NS_OBJECT(AmbientLightViewController, DXBaseViewController)
public:
    AmbientLightViewController() = default;
    NS_WEAK_PROPERTY(UILabel, tipLabel, setTipLabel)
    NS_WEAK_PROPERTY(UILabel, coverCountLabel, setCoverCountLabel)
    NS_WEAK_PROPERTY(UILabel, birghtnessTitleLabel, setBirghtnessTitleLabel)
    NS_WEAK_PROPERTY(UILabel, birghtnessValueLabel, setBirghtnessValueLabel)
    NS_WEAK_PROPERTY(UIImageView, imageView, setImageView)
    NS_WEAK_PROPERTY(UIButton, noButton, setNoButton)

    void viewDidLoad() override;
    void viewWillDisappear(bool animated) override;

private:
    void showBrightness();
    void finish(NSInteger result);
    void passLater();
    bool gone_ = false;
};
