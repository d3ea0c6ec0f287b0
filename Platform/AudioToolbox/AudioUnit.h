// Audio units: the voice-processing input/output unit ('auou'/'vpio'/'appl'; the plain remote I/O
// unit 'rioc' too) on the simulated device. A started unit runs its own I/O thread that, every
// kAudioUnitIOFrames frames of the platform clock, calls the input callback (element 1) when input
// is enabled, whose AudioUnitRender hands over what the session's microphone picked up in that
// time, then the render callback (element 0) when output is enabled, whose samples the device's
// current output plays (at the output volume). Samples are signed 16-bit mono (the only stream
// format accepted is linear PCM, 16-bit signed packed, 1 channel, 44100 Hz).
//
// Handles are plain numbers that are never reused: every call on a disposed or unknown unit answers
// kAudio_ParamError instead of touching freed memory. Stop and dispose are safe on a stopped or
// disposed unit. AudioOutputUnitStop returns once the I/O thread has finished its cycle (unless it
// is called from a callback), so no callback runs after it. Properties check their data size.
#pragma once

#include <AudioToolbox/AudioFormat.h>
#include <AudioToolbox/AudioServices.h>

#include <cstdint>

using OSType = uint32_t;
using AudioUnitPropertyID = uint32_t;
using AudioUnitScope = uint32_t;
using AudioUnitElement = uint32_t;
using AudioUnitRenderActionFlags = uint32_t;
using AudioFormatFlags = uint32_t;

struct OpaqueAudioComponent;
struct OpaqueAudioComponentInstance;
using AudioComponent = OpaqueAudioComponent*;
using AudioComponentInstance = OpaqueAudioComponentInstance*;
using AudioUnit = AudioComponentInstance;

struct AudioComponentDescription {
    OSType componentType = 0;
    OSType componentSubType = 0;
    OSType componentManufacturer = 0;
    uint32_t componentFlags = 0;
    uint32_t componentFlagsMask = 0;
};

struct AudioStreamBasicDescription {
    double mSampleRate = 0;
    uint32_t mFormatID = 0;
    AudioFormatFlags mFormatFlags = 0;
    uint32_t mBytesPerPacket = 0;
    uint32_t mFramesPerPacket = 0;
    uint32_t mBytesPerFrame = 0;
    uint32_t mChannelsPerFrame = 0;
    uint32_t mBitsPerChannel = 0;
    uint32_t mReserved = 0;
};
static_assert(sizeof(AudioStreamBasicDescription) == 40);

struct AudioBuffer {
    uint32_t mNumberChannels = 0;
    uint32_t mDataByteSize = 0;
    void* mData = nullptr;
};

struct AudioBufferList {
    uint32_t mNumberBuffers = 0;
    AudioBuffer mBuffers[1];
};

struct AudioTimeStamp {
    double mSampleTime = 0;
    uint64_t mHostTime = 0;
    double mRateScalar = 1;
    uint64_t mWordClockTime = 0;
    uint32_t mFlags = 0;
    uint32_t mReserved = 0;
};

using AURenderCallback = OSStatus (*)(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                      const AudioTimeStamp* inTimeStamp, uint32_t inBusNumber, uint32_t inNumberFrames,
                                      AudioBufferList* ioData);
struct AURenderCallbackStruct {
    AURenderCallback inputProc = nullptr;
    void* inputProcRefCon = nullptr;
};

inline constexpr OSType kAudioUnitType_Output = 0x61756f75;               // 'auou'
inline constexpr OSType kAudioUnitSubType_VoiceProcessingIO = 0x7670696f; // 'vpio'
inline constexpr OSType kAudioUnitSubType_RemoteIO = 0x72696f63;          // 'rioc'
inline constexpr OSType kAudioUnitManufacturer_Apple = 0x6170706c;        // 'appl'

inline constexpr AudioUnitPropertyID kAudioUnitProperty_StreamFormat = 8;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_SetRenderCallback = 23;
inline constexpr AudioUnitPropertyID kAudioUnitProperty_ShouldAllocateBuffer = 51;
inline constexpr AudioUnitPropertyID kAudioOutputUnitProperty_EnableIO = 2003;
inline constexpr AudioUnitPropertyID kAudioOutputUnitProperty_SetInputCallback = 2005;

inline constexpr AudioUnitScope kAudioUnitScope_Global = 0;
inline constexpr AudioUnitScope kAudioUnitScope_Input = 1;
inline constexpr AudioUnitScope kAudioUnitScope_Output = 2;

inline constexpr AudioFormatFlags kAudioFormatFlagIsSignedInteger = 0x4;
inline constexpr AudioFormatFlags kAudioFormatFlagIsPacked = 0x8;

inline constexpr OSStatus kAudio_ParamError = -50;
inline constexpr OSStatus kAudioUnitErr_InvalidProperty = -10879;
inline constexpr OSStatus kAudioUnitErr_InvalidParameter = -10878;
inline constexpr OSStatus kAudioUnitErr_InvalidElement = -10877;
inline constexpr OSStatus kAudioUnitErr_NoConnection = -10876;
inline constexpr OSStatus kAudioUnitErr_FailedInitialization = -10875;
inline constexpr OSStatus kAudioUnitErr_TooManyFramesToProcess = -10874;
inline constexpr OSStatus kAudioUnitErr_FormatNotSupported = -10868;
inline constexpr OSStatus kAudioUnitErr_Uninitialized = -10867;
inline constexpr OSStatus kAudioUnitErr_InvalidScope = -10866;
inline constexpr OSStatus kAudioUnitErr_CannotDoInCurrentContext = -10863;
inline constexpr OSStatus kAudioUnitErr_InvalidPropertyValue = -10851;

// Frames per I/O cycle.
inline constexpr uint32_t kAudioUnitIOFrames = 1024;

// The first component after `inComponent` (nil: from the start) matching the description; nil when
// there is none (a device whose voice-processing unit is missing has none).
AudioComponent AudioComponentFindNext(AudioComponent inComponent, const AudioComponentDescription* inDesc);
OSStatus AudioComponentInstanceNew(AudioComponent inComponent, AudioComponentInstance* outInstance);
OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance);

OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, const void* inData, uint32_t inDataSize);
OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, void* outData, uint32_t* ioDataSize);
OSStatus AudioUnitInitialize(AudioUnit inUnit);
OSStatus AudioUnitUninitialize(AudioUnit inUnit);
OSStatus AudioOutputUnitStart(AudioUnit ci);
OSStatus AudioOutputUnitStop(AudioUnit ci);
// Only inside the unit's input callback: copies the microphone's frames of this cycle into ioData
// (into the unit's own buffer when ioData's buffer has no data and the unit allocates).
OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags* ioActionFlags, const AudioTimeStamp* inTimeStamp,
                         uint32_t inOutputBusNumber, uint32_t inNumberFrames, AudioBufferList* ioData);
