#include <Categorys/AudioProcessor.h>

#include <AudioToolbox/AudioSession.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSLog.h>
#include <Runtime/ClassBuilder.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

NS_IMPLEMENT_CLASS(AudioProcessor, NSObject) {
    b.property("gain", &AudioProcessor::gain, &AudioProcessor::setGain);
    b.method("start", &AudioProcessor::start);
    b.method("stop", &AudioProcessor::stop);
}

#define DX_REPORT(status) hasError((status), __FILE__, __LINE__)

namespace {

constexpr AudioUnitElement kInputBus = 1;
constexpr AudioUnitElement kOutputBus = 0;

AudioStreamBasicDescription streamFormat() {
    AudioStreamBasicDescription f;
    f.mSampleRate = 44100.0;
    f.mFormatID = kAudioFormatLinearPCM;
    f.mFormatFlags = kAudioFormatFlagIsSignedInteger | kAudioFormatFlagIsPacked;
    f.mBytesPerPacket = 2;
    f.mFramesPerPacket = 1;
    f.mBytesPerFrame = 2;
    f.mChannelsPerFrame = 1;
    f.mBitsPerChannel = 16;
    return f;
}

} // namespace

AudioProcessor::AudioProcessor() {
    setGain(0.0f);
    initializeAudio();
}

AudioProcessor::~AudioProcessor() {
    if (audioUnit_) {
        AudioOutputUnitStop(audioUnit_);
        disposeCoreAudio();
    }
}

AudioBuffer AudioProcessor::audioBuffer() const {
    std::lock_guard lock(bufferLock_);
    return audioBuffer_;
}

void AudioProcessor::initializeAudio() {
    AudioComponentDescription description;
    description.componentType = kAudioUnitType_Output;
    description.componentSubType = kAudioUnitSubType_VoiceProcessingIO;
    description.componentManufacturer = kAudioUnitManufacturer_Apple;
    AudioComponent component = AudioComponentFindNext(nullptr, &description);
    DX_REPORT(AudioComponentInstanceNew(component, &audioUnit_));

    uint32_t one = 1;
    DX_REPORT(AudioUnitSetProperty(audioUnit_, kAudioOutputUnitProperty_EnableIO, kAudioUnitScope_Input, kInputBus,
                                   &one, sizeof one));
    DX_REPORT(AudioUnitSetProperty(audioUnit_, kAudioOutputUnitProperty_EnableIO, kAudioUnitScope_Output, kOutputBus,
                                   &one, sizeof one));
    AudioStreamBasicDescription format = streamFormat();
    DX_REPORT(AudioUnitSetProperty(audioUnit_, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, kInputBus,
                                   &format, sizeof format));
    DX_REPORT(AudioUnitSetProperty(audioUnit_, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Input, kOutputBus,
                                   &format, sizeof format));
    AURenderCallbackStruct input{&AudioProcessor::audioInputCallback, this};
    DX_REPORT(AudioUnitSetProperty(audioUnit_, kAudioOutputUnitProperty_SetInputCallback, kAudioUnitScope_Global,
                                   kInputBus, &input, sizeof input));
    AURenderCallbackStruct render{&AudioProcessor::audioRenderCallback, this};
    DX_REPORT(AudioUnitSetProperty(audioUnit_, kAudioUnitProperty_SetRenderCallback, kAudioUnitScope_Global, kOutputBus,
                                   &render, sizeof render));
    uint32_t zero = 0;
    AudioUnitSetProperty(audioUnit_, kAudioUnitProperty_ShouldAllocateBuffer, kAudioUnitScope_Output, kInputBus, &zero,
                         sizeof zero);
    uint32_t none = kAudioSessionOverrideAudioRoute_None;
    AudioSessionSetProperty(kAudioSessionProperty_OverrideAudioRoute, sizeof none, &none);
    {
        std::lock_guard lock(bufferLock_);
        storage_.assign(1024, 0);
        audioBuffer_.mNumberChannels = 1;
        audioBuffer_.mDataByteSize = 1024;
        audioBuffer_.mData = storage_.data();
    }
    DX_REPORT(AudioUnitInitialize(audioUnit_));
    NSLog("Started");
}

void AudioProcessor::start() {
    DX_ASSERT_MAIN_THREAD();
    DX_REPORT(AudioOutputUnitStart(audioUnit_));
}

void AudioProcessor::stop() {
    DX_ASSERT_MAIN_THREAD();
    if (!audioUnit_) {
        return; // already stopped and disposed of
    }
    DX_REPORT(AudioOutputUnitStop(audioUnit_));
    disposeCoreAudio();
}

void AudioProcessor::disposeCoreAudio() {
    if (!audioUnit_) {
        return;
    }
    AudioComponentInstanceDispose(audioUnit_);
    audioUnit_ = nullptr;
}

void AudioProcessor::hasError(int32_t status, const char* file, int line) {
    if (status != 0) {
        std::printf("Error Code responded %d in file %s on line %d\n", status, file, line);
        std::fflush(stdout);
    }
}

void AudioProcessor::processBuffer(AudioBufferList* bufferList) {
    if (!bufferList || bufferList->mNumberBuffers < 1) {
        return;
    }
    AudioBuffer& source = bufferList->mBuffers[0];
    uint32_t bytes = source.mData ? source.mDataByteSize : 0;
    std::lock_guard lock(bufferLock_);
    if (bytes != audioBuffer_.mDataByteSize) {
        storage_.assign(bytes, 0);
        audioBuffer_.mDataByteSize = bytes;
        audioBuffer_.mData = storage_.empty() ? nullptr : storage_.data();
    }
    if (bytes == 0) {
        return;
    }
    float gain = this->gain();
    if (bytes >= 2 && gain != 0.0f) {
        auto* samples = static_cast<uint8_t*>(source.mData);
        for (uint32_t i = 0; i < bytes / 2; ++i) {
            int16_t s;
            std::memcpy(&s, samples + 2 * i, 2);
            double x = s / 32767.0 * gain;
            x = std::clamp(x, -1.0, 1.0);
            double y = 1.5 * x - 0.5 * x * x * x;
            auto out = static_cast<int16_t>(y * 32767.0);
            std::memcpy(samples + 2 * i, &out, 2);
        }
    }
    std::memcpy(storage_.data(), source.mData, bytes);
}

OSStatus AudioProcessor::audioInputCallback(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                            const AudioTimeStamp* inTimeStamp, uint32_t inBusNumber,
                                            uint32_t inNumberFrames, AudioBufferList*) {
    auto* self = static_cast<AudioProcessor*>(inRefCon);
    // Zero-filled: a render that fails leaves silence here, not leftovers.
    std::vector<uint8_t> scratch(static_cast<size_t>(inNumberFrames) * 2, 0);
    AudioBufferList list;
    list.mNumberBuffers = 1;
    list.mBuffers[0].mNumberChannels = 1;
    list.mBuffers[0].mDataByteSize = inNumberFrames * 2;
    list.mBuffers[0].mData = scratch.empty() ? nullptr : scratch.data();
    OSStatus status = AudioUnitRender(self->audioUnit_, ioActionFlags, inTimeStamp, inBusNumber, inNumberFrames, &list);
    self->hasError(status, __FILE__, __LINE__);
    if (status != 0) {
        std::fill(scratch.begin(), scratch.end(), 0);
        list.mBuffers[0].mDataByteSize = inNumberFrames * 2;
        list.mBuffers[0].mData = scratch.empty() ? nullptr : scratch.data();
    }
    self->processBuffer(&list);
    return 0;
}

OSStatus AudioProcessor::audioRenderCallback(void* inRefCon, AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                             uint32_t, uint32_t, AudioBufferList* ioData) {
    auto* self = static_cast<AudioProcessor*>(inRefCon);
    if (!ioData) {
        return 0;
    }
    AudioBuffer shared = self->audioBuffer();
    for (uint32_t i = 0; i < ioData->mNumberBuffers; ++i) {
        AudioBuffer& out = ioData->mBuffers[i];
        uint32_t n = std::min(out.mDataByteSize, shared.mDataByteSize);
        if (n > 0 && out.mData && shared.mData) {
            std::memcpy(out.mData, shared.mData, n);
        }
    }
    return 0;
}
