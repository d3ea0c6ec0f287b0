// The operator's body over the simulated device (see OperatorHands.h). With the phone in the other
// hand (ReceivingPhone), the only part of the operator that reaches the device itself (the target
// SimulatorHands, which gives the rest only OperatorHands.h): every action goes to the part a
// person's hand would move, and every sense answers what reached the eye, the ear or the hand (the
// device's record of what it played, lit or shook), never a part's state or the faults overlay. The
// members of the device it reaches are listed, each with why, in Tests/Simulator/OperatorHonestyTests.cpp.
#include "OperatorHands.h"
#include "ReceivingPhone.h"

#include <Device/SimAudio.h>
#include <Device/SimCamera.h>
#include <Device/SimDevice.h>
#include <Device/SimPower.h>
#include <Device/SimRadios.h> // the biometric sensor, which the hands present a face or a finger to
#include <Device/SimSensors.h>
#include <Device/SimTouchKeys.h>
#include <Dispatch/Clock.h>
#include <UIKit/UIScreenshot.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

namespace hands {

static_assert(kAudible == SimAudio::kAudibleLevel, "a sound the operator hears is one the device counts as audible");

namespace {

SimVector axisVector(Axis axis) {
    switch (axis) {
    case Axis::X:
        return {1, 0, 0};
    case Axis::Y:
        return {0, 1, 0};
    case Axis::Z:
        break;
    }
    return {0, 0, 1};
}

SimPower::Source source(Feed feed) {
    switch (feed) {
    case Feed::Charger:
        return SimPower::Source::Charger;
    case Feed::ComputerUSB:
        return SimPower::Source::ComputerUSB;
    case Feed::WirelessPad:
        break;
    }
    return SimPower::Source::WirelessPad;
}

// What the device's profile says of it, as printed on its box.
nlohmann::json profile() {
    auto parsed = nlohmann::json::parse(SimDevice::current().profileJSON(), nullptr, false);
    return parsed.is_object() ? parsed : nlohmann::json::object();
}

} // namespace

void holdFlat(double seconds) {
    SimSensors::current().lieFlat(seconds);
}

void turn(Axis axis, double degrees, double seconds) {
    SimSensors::current().rotate(axisVector(axis), degrees, seconds);
}

void shake(Axis axis, double amplitude, double frequency, double seconds) {
    SimSensors::current().shake(axisVector(axis), amplitude, frequency, seconds);
}

void lift(double metres, double seconds) {
    SimSensors::current().climb(metres, seconds);
}

void walk(double seconds) {
    SimSensors::current().walk(seconds);
}

void coverProximitySensor(const std::vector<Cover>& steps) {
    std::vector<std::pair<double, bool>> script;
    for (const auto& step : steps) {
        script.emplace_back(step.after, step.covered);
    }
    SimSensors::current().scriptProximity(script);
}

Light lookAtRoomLight() {
    // Indoor light is a few hundred lux; daylight and a lamp close by are thousands.
    return SimSensors::current().ambientLight() < 1000 ? Light::Dim : Light::Bright;
}

void holdInLight(double lux) {
    SimSensors::current().setAmbientLight(lux);
}

double lookAtScreenBrightness() {
    // The light that leaves the panel, whatever the brightness setting says.
    return SimCamera::current().displayLuminance();
}

bool feelVibration(double from, double to) {
    auto runs = SimSensors::current().motorRuns();
    return std::any_of(runs.begin(), runs.end(), [&](const SimSensors::MotorRun& run) {
        return run.start >= from && run.start <= to && run.shook;
    });
}

void pressKey(Key key) {
    auto& keys = SimTouchKeys::current();
    switch (key) {
    case Key::VolumeUp:
        keys.pressKey(SimTouchKeys::Key::VolumeUp);
        break;
    case Key::VolumeDown:
        keys.pressKey(SimTouchKeys::Key::VolumeDown);
        break;
    case Key::Power:
        keys.pressKey(SimTouchKeys::Key::Power);
        break;
    case Key::Home:
        keys.pressKey(SimTouchKeys::Key::Home);
        break;
    }
}

void pressScreenshotChord() {
    SimTouchKeys::current().pressScreenshotChord();
}

void flipRingerSwitch() {
    SimTouchKeys::current().toggleRingerSwitch();
}

void pressHeadsetKey(HeadsetKey key) {
    switch (key) {
    case HeadsetKey::PlayPause:
        SimAudio::current().pressHeadsetKey(SimAudio::HeadsetKey::PlayPause);
        break;
    case HeadsetKey::VolumeUp:
        SimAudio::current().pressHeadsetKey(SimAudio::HeadsetKey::VolumeUp);
        break;
    case HeadsetKey::VolumeDown:
        SimAudio::current().pressHeadsetKey(SimAudio::HeadsetKey::VolumeDown);
        break;
    }
}

void plugHeadset(double after) {
    if (after > 0) {
        SimAudio::current().scheduleHeadset(after, true);
    } else {
        SimAudio::current().plugHeadset(true);
    }
}

void unplugHeadset() {
    SimAudio::current().plugHeadset(false);
}

void plug(Feed feed) {
    SimPower::current().plug(source(feed));
}

void unplug(Feed feed) {
    SimPower::current().unplug(source(feed));
}

void speak(double seconds) {
    SimAudio::current().speak(DispatchClock::uptime(), seconds);
}

double listenTo(Sound sound, double from, double to) {
    using Part = SimAudio::Part;
    auto& audio = SimAudio::current();
    switch (sound) {
    case Sound::Loudspeaker:
        return audio.playedLevel(Part::Speaker, from, to);
    case Sound::LeftEarpiece:
        return audio.playedLevel(Part::HeadphoneLeft, from, to);
    case Sound::RightEarpiece:
        return audio.playedLevel(Part::HeadphoneRight, from, to);
    case Sound::Phone:
        break;
    }
    double loudest = 0;
    for (Part part : {Part::Receiver, Part::Speaker, Part::HeadphoneLeft, Part::HeadphoneRight}) {
        loudest = std::max(loudest, audio.playedLevel(part, from, to));
    }
    return loudest;
}

void holdOtherPhone() {
    ReceivingPhone::inHand();
}

std::string lookAtOtherPhoneNumber() {
    return ReceivingPhone::inHand().number();
}

std::vector<std::string> lookAtOtherPhoneMessages() {
    std::vector<std::string> texts;
    for (const auto& message : ReceivingPhone::inHand().inbox()) {
        texts.push_back(message.body);
    }
    return texts;
}

bool listenForCallOnOtherPhone(double since) {
    auto answered = ReceivingPhone::inHand().answeredCalls();
    return std::any_of(answered.begin(), answered.end(), [&](double at) { return at >= since; });
}

void holdCameraTo(Surface surface) {
    SimCamera::current().setScene(surface == Surface::White   ? SimCamera::Scene::WhiteSurface
                                  : surface == Surface::Black ? SimCamera::Scene::BlackSurface
                                                              : SimCamera::Scene::Chart);
}

void holdCodeCardBeforeCamera(const std::string& text) {
    SimCamera::current().setQRCode(text);
}

bool lookAtTorch() {
    return SimCamera::current().torchLit();
}

Ref<UIImage> lookAtScreen() {
    return UIScreenshotImage();
}

Ref<UIImage> lookAtScreenPart(CGRect rect) {
    return UIScreenshotImageInRect(rect);
}

Box lookAtBox() {
    Box box;
    auto printed = profile();
    box.modelName = printed.value("modelName", std::string());
    if (printed.contains("battery") && printed["battery"].is_object()) {
        box.batteryCapacity = printed["battery"].value("designCapacity", 0.0);
    }
    // The storage is sold by its nominal size: the power of two it fills.
    double gib = std::ldexp(static_cast<double>(SimDevice::current().storage().totalBytes), -30);
    for (int size = 16; size <= 1024; size *= 2) {
        if (gib <= size) {
            box.capacity = std::to_string(size) + "GB";
            break;
        }
    }
    return box;
}

void holdFaceOrFingerToSensor() {
    SimRadios::current().presentToSensor();
}

} // namespace hands
