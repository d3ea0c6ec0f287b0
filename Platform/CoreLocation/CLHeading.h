// CLHeading: where the device points: magnetic and true heading in degrees clockwise from north
// (0 to 360), their accuracy in degrees (negative: invalid), and the geomagnetic field along the
// device's axes in microtesla.
#pragma once

#include <CoreLocation/CLLocation.h>

class CLHeading : public NSObject {
    NS_OBJECT(CLHeading, NSObject)
public:
    CLHeading(CLLocationDirection magneticHeading = 0, CLLocationDirection trueHeading = -1,
              CLLocationDirection headingAccuracy = -1, double x = 0, double y = 0, double z = 0,
              Ref<NSDate> timestamp = nullptr);

    CLLocationDirection magneticHeading() const noexcept { return magneticHeading_; }
    CLLocationDirection trueHeading() const noexcept { return trueHeading_; }
    CLLocationDirection headingAccuracy() const noexcept { return headingAccuracy_; }
    double x() const noexcept { return x_; }
    double y() const noexcept { return y_; }
    double z() const noexcept { return z_; }
    const Ref<NSDate>& timestamp() const noexcept { return timestamp_; }
    Ref<NSString> description() const override;

private:
    CLLocationDirection magneticHeading_, trueHeading_, headingAccuracy_;
    double x_, y_, z_;
    Ref<NSDate> timestamp_;
};
