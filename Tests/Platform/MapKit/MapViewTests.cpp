// The map view: regions made from distances and fitted to the view, animated through the platform's
// view animations, the user's location from the simulated receiver, and the plain drawing.
#include <CoreGraphics/CGImage.h>
#include <CoreLocation/CLLocationManager.h>
#include <Device/SimSensors.h>
#include <MapKit/MKMapView.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>
#include <UIKit/UIGraphics.h>
#include <UIKit/UITestDriver.h>
#include <UIKit/UIViewController.h>

#include <array>
#include <string>
#include <vector>

namespace {

class MapRecorder : public NSObject {
    NS_OBJECT(MapRecorder, NSObject)
public:
    void regionWill(const Ref<MKMapView>&, bool animated) { events.push_back(animated ? "will animated" : "will"); }
    void regionDid(const Ref<MKMapView>& map, bool animated) {
        events.push_back(animated ? "did animated" : "did");
        arrivedAt = map->presentedRegion();
    }
    void updated(const Ref<MKMapView>&, const Ref<MKUserLocation>& location) { fixes.push_back(location->location()); }
    void failed(const Ref<MKMapView>&, const Ref<NSError>& error) { errors.push_back(error); }
    std::vector<std::string> events;
    std::vector<Ref<CLLocation>> fixes;
    std::vector<Ref<NSError>> errors;
    MKCoordinateRegion arrivedAt;
};

} // namespace

NS_IMPLEMENT_CLASS(MapRecorder, NSObject) {
    b.method("mapView:regionWillChangeAnimated:", &MapRecorder::regionWill);
    b.method("mapView:regionDidChangeAnimated:", &MapRecorder::regionDid);
    b.method("mapView:didUpdateUserLocation:", &MapRecorder::updated);
    b.method("mapView:didFailToLocateUserWithError:", &MapRecorder::failed);
}

namespace {

class MapViewTests : public PlatformTestCase {
protected:
    SimSensors& sensors = SimSensors::current();
    Ref<MapRecorder> recorder = make<MapRecorder>();

    void TearDown() override {
        sensors.reset();
        PlatformTestCase::TearDown();
    }
    // A map of `size` points as the whole view of a shown controller.
    Ref<MKMapView> showMap(CGSize size) {
        auto controller = make<UIViewController>();
        auto map = make<MKMapView>(CGRectMake(0, 0, size.width, size.height));
        map->setDelegate(recorder);
        controller->view()->addSubview(map);
        window_ = UITestDriver::showRootViewController(controller);
        UITestDriver::layout();
        return map;
    }
    static MKCoordinateRegion around(double latitude, double longitude, double meters) {
        return MKCoordinateRegionMakeWithDistance(CLLocationCoordinate2DMake(latitude, longitude), meters, meters);
    }
    static std::array<uint8_t, 4> pixel(const Ref<UIImage>& image, CGPoint p) {
        std::array<uint8_t, 4> rgba{};
        EXPECT_TRUE(CGImageGetPixel(image->CGImage(), static_cast<size_t>(p.x * image->scale()),
                                    static_cast<size_t>(p.y * image->scale()), rgba.data()));
        return rgba;
    }
    static Ref<UIImage> render(const Ref<UIView>& view) {
        UIGraphicsBeginImageContextWithOptions(view->bounds().size, true, 1);
        view->layer()->renderInContext(UIGraphicsGetCurrentContext());
        auto image = UIGraphicsGetImageFromCurrentImageContext();
        UIGraphicsEndImageContext();
        return image;
    }

    Ref<UIWindow> window_;
};

} // namespace

TEST_F(MapViewTests, RegionsFromDistances) {
    auto equator = around(0, 10, 250);
    EXPECT_NEAR(equator.span.latitudeDelta, 250 / kMKMetersPerDegreeLatitude, 1e-12);
    EXPECT_NEAR(equator.span.longitudeDelta, equator.span.latitudeDelta, 1e-12);
    EXPECT_NEAR(MKCoordinateRegionHeightInMeters(equator), 250, 1e-9);
    EXPECT_NEAR(MKCoordinateRegionWidthInMeters(equator), 250, 1e-9);
    // At 60 degrees a degree of longitude is half as long: twice the degrees for the same metres.
    auto north = around(60, 10, 250);
    EXPECT_NEAR(north.span.longitudeDelta, 2 * north.span.latitudeDelta, 1e-9);
    EXPECT_NEAR(north.center.latitude, 60, 0);
    // At the pole every longitude is there.
    EXPECT_EQ(around(90, 0, 250).span.longitudeDelta, 360);
    EXPECT_TRUE(MKCoordinateRegionIsValid(north));
    EXPECT_FALSE(MKCoordinateRegionIsValid(around(0, 0, -1)));
    EXPECT_FALSE(MKCoordinateRegionIsValid(around(NAN, 0, 250)));
    EXPECT_FALSE(MKCoordinateRegionIsValid(around(0, 200, 250)));
}

TEST_F(MapViewTests, ARegionIsFittedToTheViewAndGarbageIsRefused) {
    auto map = make<MKMapView>(CGRectMake(0, 0, 300, 150));
    map->setRegion(around(51.5, -0.12, 250));
    MKCoordinateRegion r = map->region();
    EXPECT_NEAR(r.center.latitude, 51.5, 1e-12);
    EXPECT_NEAR(r.center.longitude, -0.12, 1e-12);
    EXPECT_NEAR(MKCoordinateRegionHeightInMeters(r), 250, 1e-6);
    EXPECT_NEAR(MKCoordinateRegionWidthInMeters(r), 500, 1e-6) << "twice as wide as high";
    map->setFrame(CGRectMake(0, 0, 100, 200));
    map->layoutIfNeeded();
    EXPECT_NEAR(MKCoordinateRegionWidthInMeters(map->region()), 250, 1e-6) << "fitted again from what was asked";
    EXPECT_NEAR(MKCoordinateRegionHeightInMeters(map->region()), 500, 1e-6);

    EXPECT_THROW(map->setRegion(around(0, 0, -5)), NSException);
    EXPECT_THROW(map->setRegionAnimated(around(NAN, 0, 5), true), NSException);
    EXPECT_NEAR(map->region().center.latitude, 51.5, 1e-12) << "a refused region changes nothing";
}

TEST_F(MapViewTests, AnimatedRegionsTravelOnTheClockAndArriveOnce) {
    auto map = showMap(CGSizeMake(200, 200));
    map->setRegion(around(10, 10, 1000));
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"will", "did"}));
    recorder->events.clear();

    auto target = around(10.01, 10.01, 250);
    map->setRegionAnimated(target, true);
    EXPECT_NEAR(map->region().center.latitude, 10.01, 1e-12) << "the region is the new one at once";
    EXPECT_NEAR(map->presentedRegion().center.latitude, 10, 1e-12) << "the screen has not moved yet";
    EXPECT_TRUE(map->isAnimatingRegion());
    advance(MKMapView::kRegionAnimationDuration / 2);
    double halfway = map->presentedRegion().center.latitude;
    EXPECT_GT(halfway, 10.0001);
    EXPECT_LT(halfway, 10.0099);
    EXPECT_EQ(recorder->events, std::vector<std::string>{"will animated"});
    // A new journey before arriving: the first is cut short and only the second arrives.
    auto second = around(10.02, 10.0, 250);
    map->setRegionAnimated(second, true);
    advance(MKMapView::kRegionAnimationDuration + 0.05);
    EXPECT_FALSE(map->isAnimatingRegion());
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"will animated", "will animated", "did animated"}));
    EXPECT_NEAR(recorder->arrivedAt.center.latitude, 10.02, 1e-9);
    EXPECT_NEAR(map->presentedRegion().center.longitude, 10.0, 1e-9);
    EXPECT_NEAR(MKCoordinateRegionHeightInMeters(map->presentedRegion()), 250, 1e-3);
}

TEST_F(MapViewTests, TheUserLocationComesFromTheReceiverWhileShownInAWindow) {
    sensors.setLocationAuthorization(SimSensors::Authorization::WhenInUse);
    SimSensors::Fix fix;
    fix.latitude = 48.8584;
    fix.longitude = 2.2945;
    sensors.setPosition(fix);
    auto map = showMap(CGSizeMake(200, 300));
    advance(3);
    EXPECT_TRUE(recorder->fixes.empty()) << "not showing the user location";
    EXPECT_FALSE(map->userLocation()->isUpdating());

    map->setShowsUserLocation(true);
    EXPECT_TRUE(map->userLocation()->isUpdating());
    advance(1.05);
    ASSERT_EQ(recorder->fixes.size(), 1u);
    EXPECT_NEAR(map->userLocation()->coordinate().latitude, 48.8584, 1e-9);
    EXPECT_NEAR(map->userLocation()->coordinate().longitude, 2.2945, 1e-9);
    map->setRegion(around(48.8584, 2.2945, 250));
    EXPECT_TRUE(map->isUserLocationVisible());
    map->setRegion(around(40, 2.2945, 250));
    EXPECT_FALSE(map->isUserLocationVisible());
    advance(2);
    EXPECT_EQ(recorder->fixes.size(), 3u) << "once a second";

    // Off screen the map stops locating.
    map->removeFromSuperview();
    EXPECT_FALSE(map->userLocation()->isUpdating());
    advance(3);
    EXPECT_EQ(recorder->fixes.size(), 3u);
}

TEST_F(MapViewTests, NoFixFromABrokenReceiverOrWithoutPermission) {
    sensors.setState(SimSensors::Part::GPS, SimSensors::State::Dead);
    sensors.setLocationAuthorization(SimSensors::Authorization::WhenInUse);
    auto map = showMap(CGSizeMake(200, 200));
    map->setShowsUserLocation(true);
    advance(5);
    EXPECT_TRUE(recorder->fixes.empty());
    EXPECT_FALSE(map->userLocation()->location());
    sensors.setState(SimSensors::Part::GPS, SimSensors::State::Working);
    sensors.setLocationAuthorization(SimSensors::Authorization::Denied);
    advance(2);
    EXPECT_TRUE(recorder->fixes.empty());
    ASSERT_EQ(recorder->errors.size(), 1u);
    EXPECT_EQ(recorder->errors[0]->code(), kCLErrorDenied);
}

TEST_F(MapViewTests, DrawsAGroundAGridAndTheUserDot) {
    sensors.setLocationAuthorization(SimSensors::Authorization::WhenInUse);
    auto map = showMap(CGSizeMake(200, 200));
    map->setShowsUserLocation(true);
    advance(1.05);
    ASSERT_TRUE(map->userLocation()->location());
    auto here = map->userLocation()->coordinate();
    // The user 50 m north-east of the centre.
    map->setRegion(MKCoordinateRegionMakeWithDistance(
        CLLocationCoordinate2DMake(here.latitude - 50 / kMKMetersPerDegreeLatitude, here.longitude), 250, 250));
    CGPoint dot = map->convertCoordinateToPointToView(here, nullptr);
    EXPECT_NEAR(dot.x, 100, 1e-6);
    EXPECT_NEAR(dot.y, 100 - 200 * 50.0 / 250, 1e-6);
    auto image = render(map);
    auto blue = pixel(image, dot);
    EXPECT_LT(blue[0], 40);
    EXPECT_GT(blue[2], 220);
    auto ground = pixel(image, CGPointMake(3, 197));
    EXPECT_NEAR(ground[0], 0.93 * 255, 3);
    EXPECT_NEAR(ground[2], 0.88 * 255, 3);
    // Somewhere along a row there is a grid line, darker than the ground.
    int lines = 0;
    for (int x = 0; x < 200; ++x) {
        if (pixel(image, CGPointMake(x, 190))[0] < 0.9 * 255) {
            ++lines;
        }
    }
    EXPECT_GE(lines, 2);
    // And back from the point to the coordinate.
    auto back = map->convertPointToCoordinateFromView(dot, nullptr);
    EXPECT_NEAR(back.latitude, here.latitude, 1e-9);
    EXPECT_NEAR(back.longitude, here.longitude, 1e-9);
}
