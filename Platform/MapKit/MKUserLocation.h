// MKUserLocation: the device's position as a map view shows it: the latest fix of the location
// service (nil before the first), its coordinate, and whether the map is locating the user now.
// Made and changed by its map view only. Main thread.
#pragma once

#include <CoreLocation/CLLocation.h>

class MKMapView;

class MKUserLocation : public NSObject {
    NS_OBJECT(MKUserLocation, NSObject)
public:
    MKUserLocation() = default;

    const Ref<CLLocation>& location() const noexcept { return location_; }
    // The fix's coordinate; (0, 0) before the first fix (its validity is the location's to say).
    CLLocationCoordinate2D coordinate() const;
    bool isUpdating() const noexcept { return updating_; }
    Ref<NSString> title() const;

private:
    friend class MKMapView;
    void setLocation(const Ref<CLLocation>& location) { location_ = location; }
    void setUpdating(bool updating) { updating_ = updating; }

    Ref<CLLocation> location_;
    bool updating_ = false;
};
