// CLLocation: a fix: coordinate in degrees, altitude in metres, accuracies in metres (a negative
// horizontal accuracy marks an invalid fix), speed in metres per second and course in degrees
// (negative when unknown), and the date it was taken.
#pragma once

#include <Foundation/NSDate.h>

using CLLocationDegrees = double;
using CLLocationDistance = double;
using CLLocationAccuracy = double;
using CLLocationDirection = double;

struct CLLocationCoordinate2D {
    CLLocationDegrees latitude = 0;
    CLLocationDegrees longitude = 0;
};

CLLocationCoordinate2D CLLocationCoordinate2DMake(CLLocationDegrees latitude, CLLocationDegrees longitude);
// Latitude within ±90 and longitude within ±180, both finite.
bool CLLocationCoordinate2DIsValid(CLLocationCoordinate2D coordinate);

class CLLocation : public NSObject {
    NS_OBJECT(CLLocation, NSObject)
public:
    CLLocation(CLLocationCoordinate2D coordinate = {}, CLLocationDistance altitude = 0,
               CLLocationAccuracy horizontalAccuracy = -1, CLLocationAccuracy verticalAccuracy = -1, double course = -1,
               double speed = -1, Ref<NSDate> timestamp = nullptr);
    CLLocation(CLLocationDegrees latitude, CLLocationDegrees longitude);

    CLLocationCoordinate2D coordinate() const noexcept { return coordinate_; }
    CLLocationDistance altitude() const noexcept { return altitude_; }
    CLLocationAccuracy horizontalAccuracy() const noexcept { return horizontalAccuracy_; }
    CLLocationAccuracy verticalAccuracy() const noexcept { return verticalAccuracy_; }
    CLLocationDirection course() const noexcept { return course_; }
    double speed() const noexcept { return speed_; }
    const Ref<NSDate>& timestamp() const noexcept { return timestamp_; }
    // Great-circle distance in metres.
    CLLocationDistance distanceFromLocation(const Ref<CLLocation>& other) const;
    Ref<NSString> description() const override;

private:
    CLLocationCoordinate2D coordinate_;
    CLLocationDistance altitude_;
    CLLocationAccuracy horizontalAccuracy_;
    CLLocationAccuracy verticalAccuracy_;
    double course_;
    double speed_;
    Ref<NSDate> timestamp_;
};
