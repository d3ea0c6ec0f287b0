// OperatorHands: the scripted operator's body, the one way the operator reaches the device. Each
// function is something a person does with the phone in hand, or takes in with a sense, and is named
// by that verb. What a sense answers is what a person could take in (a sound heard, the light of the
// screen, a shake felt in the hand), never the state of a part. The verbs:
//   hold    keep the device (or its camera, or a card before it) somewhere: flat, in a light, at a surface
//   turn    rotate the device about one of its axes
//   shake   move it to and fro along an axis
//   lift    raise it a little
//   walk    carry it while walking under the open sky
//   cover   put a finger over the proximity sensor
//   press   press a key of the device or of the headset
//   flip    move the ring/silent switch to its other side
//   plug    plug a feed (or lay the device on the wireless pad) or the headset in; unplug takes it out
//   speak   talk to the phone
//   listen  hear what the phone played over a span of time, or the caller on the phone in the other hand
//   look    see the screen, the room's light, the torch, the box the device came in, the other phone's screen
//   feel    feel the device vibrate in the hand
// Times are the platform clock's uptimes in seconds (DispatchClock::uptime()).
#pragma once

#include <CoreGraphics/CGGeometry.h>
#include <UIKit/UIImage.h>

#include <string>
#include <vector>

namespace hands {

// The device's axes: X across the screen (to the right), Y along it (to the top), Z out of it.
enum class Axis { X, Y, Z };

// Lays the device flat on the table, screen up, taking `seconds`.
void holdFlat(double seconds);
// Turns the device by `degrees` about `axis`, taking `seconds`; after the motions asked before.
void turn(Axis axis, double degrees, double seconds);
// Shakes the device along `axis` (`amplitude` in g, `frequency` in Hz) for `seconds`.
void shake(Axis axis, double amplitude, double frequency, double seconds);
// Lifts the device by `metres`, taking `seconds`.
void lift(double metres, double seconds);
// Walks with the device under the open sky for `seconds`.
void walk(double seconds);

// One step of covering the proximity sensor: `after` seconds after the step before, the finger is
// over it (`covered`) or taken away.
struct Cover {
    double after = 0;
    bool covered = false;
};
void coverProximitySensor(const std::vector<Cover>& steps);

// The light around the device, as a person judges it.
enum class Light { Dim, Bright };
Light lookAtRoomLight();
// Carries the device into a light of about `lux` (a lamp, the shade).
void holdInLight(double lux);
// How bright the screen shines (0 dark to 1 at full light).
double lookAtScreenBrightness();
// Whether the device vibrated in the hand: the motor started shaking it at some time in [from, to].
bool feelVibration(double from, double to);

enum class Key { VolumeUp, VolumeDown, Power, Home };
void pressKey(Key key);
// Power and volume up (Home and power on a device with a Home key) together, as for a screenshot.
void pressScreenshotChord();
void flipRingerSwitch();

enum class HeadsetKey { PlayPause, VolumeUp, VolumeDown };
void pressHeadsetKey(HeadsetKey key);
// The headset's plug goes into the jack `after` seconds from now.
void plugHeadset(double after = 0);
void unplugHeadset();

// What feeds the battery: a wall charger, a computer's USB port, the wireless pad (plugged in, with
// the device laid on it).
enum class Feed { Charger, ComputerUSB, WirelessPad };
void plug(Feed feed);
void unplug(Feed feed);

// Talks to the phone for `seconds` from now.
void speak(double seconds);

// Where a sound comes from: the loudspeaker at the bottom, an earpiece of the wired headset, or
// anything the phone plays (its loudspeaker, its receiver, the headset).
enum class Sound { Loudspeaker, LeftEarpiece, RightEarpiece, Phone };
// How loud the sound was over [from, to) (root mean square, 0 for silence); louder than kAudible is
// heard.
double listenTo(Sound sound, double from, double to);
inline constexpr double kAudible = 0.003;

// The second phone in the operator's other hand, on the carrier's network. The operator takes it up
// before the run (holdOtherPhone), and it then rings and takes messages for the rest of the process.
// Its number, as its owner knows it; the texts of the messages it shows received, oldest first; and whether it rang at
// `since` or later and the person, answering it, heard the caller (a call to its number, or to the carrier's service
// line, which the simulated carrier puts through to it). Only a message or call that went out over the network reaches
// it.
void holdOtherPhone();
std::string lookAtOtherPhoneNumber();
std::vector<std::string> lookAtOtherPhoneMessages();
bool listenForCallOnOtherPhone(double since);

// What the camera is held to.
enum class Surface { Chart, White, Black };
void holdCameraTo(Surface surface);
// Holds a card with a QR code of `text` before the camera; an empty text takes it away.
void holdCodeCardBeforeCamera(const std::string& text);
// Whether light shines from the torch at the back.
bool lookAtTorch();
// The screen as the eye sees it (the panel's own faults included): all of it, or the part in `rect`
// (points; nil when the rectangle misses the screen). The picture's pixel (0, 0) is the top-left.
Ref<UIImage> lookAtScreen();
Ref<UIImage> lookAtScreenPart(CGRect rect);

// What the label on the box the device came in says: the model's name ("iPhone X"), its storage
// ("64GB") and its battery's rated capacity (mAh; 0 when not given).
struct Box {
    std::string modelName;
    std::string capacity;
    double batteryCapacity = 0;
};
Box lookAtBox();

// Looks at the phone, or lays a finger on the sensor, while the system's Face ID or Touch ID prompt
// asks for it; the sensor decides whether it recognises them.
void holdFaceOrFingerToSensor();

} // namespace hands
