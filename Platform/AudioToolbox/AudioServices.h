// System sound services: short sounds the system plays for an application, and the vibration.
//
// - The sound id kSystemSoundID_Vibrate runs the device's vibration motor for a moment (as a
//   system sound or an alert sound); a device without a working motor stays still.
// - A sound made from a file (AudioServicesCreateSystemSoundID) plays its real samples on the
//   device's current output (the headset when plugged in, else the loudspeaker); its completion
//   comes when the sound has ended on the platform clock. A sound marked as a user-interface sound
//   (property kAudioServicesPropertyIsUISound = 1) is silenced by the ring/silent switch: while the
//   switch is on silent it plays nothing and completes at once. An alert sound is not silenced by
//   the switch; on silent it vibrates instead of sounding.
// - Completions (the registered callback and the block of the ...WithCompletion calls) run on the
//   main thread, in the main run loop's turn.
#pragma once

#include <Foundation/NSURL.h>

#include <cstdint>
#include <functional>

using SystemSoundID = uint32_t;
using OSStatus = int32_t;
using AudioServicesPropertyID = uint32_t;

inline constexpr OSStatus noErr = 0;
inline constexpr OSStatus kAudioServicesNoError = 0;
inline constexpr OSStatus kAudioServicesUnsupportedPropertyError = 0x7074793f; // 'pty?'
inline constexpr OSStatus kAudioServicesBadPropertySizeError = 0x2173697a;     // '!siz'
inline constexpr OSStatus kAudioServicesBadSpecifierSizeError = 0x21737063;    // '!spc'
inline constexpr OSStatus kAudioServicesSystemSoundUnspecifiedError = -1500;
inline constexpr OSStatus kAudioServicesSystemSoundClientTimedOutError = -1501;
inline constexpr OSStatus kAudioServicesSystemSoundExceededMaximumDurationError = -1502;

inline constexpr SystemSoundID kSystemSoundID_Vibrate = 0x00000FFF;
// How long one vibration runs the motor, in seconds.
inline constexpr double kSystemSoundVibrationDuration = 0.4;
// The longest sound the system plays as a system sound.
inline constexpr double kSystemSoundMaximumDuration = 30.0;

inline constexpr AudioServicesPropertyID kAudioServicesPropertyIsUISound = 0x69737569;                 // 'isui'
inline constexpr AudioServicesPropertyID kAudioServicesPropertyCompletePlaybackIfAppDies = 0x69666469; // 'ifdi'

using AudioServicesSystemSoundCompletionProc = void (*)(SystemSoundID soundID, void* clientData);

// Makes a system sound from a sound file. Fails (kAudioServicesSystemSoundUnspecifiedError) for a
// missing, empty or undecodable file, and (kAudioServicesSystemSoundExceededMaximumDurationError)
// for a sound longer than kSystemSoundMaximumDuration. `outSystemSoundID` is left alone on failure.
OSStatus AudioServicesCreateSystemSoundID(const Ref<NSURL>& fileURL, SystemSoundID* outSystemSoundID);
// Forgets a sound: a later play does nothing; a pending completion of it no longer runs.
OSStatus AudioServicesDisposeSystemSoundID(SystemSoundID soundID);

// One completion callback per sound. The run loop and its mode are accepted for the platform's
// signature; callbacks run in the main run loop's turn.
OSStatus AudioServicesAddSystemSoundCompletion(SystemSoundID soundID, const Ref<NSObject>& runLoop,
                                               const Ref<NSString>& runLoopMode,
                                               AudioServicesSystemSoundCompletionProc completion, void* clientData);
void AudioServicesRemoveSystemSoundCompletion(SystemSoundID soundID);

// Properties of a sound; the specifier is the sound id (4 bytes), the data a 32-bit unsigned value.
OSStatus AudioServicesSetProperty(AudioServicesPropertyID propertyID, uint32_t specifierSize, const void* specifier,
                                  uint32_t dataSize, const void* data);
OSStatus AudioServicesGetProperty(AudioServicesPropertyID propertyID, uint32_t specifierSize, const void* specifier,
                                  uint32_t* ioDataSize, void* outData);

void AudioServicesPlaySystemSound(SystemSoundID soundID);
void AudioServicesPlayAlertSound(SystemSoundID soundID);
void AudioServicesPlaySystemSoundWithCompletion(SystemSoundID soundID, std::function<void()> completion);
void AudioServicesPlayAlertSoundWithCompletion(SystemSoundID soundID, std::function<void()> completion);
