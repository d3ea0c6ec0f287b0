#include <CoreLocation/CLLocation.h>

#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

#include <cmath>
#include <numbers>

NS_IMPLEMENT_CLASS(CLLocation, NSObject) {
    b.readonlyProperty("altitude", &CLLocation::altitude);
    b.readonlyProperty("horizontalAccuracy", &CLLocation::horizontalAccuracy);
    b.readonlyProperty("verticalAccuracy", &CLLocation::verticalAccuracy);
    b.readonlyProperty("course", &CLLocation::course);
    b.readonlyProperty("speed", &CLLocation::speed);
    b.readonlyProperty("timestamp", &CLLocation::timestamp);
}

CLLocationCoordinate2D CLLocationCoordinate2DMake(CLLocationDegrees latitude, CLLocationDegrees longitude) {
    return {latitude, longitude};
}

bool CLLocationCoordinate2DIsValid(CLLocationCoordinate2D c) {
    return std::isfinite(c.latitude) && std::isfinite(c.longitude) && std::abs(c.latitude) <= 90 &&
           std::abs(c.longitude) <= 180;
}

CLLocation::CLLocation(CLLocationCoordinate2D coordinate, CLLocationDistance altitude,
                       CLLocationAccuracy horizontalAccuracy, CLLocationAccuracy verticalAccuracy, double course,
                       double speed, Ref<NSDate> timestamp)
    : coordinate_(coordinate), altitude_(altitude), horizontalAccuracy_(horizontalAccuracy),
      verticalAccuracy_(verticalAccuracy), course_(course), speed_(speed),
      timestamp_(timestamp ? std::move(timestamp) : NSDate::date()) {}

CLLocation::CLLocation(CLLocationDegrees latitude, CLLocationDegrees longitude)
    : CLLocation(CLLocationCoordinate2D{latitude, longitude}, 0, 0, -1) {}

CLLocationDistance CLLocation::distanceFromLocation(const Ref<CLLocation>& other) const {
    if (!other) {
        return 0;
    }
    constexpr double kEarthRadius = 6371000.0;
    constexpr double rad = std::numbers::pi / 180;
    double lat1 = coordinate_.latitude * rad;
    double lat2 = other->coordinate_.latitude * rad;
    double dLat = lat2 - lat1;
    double dLon = (other->coordinate_.longitude - coordinate_.longitude) * rad;
    double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
               std::cos(lat1) * std::cos(lat2) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthRadius * std::atan2(std::sqrt(a), std::sqrt(std::max(0.0, 1 - a)));
}

Ref<NSString> CLLocation::description() const {
    return NSString::stringWithFormat("<%+.8f,%+.8f> +/- %.2fm (speed %.2f mps / course %.2f)", coordinate_.latitude,
                                      coordinate_.longitude, horizontalAccuracy_, speed_, course_);
}
