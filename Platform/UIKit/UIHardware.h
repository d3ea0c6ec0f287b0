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

namespace uikit_detail {
// Starts listening to the device's keys (once per process); the application calls it when made.
void listenToHardware();
} // namespace uikit_detail
