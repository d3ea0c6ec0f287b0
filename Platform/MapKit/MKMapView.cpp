#include <MapKit/MKMapView.h>

#include <CoreGraphics/CGContext.h>
#include <CoreLocation/CLLocationManager.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSArray.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSRunLoop.h>
#include <QuartzCore/CADisplayLink.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UIWindow.h>

#include <algorithm>
#include <cmath>
#include <sstream>

NS_IMPLEMENT_PROTOCOL(MKMapViewDelegate) {
    p.inherits(NS_PROTOCOL(NSObject));
    p.optional<void(Ref<MKMapView>, bool)>("mapView:regionWillChangeAnimated:");
    p.optional<void(Ref<MKMapView>, bool)>("mapView:regionDidChangeAnimated:");
    p.optional<void(Ref<MKMapView>)>("mapViewWillStartLocatingUser:");
    p.optional<void(Ref<MKMapView>)>("mapViewDidStopLocatingUser:");
    p.optional<void(Ref<MKMapView>, Ref<MKUserLocation>)>("mapView:didUpdateUserLocation:");
    p.optional<void(Ref<MKMapView>, Ref<NSError>)>("mapView:didFailToLocateUserWithError:");
}

// The delegate of the map's own location manager: hands fixes and failures to the map.
class MKLocationTracker : public NSObject {
    NS_OBJECT(MKLocationTracker, NSObject)
public:
    MKLocationTracker() = default;
    Weak<MKMapView> map;

    void locationManagerDidUpdateLocations(const Ref<CLLocationManager>&, const Ref<NSArray>& locations) {
        auto owner = map.lock();
        if (!owner || !locations || locations->count() == 0) {
            return;
        }
        if (auto last = cast<CLLocation>(locations->objectAtIndex(locations->count() - 1))) {
            owner->locationsArrived(last);
        }
    }
    void locationManagerDidFailWithError(const Ref<CLLocationManager>&, const Ref<NSError>& error) {
        if (auto owner = map.lock()) {
            owner->locatingFailed(error);
        }
    }
};

NS_IMPLEMENT_CLASS(MKLocationTracker, NSObject) {
    using T = MKLocationTracker;
    b.conformsTo(NS_PROTOCOL(CLLocationManagerDelegate));
    b.method("locationManager:didUpdateLocations:", &T::locationManagerDidUpdateLocations);
    b.method("locationManager:didFailWithError:", &T::locationManagerDidFailWithError);
}

NS_IMPLEMENT_CLASS(MKMapView, UIView) {
    using M = MKMapView;
    b.property("delegate", &M::delegate, &M::setDelegate, "weak");
    b.property("showsUserLocation", &M::showsUserLocation, &M::setShowsUserLocation);
    b.readonlyProperty("userLocation", &M::userLocation);
    b.readonlyProperty("userLocationVisible", &M::isUserLocationVisible, "getter=isUserLocationVisible");
}

namespace {

// The whole world, until a region is set.
const MKCoordinateRegion kWorld{{0, 0}, {180, 360}};

std::string describe(const MKCoordinateRegion& r) {
    std::ostringstream out;
    out << "<center:" << r.center.latitude << ", " << r.center.longitude << " span:" << r.span.latitudeDelta << ", "
        << r.span.longitudeDelta << ">";
    return out.str();
}

// A longitude difference brought into -180..180.
double wrapped(double degrees) {
    double d = std::remainder(degrees, 360.0);
    return d == 180.0 ? -180.0 : d;
}

// A round grid step (1, 2 or 5 times a power of ten metres) giving a few lines across `meters`.
double gridStep(double meters) {
    if (!(meters > 0) || !std::isfinite(meters)) {
        return 0;
    }
    double target = meters / 5;
    double power = std::pow(10.0, std::floor(std::log10(target)));
    for (double m : {1.0, 2.0, 5.0, 10.0}) {
        if (m * power >= target) {
            return m * power;
        }
    }
    return 10 * power;
}

} // namespace

MKMapView::MKMapView(CGRect frame)
    : UIView(frame), userLocation_(make<MKUserLocation>()), requested_(kWorld), region_(kWorld),
      camera_(make<UIView>()) {
    setClipsToBounds(true);
    setBackgroundColor(UIColor::colorWithRedGreenBlueAlpha(0.93, 0.92, 0.88, 1));
    camera_->setHidden(true);
    camera_->setUserInteractionEnabled(false);
    addSubview(camera_);
    region_ = regionThatFits(requested_);
    fittedTo_ = bounds().size;
    placeCamera(region_);
}

MKMapView::~MKMapView() {
    if (frames_) {
        frames_->invalidate();
    }
    if (locationManager_) {
        locationManager_->stopUpdatingLocation();
        locationManager_->setDelegate(nullptr);
    }
}

// The region.

MKCoordinateRegion MKMapView::regionThatFits(const MKCoordinateRegion& region) const {
    MKCoordinateRegion fitted = region;
    CGSize size = bounds().size;
    double height = MKCoordinateRegionHeightInMeters(region);
    double width = MKCoordinateRegionWidthInMeters(region);
    if (!(size.width > 0) || !(size.height > 0) || !(height > 0) || !(width > 0)) {
        return fitted;
    }
    double aspect = size.width / size.height; // east-west metres per north-south metre on screen
    if (width / height < aspect) {
        fitted.span.longitudeDelta = std::min(360.0, region.span.longitudeDelta * aspect * height / width);
    } else {
        fitted.span.latitudeDelta = std::min(180.0, region.span.latitudeDelta * width / (aspect * height));
    }
    return fitted;
}

void MKMapView::setRegionAnimated(const MKCoordinateRegion& region, bool animated) {
    DX_ASSERT_MAIN_THREAD();
    if (!MKCoordinateRegionIsValid(region)) {
        NSException::raise(NSInvalidArgumentException, "MKMapView: invalid region " + describe(region));
    }
    tellDelegate("mapView:regionWillChangeAnimated:", {Ref<MKMapView>(this), NSNumber::numberWithBool(animated)});
    requested_ = region;
    region_ = regionThatFits(region);
    fittedTo_ = bounds().size;
    setNeedsDisplay();
    if (!animated || !UIView::areAnimationsEnabled()) {
        placeCamera(region_);
        regionArrived(false);
        return;
    }
    ++animating_;
    if (!frames_) {
        Weak<MKMapView> weak(this);
        frames_ = CADisplayLink::displayLinkWithBlock([weak](const Ref<CADisplayLink>&) {
            if (auto map = weak.lock()) {
                map->setNeedsDisplay();
            }
        });
        frames_->addToRunLoopForMode(NSRunLoop::mainRunLoop(), NSRunLoopCommonModes());
    }
    Weak<MKMapView> weak(this);
    MKCoordinateRegion target = region_;
    UIView::animateWithDurationDelayOptionsAnimationsCompletion(
        kRegionAnimationDuration, 0, UIViewAnimationOptionBeginFromCurrentState,
        [weak, target] {
            if (auto map = weak.lock()) {
                map->placeCamera(target);
            }
        },
        [weak](bool finished) {
            auto map = weak.lock();
            if (!map) {
                return;
            }
            if (--map->animating_ == 0 && map->frames_) {
                map->frames_->invalidate();
                map->frames_ = nullptr;
            }
            map->setNeedsDisplay();
            // A journey cut short by a new one is not an arrival; the new one reports.
            if (finished) {
                map->regionArrived(true);
            }
        });
}

void MKMapView::setCenterCoordinateAnimated(CLLocationCoordinate2D center, bool animated) {
    setRegionAnimated(MKCoordinateRegionMake(center, requested_.span), animated);
}

void MKMapView::placeCamera(const MKCoordinateRegion& region) {
    camera_->setBounds(CGRectMake(0, 0, region.span.longitudeDelta, region.span.latitudeDelta));
    camera_->setCenter(CGPointMake(region.center.longitude, region.center.latitude));
}

void MKMapView::regionArrived(bool animated) {
    tellDelegate("mapView:regionDidChangeAnimated:", {Ref<MKMapView>(this), NSNumber::numberWithBool(animated)});
}

MKCoordinateRegion MKMapView::presentedRegion() const {
    if (!animating_) {
        return region_;
    }
    auto shown = camera_->layer()->presentationLayer();
    CGPoint c = shown->position();
    CGSize s = shown->bounds().size;
    MKCoordinateRegion r{{c.y, c.x}, {s.height, s.width}};
    return MKCoordinateRegionIsValid(r) ? r : region_;
}

void MKMapView::layoutSubviews() {
    UIView::layoutSubviews();
    CGSize size = bounds().size;
    if (size.width == fittedTo_.width && size.height == fittedTo_.height) {
        return;
    }
    // A new shape shows the region asked for, fitted again.
    fittedTo_ = size;
    region_ = regionThatFits(requested_);
    if (!animating_) {
        placeCamera(region_);
    }
    setNeedsDisplay();
}

CGPoint MKMapView::convertCoordinateToPointToView(CLLocationCoordinate2D coordinate, const Ref<UIView>& view) const {
    MKCoordinateRegion r = presentedRegion();
    CGSize size = bounds().size;
    double x = size.width / 2;
    double y = size.height / 2;
    if (r.span.longitudeDelta > 0) {
        x += wrapped(coordinate.longitude - r.center.longitude) / r.span.longitudeDelta * size.width;
    }
    if (r.span.latitudeDelta > 0) {
        y -= (coordinate.latitude - r.center.latitude) / r.span.latitudeDelta * size.height;
    }
    CGPoint point = CGPointMake(bounds().origin.x + x, bounds().origin.y + y);
    return view ? convertPointToView(point, view) : point;
}

CLLocationCoordinate2D MKMapView::convertPointToCoordinateFromView(CGPoint point, const Ref<UIView>& view) const {
    CGPoint local = view ? convertPointFromView(point, view) : point;
    MKCoordinateRegion r = presentedRegion();
    CGSize size = bounds().size;
    CLLocationCoordinate2D coordinate = r.center;
    if (size.width > 0) {
        coordinate.longitude = wrapped(r.center.longitude + (local.x - bounds().origin.x - size.width / 2) /
                                                                size.width * r.span.longitudeDelta);
    }
    if (size.height > 0) {
        coordinate.latitude = std::clamp(r.center.latitude - (local.y - bounds().origin.y - size.height / 2) /
                                                                 size.height * r.span.latitudeDelta,
                                         -90.0, 90.0);
    }
    return coordinate;
}

// The user's location.

void MKMapView::setShowsUserLocation(bool shows) {
    DX_ASSERT_MAIN_THREAD();
    if (showsUserLocation_ == shows) {
        return;
    }
    showsUserLocation_ = shows;
    updateLocating();
    setNeedsDisplay();
}

bool MKMapView::isUserLocationVisible() const {
    auto location = userLocation_->location();
    if (!showsUserLocation_ || !location) {
        return false;
    }
    CGPoint p = convertCoordinateToPointToView(location->coordinate(), nullptr);
    return CGRectContainsPoint(bounds(), p);
}

void MKMapView::didMoveToWindow() {
    UIView::didMoveToWindow();
    updateLocating();
}

void MKMapView::updateLocating() {
    if (showsUserLocation_ && window()) {
        startLocating();
    } else {
        stopLocating();
    }
}

void MKMapView::startLocating() {
    if (userLocation_->isUpdating()) {
        return;
    }
    if (!locationManager_) {
        tracker_ = make<MKLocationTracker>();
        tracker_->map = Weak<MKMapView>(this);
        locationManager_ = make<CLLocationManager>();
        locationManager_->setDesiredAccuracy(kCLLocationAccuracyBest);
        locationManager_->setDelegate(tracker_);
    }
    tellDelegate("mapViewWillStartLocatingUser:", {Ref<MKMapView>(this)});
    userLocation_->setUpdating(true);
    locationManager_->startUpdatingLocation();
}

void MKMapView::stopLocating() {
    if (!userLocation_->isUpdating()) {
        return;
    }
    userLocation_->setUpdating(false);
    if (locationManager_) {
        locationManager_->stopUpdatingLocation();
    }
    if (!showsUserLocation_) {
        userLocation_->setLocation(nullptr);
    }
    setNeedsDisplay();
    tellDelegate("mapViewDidStopLocatingUser:", {Ref<MKMapView>(this)});
}

void MKMapView::locationsArrived(const Ref<CLLocation>& location) {
    if (!userLocation_->isUpdating() || !CLLocationCoordinate2DIsValid(location->coordinate()) ||
        !(location->horizontalAccuracy() >= 0)) {
        return;
    }
    userLocation_->setLocation(location);
    setNeedsDisplay();
    tellDelegate("mapView:didUpdateUserLocation:", {Ref<MKMapView>(this), userLocation_});
}

void MKMapView::locatingFailed(const Ref<NSError>& error) {
    tellDelegate("mapView:didFailToLocateUserWithError:", {Ref<MKMapView>(this), error});
}

void MKMapView::tellDelegate(SEL selector, const std::vector<id>& arguments) {
    id target = delegate();
    if (target && target->respondsToSelector(selector)) {
        target->performSelectorWithArguments(selector, arguments);
    }
}

// Drawing.

void MKMapView::drawRect(CGRect) {
    auto context = UIGraphicsGetCurrentContext();
    CGRect b = bounds();
    if (!context || !(b.size.width > 0) || !(b.size.height > 0)) {
        return;
    }
    MKCoordinateRegion r = presentedRegion();
    // The grid: round steps of metres, fixed to the ground.
    double step = gridStep(std::max(MKCoordinateRegionHeightInMeters(r), MKCoordinateRegionWidthInMeters(r)));
    double perDegreeLongitude = kMKMetersPerDegreeLatitude * std::cos(r.center.latitude * M_PI / 180.0);
    CGContextSetRGBStrokeColor(context, 0.78, 0.77, 0.73, 1);
    CGContextSetLineWidth(context, 1);
    if (step > 0 && r.span.latitudeDelta > 0) {
        double dLat = step / kMKMetersPerDegreeLatitude;
        double south = r.center.latitude - r.span.latitudeDelta / 2;
        double north = r.center.latitude + r.span.latitudeDelta / 2;
        for (double lat = std::ceil(south / dLat) * dLat; lat <= north && dLat > 0; lat += dLat) {
            CGPoint p = convertCoordinateToPointToView({lat, r.center.longitude}, nullptr);
            CGContextMoveToPoint(context, b.origin.x, p.y);
            CGContextAddLineToPoint(context, b.origin.x + b.size.width, p.y);
        }
    }
    if (step > 0 && perDegreeLongitude > 0 && r.span.longitudeDelta > 0) {
        double dLon = step / perDegreeLongitude;
        double west = r.center.longitude - r.span.longitudeDelta / 2;
        double east = r.center.longitude + r.span.longitudeDelta / 2;
        if ((east - west) / dLon < 1000) {
            for (double lon = std::ceil(west / dLon) * dLon; lon <= east; lon += dLon) {
                CGPoint p = convertCoordinateToPointToView({r.center.latitude, lon}, nullptr);
                CGContextMoveToPoint(context, p.x, b.origin.y);
                CGContextAddLineToPoint(context, p.x, b.origin.y + b.size.height);
            }
        }
    }
    CGContextStrokePath(context);

    auto location = userLocation_->location();
    if (!showsUserLocation_ || !location) {
        return;
    }
    CGPoint dot = convertCoordinateToPointToView(location->coordinate(), nullptr);
    // The accuracy: a pale disc of the fix's horizontal accuracy.
    if (r.span.latitudeDelta > 0) {
        double pointsPerMeter = b.size.height / MKCoordinateRegionHeightInMeters(r);
        double radius = location->horizontalAccuracy() * pointsPerMeter;
        if (radius > 9 && radius < 4 * std::max(b.size.width, b.size.height)) {
            CGContextSetRGBFillColor(context, 0.0, 0.48, 1.0, 0.15);
            CGContextFillEllipseInRect(context, CGRectMake(dot.x - radius, dot.y - radius, 2 * radius, 2 * radius));
        }
    }
    CGContextSetRGBFillColor(context, 1, 1, 1, 1);
    CGContextFillEllipseInRect(context, CGRectMake(dot.x - 9, dot.y - 9, 18, 18));
    CGContextSetRGBFillColor(context, 0.0, 0.48, 1.0, 1);
    CGContextFillEllipseInRect(context, CGRectMake(dot.x - 6.5, dot.y - 6.5, 13, 13));
}
