// Sound files, the player and the recorder: real encoding and decoding, what the transducers play,
// what the recorder writes, and the failures of each.
#include "AudioTestSupport.h"

#include <AVFoundation/AVAudioPlayer.h>
#include <AVFoundation/AVAudioRecorder.h>
#include <AVFoundation/AVAudioSession.h>
#include <Device/SimAudio.h>
#include <Dispatch/Clock.h>
#include <Runtime/ClassBuilder.h>

#include <fstream>

using Part = SimAudio::Part;

namespace {

class Listener : public NSObject {
    NS_OBJECT(Listener, NSObject)
public:
    int finishedPlaying = 0;
    std::vector<bool> recordings;
    double finishedAt = -1;
    void audioPlayerDidFinishPlayingSuccessfully(const Ref<AVAudioPlayer>&, bool) {
        ++finishedPlaying;
        finishedAt = DispatchClock::uptime();
    }
    void audioRecorderDidFinishRecordingSuccessfully(const Ref<AVAudioRecorder>&, bool ok) { recordings.push_back(ok); }
};

} // namespace

NS_IMPLEMENT_CLASS(Listener, NSObject) {
    b.method("audioPlayerDidFinishPlaying:successfully:", &Listener::audioPlayerDidFinishPlayingSuccessfully);
    b.method("audioRecorderDidFinishRecording:successfully:", &Listener::audioRecorderDidFinishRecordingSuccessfully);
}

class AudioFileTests : public audio_test::FolderTestCase {
protected:
    Ref<NSDictionary> settings(AudioFormatID format, double rate = 44100, int channels = 2) {
        auto s = NSMutableDictionary::dictionary();
        s->setObjectForKey(box(format), AVFormatIDKey());
        s->setObjectForKey(box(rate), AVSampleRateKey());
        s->setObjectForKey(box(channels), AVNumberOfChannelsKey());
        return s;
    }

    SimAudio& audio = SimAudio::current();
};

TEST_F(AudioFileTests, EachFormatRoundTripsItsTone) {
    for (const char* format : {"wav", "m4a", "mp3", "caf"}) {
        std::string file = path(std::string("tone.") + format);
        std::string error;
        ASSERT_TRUE(AudioFileEncode(file, format, audio_test::tone(1.0, 440, 2, 0.5f, 1), 44100, &error)) << error;
        auto back = AudioFileDecode(file, &error);
        ASSERT_TRUE(back) << format << ": " << error;
        EXPECT_EQ(back->channels, 2) << format;
        EXPECT_NEAR(back->duration(), 1.0, 0.08) << format;
        // The tone is on the left only.
        EXPECT_NEAR(audio_test::rms(back->channel(0)), 0.5 / std::sqrt(2.0), 0.05) << format;
        EXPECT_LT(audio_test::rms(back->channel(1)), 0.02) << format;
    }
    std::string error;
    EXPECT_FALSE(AudioFileEncode(path("x.ogg"), "ogg", audio_test::tone(0.1, 440), 44100, &error));
    EXPECT_FALSE(AudioFileEncode(path("no/such/dir/x.wav"), "wav", audio_test::tone(0.1, 440), 44100, &error));
}

TEST_F(AudioFileTests, TheBundledSoundsAreWhatTheirNamesSay) {
    auto left = AudioFileDecode(bundled("audiotest_leftSpeaker", "m4a")->path()->str());
    ASSERT_TRUE(left);
    EXPECT_GT(audio_test::rms(left->channel(0)), 0.1);
    EXPECT_LT(audio_test::rms(left->channel(1)), 0.01);
    auto silence = AudioFileDecode(bundled("10-seconds-of-silence", "mp3")->path()->str());
    ASSERT_TRUE(silence);
    EXPECT_NEAR(silence->duration(), 10, 0.1);
    EXPECT_LT(audio_test::rms(silence->samples), 1e-4);
    EXPECT_EQ(silence->metadata["title"], "10 Seconds of Silence");
    for (auto [name, type] : {std::pair{"audiotest", "mp3"},
                              {"sample", "m4a"},
                              {"lowfreqaudio", "wav"},
                              {"mute", "caf"},
                              {"30-seconds-of-silence", "mp3"},
                              {"audiotest_rightSpeaker", "m4a"}}) {
        EXPECT_TRUE(bundled(name, type)) << name;
    }
}

TEST_F(AudioFileTests, GarbageMissingAndEmptyFilesDoNotLoad) {
    std::ofstream(path("empty.mp3")).close();
    std::ofstream(path("garbage.m4a")) << "this is not a sound file at all, only some words";
    for (const char* name : {"empty.mp3", "garbage.m4a", "missing.wav"}) {
        Ref<NSError> error;
        EXPECT_FALSE(AVAudioPlayer::playerWithContentsOfURLError(url(name), &error)) << name;
        EXPECT_TRUE(error) << name;
    }
    std::string error;
    const uint8_t bytes[] = {'R', 'I', 'F', 'F', 0xff, 0xff, 0xff, 0xff, 'W', 'A', 'V', 'E'};
    EXPECT_FALSE(AudioFileDecodeMemory(bytes, sizeof bytes, &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(AudioFileTests, APlayerSoundsOnTheRouteAndFinishesOnTheClock) {
    std::string error;
    ASSERT_TRUE(AudioFileEncode(path("t.wav"), "wav", audio_test::tone(2.0, 440), 44100, &error));
    auto player = AVAudioPlayer::playerWithContentsOfURLError(url("t.wav"), nullptr);
    ASSERT_TRUE(player);
    EXPECT_NEAR(player->duration(), 2.0, 0.01);
    auto listener = make<Listener>();
    player->setDelegate(listener);
    double t0 = DispatchClock::uptime();
    ASSERT_TRUE(player->play());
    advance(1.99);
    EXPECT_EQ(listener->finishedPlaying, 0);
    EXPECT_TRUE(player->isPlaying());
    advance(0.02);
    EXPECT_EQ(listener->finishedPlaying, 1);
    EXPECT_FALSE(player->isPlaying());
    EXPECT_GT(audio.playedLevel(Part::Speaker, t0, t0 + 2), 0.1);
    EXPECT_EQ(audio.playedLevel(Part::Speaker, t0 + 2.01, t0 + 3), 0.0);

    // Looped, then stopped: no finish, and nothing after the stop.
    player->setNumberOfLoops(-1);
    double t1 = DispatchClock::uptime();
    player->play();
    advance(5);
    player->stop();
    double t2 = DispatchClock::uptime();
    advance(5);
    EXPECT_EQ(listener->finishedPlaying, 1);
    EXPECT_GT(audio.playedLevel(Part::Speaker, t1 + 4, t1 + 5), 0.1);
    EXPECT_EQ(audio.playedLevel(Part::Speaker, t2, t2 + 5), 0.0);

    // With headphones in, a one-sided file sounds on one earpiece only.
    audio.plugHeadset(true);
    auto left = AVAudioPlayer::playerWithContentsOfURLError(bundled("audiotest_leftSpeaker", "m4a"), nullptr);
    ASSERT_TRUE(left);
    double t3 = DispatchClock::uptime();
    left->play();
    advance(1);
    EXPECT_GT(audio.playedLevel(Part::HeadphoneLeft, t3, t3 + 1), 0.05);
    EXPECT_LT(audio.playedLevel(Part::HeadphoneRight, t3, t3 + 1), 0.005);
    EXPECT_EQ(audio.playedLevel(Part::Speaker, t3, t3 + 1), 0.0);
}

TEST_F(AudioFileTests, PauseResumesWhereItStoppedAndVolumeScalesTheSound) {
    std::string error;
    ASSERT_TRUE(AudioFileEncode(path("t.wav"), "wav", audio_test::tone(2.0, 440), 44100, &error));
    auto player = AVAudioPlayer::playerWithContentsOfURLError(url("t.wav"), nullptr);
    auto listener = make<Listener>();
    player->setDelegate(listener);
    player->play();
    advance(0.5);
    player->pause();
    EXPECT_NEAR(player->currentTime(), 0.5, 1e-6);
    advance(3);
    EXPECT_EQ(listener->finishedPlaying, 0);
    player->play();
    advance(1.49);
    EXPECT_EQ(listener->finishedPlaying, 0);
    advance(0.02);
    EXPECT_EQ(listener->finishedPlaying, 1);

    audio.setOutputVolume(1.0f);
    player->setVolume(0.5f);
    double t0 = DispatchClock::uptime();
    player->play();
    advance(1);
    double half = audio.playedLevel(Part::Speaker, t0, t0 + 1);
    player->stop();
    player->setVolume(1.0f);
    double t1 = DispatchClock::uptime();
    player->play();
    advance(1);
    EXPECT_NEAR(audio.playedLevel(Part::Speaker, t1, t1 + 1), 2 * half, 0.01);
}

TEST_F(AudioFileTests, TheRecorderWritesWhatTheMicrophoneHeard) {
    audio.setRecordPermission(SimAudio::Permission::Granted);
    auto recorder =
        AVAudioRecorder::recorderWithURLSettingsError(url("sound1.m4a"), settings(kAudioFormatMPEG4AAC), nullptr);
    ASSERT_TRUE(recorder);
    auto listener = make<Listener>();
    recorder->setDelegate(listener);
    ASSERT_TRUE(recorder->prepareToRecord());
    ASSERT_TRUE(recorder->record());
    audio.speak(DispatchClock::uptime(), 2.0);
    advance(2);
    recorder->stop();
    EXPECT_TRUE(listener->recordings.empty()); // the delegate hears it asynchronously
    runUntilIdle();
    ASSERT_EQ(listener->recordings, std::vector<bool>{true});
    auto clip = AudioFileDecode(path("sound1.m4a"));
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->channels, 2);
    EXPECT_NEAR(clip->duration(), 2.0, 0.1);
    EXPECT_GT(audio_test::rms(clip->channel(0)), 0.01); // the voice

    // A dead microphone records silence (noise-free).
    audio.setState(Part::BottomMicrophone, SimAudio::State::Dead);
    recorder->record();
    audio.speak(DispatchClock::uptime(), 2.0);
    advance(2);
    recorder->stop();
    runUntilIdle();
    clip = AudioFileDecode(path("sound1.m4a"));
    ASSERT_TRUE(clip);
    EXPECT_LT(audio_test::rms(clip->channel(0)), 0.001);
}

TEST_F(AudioFileTests, RecorderFailuresAreReported) {
    Ref<NSError> error;
    EXPECT_FALSE(AVAudioRecorder::recorderWithURLSettingsError(url("x.m4a"), settings(0x12345678), &error));
    EXPECT_TRUE(error);
    EXPECT_FALSE(
        AVAudioRecorder::recorderWithURLSettingsError(url("x.m4a"), settings(kAudioFormatMPEG4AAC, 1e9), nullptr));

    // An unwritable folder: nothing records.
    auto unwritable = url("missing/sound1.m4a");
    auto recorder = AVAudioRecorder::recorderWithURLSettingsError(unwritable, settings(kAudioFormatMPEG4AAC), nullptr);
    ASSERT_TRUE(recorder);
    EXPECT_FALSE(recorder->prepareToRecord());
    EXPECT_FALSE(recorder->record());

    // Cut short by the device: it ends by itself, unsuccessfully.
    audio.setRecordingLimit(0.5);
    auto cut = AVAudioRecorder::recorderWithURLSettingsError(url("cut.wav"), settings(kAudioFormatLinearPCM), nullptr);
    auto listener = make<Listener>();
    cut->setDelegate(listener);
    ASSERT_TRUE(cut->record());
    advance(1);
    EXPECT_FALSE(cut->isRecording());
    EXPECT_EQ(listener->recordings, std::vector<bool>{false});
}
