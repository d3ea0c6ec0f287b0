#include <MapKit/MKGeometry.h>

#include <algorithm>
#include <cmath>

namespace {

double metersPerDegreeLongitude(CLLocationDegrees latitude) {
    return kMKMetersPerDegreeLatitude * std::cos(latitude * M_PI / 180.0);
}

} // namespace

MKCoordinateSpan MKCoordinateSpanMake(CLLocationDegrees latitudeDelta, CLLocationDegrees longitudeDelta) {
    return MKCoordinateSpan{latitudeDelta, longitudeDelta};
}

MKCoordinateRegion MKCoordinateRegionMake(CLLocationCoordinate2D center, MKCoordinateSpan span) {
    return MKCoordinateRegion{center, span};
}

MKCoordinateRegion MKCoordinateRegionMakeWithDistance(CLLocationCoordinate2D center,
                                                      CLLocationDistance latitudinalMeters,
                                                      CLLocationDistance longitudinalMeters) {
    double latitudeDelta = latitudinalMeters / kMKMetersPerDegreeLatitude;
    double perDegree = metersPerDegreeLongitude(center.latitude);
    double longitudeDelta = perDegree > 0 ? longitudinalMeters / perDegree : 360.0;
    if (longitudeDelta > 360.0) {
        longitudeDelta = 360.0;
    }
    return MKCoordinateRegion{center, MKCoordinateSpan{latitudeDelta, longitudeDelta}};
}

bool MKCoordinateRegionIsValid(const MKCoordinateRegion& region) {
    const auto& s = region.span;
    return CLLocationCoordinate2DIsValid(region.center) && std::isfinite(s.latitudeDelta) &&
           std::isfinite(s.longitudeDelta) && s.latitudeDelta >= 0 && s.latitudeDelta <= 180 && s.longitudeDelta >= 0 &&
           s.longitudeDelta <= 360;
}

double MKCoordinateRegionHeightInMeters(const MKCoordinateRegion& region) {
    return region.span.latitudeDelta * kMKMetersPerDegreeLatitude;
}

double MKCoordinateRegionWidthInMeters(const MKCoordinateRegion& region) {
    return region.span.longitudeDelta * std::max(0.0, metersPerDegreeLongitude(region.center.latitude));
}
