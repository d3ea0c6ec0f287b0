// CLLocationManager: the location service. The application's authorisation decides whether fixes
// come: while not determined nothing comes (requestWhenInUseAuthorization shows the system's
// prompt; the delegate hears the answer through locationManager:didChangeAuthorizationStatus:),
// when denied or restricted the delegate gets kCLErrorDenied. Fixes come about once a second, only
// between startUpdatingLocation and stopUpdatingLocation, and only when the device has a working
// receiver; the delegate gets locationManager:didUpdateLocations: or, when it answers only that,
// locationManager:didUpdateToLocation:fromLocation:. Headings (about ten a second while updating,
// kept by a heading filter) come from the magnetometer; headingAvailable says whether there is one.
//
// Main thread: the manager is made and used there, and its delegate is called there.
#pragma once

#include <CoreLocation/CLHeading.h>
#include <CoreLocation/CLLocation.h>
#include <Foundation/NSError.h>
#include <Runtime/ProtocolBuilder.h>

#include <memory>

NS_DECLARE_PROTOCOL(CLLocationManagerDelegate);

enum CLAuthorizationStatus : int {
    kCLAuthorizationStatusNotDetermined = 0,
    kCLAuthorizationStatusRestricted = 1,
    kCLAuthorizationStatusDenied = 2,
    kCLAuthorizationStatusAuthorizedAlways = 3,
    kCLAuthorizationStatusAuthorizedWhenInUse = 4,
};

const Ref<NSString>& kCLErrorDomain();
enum CLError : NSInteger {
    kCLErrorLocationUnknown = 0,
    kCLErrorDenied = 1,
    kCLErrorNetwork = 2,
    kCLErrorHeadingFailure = 3,
};

inline constexpr CLLocationAccuracy kCLLocationAccuracyBestForNavigation = -2;
inline constexpr CLLocationAccuracy kCLLocationAccuracyBest = -1;
inline constexpr CLLocationAccuracy kCLLocationAccuracyNearestTenMeters = 10;
inline constexpr CLLocationAccuracy kCLLocationAccuracyHundredMeters = 100;
inline constexpr CLLocationAccuracy kCLLocationAccuracyKilometer = 1000;
inline constexpr CLLocationDistance kCLDistanceFilterNone = -1;
inline constexpr double kCLHeadingFilterNone = -1;

class CLLocationManager : public NSObject {
    NS_OBJECT(CLLocationManager, NSObject)
public:
    CLLocationManager();
    ~CLLocationManager() override;

    static CLAuthorizationStatus authorizationStatus();
    static bool locationServicesEnabled();
    static bool headingAvailable();

    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }

    CLLocationAccuracy desiredAccuracy() const noexcept { return desiredAccuracy_; }
    void setDesiredAccuracy(CLLocationAccuracy accuracy) { desiredAccuracy_ = accuracy; }
    CLLocationDistance distanceFilter() const noexcept { return distanceFilter_; }
    void setDistanceFilter(CLLocationDistance filter) { distanceFilter_ = filter; }
    double headingFilter() const noexcept { return headingFilter_; }
    void setHeadingFilter(double filter) { headingFilter_ = filter; }

    void requestWhenInUseAuthorization();
    void requestAlwaysAuthorization();

    void startUpdatingLocation();
    void stopUpdatingLocation();
    bool isUpdatingLocation() const noexcept { return updatingLocation_; }
    // The latest fix (nil before the first).
    const Ref<CLLocation>& location() const noexcept { return location_; }

    void startUpdatingHeading();
    void stopUpdatingHeading();
    bool isUpdatingHeading() const noexcept { return updatingHeading_; }
    // The latest heading (nil before the first).
    const Ref<CLHeading>& heading() const noexcept { return heading_; }
    void dismissHeadingCalibrationDisplay() {}

    static constexpr double kLocationInterval = 1.0;
    static constexpr double kHeadingInterval = 0.1;

private:
    struct Timers;
    void locationTick();
    void headingTick();
    void authorizationChanged();

    Weak<NSObject> delegate_;
    CLLocationAccuracy desiredAccuracy_ = kCLLocationAccuracyBest;
    CLLocationDistance distanceFilter_ = kCLDistanceFilterNone;
    double headingFilter_ = 1;
    bool updatingLocation_ = false;
    bool updatingHeading_ = false;
    bool reportedFailure_ = false;
    Ref<CLLocation> location_;
    Ref<CLHeading> heading_;
    std::unique_ptr<Timers> timers_;
    uint64_t listener_ = 0;
};
