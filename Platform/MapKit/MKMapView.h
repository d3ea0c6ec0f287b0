// MKMapView: a map of an area around a centre, drawn plainly: a neutral ground, a grid of lines
// fixed to the ground (so it moves with the region), and, when `showsUserLocation` is on, the
// user's position as a blue dot with its accuracy around it. There are no tiles and nothing goes
// to the network.
//
// The region. `setRegionAnimated` fits the region asked for to the view's shape (the span that is
// too small for the view's aspect grows; the centre stays), and `region` answers the fitted one at
// once. Animated, the map travels there through the platform's view animations (the region rides
// on a hidden view's centre and size, whose presentation values the drawing reads), redrawing each
// frame; the delegate hears `mapView:regionWillChangeAnimated:` before and
// `mapView:regionDidChangeAnimated:` when the map has arrived (or at once, not animated). A region
// that is not valid (MKCoordinateRegionIsValid) raises NSInvalidArgumentException.
//
// The user's location. While `showsUserLocation` is on and the view is in a window, the map runs a
// location manager of its own at the best accuracy: each fix becomes `userLocation`'s location and
// is told to the delegate (`mapView:didUpdateUserLocation:`); a failure is told as
// `mapView:didFailToLocateUserWithError:`. Fixes come only as the application's location
// authorisation allows (the map never asks for it).
//
// Main thread only.
#pragma once

#include <MapKit/MKGeometry.h>
#include <MapKit/MKUserLocation.h>
#include <Runtime/ProtocolBuilder.h>
#include <UIKit/UIView.h>

class CADisplayLink;
class CLLocationManager;
class MKLocationTracker;

// Optional: `mapView:regionWillChangeAnimated:`, `mapView:regionDidChangeAnimated:` (map, BOOL),
// `mapViewWillStartLocatingUser:`, `mapViewDidStopLocatingUser:` (map),
// `mapView:didUpdateUserLocation:` (map, MKUserLocation), `mapView:didFailToLocateUserWithError:`
// (map, NSError).
NS_DECLARE_PROTOCOL(MKMapViewDelegate);

class MKMapView : public UIView {
    NS_OBJECT(MKMapView, UIView)
public:
    explicit MKMapView(CGRect frame = CGRectZero);
    ~MKMapView() override;

    id delegate() const { return delegate_.lock(); }
    void setDelegate(const id& delegate) { delegate_ = delegate; }

    bool showsUserLocation() const noexcept { return showsUserLocation_; }
    void setShowsUserLocation(bool shows);
    const Ref<MKUserLocation>& userLocation() const noexcept { return userLocation_; }
    // The user's dot lies inside the region shown.
    bool isUserLocationVisible() const;

    MKCoordinateRegion region() const noexcept { return region_; }
    void setRegion(const MKCoordinateRegion& region) { setRegionAnimated(region, false); }
    void setRegionAnimated(const MKCoordinateRegion& region, bool animated);
    CLLocationCoordinate2D centerCoordinate() const noexcept { return region_.center; }
    void setCenterCoordinateAnimated(CLLocationCoordinate2D center, bool animated);
    // The region as fitted to this view's shape.
    MKCoordinateRegion regionThatFits(const MKCoordinateRegion& region) const;
    // The region on screen now: the one set, or one on the way there while animating.
    MKCoordinateRegion presentedRegion() const;
    bool isAnimatingRegion() const noexcept { return animating_ > 0; }

    // Between a coordinate and a point of `view` (this view when nil), by the region on screen.
    CGPoint convertCoordinateToPointToView(CLLocationCoordinate2D coordinate, const Ref<UIView>& view) const;
    CLLocationCoordinate2D convertPointToCoordinateFromView(CGPoint point, const Ref<UIView>& view) const;

    static constexpr double kRegionAnimationDuration = 0.3;

    void drawRect(CGRect rect) override;
    void layoutSubviews() override;
    void didMoveToWindow() override;

private:
    friend class MKLocationTracker;
    void updateLocating();
    void startLocating();
    void stopLocating();
    void locationsArrived(const Ref<CLLocation>& location);
    void locatingFailed(const Ref<NSError>& error);
    void tellDelegate(SEL selector, const std::vector<id>& arguments);
    void placeCamera(const MKCoordinateRegion& region);
    void regionArrived(bool animated);

    Weak<NSObject> delegate_;
    bool showsUserLocation_ = false;
    Ref<MKUserLocation> userLocation_;
    MKCoordinateRegion requested_;
    MKCoordinateRegion region_;
    CGSize fittedTo_{};
    // The region on its way: centre (longitude, latitude) and span (longitude, latitude delta) as
    // a hidden view's centre and bounds size.
    Ref<UIView> camera_;
    Ref<CADisplayLink> frames_;
    int animating_ = 0;
    Ref<CLLocationManager> locationManager_;
    Ref<MKLocationTracker> tracker_;
};
