#include <Device/SimDevice.h>
#include <Device/SimSensors.h>
#include <Dispatch/Clock.h>
#include <Support/PlatformTestCase.h>

#include <cmath>

namespace {

using Part = SimSensors::Part;
using State = SimSensors::State;

double now() {
    return DispatchClock::uptime();
}

} // namespace

class SimSensorsTests : public PlatformTestCase {
protected:
    SimSensors& sensors = SimSensors::current();
};

TEST_F(SimSensorsTests, RestingFlatFeelsGravityAndTheNorthField) {
    auto a = sensors.accelerometer(now());
    ASSERT_TRUE(a);
    EXPECT_NEAR(a->x, 0, 0.02);
    EXPECT_NEAR(a->y, 0, 0.02);
    EXPECT_NEAR(a->z, -1, 0.02);
    auto g = sensors.gyroscope(now());
    ASSERT_TRUE(g);
    EXPECT_LT(g->length(), 0.05);
    auto h = sensors.heading(now());
    ASSERT_TRUE(h);
    EXPECT_NEAR(std::fmod(h->magneticHeading + 180, 360) - 180, 0, 3);
    auto m = sensors.deviceMotion(now());
    ASSERT_TRUE(m);
    EXPECT_NEAR(m->gravity.z, -1, 1e-9);
    EXPECT_NEAR(m->magneticField.length(), sensors.earthField().length(), 2);
}

TEST_F(SimSensorsTests, TheNoiseFollowsTheMomentOfTheRunNotTheDate) {
    // The simulator starts its virtual clock at the day it runs: the same moment of a run reads the
    // same noise whatever the date, so two runs of a session see the same sensors.
    advance(0.25);
    double t = now();
    auto accelerometer = sensors.accelerometer(t);
    auto magnetometer = sensors.magnetometer(t);
    DispatchClock::useVirtualTime(DispatchClock::kVirtualStartDate + 86400 * 365.25 * 3);
    advance(0.25);
    auto again = sensors.accelerometer(t);
    ASSERT_TRUE(accelerometer && magnetometer && again);
    EXPECT_EQ(again->x, accelerometer->x);
    EXPECT_EQ(again->y, accelerometer->y);
    EXPECT_EQ(again->z, accelerometer->z);
    EXPECT_EQ(sensors.magnetometer(t)->x, magnetometer->x);
    EXPECT_NE(accelerometer->x, 0) << "the reading is noisy at all";
    EXPECT_NE(sensors.accelerometer(now())->x, accelerometer->x) << "a later moment draws other noise";
}

TEST_F(SimSensorsTests, ScriptsMoveTheBodyOnTheClock) {
    // Rotating 90 degrees about x over one second: a steady rate, then the top points up.
    sensors.rotate({1, 0, 0}, 90, 1.0);
    advance(0.5);
    auto g = sensors.gyroscope(now());
    ASSERT_TRUE(g);
    EXPECT_NEAR(g->x, M_PI / 2, 0.05);
    advance(0.6);
    auto a = sensors.accelerometer(now());
    EXPECT_NEAR(a->y, -1, 0.02);
    EXPECT_NEAR(a->z, 0, 0.02);
    EXPECT_LT(sensors.gyroscope(now())->length(), 0.05);

    // Lying flat again and turning to the east.
    sensors.lieFlat(0.5);
    sensors.turnToHeading(90, 1.0);
    advance(2.0);
    EXPECT_NEAR(sensors.heading(now())->magneticHeading, 90, 3);
    EXPECT_NEAR(sensors.accelerometer(now())->z, -1, 0.02);

    // Picked up facing west: upright, the back points west.
    sensors.turnToHeading(270, 0.5);
    sensors.pickUp(0.5);
    advance(1.5);
    EXPECT_NEAR(sensors.accelerometer(now())->y, -1, 0.02);
    EXPECT_NEAR(sensors.heading(now())->magneticHeading, 270, 3);

    // A shake along x reaches its amplitude.
    sensors.shake({1, 0, 0}, 1.5, 5, 1.0);
    double peak = 0;
    for (int i = 0; i < 100; ++i) {
        advance(0.01);
        peak = std::max(peak, sensors.accelerometer(now())->x);
    }
    EXPECT_GT(peak, 1.4);

    // Climbing changes the pressure.
    double before = sensors.altimeter(now())->pressure;
    sensors.climb(10, 2);
    advance(2.5);
    auto alt = sensors.altimeter(now());
    EXPECT_NEAR(alt->height, 10, 0.01);
    EXPECT_NEAR(before - alt->pressure, 0.12, 0.01); // about 12 Pa per metre near the ground
}

TEST_F(SimSensorsTests, FaultsShapeWhatTheSensorsReport) {
    sensors.setState(Part::Gyroscope, State::Dead);
    EXPECT_TRUE(sensors.isPresent(Part::Gyroscope));
    EXPECT_FALSE(sensors.gyroscope(now()));
    EXPECT_FALSE(sensors.deviceMotion(now()));

    sensors.setState(Part::Accelerometer, State::Stuck);
    auto stuck = *sensors.accelerometer(now());
    sensors.shake({0, 0, 1}, 2, 3, 1);
    advance(0.3);
    auto later = *sensors.accelerometer(now());
    EXPECT_EQ(later.x, stuck.x);
    EXPECT_EQ(later.z, stuck.z);

    sensors.setState(Part::Magnetometer, State::Noisy);
    double spread = 0;
    auto first = *sensors.magnetometer(now());
    for (int i = 0; i < 20; ++i) {
        advance(0.01);
        spread = std::max(spread, (*sensors.magnetometer(now()) - first).length());
    }
    EXPECT_GT(spread, 20);

    sensors.setState(Part::Barometer, State::Absent);
    EXPECT_FALSE(sensors.isPresent(Part::Barometer));
    EXPECT_FALSE(sensors.altimeter(now()));

    sensors.setState(Part::Proximity, State::Absent);
    EXPECT_FALSE(SimDevice::current().hasProximitySensor());

    // The profile in force brings every part back.
    sensors.reset();
    EXPECT_EQ(sensors.state(Part::Gyroscope), State::Working);
    EXPECT_TRUE(SimDevice::current().hasProximitySensor());
}

TEST_F(SimSensorsTests, NoiseIsSmallAndRepeatable) {
    auto a = sensors.accelerometer(now());
    auto b = sensors.accelerometer(now());
    EXPECT_EQ(a->x, b->x);
    advance(0.01);
    auto c = sensors.accelerometer(now());
    EXPECT_NE(a->x, c->x);
    EXPECT_LT(std::abs(c->x), 0.02);
}

TEST_F(SimSensorsTests, FaultsOverlayUsesOneVocabulary) {
    std::string error;
    EXPECT_TRUE(sensors.applyFaults(R"({"gyroscope": "stuck", "speaker": "dead", "gps": "dead"})", &error)) << error;
    EXPECT_EQ(sensors.state(Part::Gyroscope), State::Stuck);
    EXPECT_EQ(sensors.state(Part::GPS), State::Dead);

    EXPECT_FALSE(sensors.applyFaults(R"({"accelerometer": "wobbly", "barometer": "dead"})", &error));
    EXPECT_NE(error.find("wobbly"), std::string::npos);
    EXPECT_EQ(sensors.state(Part::Barometer), State::Working); // nothing of a bad overlay applies
    EXPECT_FALSE(sensors.applyFaults("[1, 2]", &error));
    EXPECT_FALSE(sensors.applyFaults("{", &error));
    EXPECT_FALSE(sensors.loadFaults("/no/such/faults.json", &error));

    for (size_t i = 0; i < SimSensors::kPartCount; ++i) {
        auto part = static_cast<Part>(i);
        EXPECT_EQ(SimSensors::partNamed(SimSensors::partName(part)), part);
    }
}

TEST_F(SimSensorsTests, ProfilesSayWhichPartsExist) {
    ASSERT_TRUE(SimDevice::current().loadProfile("iPad7,5"));
    EXPECT_FALSE(sensors.isPresent(Part::VibrationMotor));
    EXPECT_FALSE(sensors.isPresent(Part::Proximity));
    EXPECT_TRUE(sensors.isPresent(Part::Accelerometer));
    ASSERT_TRUE(SimDevice::current().loadProfileJSON(
        R"({"identifier": "Test1,1", "screen": {"width": 320, "height": 480},
            "sensors": {"barometer": false, "magnetometer": {"present": false}},
            "location": {"latitude": 12.5, "longitude": -0.25, "authorization": "denied"}})"));
    EXPECT_FALSE(sensors.isPresent(Part::Barometer));
    EXPECT_FALSE(sensors.isPresent(Part::Magnetometer));
    EXPECT_FALSE(sensors.heading(now()));
    EXPECT_EQ(sensors.locationAuthorization(), SimSensors::Authorization::Denied);
    EXPECT_DOUBLE_EQ(sensors.locationFix(now())->latitude, 12.5);
}

TEST_F(SimSensorsTests, ProximityAndLightFollowTheWorldOnlyThroughWorkingParts) {
    auto& device = SimDevice::current();
    sensors.scriptProximity({{1.0, true}, {0.5, false}});
    advance(1.1);
    EXPECT_TRUE(device.proximityCovered());
    advance(0.5);
    EXPECT_FALSE(device.proximityCovered());

    sensors.setState(Part::Proximity, State::Dead);
    sensors.coverProximity(true);
    EXPECT_FALSE(device.proximityCovered());

    double before = device.brightness();
    sensors.setAmbientLight(5000);
    EXPECT_GT(device.brightness(), before);
    sensors.setState(Part::AmbientLight, State::Dead);
    double bright = device.brightness();
    sensors.setAmbientLight(1);
    EXPECT_EQ(device.brightness(), bright);
    sensors.setAmbientLight(NAN);
    EXPECT_EQ(sensors.ambientLight(), 1);
}

TEST_F(SimSensorsTests, TheMotorShakesTheBodyOnlyWhenItWorks) {
    EXPECT_TRUE(sensors.vibrate(0.4));
    double spread = 0;
    for (int i = 0; i < 30; ++i) {
        advance(0.01);
        spread = std::max(spread, std::abs(sensors.accelerometer(now())->z + 1));
        EXPECT_TRUE(sensors.bodyState().vibrating);
    }
    EXPECT_GT(spread, 0.1);
    advance(0.2);
    EXPECT_FALSE(sensors.bodyState().vibrating);

    sensors.setState(Part::VibrationMotor, State::Dead);
    EXPECT_FALSE(sensors.vibrate(0.4));
    advance(0.1);
    EXPECT_FALSE(sensors.bodyState().vibrating);
    auto runs = sensors.motorRuns();
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_TRUE(runs[0].shook);
    EXPECT_FALSE(runs[1].shook);
}

TEST_F(SimSensorsTests, LocationFollowsTheRouteAndThePrompt) {
    sensors.setRoute({{0, {10, 20, 0, 5, 5, -1, -1}}, {10, {10.001, 20, 0, 15, 5, -1, -1}}});
    advance(5);
    auto fix = sensors.locationFix(now());
    EXPECT_NEAR(fix->latitude, 10.0005, 1e-9);
    EXPECT_NEAR(fix->horizontalAccuracy, 10, 1e-9);
    EXPECT_NEAR(fix->speed, 11.132, 0.01);
    EXPECT_NEAR(fix->course, 0, 1e-6);
    advance(10);
    EXPECT_NEAR(sensors.locationFix(now())->latitude, 10.001, 1e-9);

    sensors.setState(Part::GPS, State::Stuck);
    sensors.setRoute({{0, {1, 1, 0, 5, 5, -1, -1}}});
    EXPECT_NEAR(sensors.locationFix(now())->latitude, 10.001, 1e-9);

    // The prompt: shown once, answered by the operator after the delay.
    sensors.setLocationPromptAnswer(SimSensors::PromptAnswer::Deny, 2.0);
    sensors.requestLocationAuthorization();
    EXPECT_TRUE(sensors.locationPromptShowing());
    advance(1.0);
    EXPECT_EQ(sensors.locationAuthorization(), SimSensors::Authorization::NotDetermined);
    advance(1.5);
    EXPECT_EQ(sensors.locationAuthorization(), SimSensors::Authorization::Denied);
    EXPECT_FALSE(sensors.locationPromptShowing());
    sensors.requestLocationAuthorization(); // decided: no prompt again
    EXPECT_FALSE(sensors.locationPromptShowing());
}
