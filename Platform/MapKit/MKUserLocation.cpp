#include <MapKit/MKUserLocation.h>

#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(MKUserLocation, NSObject) {
    using U = MKUserLocation;
    b.readonlyProperty("location", &U::location);
    b.readonlyProperty("updating", &U::isUpdating, "getter=isUpdating");
    b.readonlyProperty("title", &U::title);
}

CLLocationCoordinate2D MKUserLocation::coordinate() const {
    return location_ ? location_->coordinate() : CLLocationCoordinate2D{};
}

Ref<NSString> MKUserLocation::title() const {
    return NSString::from("Current Location");
}
