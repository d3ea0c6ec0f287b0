// System sound services: short sounds the system plays for an application, and the vibration.
// The sound id kSystemSoundID_Vibrate runs the device's vibration motor for a moment (as a
// system sound or an alert sound); a device without a working motor stays still. Completions run
// on the main queue when the sound (or the vibration) has ended, on the platform clock.
// Other ids play nothing yet: the device's sound player is not modelled here.
#pragma once

#include <cstdint>
#include <functional>

using SystemSoundID = uint32_t;

inline constexpr SystemSoundID kSystemSoundID_Vibrate = 0x00000FFF;
// How long one vibration runs the motor, in seconds.
inline constexpr double kSystemSoundVibrationDuration = 0.4;

void AudioServicesPlaySystemSound(SystemSoundID soundID);
void AudioServicesPlayAlertSound(SystemSoundID soundID);
void AudioServicesPlaySystemSoundWithCompletion(SystemSoundID soundID, std::function<void()> completion);
void AudioServicesPlayAlertSoundWithCompletion(SystemSoundID soundID, std::function<void()> completion);
