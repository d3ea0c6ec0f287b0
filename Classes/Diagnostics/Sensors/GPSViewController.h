// GPSViewController: checks location reception. It makes sure the application may use location
// (asking when it has not been decided), starts updates at the best accuracy, shows the first
// fix's latitude and longitude with eight decimals and passes 2 seconds after it. A denied
// permission fails with an alert. Each appearance checks the permission again and watches for
// fixes afresh, so coming back to the screen goes on where it left. A fix with a coordinate that
// is not valid, or without a valid accuracy, is not a fix. The map of the layout follows the user's
// location: each update centres it on a region 250 m by 250 m, animated.
#pragma once

#include <Core/DXBaseViewController.h>
#include <CoreLocation/CLLocationManager.h>
#include <MapKit/MKMapView.h>
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
    NS_WEAK_PROPERTY(MKMapView, mapView, setMapView)

    void viewDidLoad() override;
    void locationManagerDidChangeAuthorizationStatus(const Ref<CLLocationManager>& manager, int status);
    void mapViewDidUpdateUserLocation(const Ref<MKMapView>& mapView, const Ref<MKUserLocation>& userLocation);
    static id extraMessage() { return nullptr; }

    static constexpr CLLocationDistance kMapRegionMeters = 250;

private:
    void appeared();
    void startUpdates();
};
