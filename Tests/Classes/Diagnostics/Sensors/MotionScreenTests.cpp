// The motion sensor, accelerometer, gyroscope, vibration and GPS screens against the simulated
// device: the operator moves the body as each screen asks; each part working, dead, stuck, absent.
#include "SensorScreenTestCase.h"

#include <CoreGraphics/CGImage.h>
#include <Diagnostics/Sensors/AccelerometerViewController.h>
#include <Diagnostics/Sensors/GPSViewController.h>
#include <Diagnostics/Sensors/GyroscopeViewController.h>
#include <Diagnostics/Sensors/MotionTestViewController.h>
#include <Diagnostics/Sensors/VibrationViewController.h>
#include <UIKit/NSTextAttachment.h>
#include <UIKit/UIAlertView.h>
#include <UIKit/UILabel.h>
#include <UIKit/UIScreenshot.h>

#include <filesystem>

namespace {

const SimSensors::State kBroken[] = {SimSensors::State::Dead, SimSensors::State::Stuck, SimSensors::State::Absent};

NSInteger subItemResult(const Ref<DXBaseViewController>& screen, NSUInteger i) {
    auto item = cast<NSDictionary>(screen->subItemlist()->objectAtIndex(i));
    auto value = item->objectForKey("result"_ns);
    return value ? unbox<long>(value) : 0;
}

void disappearAndComeBack(const Ref<DXBaseViewController>& screen) {
    screen->performSelectorWithObject("viewWillDisappear:", NSNumber::numberWithBool(false));
    PlatformTestCase::advance(1);
    screen->performSelectorWithObject("viewWillAppear:", NSNumber::numberWithBool(false));
}

} // namespace

class MotionTestScreenTests : public SensorScreenTestCase {
protected:
    // The operator shakes and turns the device, as the screen asks.
    void moveTheDevice() {
        sensors.shake({1, 0, 0}, 1.5, 5, 1);
        sensors.rotate({0, 0, 1}, 180, 1);
    }
};

TEST_F(MotionTestScreenTests, AllSensorsPassAndTheDeviceVibrates) {
    run("MotionTestViewController", 30);
    moveTheDevice();
    advance(3);
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_EQ(subResult("MOTION_SENSOR_TEST_ACCELEROMETER"), "SUCCESS");
    EXPECT_EQ(subResult("MOTION_SENSOR_TEST_GYROSCOPE"), "SUCCESS");
    EXPECT_EQ(subResult("MOTION_SENSOR_TEST_MAGNETOMETER"), "SUCCESS");
    ASSERT_FALSE(sensors.motorRuns().empty());
    EXPECT_TRUE(sensors.motorRuns().back().shook);
}

TEST_F(MotionTestScreenTests, LyingStillPassesNothingButTheMagnetometer) {
    auto screen = cast<MotionTestViewController>(run("MotionTestViewController", 10));
    advance(11);
    EXPECT_FALSE(ended());
    EXPECT_FALSE(screen->skipButton()->isHidden());
    EXPECT_EQ(subResult("MOTION_SENSOR_TEST_ACCELEROMETER"), "FAIL");
    EXPECT_EQ(subResult("MOTION_SENSOR_TEST_GYROSCOPE"), "FAIL");
    EXPECT_EQ(subResult("MOTION_SENSOR_TEST_MAGNETOMETER"), "SUCCESS");
}

TEST_F(MotionTestScreenTests, EachBrokenSensorFailsByName) {
    const std::pair<Part, const char*> parts[] = {{Part::Accelerometer, "MOTION_SENSOR_TEST_ACCELEROMETER"},
                                                  {Part::Gyroscope, "MOTION_SENSOR_TEST_GYROSCOPE"},
                                                  {Part::Magnetometer, "MOTION_SENSOR_TEST_MAGNETOMETER"}};
    for (auto [part, key] : parts) {
        for (State state : kBroken) {
            if (part == Part::Magnetometer && state == State::Stuck) {
                continue; // a stuck field is still a field (below)
            }
            sensors.setState(part, state);
            auto screen = cast<MotionTestViewController>(run("MotionTestViewController", 10));
            moveTheDevice();
            advance(11);
            EXPECT_FALSE(ended()) << key << " " << SimSensors::stateName(state);
            EXPECT_EQ(subResult(key), "FAIL") << key << " " << SimSensors::stateName(state);
            for (auto [other, otherKey] : parts) {
                if (other != part) {
                    EXPECT_EQ(subResult(otherKey), "SUCCESS") << otherKey;
                }
            }
            tap(screen->skipButton());
            EXPECT_EQ(result(), DXTestResultFail);
            EXPECT_TRUE(screen->isFailedBySkip());
            TearDown();
            SetUp();
        }
    }
}

TEST_F(MotionTestScreenTests, AnyNonZeroFieldPassesTheMagnetometerEvenAStuckOne) {
    sensors.setState(Part::Magnetometer, State::Stuck);
    run("MotionTestViewController", 10);
    moveTheDevice();
    advance(3);
    EXPECT_EQ(subResult("MOTION_SENSOR_TEST_MAGNETOMETER"), "SUCCESS");
    EXPECT_EQ(result(), DXTestResultPass);
    TearDown();
    SetUp();
    // A field of exactly zero is no reading; one component off zero, repeated, is.
    sensors.setState(Part::Magnetometer, State::Dead); // only the samples given below come
    run("MotionTestViewController", 10);
    sensors.inject(Part::Magnetometer, {{1, {0, 0, 0}}, {1.01, {0, 0, 0}}, {1.02, {0, 0, 0}}});
    advance(0.05);
    EXPECT_NE(subResult("MOTION_SENSOR_TEST_MAGNETOMETER"), "SUCCESS");
    sensors.inject(Part::Magnetometer, {{2, {0, 0, -0.5}}});
    advance(0.02);
    EXPECT_EQ(subResult("MOTION_SENSOR_TEST_MAGNETOMETER"), "SUCCESS");
    EXPECT_FALSE(ended()) << "the accelerometer and gyroscope are still waited for";
}

TEST_F(MotionTestScreenTests, GarbageAndErrorsAreNotData) {
    run("MotionTestViewController", 10);
    sensors.inject(Part::Accelerometer, {{1, {INFINITY, NAN, 0}}, {2, {0, 0, INFINITY}}}, true);
    sensors.inject(Part::Gyroscope, {{1, {NAN, NAN, NAN}}, {0.5, {INFINITY, 0, 0}}});
    advance(0.5);
    sensors.setState(Part::Accelerometer, State::Absent); // gone while running: an error, no sample
    sensors.shake({1, 0, 0}, 2, 5, 1);
    advance(11);
    EXPECT_EQ(subResult("MOTION_SENSOR_TEST_ACCELEROMETER"), "FAIL");
    EXPECT_EQ(subResult("MOTION_SENSOR_TEST_GYROSCOPE"), "FAIL");
    EXPECT_FALSE(ended());
}

class AxisScreenTests : public SensorScreenTestCase {};

TEST_F(AxisScreenTests, AccelerometerPassesAxisByAxis) {
    auto screen = run("AccelerometerViewController", 10);
    sensors.shake({1, 0, 0}, 1, 2, 1);
    sensors.shake({0, 1, 0}, 1, 2, 1);
    sensors.shake({0, 0, 1}, 2, 2, 1);
    advance(4);
    EXPECT_EQ(result(), DXTestResultPass);
    for (NSUInteger i = 0; i < 3; ++i) {
        EXPECT_EQ(subItemResult(screen, i), 1);
    }
    // Each passed axis's caption is followed by the small success mark, inline.
    auto axes = cast<AccelerometerViewController>(screen);
    ASSERT_TRUE(axes);
    for (const auto& label : {axes->x(), axes->y(), axes->z()}) {
        ASSERT_TRUE(label && label->attributedText());
        auto text = label->attributedText();
        ASSERT_GT(text->length(), 1u);
        NSUInteger last = text->length() - 1;
        auto mark =
            cast<NSTextAttachment>(text->attributeAtIndexEffectiveRange(NSAttachmentAttributeName(), last, nullptr));
        ASSERT_TRUE(mark && mark->image()) << label->text()->str();
        EXPECT_EQ(mark->image()->name()->str(), "icon_small_success");
        EXPECT_FALSE(text->attributeAtIndexEffectiveRange(NSAttachmentAttributeName(), 0, nullptr));
    }
}

TEST_F(AxisScreenTests, GyroscopePassesAxisByAxisAndComesBack) {
    auto screen = run("GyroscopeViewController", 30);
    sensors.rotate({1, 0, 0}, 90, 1);
    advance(1.5);
    EXPECT_EQ(subItemResult(screen, 0), 1);
    disappearAndComeBack(screen); // the Y stage starts again
    sensors.rotate({0, 1, 0}, 90, 1);
    sensors.rotate({0, 0, 1}, 90, 1);
    advance(3);
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_TRUE(cast<GyroscopeViewController>(screen)->tipImage()->isHidden());
}

TEST_F(AxisScreenTests, BrokenSensorsEndTheStage) {
    for (const char* controller : {"AccelerometerViewController", "GyroscopeViewController"}) {
        Part part = std::string(controller) == "GyroscopeViewController" ? Part::Gyroscope : Part::Accelerometer;
        for (State state : kBroken) {
            sensors.setState(part, state);
            auto screen = run(controller, 10);
            sensors.shake({1, 0, 0}, 1, 2, 1);
            sensors.rotate({1, 0, 0}, 90, 1);
            advance(state == State::Absent ? 0.1 : 9);
            EXPECT_EQ(ended(), state == State::Absent) << controller << " " << SimSensors::stateName(state);
            advance(2);
            EXPECT_EQ(result(), DXTestResultTimeout) << controller << " " << SimSensors::stateName(state);
            EXPECT_EQ(subItemResult(screen, 0), 2);
            EXPECT_EQ(subItemResult(screen, 1), 0);
            TearDown();
            SetUp();
        }
    }
}

TEST_F(AxisScreenTests, OnlyAPositiveFiniteReadingAboveHalfPasses) {
    auto screen = run("AccelerometerViewController", 5);
    sensors.inject(Part::Accelerometer, {{1, {INFINITY, 0, 0}}, {2, {0.5, 0, 0}}, {3, {NAN, 0, 0}}, {4, {-3, 0, 0}}});
    advance(6);
    EXPECT_EQ(result(), DXTestResultTimeout);
    EXPECT_EQ(subItemResult(screen, 0), 2);
}

TEST_F(AxisScreenTests, TheTipNamesTheAxisAndTheRowShowsItsReadingOnNarrowAndWidePhones) {
    for (double width : {320.0, 375.0}) {
        useScreen(width, 568);
        UIScreenshotRecordToDirectory(NSSandbox::temporaryPath()->str());
        auto screen = cast<AccelerometerViewController>(run("AccelerometerViewController", 10));
        UIScreenshotRecordToDirectory("");
        auto records = UIScreenshotRecords();
        ASSERT_TRUE(screen && !records.empty());
        EXPECT_EQ(records.back().cutTexts, std::vector<std::string>{}) << width;
        EXPECT_EQ(screen->tipLabel()->text()->str(), "Move or shake the device along the X axis.");
        sensors.inject(Part::Accelerometer, {{1, {-15.987, 0, 0}}});
        advance(0.1);
        EXPECT_EQ(screen->x()->text()->str(), "X axis: -15.99 g");
        TearDown();
        SetUp();
    }
}

class VibrationScreenTests : public SensorScreenTestCase {};

TEST_F(VibrationScreenTests, FlatWithAWorkingMotorPassesWithoutAQuestion) {
    auto screen = run("VibrationViewController", 0);
    advance(7.5);
    EXPECT_EQ(result(), DXTestResultPass);
    EXPECT_TRUE(screen->answerView()->isHidden());
    auto runs = sensors.motorRuns();
    ASSERT_EQ(runs.size(), 3u);
    for (const auto& r : runs) {
        EXPECT_TRUE(r.shook);
    }
}

TEST_F(VibrationScreenTests, ADeadMotorIsNotPassedOnTheFlatPositionAlone) {
    sensors.setState(Part::VibrationMotor, State::Dead);
    auto screen = run("VibrationViewController", 0);
    advance(7.5);
    EXPECT_FALSE(ended());
    EXPECT_FALSE(screen->answerView()->isHidden()); // the operator is asked
    advance(3);
    answer(false); // nothing vibrated
    EXPECT_EQ(result(), DXTestResultFail);
}

TEST_F(VibrationScreenTests, WithoutAWorkingAccelerometerTheOperatorAnswers) {
    for (State state : kBroken) {
        sensors.setState(Part::Accelerometer, state);
        auto screen = run("VibrationViewController", 0);
        advance(8);
        EXPECT_FALSE(ended()) << SimSensors::stateName(state);
        EXPECT_FALSE(screen->answerView()->isHidden());
        size_t runs = sensors.motorRuns().size();
        advance(3);
        EXPECT_GE(sensors.motorRuns().size(), runs + 2); // once a second
        answer(true);
        EXPECT_EQ(result(), DXTestResultPass);
        TearDown();
        SetUp();
    }
}

// A noisy accelerometer shakes as much lying still as with the motor running: the screen cannot
// tell the motor from the noise, so it asks rather than passing on its own.
TEST_F(VibrationScreenTests, ANoisyAccelerometerAsksTheOperator) {
    sensors.setState(Part::Accelerometer, State::Noisy);
    auto screen = run("VibrationViewController", 0);
    advance(9);
    EXPECT_FALSE(ended()) << "passed on its own";
    EXPECT_FALSE(screen->answerView()->isHidden()) << "the operator is not asked";
    ASSERT_FALSE(sensors.motorRuns().empty());
    EXPECT_TRUE(sensors.motorRuns().back().shook) << "the motor works";
    answer(true);
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(VibrationScreenTests, UprightGoesToTheQuestionAndTabletsAskToo) {
    sensors.pickUp(0.2);
    run("VibrationViewController", 0);
    advance(3.5);
    sensors.lieFlat(0.2); // too late
    advance(5);
    EXPECT_FALSE(ended());
    answer(true);
    EXPECT_EQ(result(), DXTestResultPass);
    TearDown();
    SetUp();
    ASSERT_TRUE(SimDevice::current().loadProfile("iPad7,5"));
    run("VibrationViewController", 0);
    advance(2);
    EXPECT_FALSE(ended());
    answer(false);
    EXPECT_EQ(result(), DXTestResultFail);
    for (const auto& r : sensors.motorRuns()) {
        EXPECT_FALSE(r.shook);
    }
}

TEST_F(VibrationScreenTests, TheAuditCopyInvertsTheAnswer) {
    auto r = record("SENSOR", "VibrationViewController");
    r->setFakeTest(true);
    startRun({r}, DXRunTypeProfile);
    advance(5);
    EXPECT_TRUE(sensors.motorRuns().empty());
    answer(true);
    EXPECT_EQ(result(), DXTestResultFail);
}

class GPSScreenTests : public SensorScreenTestCase {};

TEST_F(GPSScreenTests, AskedAllowedFixedPassed) {
    SimSensors::Fix fix;
    fix.latitude = 12.5;
    fix.longitude = -0.25;
    sensors.setPosition(fix);
    auto screen = cast<GPSViewController>(run("GPSViewController", 0));
    EXPECT_TRUE(screen->isrequestauthorization());
    // The prompt is answered after a second; the first fix follows.
    ASSERT_TRUE(runUntil([&] { return screen->latitude()->text() && screen->latitude()->text()->length() > 0; }));
    EXPECT_EQ(screen->latitude()->text()->str(), "12.50000000");
    EXPECT_EQ(screen->longitude()->text()->str(), "-0.25000000");
    advance(1.9);
    EXPECT_FALSE(ended());
    advance(0.2);
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(GPSScreenTests, DeniedBeforeOrWhenAsked) {
    sensors.setLocationAuthorization(SimSensors::Authorization::Denied);
    run("GPSViewController", 0);
    EXPECT_EQ(result(), DXTestResultFail);
    auto alerts = UIAlertView::visibleAlerts();
    ASSERT_EQ(alerts.size(), 1u);
    alerts[0]->dismissWithClickedButtonIndexAnimated(0, false);
    EXPECT_FALSE(ended()); // a dismissal is not the operator's tap
    TearDown();
    SetUp();
    sensors.setLocationAuthorization(SimSensors::Authorization::Denied);
    run("GPSViewController", 0);
    ASSERT_EQ(UIAlertView::visibleAlerts().size(), 1u);
    tapAlert(UIAlertView::visibleAlerts()[0]->buttonTitleAtIndex(0)->str().c_str());
    EXPECT_TRUE(ended());
    EXPECT_EQ(result(), DXTestResultFail);
    TearDown();
    SetUp();
    sensors.setLocationPromptAnswer(SimSensors::PromptAnswer::Deny, 1);
    run("GPSViewController", 0);
    advance(1.5);
    EXPECT_EQ(result(), DXTestResultFail);
}

TEST_F(GPSScreenTests, BrokenReceiversNeverPassAndComingBackGoesOn) {
    for (State state : {State::Dead, State::Absent}) {
        sensors.setState(Part::GPS, state);
        run("GPSViewController", 0);
        advance(60);
        EXPECT_FALSE(ended()) << SimSensors::stateName(state);
        TearDown();
        SetUp();
    }
    sensors.setLocationAuthorization(SimSensors::Authorization::WhenInUse);
    sensors.setState(Part::GPS, State::Dead);
    auto screen = run("GPSViewController", 0);
    advance(5);
    disappearAndComeBack(screen);
    sensors.setState(Part::GPS, State::Working);
    advance(4);
    EXPECT_EQ(result(), DXTestResultPass);
}

TEST_F(GPSScreenTests, TheMapCentresA250MetreRegionOnTheFix) {
    sensors.setLocationAuthorization(SimSensors::Authorization::WhenInUse);
    SimSensors::Fix fix;
    fix.latitude = 12.5;
    fix.longitude = -0.25;
    fix.horizontalAccuracy = 5;
    sensors.setPosition(fix);
    auto screen = cast<GPSViewController>(run("GPSViewController", 0));
    auto map = screen->mapView();
    ASSERT_TRUE(map);
    EXPECT_TRUE(map->showsUserLocation());
    EXPECT_EQ(map->delegate(), id(screen));
    ASSERT_TRUE(runUntil([&] { return map->userLocation()->location() != nullptr; }, 3));
    advance(MKMapView::kRegionAnimationDuration + 0.1);
    EXPECT_FALSE(ended());
    MKCoordinateRegion r = map->region();
    EXPECT_NEAR(r.center.latitude, 12.5, 1e-9);
    EXPECT_NEAR(r.center.longitude, -0.25, 1e-9);
    double high = MKCoordinateRegionHeightInMeters(r);
    double wide = MKCoordinateRegionWidthInMeters(r);
    EXPECT_NEAR(std::min(high, wide), 250, 1e-6) << "250 m on the short side of the map";
    CGSize size = map->bounds().size;
    ASSERT_GT(size.width, 100);
    ASSERT_GT(size.height, 100);
    EXPECT_NEAR(wide / high, size.width / size.height, 1e-6);
    EXPECT_NEAR(MKCoordinateRegionHeightInMeters(map->presentedRegion()), high, 1e-6) << "arrived";

    // The picture: the user's dot in the middle of the map.
    auto image = UIScreenshotImage();
    ASSERT_TRUE(image);
    auto dir = std::filesystem::current_path() / "screenshots";
    std::filesystem::create_directories(dir);
    ASSERT_TRUE(
        UIImagePNGRepresentation(image)->writeToFileAtomically(NSString::from((dir / "gps-map.png").string()), true));
    CGRect frame = map->convertRectToView(map->bounds(), nullptr);
    double scale = image->scale();
    double sumX = 0, sumY = 0;
    int count = 0;
    for (double y = frame.origin.y; y < CGRectGetMaxY(frame); y += 0.5) {
        for (double x = frame.origin.x; x < CGRectGetMaxX(frame); x += 0.5) {
            uint8_t rgba[4];
            if (CGImageGetPixel(image->CGImage(), static_cast<size_t>(x * scale), static_cast<size_t>(y * scale),
                                rgba) &&
                rgba[0] < 40 && rgba[1] > 90 && rgba[1] < 160 && rgba[2] > 220) {
                sumX += x;
                sumY += y;
                ++count;
            }
        }
    }
    ASSERT_GT(count, 50) << "no dot on the map";
    EXPECT_NEAR(sumX / count, CGRectGetMidX(frame), 2);
    EXPECT_NEAR(sumY / count, CGRectGetMidY(frame), 2);
    advance(2);
    EXPECT_EQ(result(), DXTestResultPass);
}
