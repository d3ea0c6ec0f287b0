#include <CoreLocation/CLHeading.h>

#include <Foundation/NSString.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(CLHeading, NSObject) {
    b.readonlyProperty("magneticHeading", &CLHeading::magneticHeading);
    b.readonlyProperty("trueHeading", &CLHeading::trueHeading);
    b.readonlyProperty("headingAccuracy", &CLHeading::headingAccuracy);
    b.readonlyProperty("x", &CLHeading::x);
    b.readonlyProperty("y", &CLHeading::y);
    b.readonlyProperty("z", &CLHeading::z);
}

CLHeading::CLHeading(CLLocationDirection magneticHeading, CLLocationDirection trueHeading,
                     CLLocationDirection headingAccuracy, double x, double y, double z, Ref<NSDate> timestamp)
    : magneticHeading_(magneticHeading), trueHeading_(trueHeading), headingAccuracy_(headingAccuracy), x_(x), y_(y),
      z_(z), timestamp_(timestamp ? std::move(timestamp) : NSDate::date()) {}

Ref<NSString> CLHeading::description() const {
    return NSString::stringWithFormat("magneticHeading %.2f trueHeading %.2f accuracy %.2f x %+.3f y %+.3f z %+.3f",
                                      magneticHeading_, trueHeading_, headingAccuracy_, x_, y_, z_);
}
