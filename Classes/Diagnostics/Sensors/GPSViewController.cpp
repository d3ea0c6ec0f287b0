#include <Diagnostics/Sensors/GPSViewController.h>

#include "SensorLayout.h"

#include <Categorys/DXLocalizedString.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXPropertySubscribing.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/UIAlertView+RXSignalSupport.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(GPSViewController, DXBaseViewController) {
    using G = GPSViewController;
    b.conformsTo(NS_PROTOCOL(CLLocationManagerDelegate));
    b.conformsTo(NS_PROTOCOL(MKMapViewDelegate));
    b.property("receivedData", &G::receivedData, &G::setReceivedData);
    b.property("isrequestauthorization", &G::isrequestauthorization, &G::setIsrequestauthorization);
    b.property("longitude", &G::longitude, &G::setLongitude, "weak");
    b.property("latitude", &G::latitude, &G::setLatitude, "weak");
    b.property("progressView", &G::progressView, &G::setProgressView, "weak");
    b.property("mapView", &G::mapView, &G::setMapView, "weak");
    b.method("mapView:didUpdateUserLocation:", &G::mapViewDidUpdateUserLocation);
    b.method("locationManager:didChangeAuthorizationStatus:", &G::locationManagerDidChangeAuthorizationStatus);
    b.classMethod("extraMessage", [] { return GPSViewController::extraMessage(); });
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_sensors;
    registerLayout("GPSViewController", {{"labelTitle", Kind::Label},
                                         {"latitude", Kind::Label},
                                         {"longitude", Kind::Label},
                                         {"progressView", Kind::Activity},
                                         {"mapView", Kind::Map}});
    return true;
}();

} // namespace

void GPSViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    setSubItemlist(dx_sensors::subItems({"GPS Signal Test"}));
    Weak<GPSViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        if (unbox<bool>(value)) {
            if (auto alert = self->alertView()) {
                self->setAlertView(nullptr);
                alert->dismissWithClickedButtonIndexAnimated(0, true);
            }
            self->appeared();
        } else if (self->locmanager()) {
            self->locmanager()->stopUpdatingLocation();
        }
    });
    if (auto title = labelTitle()) {
        title->setText(DXLocalizedString("GPS_CONTROLLER_TITLE"));
    }
    hidenButtons(true);
    if (auto progress = progressView()) {
        progress->setHidden(false);
    }
    setLocmanager(make<CLLocationManager>());
    locmanager_->setDelegate(Ref<NSObject>(this));
    locmanager_->setDesiredAccuracy(kCLLocationAccuracyBest);
}

void GPSViewController::appeared() {
    Weak<GPSViewController> weak(this);
    Ref<RXSignal> gone = disappear();
    // Fixes and the pass are watched for one appearance at a time.
    rx_signalForSelectorFromProtocol(Ref<NSObject>(this), "locationManager:didUpdateToLocation:fromLocation:",
                                     NS_PROTOCOL(CLLocationManagerDelegate))
        ->takeUntil(gone)
        ->subscribeNext([weak](const id& args) {
            auto self = weak.lock();
            auto tuple = cast<RXTuple>(args);
            if (!self || !tuple) {
                return;
            }
            auto location = cast<CLLocation>(tuple->objectAtIndex(1));
            if (!location || !CLLocationCoordinate2DIsValid(location->coordinate()) ||
                !(location->horizontalAccuracy() >= 0)) {
                return;
            }
            if (auto label = self->longitude()) {
                label->setText(NSString::stringWithFormat("%.8f", location->coordinate().longitude));
            }
            if (auto label = self->latitude()) {
                label->setText(NSString::stringWithFormat("%.8f", location->coordinate().latitude));
            }
            self->setReceivedData(true);
        });
    rx_valuesForKeyPathObserver(Ref<NSObject>(this), "receivedData"_ns, Ref<NSObject>(this))
        ->distinctUntilChanged()
        ->delay(2.0)
        ->takeUntil(gone)
        ->subscribeNext([weak](const id& value) {
            auto self = weak.lock();
            if (!self || !unbox<bool>(value) || self->isCompleted() || !self->info()) {
                return;
            }
            self->info()->setResult(DXTestResultPass);
            if (auto progress = self->progressView()) {
                progress->stopAnimating();
            }
            self->gotoResultView();
        });

    switch (CLLocationManager::authorizationStatus()) {
    case kCLAuthorizationStatusAuthorizedAlways:
    case kCLAuthorizationStatusAuthorizedWhenInUse:
        startUpdates();
        break;
    case kCLAuthorizationStatusDenied: {
        if (info()) {
            info()->setResult(DXTestResultFail);
        }
        auto message = DXLocalizedStringWithArguments("GPS_CONTROLLER_AUTHORIZATION_ALERT"_ns, {"Celvix"_ns});
        auto alert = make<UIAlertView>(""_ns, message, nullptr, DXLocalizedString("BASETEST_CONTROLLER_YES"),
                                       std::vector<Ref<NSString>>{});
        setAlertView(alert);
        rx_buttonClickedSignal(alert)->take(1)->subscribeNext([weak](const id&) {
            if (auto self = weak.lock()) {
                self->setAlertView(nullptr);
                self->gotoResultView();
            }
        });
        alert->show();
        break;
    }
    default:
        locmanager_->requestWhenInUseAuthorization();
        setIsrequestauthorization(true);
        startUpdates();
        break;
    }
}

void GPSViewController::startUpdates() {
    if (auto progress = progressView()) {
        progress->startAnimating();
    }
    locmanager_->startUpdatingLocation();
}

void GPSViewController::locationManagerDidChangeAuthorizationStatus(const Ref<CLLocationManager>&, int) {
    if (CLLocationManager::authorizationStatus() != kCLAuthorizationStatusDenied || !isrequestauthorization() ||
        isCompleted()) {
        return;
    }
    locmanager_->stopUpdatingLocation();
    if (info()) {
        info()->setResult(DXTestResultFail);
    }
    gotoResultView();
}

void GPSViewController::mapViewDidUpdateUserLocation(const Ref<MKMapView>& mapView,
                                                     const Ref<MKUserLocation>& userLocation) {
    if (!mapView || !userLocation || !userLocation->location()) {
        return;
    }
    mapView->setRegionAnimated(
        MKCoordinateRegionMakeWithDistance(userLocation->coordinate(), kMapRegionMeters, kMapRegionMeters), true);
}
