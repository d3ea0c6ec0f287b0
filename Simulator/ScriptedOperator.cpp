#include "ScriptedOperator.h"
#include "OperatorPowerRadio.h"

#include "OperatorAudio.h"
#include "OperatorCameraDisplay.h"
#include "OperatorHands.h"

#include <Core/DXBaseViewController.h>
#include <Core/DXStartViewController.h>
#include <Core/DXTestViewController.h>
#include <Diagnostics/Sensors/AmbientLightViewController.h>
#include <Diagnostics/Sensors/Arrow.h>
#include <Diagnostics/Sensors/MagnetometerViewController.h>
#include <Diagnostics/Sensors/MotionTestViewController.h>
#include <Diagnostics/Sensors/ProximityViewController.h>
#include <Dispatch/Clock.h>
#include <Foundation/NSLog.h>
#include <UIKit/UINavigationController.h>
#include <UIKit/UITestDriver.h>

#include <cmath>
#include <set>

namespace {

std::string text(const Ref<NSString>& s) {
    return s ? s->str() : std::string();
}

// The compass arrow's turn on the screen, in degrees.
double arrowAngle(const Ref<MagnetometerViewController>& screen) {
    auto arrow = screen ? screen->arrow() : nullptr;
    if (!arrow) {
        return 0;
    }
    CGAffineTransform t = arrow->layer()->affineTransform();
    return std::atan2(t.b, t.a) * 180 / M_PI;
}

bool visible(const Ref<UIView>& view) {
    return view && !view->isHidden() && view->window();
}

} // namespace

ScriptedOperator::ScriptedOperator(std::map<std::string, std::string> looks, std::map<std::string, bool> script)
    : script_(std::move(script)) {
    for (const auto& part : questionParts()) {
        if (auto it = looks.find(part); it != looks.end()) {
            looks_.insert(*it);
        }
    }
    // What the audio and camera screens' operator noted lives beside those screens' steps; a run
    // begun after another in the same process must not answer from what the earlier one heard.
    forgetAudioScreens();
    camera_operator::forget();
    // The second phone, which the call and the text message go to, is in the other hand from the start.
    hands::holdOtherPhone();
}

namespace {

// The question screens about what a person inspects by eye, the look each asks about, and the one
// way that look shows a fault.
struct Look {
    const char* screen;
    const char* part;
    const char* fault;
};
constexpr Look kLooks[] = {
    {"WaterDamgeViewController", "liquidIndicator", "tripped"},
    {"CrashScreenViewController", "screen", "cracked"},
    {"DecorationViewController", "decoration", "scratched"},
    {"EngravingViewController", "engraving", "engraved"},
};

// The question screens about no look: the operator does what the screen asks and answers YES (the
// accessories taken off, True Tone switched on and off, the SIM tray that holds the SIM the device
// reads), or, for the power key, answers from what the key it pressed did (OperatorTouchKeys.cpp).
const std::set<std::string>& plainQuestionScreens() {
    static const std::set<std::string> screens = {"RemoveAttachedViewController", "TrueToneViewController",
                                                  "SimTrayViewController", "PowerOnOffViewController"};
    return screens;
}

} // namespace

std::vector<std::string> ScriptedOperator::questionParts() {
    std::vector<std::string> parts;
    for (const auto& look : kLooks) {
        parts.emplace_back(look.part);
    }
    return parts;
}

std::vector<std::string> ScriptedOperator::lookStates(const std::string& part) {
    for (const auto& look : kLooks) {
        if (part == look.part) {
            return {"working", "ok", look.fault};
        }
    }
    return {};
}

std::string ScriptedOperator::partAskedBy(const std::string& screenClass) {
    for (const auto& look : kLooks) {
        if (screenClass == look.screen) {
            return look.part;
        }
    }
    return {};
}

bool ScriptedOperator::isPlainQuestionScreen(const std::string& screenClass) {
    return plainQuestionScreens().count(screenClass) != 0;
}

bool ScriptedOperator::answer(const std::string& key, const std::string& screenClass) const {
    if (auto it = script_.find(key); it != script_.end()) {
        return it->second;
    }
    auto part = partAskedBy(screenClass);
    auto look = part.empty() ? looks_.end() : looks_.find(part);
    return look == looks_.end() || look->second == "ok" || look->second == "working";
}

bool ScriptedOperator::act() {
    UITestDriver::layout();
    if (patience_.act()) {
        return true;
    }
    if (operator_power_radio::answerAlert()) {
        return true;
    }
    if (UITestDriver::topAlert()) {
        // A failed-test alert: the operator leaves the test rather than trying again.
        return UITestDriver::tapAlertButtonTitled("Exit") || UITestDriver::tapAlertButtonAtIndex(0);
    }
    if (UITestDriver::topImagePicker()) {
        return camera_operator::actOnImagePicker();
    }
    if (operator_power_radio::actOnSystemScreen()) {
        return true;
    }
    auto container = cast<DXTestViewController>(UITestDriver::topViewController());
    if (!container) {
        if (auto navigation = cast<UINavigationController>(UITestDriver::topViewController())) {
            container = cast<DXTestViewController>(navigation->topViewController());
        }
    }
    if (!container) {
        return false;
    }
    operator_power_radio::prepareForUpcomingTest(container);
    auto page = container->oldViewController();
    if (auto start = cast<DXStartViewController>(page)) {
        return actOnStartPage(start);
    }
    auto screen = cast<DXBaseViewController>(page);
    if (!screen || screen->isCompleted() || !screen->info()) {
        return false;
    }
    std::string screenClass = screen->getClass()->name();
    if (leftAlone_.count(text(screen->info()->profilekey()))) {
        // Nothing is answered or tried here; a screen without a time limit is skipped in the end.
        return patience_.act(true);
    }
    if (camera_operator::isCameraDisplayScreen(screenClass)) {
        return camera_operator::act(screen, [this](const std::string& key) -> std::optional<bool> {
            auto it = script_.find(key);
            return it == script_.end() ? std::nullopt : std::optional<bool>(it->second);
        });
    }
    if (operator_power_radio::isPowerRadioScreen(screenClass)) {
        return operator_power_radio::act(script_, text(screen->info()->profilekey()), screenClass, screen);
    }
    if (isSensorScreen(screenClass)) {
        return actOnSensorScreen(text(screen->info()->profilekey()), screenClass, screen);
    }
    if (isAudioScreen(screenClass)) {
        if (actOnAudioScreen(text(screen->info()->profilekey()), screen, script_)) {
            return true;
        }
        // The media-button screen's answer bar takes no answer: once the keys were tried, a screen
        // that did not end is skipped in the end.
        return screenClass == "HeadsetMdeiaButtonViewController" && patience_.act(true);
    }
    if (isTouchKeyScreen(screenClass) || screenClass == "PowerOnOffViewController") {
        return actOnTouchKeyScreen(screenClass, screen);
    }
    bool yes = answer(text(screen->info()->profilekey()), screenClass);
    return UITestDriver::tapButtonTitled(yes ? "YES" : "NO");
}

bool ScriptedOperator::actOnStartPage(const Ref<DXStartViewController>& start) {
    double now = DispatchClock::uptime();
    if (startPage_.lock() != start) {
        startPage_ = start;
        startPageSince_ = now;
    }
    if (start->startButton() && UITestDriver::tapView(start->startButton())) {
        return true;
    }
    // The button is there but nothing answers the finger: after a few seconds of trying, the
    // operator gives up, and the run cannot go on.
    if (visible(start->startButton()) && now - startPageSince_ >= 5 && stopped_.empty()) {
        auto record = start->testModel();
        stopped_ = "the Start button of the instruction page does not answer a touch; " +
                   (record ? text(record->profilekey()) : std::string("a test")) + " was next";
    }
    return false;
}

bool ScriptedOperator::isSensorScreen(const std::string& screenClass) {
    static const std::set<std::string> screens = {
        "MagnetometerViewController", "MotionTestViewController", "AccelerometerViewController",
        "GyroscopeViewController",    "BarometerViewController",  "ProximityViewController",
        "AmbientLightViewController", "GPSViewController",        "VibrationViewController",
    };
    return screens.count(screenClass) != 0;
}

bool ScriptedOperator::tapAnswer(const std::string& key, bool yes) {
    if (auto it = script_.find(key); it != script_.end()) {
        yes = it->second;
    }
    return UITestDriver::tapButtonTitled(yes ? "YES" : "NO");
}

bool ScriptedOperator::actOnSensorScreen(const std::string& key, const std::string& screenClass,
                                         const Ref<DXBaseViewController>& page) {
    // The test's record, which lives for the whole run, tells one screen from the next (a new
    // screen may take the place in memory of the one before).
    const void* screen = page->info().get();
    double now = DispatchClock::uptime();
    bool fresh = screen != sensorScreen_;
    if (fresh) {
        sensorScreen_ = screen;
        sensorScreenSince_ = now;
        sensorStep_ = 0;
    }
    double onScreen = now - sensorScreenSince_;

    if (screenClass == "MagnetometerViewController") {
        // Lay the device flat, look at the arrow, turn the device a quarter about the screen's
        // axis and look again: a compass that works turns its arrow with the device.
        auto compass = cast<MagnetometerViewController>(page);
        if (sensorStep_ == 0) {
            hands::holdFlat(0.2);
            sensorStep_ = 1;
            return true;
        }
        if (sensorStep_ == 1 && onScreen >= 1.5) {
            arrowBefore_ = arrowAngle(compass);
            hands::turn(hands::Axis::Z, 90, 1);
            sensorStep_ = 2;
            return true;
        }
        if (sensorStep_ == 2 && onScreen >= 3.5 && visible(page->answerView())) {
            double turned = std::fabs(std::remainder(arrowAngle(compass) - arrowBefore_, 360.0));
            return tapAnswer(key, turned > 30);
        }
        return false;
    }
    if (screenClass == "MotionTestViewController") {
        // Shake and turn the device; Skip once the screen offers it (a sensor has failed).
        if (fresh) {
            hands::shake(hands::Axis::X, 1.5, 5, 1);
            hands::turn(hands::Axis::Z, 180, 1);
            return true;
        }
        auto motion = cast<MotionTestViewController>(page);
        return motion && visible(motion->skipButton()) && UITestDriver::tapView(motion->skipButton());
    }
    if (screenClass == "AccelerometerViewController") {
        // Move the device along each axis in turn.
        if (fresh) {
            hands::shake(hands::Axis::X, 1, 2, 1);
            hands::shake(hands::Axis::Y, 1, 2, 1);
            hands::shake(hands::Axis::Z, 2, 2, 1);
            return true;
        }
        return false;
    }
    if (screenClass == "GyroscopeViewController") {
        // Turn the device about each axis in turn.
        if (fresh) {
            hands::turn(hands::Axis::X, 90, 1);
            hands::turn(hands::Axis::Y, 90, 1);
            hands::turn(hands::Axis::Z, 90, 1);
            return true;
        }
        return false;
    }
    if (screenClass == "BarometerViewController") {
        // Hold the device; lift it a little.
        if (fresh) {
            hands::lift(1, 2);
            return true;
        }
        return false;
    }
    if (screenClass == "ProximityViewController") {
        // Cover and uncover the sensor twice; Skip once the screen offers it.
        if (fresh) {
            hands::coverProximitySensor({{1, true}, {1, false}, {1, true}, {1, false}});
            return true;
        }
        auto proximity = cast<ProximityViewController>(page);
        return proximity && visible(proximity->skipButton()) && UITestDriver::tapView(proximity->skipButton());
    }
    if (screenClass == "AmbientLightViewController") {
        // Change the light on the device (and cover the sensor of a phone once), then watch whether
        // the screen's light followed it.
        auto light = cast<AmbientLightViewController>(page);
        if (fresh) {
            brightnessBefore_ = hands::lookAtScreenBrightness();
            brightnessFollowed_ = false;
            hands::holdInLight(hands::lookAtRoomLight() == hands::Light::Dim ? 20000 : 50);
            hands::coverProximitySensor({{1.5, true}, {0.5, false}});
            return true;
        }
        if (onScreen < 2) {
            return false;
        }
        if (sensorStep_ == 0) {
            brightnessFollowed_ = std::fabs(hands::lookAtScreenBrightness() - brightnessBefore_) > 0.01;
            sensorStep_ = 1;
        }
        if (light && visible(light->noButton())) {
            return !brightnessFollowed_ && UITestDriver::tapView(light->noButton());
        }
        return visible(page->answerView()) && tapAnswer(key, brightnessFollowed_);
    }
    if (screenClass == "GPSViewController") {
        // Walk with the device under the open sky.
        if (fresh) {
            hands::walk(10);
            return true;
        }
        return false;
    }
    if (screenClass == "VibrationViewController") {
        // Lay the device flat as the screen asks; when asked, answer whether it vibrated in the
        // hand: the motor ran and shook the body.
        if (fresh) {
            hands::holdFlat(0.2);
            return true;
        }
        if (onScreen < 1.5 || !visible(page->answerView())) {
            return false; // the screen is still trying on its own
        }
        return tapAnswer(key, hands::feelVibration(sensorScreenSince_, now));
    }
    return false;
}
