// AudioProcessor: routes the microphone live to the current audio output through the platform's
// voice-processing I/O unit, so the operator hears their own voice. Each microphone block gets the
// gain with a cubic soft clip (y = 1.5x - 0.5x^3 on x = s / 32767 * gain clamped to -1..1; a gain of
// 0.0 leaves the samples as they are) and becomes the shared block that the output side plays.
// Stream format on both sides: 44100 Hz linear PCM, signed 16-bit, mono.
//
// Use once: make it (the unit is set up and initialised), setGain(1.0), start(), and stop() when
// done; a stopped processor cannot start again. Errors of the platform calls are printed
// ("Error Code responded %d in file %s on line %d") and otherwise ignored: a processor whose unit
// could not be made plays nothing.
//
// The callbacks run on the unit's I/O thread; the other members on the main thread. A microphone
// block whose render fails is silence (the scratch block is zero-filled first), never stale or
// uninitialised memory; stop and disposeCoreAudio may be called any number of times.
#pragma once

#include <AudioToolbox/AudioUnit.h>
#include <Runtime/NSObject.h>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

class AudioProcessor : public NSObject {
    NS_OBJECT(AudioProcessor, NSObject)
public:
    AudioProcessor();
    ~AudioProcessor() override;

    AudioUnit audioUnit() const noexcept { return audioUnit_; }
    // A copy of the shared block's record, taken under the property lock.
    AudioBuffer audioBuffer() const;
    float gain() const noexcept { return gain_.load(std::memory_order_relaxed); }
    float getGain() const noexcept { return gain(); }
    void setGain(float gain) { gain_.store(gain, std::memory_order_relaxed); }

    void initializeAudio();
    void start();
    void stop();
    void disposeCoreAudio();
    // The processing step: gain and soft clip on the buffer's samples, then the bytes into the shared
    // block (which takes the buffer's byte size).
    void processBuffer(AudioBufferList* bufferList);
    void hasError(int32_t status, const char* file, int line);

    static OSStatus audioInputCallback(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                       const AudioTimeStamp* inTimeStamp, uint32_t inBusNumber, uint32_t inNumberFrames,
                                       AudioBufferList* ioData);
    static OSStatus audioRenderCallback(void* inRefCon, AudioUnitRenderActionFlags* ioActionFlags,
                                        const AudioTimeStamp* inTimeStamp, uint32_t inBusNumber,
                                        uint32_t inNumberFrames, AudioBufferList* ioData);

private:
    AudioUnit audioUnit_ = nullptr;
    mutable std::mutex bufferLock_;
    AudioBuffer audioBuffer_;
    std::vector<uint8_t> storage_; // the shared block's bytes
    std::atomic<float> gain_{0.0f};
};
