// The scripted operator on a screen that never ends: after a while without anything to answer, the
// header's menu, Skip and its confirmation; the test fails and the run goes on. On virtual time.
#include "OperatorPatience.h"
#include "RunTestCase.h"
#include "ScriptedOperator.h"

#include <Device/SimDevice.h>
#include <Device/SimSensors.h>

#include <functional>

namespace {

class OperatorPatienceTests : public RunTestCase {
protected:
    void SetUp() override {
        RunTestCase::SetUp();
        ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
        SimSensors::current().setLocationAuthorization(SimSensors::Authorization::WhenInUse);
    }
    void TearDown() override {
        SimSensors::current().reset();
        RunTestCase::TearDown();
    }

    // Lets `seconds` of virtual time pass in half-second steps, the operator acting after each.
    static void pass(double seconds, const std::function<void()>& act) {
        for (double t = 0; t < seconds; t += 0.5) {
            advance(0.5);
            act();
        }
    }
    bool onScreen(const char* key) const {
        auto screen = testScreen();
        return screen && screen->info() && screen->info()->profilekey()->str() == key;
    }
};

} // namespace

TEST_F(OperatorPatienceTests, ADeadGPSIsSkippedAfterHalfAMinuteAndTheRunGoesOn) {
    for (auto state : {SimSensors::State::Dead, SimSensors::State::Absent}) {
        SimSensors::current().setState(SimSensors::Part::GPS, state);
        startRun({record("CRASH_SCREEN_TEST", "CrashScreenViewController"), record("GPS_TEST", "GPSViewController"),
                  record("WATER_DAMAGE_TEST")},
                 DXRunTypeProfile);
        ScriptedOperator person({}, {});
        person.act(); // answers the first question
        settle();
        ASSERT_TRUE(onScreen("GPS_TEST")) << UITestDriver::describeScreen();
        pass(29, [&] { person.act(); });
        EXPECT_TRUE(onScreen("GPS_TEST")) << "too soon to give up";
        EXPECT_TRUE(person.skippedTests().empty());
        pass(3, [&] { person.act(); });
        EXPECT_EQ(person.skippedTests(), std::vector<std::string>{"GPS_TEST"});
        pass(2, [&] { person.act(); });
        ASSERT_TRUE(resultScreen()) << UITestDriver::describeScreen();
        EXPECT_EQ(results(), (std::vector<NSInteger>{DXTestResultPass, DXTestResultFail, DXTestResultPass}))
            << SimSensors::stateName(state);
        EXPECT_EQ(storedResults(), results());
        EXPECT_TRUE(UIAlertView::visibleAlerts().empty());
        EXPECT_TRUE(UIActionSheet::visibleSheets().empty());
        TearDown();
        SetUp();
    }
}

TEST_F(OperatorPatienceTests, AScreenWithATimeLimitHasItFirst) {
    SimSensors::current().setState(SimSensors::Part::GPS, SimSensors::State::Dead);
    auto gps = record("GPS_TEST", "GPSViewController");
    gps->setTimeout(40);
    startRun({gps, record("WATER_DAMAGE_TEST")}, DXRunTypeProfile);
    OperatorPatience patience;
    pass(69, [&] { patience.act(); });
    EXPECT_TRUE(onScreen("GPS_TEST"));
    pass(3, [&] { patience.act(); });
    EXPECT_TRUE(onScreen("WATER_DAMAGE_TEST")) << UITestDriver::describeScreen();
    EXPECT_EQ(model(0)->result(), DXTestResultFail);
}

TEST_F(OperatorPatienceTests, AnAnswerBarHoldsTheOperatorBackUnlessTheyLeaveItAlone) {
    startRun({record("WATER_DAMAGE_TEST"), record("CRASH_SCREEN_TEST", "CrashScreenViewController")}, DXRunTypeProfile);
    OperatorPatience patience;
    pass(60, [&] { patience.act(); });
    EXPECT_TRUE(onScreen("WATER_DAMAGE_TEST")) << "a question to answer is not a screen that never ends";
    pass(2, [&] { patience.act(true); });
    EXPECT_TRUE(onScreen("CRASH_SCREEN_TEST"));
    EXPECT_EQ(model(0)->result(), DXTestResultFail);
    // The clock starts again on the next screen.
    pass(20, [&] { patience.act(true); });
    EXPECT_TRUE(onScreen("CRASH_SCREEN_TEST"));
}

TEST_F(OperatorPatienceTests, ARunOfOneTestOffersNoSkipAndTheOperatorWaitsOn) {
    SimSensors::current().setState(SimSensors::Part::GPS, SimSensors::State::Dead);
    startRun({record("GPS_TEST", "GPSViewController")}, DXRunTypeProfile);
    OperatorPatience patience;
    int opened = 0;
    pass(90, [&] {
        if (patience.act() && UITestDriver::topSheet()) {
            ++opened;
        }
    });
    EXPECT_EQ(opened, 1) << "the menu is opened once, and closed again";
    EXPECT_TRUE(UIActionSheet::visibleSheets().empty());
    EXPECT_TRUE(onScreen("GPS_TEST"));
    EXPECT_EQ(model(0)->result(), DXTestResultNotRun);
    EXPECT_TRUE(patience.skipped().empty());
}
