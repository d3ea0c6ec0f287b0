// The barometer, proximity and ambient light screens against the simulated device: pass, fail and
// time-out with each part working, dead, stuck and absent.
#include "SensorScreenTestCase.h"

#include <Diagnostics/Sensors/AmbientLightViewController.h>
#include <Diagnostics/Sensors/BarometerViewController.h>
#include <Diagnostics/Sensors/ProximityViewController.h>
#include <UIKit/UIDevice.h>
#include <UIKit/UIScreen.h>

class BarometerScreenTests : public SensorScreenTestCase {};

TEST_F(BarometerScreenTests, PassesThreeSecondsAfterTheFirstReading) {
    run("BarometerViewController", 60); // the run settles for half a second
    advance(3.0);                       // the first reading comes a second after the start
    EXPECT_FALSE(ended());
    advance(0.7);
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_TRUE(ended());
}

TEST_F(BarometerScreenTests, DeadOrAbsentBarometerFailsAtTheLimit) {
    for (State state : {State::Dead, State::Absent}) {
        sensors.setState(Part::Barometer, state);
        run("BarometerViewController", 10);
        advance(9.0);
        EXPECT_FALSE(ended());
        advance(1.0);
        EXPECT_EQ(result(), DXTestResultFail) << SimSensors::stateName(state);
        TearDown();
        SetUp();
    }
}

TEST_F(BarometerScreenTests, StuckBarometerStillReadsAPressure) {
    sensors.setState(Part::Barometer, State::Stuck);
    run("BarometerViewController", 10);
    advance(5);
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(BarometerScreenTests, ZeroLimitIsTheLongLimitAndGarbageIsNoReading) {
    sensors.inject(Part::Barometer, {});
    sensors.setState(Part::Barometer, State::Dead);
    auto screen = run("BarometerViewController", 0);
    advance(120);
    EXPECT_FALSE(ended());
    // The limit ends with the screen: a screen that has gone sets no failure later.
    screen->performSelectorWithObject("viewWillDisappear:", NSNumber::numberWithBool(false));
    advance(30000);
    EXPECT_EQ(result(), DXTestResultNotRun);
}

class ProximityScreenTests : public SensorScreenTestCase {};

TEST_F(ProximityScreenTests, TwoCoversPass) {
    auto screen = run("ProximityViewController", 30);
    EXPECT_TRUE(UIDevice::currentDevice()->isProximityMonitoringEnabled());
    auto list = screen->subItemlist();
    ASSERT_EQ(list->count(), 1u);
    EXPECT_EQ(NSDescription(cast<NSDictionary>(list->objectAtIndex(0))->objectForKey("title"_ns))->str(),
              "Proximity Sensor");
    sensors.scriptProximity({{1, true}, {1, false}});
    advance(2.5);
    EXPECT_EQ(cast<ProximityViewController>(screen)->count(), 1);
    EXPECT_FALSE(ended());
    sensors.scriptProximity({{1, true}, {1, false}});
    advance(2.5);
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_FALSE(UIDevice::currentDevice()->isProximityMonitoringEnabled());
}

TEST_F(ProximityScreenTests, BrokenSensorsLeaveOnlySkip) {
    for (State state : {State::Dead, State::Stuck, State::Absent}) {
        sensors.setState(Part::Proximity, state);
        auto screen = cast<ProximityViewController>(run("ProximityViewController", 5));
        ASSERT_TRUE(screen);
        EXPECT_TRUE(screen->skipButton()->isHidden());
        sensors.scriptProximity({{1, true}, {1, false}, {1, true}, {1, false}});
        advance(4.5);
        EXPECT_FALSE(ended()) << SimSensors::stateName(state);
        advance(1);
        EXPECT_FALSE(screen->skipButton()->isHidden());
        EXPECT_FALSE(screen->questionLabel()->isHidden());
        tap(screen->skipButton());
        EXPECT_EQ(result(), DXTestResultFail);
        EXPECT_TRUE(screen->isFailedBySkip());
        TearDown();
        SetUp();
    }
}

TEST_F(ProximityScreenTests, CountingGoesOnAfterTheLimitAndBrightnessComesBack) {
    UIScreen::mainScreen()->setBrightness(0.8);
    run("ProximityViewController", 0);
    advance(100);
    EXPECT_FALSE(ended()); // 0 means the long limit
    UIScreen::mainScreen()->setBrightness(0.3);
    sensors.scriptProximity({{1, true}, {1, false}, {1, true}, {1, false}});
    advance(5);
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_DOUBLE_EQ(UIScreen::mainScreen()->brightness(), 0.8);
}

TEST_F(ProximityScreenTests, ASensorThatGoesAwayIsNoUncover) {
    auto screen = cast<ProximityViewController>(run("ProximityViewController", 30));
    sensors.coverProximity(true);
    advance(0.1);
    sensors.setState(Part::Proximity, State::Absent); // reads uncovered without a hand
    advance(0.1);
    sensors.setState(Part::Proximity, State::Working);
    sensors.coverProximity(true);
    advance(0.1);
    sensors.setState(Part::Proximity, State::Absent);
    advance(1);
    EXPECT_EQ(screen->count(), 0);
    EXPECT_FALSE(ended());
}

class AmbientLightScreenTests : public SensorScreenTestCase {};

TEST_F(AmbientLightScreenTests, PhoneUncoverPassesAndBrightnessAloneDoesNot) {
    auto screen = cast<AmbientLightViewController>(run("AmbientLightViewController", 30));
    sensors.setAmbientLight(5000);
    advance(2);
    EXPECT_FALSE(ended());
    EXPECT_FALSE(screen->answerView() && !screen->answerView()->isHidden());
    sensors.scriptProximity({{0.5, true}, {0.5, false}});
    advance(1.5);
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_EQ(screen->coverCountLabel()->text()->str(), "(1:1)");
}

// Intended: on a phone the cover path decides, whatever the light sensor does.
TEST_F(AmbientLightScreenTests, PhoneWithABrokenLightSensorStillPassesByTheCover) {
    for (State state : {State::Dead, State::Stuck, State::Absent}) {
        sensors.setState(Part::AmbientLight, state);
        run("AmbientLightViewController", 30);
        sensors.setAmbientLight(20000);
        sensors.scriptProximity({{0.5, true}, {0.5, false}});
        advance(1.5);
        EXPECT_EQ(result(), DXTestResultPass) << SimSensors::stateName(state);
        TearDown();
        SetUp();
    }
}

TEST_F(AmbientLightScreenTests, PhoneWithABrokenSensorAsksAndALatePassIsIgnored) {
    for (State state : {State::Dead, State::Stuck, State::Absent}) {
        sensors.setState(Part::Proximity, state);
        auto screen = cast<AmbientLightViewController>(run("AmbientLightViewController", 5));
        advance(4);
        EXPECT_TRUE(screen->answerView()->isHidden());
        advance(2);
        EXPECT_FALSE(screen->answerView()->isHidden()) << SimSensors::stateName(state);
        EXPECT_FALSE(screen->tipLabel()->isHidden());
        answer(false);
        EXPECT_EQ(result(), DXTestResultFail);
        TearDown();
        SetUp();
    }
}

TEST_F(AmbientLightScreenTests, TabletPassesOnABrightnessChange) {
    ASSERT_TRUE(SimDevice::current().loadProfile("iPad7,5"));
    auto screen = cast<AmbientLightViewController>(run("AmbientLightViewController", 0));
    EXPECT_TRUE(screen->coverCountLabel()->isHidden());
    advance(100);
    EXPECT_FALSE(ended());
    sensors.setAmbientLight(20000);
    advance(0.9);
    EXPECT_FALSE(ended());
    advance(0.2);
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(AmbientLightScreenTests, TabletWithADeadLightSensorOffersNo) {
    ASSERT_TRUE(SimDevice::current().loadProfile("iPad7,5"));
    sensors.setState(Part::AmbientLight, State::Dead);
    auto screen = cast<AmbientLightViewController>(run("AmbientLightViewController", 5));
    sensors.setAmbientLight(20000);
    advance(5.5);
    EXPECT_FALSE(ended());
    EXPECT_FALSE(screen->noButton()->isHidden());
    tap(screen->noButton());
    EXPECT_EQ(result(), DXTestResultFail);
    // A brightness change after No changes nothing.
    sensors.setState(Part::AmbientLight, State::Working);
    sensors.setAmbientLight(1);
    advance(2);
    EXPECT_EQ(result(), DXTestResultFail);
}
