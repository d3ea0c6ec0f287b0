// MKGeometry: the map's coordinate types. A span is the height (latitude) and width (longitude) of
// an area in degrees; a region is a span around a centre. MKCoordinateRegionMakeWithDistance turns
// distances in metres into degrees at the centre's latitude (on a sphere of the Earth's mean
// radius); a longitude span that would pass 360 degrees (near the poles) is held at 360.
#pragma once

#include <CoreLocation/CLLocation.h>

struct MKCoordinateSpan {
    CLLocationDegrees latitudeDelta = 0;
    CLLocationDegrees longitudeDelta = 0;
};

struct MKCoordinateRegion {
    CLLocationCoordinate2D center;
    MKCoordinateSpan span;
};

MKCoordinateSpan MKCoordinateSpanMake(CLLocationDegrees latitudeDelta, CLLocationDegrees longitudeDelta);
MKCoordinateRegion MKCoordinateRegionMake(CLLocationCoordinate2D center, MKCoordinateSpan span);
MKCoordinateRegion MKCoordinateRegionMakeWithDistance(CLLocationCoordinate2D center,
                                                      CLLocationDistance latitudinalMeters,
                                                      CLLocationDistance longitudinalMeters);

// Metres along a meridian per degree of latitude.
inline constexpr double kMKMetersPerDegreeLatitude = 6371000.0 * 3.14159265358979323846 / 180.0;

// A valid centre (CLLocationCoordinate2DIsValid) and finite spans of 0 to 180 degrees of latitude
// and 0 to 360 of longitude.
bool MKCoordinateRegionIsValid(const MKCoordinateRegion& region);
// The north-south and east-west extent of a region in metres (east-west at its centre).
double MKCoordinateRegionHeightInMeters(const MKCoordinateRegion& region);
double MKCoordinateRegionWidthInMeters(const MKCoordinateRegion& region);
