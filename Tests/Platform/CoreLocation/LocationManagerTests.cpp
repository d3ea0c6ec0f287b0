#include <CoreLocation/CLLocationManager.h>
#include <Device/SimSensors.h>
#include <Foundation/NSArray.h>
#include <Runtime/ClassBuilder.h>
#include <Support/PlatformTestCase.h>

#include <vector>

// A delegate that answers the old single-fix callback only.
class LocationRecorder : public NSObject {
    NS_OBJECT(LocationRecorder, NSObject)
public:
    void locationManagerDidUpdateToLocationFromLocation(Ref<CLLocationManager>, Ref<CLLocation> to, Ref<CLLocation>) {
        fixes.push_back(to);
    }
    void locationManagerDidFailWithError(Ref<CLLocationManager>, Ref<NSError> error) { errors.push_back(error); }
    void locationManagerDidChangeAuthorizationStatus(Ref<CLLocationManager>, int status) { statuses.push_back(status); }
    void locationManagerDidUpdateHeading(Ref<CLLocationManager>, Ref<CLHeading> heading) {
        headings.push_back(heading);
    }
    std::vector<Ref<CLLocation>> fixes;
    std::vector<Ref<NSError>> errors;
    std::vector<int> statuses;
    std::vector<Ref<CLHeading>> headings;
};

NS_IMPLEMENT_CLASS(LocationRecorder, NSObject) {
    using R = LocationRecorder;
    b.method("locationManager:didUpdateToLocation:fromLocation:", &R::locationManagerDidUpdateToLocationFromLocation);
    b.method("locationManager:didFailWithError:", &R::locationManagerDidFailWithError);
    b.method("locationManager:didChangeAuthorizationStatus:", &R::locationManagerDidChangeAuthorizationStatus);
    b.method("locationManager:didUpdateHeading:", &R::locationManagerDidUpdateHeading);
}

class LocationManagerTests : public PlatformTestCase {
protected:
    SimSensors& sensors = SimSensors::current();
    Ref<CLLocationManager> manager = make<CLLocationManager>();
    Ref<LocationRecorder> recorder = make<LocationRecorder>();
    void SetUp() override {
        PlatformTestCase::SetUp();
        manager->setDelegate(recorder);
    }
};

TEST_F(LocationManagerTests, PermissionThenFixesOnlyWhileUpdating) {
    EXPECT_EQ(CLLocationManager::authorizationStatus(), kCLAuthorizationStatusNotDetermined);
    sensors.setLocationPromptAnswer(SimSensors::PromptAnswer::Wait);
    manager->requestWhenInUseAuthorization();
    manager->startUpdatingLocation();
    advance(3);
    EXPECT_TRUE(recorder->fixes.empty()); // not allowed yet
    EXPECT_TRUE(sensors.locationPromptShowing());
    sensors.answerLocationPrompt(true);
    runUntilIdle();
    EXPECT_EQ(recorder->statuses, std::vector<int>{kCLAuthorizationStatusAuthorizedWhenInUse});
    advance(1.0);
    ASSERT_EQ(recorder->fixes.size(), 1u);
    EXPECT_NEAR(recorder->fixes[0]->coordinate().latitude, 51.500729, 1e-6);
    EXPECT_EQ(manager->location(), recorder->fixes[0]);
    advance(2.0);
    EXPECT_EQ(recorder->fixes.size(), 3u);
    manager->stopUpdatingLocation();
    advance(5.0);
    EXPECT_EQ(recorder->fixes.size(), 3u);
}

TEST_F(LocationManagerTests, DeniedAndBrokenReceivers) {
    sensors.setLocationAuthorization(SimSensors::Authorization::Denied);
    runUntilIdle();
    manager->startUpdatingLocation();
    advance(3);
    EXPECT_TRUE(recorder->fixes.empty());
    ASSERT_EQ(recorder->errors.size(), 1u);
    EXPECT_EQ(recorder->errors[0]->code(), kCLErrorDenied);

    sensors.setLocationAuthorization(SimSensors::Authorization::WhenInUse);
    sensors.setState(SimSensors::Part::GPS, SimSensors::State::Dead);
    advance(3);
    EXPECT_TRUE(recorder->fixes.empty());
    sensors.setState(SimSensors::Part::GPS, SimSensors::State::Working);
    manager->setDistanceFilter(100);
    advance(3);
    EXPECT_EQ(recorder->fixes.size(), 1u); // standing still: one fix through the filter
}

TEST_F(LocationManagerTests, HeadingsFollowTheBody) {
    EXPECT_TRUE(CLLocationManager::headingAvailable());
    manager->setHeadingFilter(kCLHeadingFilterNone);
    manager->startUpdatingHeading();
    EXPECT_FALSE(manager->heading());
    advance(0.1);
    ASSERT_TRUE(manager->heading());
    EXPECT_NEAR(std::fmod(manager->heading()->magneticHeading() + 180, 360) - 180, 0, 3);
    EXPECT_NEAR(manager->heading()->y(), 20, 2);
    sensors.turnToHeading(90, 1);
    advance(1.5);
    EXPECT_NEAR(manager->heading()->magneticHeading(), 90, 3);
    EXPECT_NEAR(manager->heading()->x(), -20, 2); // north now lies to the left
    size_t n = recorder->headings.size();
    EXPECT_GE(n, 15u);
    manager->stopUpdatingHeading();
    advance(1);
    EXPECT_EQ(recorder->headings.size(), n);

    sensors.setState(SimSensors::Part::Magnetometer, SimSensors::State::Absent);
    EXPECT_FALSE(CLLocationManager::headingAvailable());
}

// Stopping and starting again (as a screen does when it disappears and comes back) leaves one
// stream of fixes, once a second, however the restarts fall.
TEST_F(LocationManagerTests, StartStopStartGivesOneFixASecond) {
    sensors.setLocationAuthorization(SimSensors::Authorization::WhenInUse);
    manager->startUpdatingLocation();
    advance(1.0);
    ASSERT_EQ(recorder->fixes.size(), 1u);
    advance(0.5);
    manager->stopUpdatingLocation();
    manager->startUpdatingLocation();
    advance(3.0);
    EXPECT_EQ(recorder->fixes.size(), 4u);
    // Stopped and started again at the very instant a fix is due.
    advance(1.0);
    ASSERT_EQ(recorder->fixes.size(), 5u);
    manager->stopUpdatingLocation();
    manager->startUpdatingLocation();
    manager->startUpdatingLocation();
    advance(10.0);
    EXPECT_EQ(recorder->fixes.size(), 15u);
    // A second manager has its own stream; it does not double the first.
    auto other = make<CLLocationManager>();
    auto otherRecorder = make<LocationRecorder>();
    other->setDelegate(otherRecorder);
    other->startUpdatingLocation();
    manager->stopUpdatingLocation();
    manager->startUpdatingLocation();
    advance(5.0);
    EXPECT_EQ(recorder->fixes.size(), 20u);
    EXPECT_EQ(otherRecorder->fixes.size(), 5u);
    for (size_t i = 1; i < recorder->fixes.size(); ++i) {
        double gap = recorder->fixes[i]->timestamp()->timeIntervalSinceDate(recorder->fixes[i - 1]->timestamp());
        EXPECT_GE(gap, 0.999) << "fix " << i;
    }
}
