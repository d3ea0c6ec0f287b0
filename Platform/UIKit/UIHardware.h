// The system's side of the hardware keys and the digitizer: what the phone's system does when the
// simulated device's keys are pressed (Platform/Device/SimTouchKeys), for the application in front.
//   - power key: the screen locks; the Darwin notification "com.apple.springboard.lockcomplete" and
//     the application's move to the background come in the device's scripted order (the
//     notification first, or late); the next press unlocks and brings the application back;
//   - Home key: the application goes to the background, without a lock notification;
//   - screenshot chord: UIApplicationUserDidTakeScreenshotNotification, while the application is
//     active;
//   - ghost touches: a tap nobody made, delivered to the key window.
// The volume keys and the ring/silent switch belong to the audio side of the device.
#pragma once

#include <Foundation/NSString.h>

// "com.apple.springboard.lockcomplete".
const Ref<NSString>& UIHardwareLockCompleteNotificationName();

class UIApplication;

namespace uikit_detail {
// Starts listening to the device's keys for `app`: the application calls it when made and stops
// (with the token answered) when it goes, so that an application that is gone, and the device's
// ghost touches with it, are left alone. Events that arrive after `app` went are dropped.
uint64_t listenToHardware(const Weak<UIApplication>& app);
void stopListeningToHardware(uint64_t token);
} // namespace uikit_detail
