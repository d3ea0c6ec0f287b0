// The voice-processing I/O unit on the simulated device (see AudioUnit.h).
#include <AudioToolbox/AudioUnit.h>

#include <AudioToolbox/AudioRoute.h>
#include <Device/SimAudio.h>
#include <Dispatch/Clock.h>
#include <Foundation/NSCondition.h>
#include <Foundation/NSDate.h>
#include <Foundation/NSThread.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// The components there are: handles 1 (voice processing) and 2 (remote I/O).
constexpr uintptr_t kVoiceProcessing = 1;
constexpr uintptr_t kRemoteIO = 2;

struct Unit {
    OSType subType = 0;
    bool inputEnabled = false;
    bool outputEnabled = true;
    bool shouldAllocate = true;
    bool initialized = false;
    AudioStreamBasicDescription inputFormat;  // output scope of element 1: what leaves the microphone side
    AudioStreamBasicDescription outputFormat; // input scope of element 0: what the application hands over
    AURenderCallbackStruct inputCallback;
    AURenderCallbackStruct renderCallback;

    // The I/O thread.
    Ref<NSCondition> condition = make<NSCondition>();
    bool running = false;  // guarded by `condition`
    bool threadIn = false; // the I/O thread is between start and its exit; guarded by `condition`
    std::thread::id ioThread;
    // This cycle's microphone frames; only the I/O thread touches them.
    std::vector<int16_t> captured;
    std::vector<int16_t> ownBuffer;
    bool inInputCallback = false;
    double sampleTime = 0;
};

struct Registry {
    std::mutex mutex;
    std::map<uintptr_t, std::shared_ptr<Unit>> units;
    uintptr_t next = 1;
};

Registry& registry() {
    static Registry* r = new Registry;
    return *r;
}

std::shared_ptr<Unit> find(AudioUnit unit) {
    std::lock_guard lock(registry().mutex);
    auto it = registry().units.find(reinterpret_cast<uintptr_t>(unit));
    return it == registry().units.end() ? nullptr : it->second;
}

AudioStreamBasicDescription expectedFormat() {
    AudioStreamBasicDescription f;
    f.mSampleRate = SimAudio::kSampleRate;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    f.mBytesPerPacket = 2;
    f.mFramesPerPacket = 1;
    f.mBytesPerFrame = 2;
    f.mChannelsPerFrame = 1;
    f.mBitsPerChannel = 16;
    return f;
}

bool supported(const AudioStreamBasicDescription& f) {
    auto e = expectedFormat();
    return f.mSampleRate == e.mSampleRate && f.mFormatID == e.mFormatID &&
           (f.mFormatFlags & (kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked)) == e.mFormatFlags &&
           f.mBytesPerPacket == 2 && f.mFramesPerPacket == 1 && f.mBytesPerFrame == 2 && f.mChannelsPerFrame == 1 &&
           f.mBitsPerChannel == 16;
}

int16_t toSample(float v) {
    return static_cast<int16_t>(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
}

// One I/O cycle ending at `end` (uptime): the microphone's frames of the cycle to the input
// callback, then the render callback's frames out of the device's current output from `end` on.
void cycle(AudioUnit handle, Unit& unit, double end) {
    constexpr uint32_t frames = kAudioUnitIOFrames;
    constexpr double period = frames / SimAudio::kSampleRate;
    AudioTimeStamp stamp;
    stamp.mSampleTime = unit.sampleTime;
    stamp.mHostTime = DispatchClock::uptimeNanoseconds();
    unit.sampleTime += frames;
    if (unit.inputEnabled && unit.inputCallback.inputProc) {
        auto& audio = SimAudio::current();
        std::vector<float> heard = audio.recordPermission() == SimAudio::Permission::Granted
                                       ? audio.capture(audio_route::input(), end - period, frames)
                                       : std::vector<float>(frames, 0.0f);
        unit.captured.resize(frames);
        for (uint32_t i = 0; i < frames; ++i) {
            unit.captured[i] = toSample(heard[i]);
        }
        AudioUnitRenderActionFlags flags = 0;
        unit.inInputCallback = true;
        unit.inputCallback.inputProc(unit.inputCallback.inputProcRefCon, &flags, &stamp, 1, frames, nullptr);
        unit.inInputCallback = false;
    }
    if (unit.outputEnabled && unit.renderCallback.inputProc) {
        std::vector<int16_t> out(frames, 0);
        AudioBufferList list;
        list.mNumberBuffers = 1;
        list.mBuffers[0].mNumberChannels = 1;
        list.mBuffers[0].mDataByteSize = frames * 2;
        list.mBuffers[0].mData = out.data();
        AudioUnitRenderActionFlags flags = 0;
        OSStatus status =
            unit.renderCallback.inputProc(unit.renderCallback.inputProcRefCon, &flags, &stamp, 0, frames, &list);
        if (status == 0) {
            auto samples = std::make_shared<std::vector<float>>(frames);
            for (uint32_t i = 0; i < frames; ++i) {
                (*samples)[i] = static_cast<float>(out[i]) / 32767.0f;
            }
            float volume = SimAudio::current().outputVolume();
            for (SimAudio::Part part : audio_route::outputs()) {
                SimAudio::current().startEmission(part, samples, end, 0, volume);
            }
        }
    }
    (void)handle;
}

void ioLoop(AudioUnit handle, std::shared_ptr<Unit> unit) {
    constexpr double period = kAudioUnitIOFrames / SimAudio::kSampleRate;
    double next = DispatchClock::uptime() + period;
    unit->condition->lock();
    unit->ioThread = std::this_thread::get_id();
    while (unit->running) {
        double wait = next - DispatchClock::uptime();
        if (wait > 1e-6) {
            unit->condition->waitUntilDate(NSDate::dateWithTimeIntervalSinceNow(wait));
            continue; // woken early (a stop) or on time: look again
        }
        unit->condition->unlock();
        cycle(handle, *unit, next);
        next += period;
        unit->condition->lock();
    }
    unit->threadIn = false;
    unit->condition->broadcast();
    unit->condition->unlock();
}

} // namespace

AudioComponent AudioComponentFindNext(AudioComponent inComponent, const AudioComponentDescription* inDesc) {
    if (!inDesc || !SimAudio::current().voiceProcessingAvailable()) {
        return nullptr;
    }
    auto after = reinterpret_cast<uintptr_t>(inComponent);
    auto matches = [&](OSType type, OSType subType, OSType maker) {
        return (inDesc->componentType == 0 || inDesc->componentType == type) &&
               (inDesc->componentSubType == 0 || inDesc->componentSubType == subType) &&
               (inDesc->componentManufacturer == 0 || inDesc->componentManufacturer == maker);
    };
    if (after < kVoiceProcessing &&
        matches(kAudioUnitType_Output, kAudioUnitSubType_VoiceProcessingIO, kAudioUnitManufacturer_Apple)) {
        return reinterpret_cast<AudioComponent>(kVoiceProcessing);
    }
    if (after < kRemoteIO && matches(kAudioUnitType_Output, kAudioUnitSubType_RemoteIO, kAudioUnitManufacturer_Apple)) {
        return reinterpret_cast<AudioComponent>(kRemoteIO);
    }
    return nullptr;
}

OSStatus AudioComponentInstanceNew(AudioComponent inComponent, AudioComponentInstance* outInstance) {
    auto component = reinterpret_cast<uintptr_t>(inComponent);
    if (!outInstance || (component != kVoiceProcessing && component != kRemoteIO)) {
        return kAudio_ParamError;
    }
    auto unit = std::make_shared<Unit>();
    unit->subType = component == kVoiceProcessing ? kAudioUnitSubType_VoiceProcessingIO : kAudioUnitSubType_RemoteIO;
    unit->inputFormat = expectedFormat();
    unit->outputFormat = expectedFormat();
    std::lock_guard lock(registry().mutex);
    uintptr_t handle = registry().next++;
    registry().units[handle] = std::move(unit);
    *outInstance = reinterpret_cast<AudioComponentInstance>(handle);
    return noErr;
}

OSStatus AudioComponentInstanceDispose(AudioComponentInstance inInstance) {
    if (!find(inInstance)) {
        return kAudio_ParamError;
    }
    AudioOutputUnitStop(inInstance);
    std::lock_guard lock(registry().mutex);
    registry().units.erase(reinterpret_cast<uintptr_t>(inInstance));
    return noErr;
}

OSStatus AudioUnitSetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, const void* inData, uint32_t inDataSize) {
    auto unit = find(inUnit);
    if (!unit) {
        return kAudio_ParamError;
    }
    if (!inData) {
        return kAudioUnitErr_InvalidPropertyValue;
    }
    if (inElement > 1) {
        return kAudioUnitErr_InvalidElement;
    }
    std::lock_guard lock(registry().mutex);
    switch (inID) {
    case kAudioOutputUnitProperty_EnableIO: {
        if (inDataSize != sizeof(uint32_t)) {
            return kAudioUnitErr_InvalidPropertyValue;
        }
        if (unit->initialized) {
            return kAudioUnitErr_CannotDoInCurrentContext;
        }
        bool on = *static_cast<const uint32_t*>(inData) != 0;
        if (inScope == kAudioUnitScope_Input && inElement == 1) {
            unit->inputEnabled = on;
        } else if (inScope == kAudioUnitScope_Output && inElement == 0) {
            unit->outputEnabled = on;
        } else {
            return kAudioUnitErr_InvalidScope;
        }
        return noErr;
    }
    case kAudioUnitProperty_StreamFormat: {
        if (inDataSize != sizeof(AudioStreamBasicDescription)) {
            return kAudioUnitErr_InvalidPropertyValue;
        }
        const auto& format = *static_cast<const AudioStreamBasicDescription*>(inData);
        if (!supported(format)) {
            return kAudioUnitErr_FormatNotSupported;
        }
        if (inScope == kAudioUnitScope_Output && inElement == 1) {
            unit->inputFormat = format;
        } else if (inScope == kAudioUnitScope_Input && inElement == 0) {
            unit->outputFormat = format;
        } else {
            return kAudioUnitErr_InvalidScope;
        }
        return noErr;
    }
    case kAudioOutputUnitProperty_SetInputCallback:
    case kAudioUnitProperty_SetRenderCallback: {
        if (inDataSize != sizeof(AURenderCallbackStruct)) {
            return kAudioUnitErr_InvalidPropertyValue;
        }
        bool running;
        {
            std::lock_guard<NSCondition> guard(*unit->condition);
            running = unit->running;
        }
        if (running) {
            return kAudioUnitErr_CannotDoInCurrentContext;
        }
        const auto& callback = *static_cast<const AURenderCallbackStruct*>(inData);
        (inID == kAudioOutputUnitProperty_SetInputCallback ? unit->inputCallback : unit->renderCallback) = callback;
        return noErr;
    }
    case kAudioUnitProperty_ShouldAllocateBuffer: {
        if (inDataSize != sizeof(uint32_t)) {
            return kAudioUnitErr_InvalidPropertyValue;
        }
        unit->shouldAllocate = *static_cast<const uint32_t*>(inData) != 0;
        return noErr;
    }
    default:
        return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus AudioUnitGetProperty(AudioUnit inUnit, AudioUnitPropertyID inID, AudioUnitScope inScope,
                              AudioUnitElement inElement, void* outData, uint32_t* ioDataSize) {
    auto unit = find(inUnit);
    if (!unit) {
        return kAudio_ParamError;
    }
    if (!outData || !ioDataSize) {
        return kAudioUnitErr_InvalidPropertyValue;
    }
    std::lock_guard lock(registry().mutex);
    switch (inID) {
    case kAudioOutputUnitProperty_EnableIO:
        if (*ioDataSize < sizeof(uint32_t)) {
            return kAudioUnitErr_InvalidPropertyValue;
        }
        *static_cast<uint32_t*>(outData) = (inElement == 1 ? unit->inputEnabled : unit->outputEnabled) ? 1 : 0;
        *ioDataSize = sizeof(uint32_t);
        return noErr;
    case kAudioUnitProperty_StreamFormat:
        if (*ioDataSize < sizeof(AudioStreamBasicDescription)) {
            return kAudioUnitErr_InvalidPropertyValue;
        }
        *static_cast<AudioStreamBasicDescription*>(outData) =
            (inScope == kAudioUnitScope_Output && inElement == 1) ? unit->inputFormat : unit->outputFormat;
        *ioDataSize = sizeof(AudioStreamBasicDescription);
        return noErr;
    default:
        return kAudioUnitErr_InvalidProperty;
    }
}

OSStatus AudioUnitInitialize(AudioUnit inUnit) {
    auto unit = find(inUnit);
    if (!unit) {
        return kAudio_ParamError;
    }
    std::lock_guard lock(registry().mutex);
    unit->initialized = true;
    return noErr;
}

OSStatus AudioUnitUninitialize(AudioUnit inUnit) {
    auto unit = find(inUnit);
    if (!unit) {
        return kAudio_ParamError;
    }
    AudioOutputUnitStop(inUnit);
    std::lock_guard lock(registry().mutex);
    unit->initialized = false;
    return noErr;
}

OSStatus AudioOutputUnitStart(AudioUnit ci) {
    auto unit = find(ci);
    if (!unit) {
        return kAudio_ParamError;
    }
    {
        std::lock_guard lock(registry().mutex);
        if (!unit->initialized) {
            return kAudioUnitErr_Uninitialized;
        }
    }
    if (SimAudio::current().audioUnitStartFails()) {
        return kAudioUnitErr_FailedInitialization;
    }
    std::lock_guard<NSCondition> guard(*unit->condition);
    if (unit->running) {
        return noErr;
    }
    if (unit->threadIn) {
        // A thread of an earlier start is still on its way out; it sees `running` again and goes on.
        unit->running = true;
        return noErr;
    }
    unit->running = true;
    unit->threadIn = true;
    auto thread = make<NSThread>([ci, unit] { ioLoop(ci, unit); });
    thread->setName("AURemoteIO::IOThread"_ns);
    thread->start();
    return noErr;
}

OSStatus AudioOutputUnitStop(AudioUnit ci) {
    auto unit = find(ci);
    if (!unit) {
        return kAudio_ParamError;
    }
    std::lock_guard<NSCondition> guard(*unit->condition);
    unit->running = false;
    unit->condition->broadcast();
    if (unit->ioThread == std::this_thread::get_id()) {
        return noErr; // from a callback: the thread leaves after this cycle
    }
    while (unit->threadIn) {
        unit->condition->wait();
    }
    return noErr;
}

OSStatus AudioUnitRender(AudioUnit inUnit, AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                         uint32_t inOutputBusNumber, uint32_t inNumberFrames, AudioBufferList* ioData) {
    auto unit = find(inUnit);
    if (!unit) {
        return kAudio_ParamError;
    }
    {
        std::lock_guard<NSCondition> guard(*unit->condition);
        if (unit->ioThread != std::this_thread::get_id()) {
            return kAudioUnitErr_CannotDoInCurrentContext;
        }
    }
    if (!unit->inInputCallback) {
        return kAudioUnitErr_CannotDoInCurrentContext;
    }
    if (inOutputBusNumber != 1 || !ioData || ioData->mNumberBuffers < 1) {
        return kAudio_ParamError;
    }
    if (inNumberFrames > unit->captured.size()) {
        return kAudioUnitErr_TooManyFramesToProcess;
    }
    AudioBuffer& buffer = ioData->mBuffers[0];
    uint32_t bytes = inNumberFrames * 2;
    if (!buffer.mData) {
        if (!unit->shouldAllocate) {
            return kAudioUnitErr_NoConnection;
        }
        unit->ownBuffer.assign(inNumberFrames, 0);
        buffer.mData = unit->ownBuffer.data();
        buffer.mDataByteSize = bytes;
    }
    if (buffer.mDataByteSize < bytes) {
        return kAudioUnitErr_TooManyFramesToProcess;
    }
    std::memcpy(buffer.mData, unit->captured.data(), bytes);
    buffer.mDataByteSize = bytes;
    return noErr;
}
