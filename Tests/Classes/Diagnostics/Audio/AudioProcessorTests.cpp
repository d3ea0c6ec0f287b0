// The live microphone-to-output path: the processing step's numbers, the unit's I/O thread on
// virtual time, and the processor's safety when its unit is missing, failing or already stopped.
#include <Categorys/AudioProcessor.h>

#include <AVFoundation/AVAudioSession.h>
#include <Device/SimAudio.h>
#include <Dispatch/Clock.h>
#include <Support/PlatformTestCase.h>

#include <cstring>
#include <vector>

namespace {

std::vector<int16_t> process(AudioProcessor& p, std::vector<int16_t> samples) {
    AudioBufferList list;
    list.mNumberBuffers = 1;
    list.mBuffers[0].mNumberChannels = 1;
    list.mBuffers[0].mDataByteSize = static_cast<uint32_t>(samples.size() * 2);
    list.mBuffers[0].mData = samples.data();
    p.processBuffer(&list);
    AudioBuffer shared = p.audioBuffer();
    std::vector<int16_t> out(shared.mDataByteSize / 2);
    std::memcpy(out.data(), shared.mData, out.size() * 2);
    return out;
}

} // namespace

class AudioProcessorTests : public PlatformTestCase {
protected:
    void TearDown() override {
        for (auto& p : processors) {
            p->stop();
        }
        PlatformTestCase::TearDown();
    }
    Ref<AudioProcessor> processor() {
        processors.push_back(make<AudioProcessor>());
        return processors.back();
    }
    std::vector<Ref<AudioProcessor>> processors;
    SimAudio& audio = SimAudio::current();
};

TEST_F(AudioProcessorTests, GainAndSoftClipGiveTheExpectedSamples) {
    auto p = processor();
    EXPECT_EQ(p->gain(), 0.0f);
    AudioBuffer initial = p->audioBuffer();
    EXPECT_EQ(initial.mNumberChannels, 1u);
    EXPECT_EQ(initial.mDataByteSize, 1024u);

    // Gain 0: unchanged.
    EXPECT_EQ(process(*p, {32767, 16384, -32768, 5}), (std::vector<int16_t>{32767, 16384, -32768, 5}));
    p->setGain(1.0f);
    EXPECT_EQ(process(*p, {32767, 16384, 1000, 10000, -16384, -32768}),
              (std::vector<int16_t>{32767, 22527, 1499, 14534, -22527, -32767}));
    p->setGain(2.0f);
    EXPECT_EQ(process(*p, {16384}), std::vector<int16_t>{32767});
}

TEST_F(AudioProcessorTests, OddAndTinyBlocksAndTheOutputCopy) {
    auto p = processor();
    p->setGain(1.0f);
    // Three bytes: one sample processed, the last byte copied as it is.
    uint8_t odd[3];
    int16_t s = 16384;
    std::memcpy(odd, &s, 2);
    odd[2] = 0x7f;
    AudioBufferList list;
    list.mNumberBuffers = 1;
    list.mBuffers[0].mDataByteSize = 3;
    list.mBuffers[0].mData = odd;
    p->processBuffer(&list);
    AudioBuffer shared = p->audioBuffer();
    ASSERT_EQ(shared.mDataByteSize, 3u);
    int16_t first;
    std::memcpy(&first, shared.mData, 2);
    EXPECT_EQ(first, 22527);
    EXPECT_EQ(static_cast<uint8_t*>(shared.mData)[2], 0x7f);
    // One byte: copied without processing.
    uint8_t one = 0x42;
    list.mBuffers[0].mDataByteSize = 1;
    list.mBuffers[0].mData = &one;
    p->processBuffer(&list);
    EXPECT_EQ(p->audioBuffer().mDataByteSize, 1u);

    // The output side takes at most the shared block's bytes; the rest keeps its content.
    process(*p, {100, 200});
    std::vector<int16_t> out(4, 7);
    AudioBufferList outList;
    outList.mNumberBuffers = 1;
    outList.mBuffers[0].mDataByteSize = 8;
    outList.mBuffers[0].mData = out.data();
    AudioProcessor::audioRenderCallback(p.get(), nullptr, nullptr, 0, 4, &outList);
    EXPECT_EQ(out[2], 7);
    EXPECT_EQ(outList.mBuffers[0].mDataByteSize, 8u);
    EXPECT_NE(out[0], 7);
}

TEST_F(AudioProcessorTests, AFailedRenderIsSilenceNotLeftovers) {
    auto p = processor();
    process(*p, std::vector<int16_t>(256, 12345));
    // Outside the unit's I/O cycle the render fails.
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp stamp;
    AudioProcessor::audioInputCallback(p.get(), &flags, &stamp, 1, 256, nullptr);
    AudioBuffer shared = p->audioBuffer();
    ASSERT_EQ(shared.mDataByteSize, 512u);
    std::vector<int16_t> out(256);
    std::memcpy(out.data(), shared.mData, 512);
    EXPECT_EQ(out, std::vector<int16_t>(256, 0));
}

TEST_F(AudioProcessorTests, TheOperatorHearsTheirVoiceWhileItRuns) {
    audio.setRecordPermission(SimAudio::Permission::Granted);
    AVAudioSession::sharedInstance()->setCategoryError(AVAudioSessionCategoryPlayAndRecord(), nullptr);
    auto p = processor();
    ASSERT_TRUE(p->audioUnit());
    p->setGain(1.0f);
    p->start();
    double t0 = DispatchClock::uptime();
    audio.speak(t0, 3);
    advance(2);
    // The bottom microphone to the receiver.
    EXPECT_GT(audio.playedLevel(SimAudio::Part::Receiver, t0 + 0.5, t0 + 2), 0.01);
    p->stop();
    EXPECT_FALSE(p->audioUnit());
    double t1 = DispatchClock::uptime();
    advance(1);
    EXPECT_FALSE(audio.heard(t1 + 0.05, t1 + 1));
    // Stopping and disposing of again is harmless.
    p->stop();
    p->disposeCoreAudio();
}

TEST_F(AudioProcessorTests, ADeadMicrophoneOrNoPermissionPlaysNothing) {
    audio.setRecordPermission(SimAudio::Permission::Granted);
    audio.setState(SimAudio::Part::BottomMicrophone, SimAudio::State::Dead);
    AVAudioSession::sharedInstance()->setCategoryError(AVAudioSessionCategoryPlayAndRecord(), nullptr);
    auto p = processor();
    p->setGain(1.0f);
    p->start();
    double t0 = DispatchClock::uptime();
    audio.speak(t0, 3);
    advance(2);
    EXPECT_FALSE(audio.heard(t0, t0 + 2));
    p->stop();

    audio.setState(SimAudio::Part::BottomMicrophone, SimAudio::State::Working);
    audio.setRecordPermission(SimAudio::Permission::Denied);
    auto q = processor();
    q->setGain(1.0f);
    q->start();
    double t1 = DispatchClock::uptime();
    audio.speak(t1, 3);
    advance(2);
    EXPECT_FALSE(audio.heard(t1, t1 + 2));
}

TEST_F(AudioProcessorTests, AMissingOrFailingUnitIsQuietAndSafe) {
    audio.setVoiceProcessingAvailable(false);
    auto p = processor();
    EXPECT_FALSE(p->audioUnit());
    p->setGain(1.0f);
    p->start();
    advance(1);
    p->stop();
    p->stop();

    audio.setVoiceProcessingAvailable(true);
    audio.setAudioUnitStartFails(true);
    audio.setRecordPermission(SimAudio::Permission::Granted);
    auto q = processor();
    ASSERT_TRUE(q->audioUnit());
    q->setGain(1.0f);
    q->start();
    double t0 = DispatchClock::uptime();
    audio.speak(t0, 2);
    advance(1);
    EXPECT_FALSE(audio.heard(t0, t0 + 1));
    q->stop();
}

TEST_F(AudioProcessorTests, TheUnitChecksSizesAndOutlivesNoHandle) {
    AudioComponentDescription d{kAudioUnitType_Output, kAudioUnitSubType_VoiceProcessingIO,
                                kAudioUnitManufacturer_Apple, 0, 0};
    AudioComponent c = AudioComponentFindNext(nullptr, &d);
    ASSERT_TRUE(c);
    AudioUnit unit = nullptr;
    ASSERT_EQ(AudioComponentInstanceNew(c, &unit), noErr);
    uint32_t one = 1;
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioOutputUnitProperty_EnableIO, kAudioUnitScope_Input, 1, &one, 2),
              kAudioUnitErr_InvalidPropertyValue);
    AudioStreamBasicDescription stereo;
    stereo.mSampleRate = 44100;
    stereo.mFormatID = kAudioFormatLinearPCM;
    stereo.mChannelsPerFrame = 2;
    EXPECT_EQ(
        AudioUnitSetProperty(unit, kAudioUnitProperty_StreamFormat, kAudioUnitScope_Output, 1, &stereo, sizeof stereo),
        kAudioUnitErr_FormatNotSupported);
    EXPECT_EQ(AudioUnitSetProperty(unit, 0x12345, kAudioUnitScope_Global, 0, &one, sizeof one),
              kAudioUnitErr_InvalidProperty);
    EXPECT_EQ(AudioOutputUnitStart(unit), kAudioUnitErr_Uninitialized);
    EXPECT_EQ(AudioComponentInstanceDispose(unit), noErr);
    // The handle is dead: every call answers an error.
    EXPECT_EQ(AudioComponentInstanceDispose(unit), kAudio_ParamError);
    EXPECT_EQ(AudioOutputUnitStop(unit), kAudio_ParamError);
    EXPECT_EQ(AudioUnitSetProperty(unit, kAudioOutputUnitProperty_EnableIO, kAudioUnitScope_Input, 1, &one, sizeof one),
              kAudio_ParamError);
    d.componentSubType = 0x78787878;
    EXPECT_FALSE(AudioComponentFindNext(nullptr, &d));
}
