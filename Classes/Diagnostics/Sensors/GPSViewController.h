// GPSViewController: checks location reception. It makes sure the application may use location
// (asking when it has not been decided), starts updates at the best accuracy, shows the first
// fix's latitude and longitude with eight decimals and passes 2 seconds after it. A denied
// permission fails with an alert. Each appearance checks the permission again and watches for
// fixes afresh, so coming back to the screen goes on where it left. A fix with a coordinate that
// is not valid, or without a valid accuracy, is not a fix.
#pragma once

#include <Core/DXBaseViewController.h>
#include <CoreLocation/CLLocationManager.h>
#include <UIKit/UIActivityIndicatorView.h>
#include <UIKit/UIAlertView.h>
#include <UIKit/UILabel.h>

class GPSViewController : public DXBaseViewController {
    NS_OBJECT(GPSViewController, DXBaseViewController)
public:
    GPSViewController() = default;
    NS_PROPERTY(Ref<CLLocationManager>, locmanager, setLocmanager)
    NS_PROPERTY(bool, receivedData, setReceivedData)
    NS_PROPERTY(bool, isrequestauthorization, setIsrequestauthorization)
    NS_PROPERTY(Ref<UIAlertView>, alertView, setAlertView)
    NS_WEAK_PROPERTY(UILabel, longitude, setLongitude)
    NS_WEAK_PROPERTY(UILabel, latitude, setLatitude)
    NS_WEAK_PROPERTY(UIActivityIndicatorView, progressView, setProgressView)

    void viewDidLoad() override;
    void locationManagerDidChangeAuthorizationStatus(const Ref<CLLocationManager>& manager, int status);
    static id extraMessage() { return nullptr; }

private:
    void appeared();
    void startUpdates();
};
