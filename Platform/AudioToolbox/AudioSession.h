// The audio session's C interface: property listeners and a few properties. The listener of
// kAudioSessionProperty_CurrentHardwareOutputVolume hears every change of the output volume (a
// volume key or a change the system or an application made) with the new volume as a 32-bit
// float; listeners run on the audio session's own serial queue, never on the main thread.
// kAudioSessionProperty_OverrideAudioRoute sets the session's output override (0 none, 'spkr' the
// loudspeaker; 1 is taken as the loudspeaker too).
#pragma once

#include <AudioToolbox/AudioServices.h>

#include <cstdint>

using AudioSessionPropertyID = uint32_t;
using AudioSessionPropertyListener = void (*)(void* clientData, AudioSessionPropertyID propertyID, uint32_t dataSize,
                                              const void* data);

inline constexpr AudioSessionPropertyID kAudioSessionProperty_CurrentHardwareOutputVolume = 0x63686f76; // 'chov'
inline constexpr AudioSessionPropertyID kAudioSessionProperty_OverrideAudioRoute = 0x6f767264;          // 'ovrd'
inline constexpr uint32_t kAudioSessionOverrideAudioRoute_None = 0;
inline constexpr uint32_t kAudioSessionOverrideAudioRoute_Speaker = 0x73706b72; // 'spkr'

inline constexpr OSStatus kAudioSessionNoError = 0;
inline constexpr OSStatus kAudioSessionUnsupportedPropertyError = 0x7074793f; // 'pty?'
inline constexpr OSStatus kAudioSessionBadPropertySizeError = 0x2173697a;     // '!siz'

OSStatus AudioSessionAddPropertyListener(AudioSessionPropertyID propertyID, AudioSessionPropertyListener listener,
                                         void* clientData);
// Removes the listener registered with this function and client data (every such registration).
OSStatus AudioSessionRemovePropertyListenerWithUserData(AudioSessionPropertyID propertyID,
                                                        AudioSessionPropertyListener listener, void* clientData);
OSStatus AudioSessionSetProperty(AudioSessionPropertyID propertyID, uint32_t dataSize, const void* data);
OSStatus AudioSessionGetProperty(AudioSessionPropertyID propertyID, uint32_t* ioDataSize, void* outData);
