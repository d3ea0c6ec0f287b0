// The device's acoustic world and the system side of audio: volume keys and the system volume
// notification, the output volume's observers, the ring/silent switch and system sounds, the
// headset's route changes, the microphone permission, the session's failures.
#include "AudioTestSupport.h"

#include <AVFoundation/AVAudioSession.h>
#include <AudioToolbox/AudioServices.h>
#include <AudioToolbox/AudioSession.h>
#include <Device/SimAudio.h>
#include <Device/SimDevice.h>
#include <Dispatch/Clock.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSThread.h>
#include <MediaPlayer/MPMusicPlayerController.h>
#include <Runtime/ClassBuilder.h>

#include <atomic>
#include <vector>

using Part = SimAudio::Part;

namespace {

struct VolumePost {
    std::string category;
    std::string reason;
    float volume = -1;
    bool onMain = false;
};

class VolumeObserver : public NSObject {
    NS_OBJECT(VolumeObserver, NSObject)
public:
    std::vector<std::pair<float, float>> changes; // old, new
    void observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>&, const id&, const Ref<NSDictionary>& change,
                                                     void*) override {
        changes.emplace_back(unbox<float>(change->objectForKey(NSKeyValueChangeOldKey())),
                             unbox<float>(change->objectForKey(NSKeyValueChangeNewKey())));
    }
};

} // namespace

NS_IMPLEMENT_CLASS(VolumeObserver, NSObject) {}

class AudioSystemTests : public audio_test::FolderTestCase {
protected:
    void TearDown() override {
        if (observer) {
            NSNotificationCenter::defaultCenter()->removeObserver(observer);
        }
        FolderTestCase::TearDown();
    }

    // Collects the system volume notifications from now on.
    void watchVolume() {
        observer = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
            AVSystemController_SystemVolumeDidChangeNotification(), nullptr, nullptr,
            [this](const Ref<NSNotification>& n) {
                auto info = n->userInfo();
                VolumePost post;
                post.category =
                    cast<NSString>(info->objectForKey(AVSystemController_AudioCategoryNotificationParameter()))->str();
                post.reason = cast<NSString>(
                                  info->objectForKey(AVSystemController_AudioVolumeChangeReasonNotificationParameter()))
                                  ->str();
                post.volume = unbox<float>(info->objectForKey(AVSystemController_AudioVolumeNotificationParameter()));
                post.onMain = NSThread::isMainThread();
                posts.push_back(post);
            });
    }

    std::string writeTone(const std::string& name, double seconds) {
        std::string file = path(name);
        std::string error;
        EXPECT_TRUE(AudioFileEncode(file, std::filesystem::path(name).extension().string().substr(1),
                                    audio_test::tone(seconds, 440), 44100, &error))
            << error;
        return file;
    }

    SimAudio& audio = SimAudio::current();
    id observer;
    std::vector<VolumePost> posts;
};

TEST_F(AudioSystemTests, VolumeKeysStepBySixteenthsAndStopAtTheLimits) {
    AVAudioSession::sharedInstance();
    watchVolume();
    audio.setOutputVolume(0.875f);
    runUntilIdle();
    posts.clear();

    EXPECT_TRUE(audio.pressVolumeKey(true));
    EXPECT_FLOAT_EQ(audio.outputVolume(), 0.9375f);
    EXPECT_TRUE(audio.pressVolumeKey(true));
    EXPECT_FLOAT_EQ(audio.outputVolume(), 1.0f);
    // At the top nothing changes and nothing is posted.
    EXPECT_FALSE(audio.pressVolumeKey(true));
    runUntilIdle();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[1].reason, "ExplicitVolumeChange");
    EXPECT_EQ(posts[1].category, "Ringtone");
    EXPECT_FLOAT_EQ(posts[1].volume, 1.0f);
    EXPECT_TRUE(posts[1].onMain);

    audio.setOutputVolume(0.03f);
    EXPECT_TRUE(audio.pressVolumeKey(false));
    EXPECT_FLOAT_EQ(audio.outputVolume(), 0.0f);
    EXPECT_FALSE(audio.pressVolumeKey(false));
}

TEST_F(AudioSystemTests, AnApplicationsVolumeChangeIsNotAKeyPress) {
    ASSERT_TRUE(AVAudioSession::sharedInstance()->setActiveError(true, nullptr));
    watchVolume();
    MPMusicPlayerController::applicationMusicPlayer()->setVolume(0.95f);
    EXPECT_FLOAT_EQ(MPMusicPlayerController::applicationMusicPlayer()->volume(), 0.95f);
    audio.pressVolumeKey(false);
    runUntilIdle();
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_NE(posts[0].reason, "ExplicitVolumeChange");
    EXPECT_EQ(posts[1].reason, "ExplicitVolumeChange");
    EXPECT_EQ(posts[1].category, "Audio/Video"); // the app's session is active
    // Setting the volume it already has announces nothing.
    MPMusicPlayerController::applicationMusicPlayer()->setVolume(audio.outputVolume());
    runUntilIdle();
    EXPECT_EQ(posts.size(), 2u);
}

TEST_F(AudioSystemTests, OutputVolumeIsObservedOnTheMainThread) {
    auto session = AVAudioSession::sharedInstance();
    auto observer = make<VolumeObserver>();
    session->addObserverForKeyPathOptionsContext(observer.get(), "outputVolume"_ns,
                                                 NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld, nullptr);
    float before = session->outputVolume();
    // A key pressed on another thread reaches the observer on the main thread.
    auto thread = make<NSThread>([] { SimAudio::current().pressVolumeKey(true); });
    thread->start();
    ASSERT_TRUE(runUntil([&] { return !observer->changes.empty(); }));
    EXPECT_FLOAT_EQ(observer->changes[0].first, before);
    EXPECT_FLOAT_EQ(observer->changes[0].second, before + 1.0f / 16);
    EXPECT_FLOAT_EQ(session->outputVolume(), before + 1.0f / 16);
    session->removeObserverForKeyPath(observer.get(), "outputVolume"_ns);
}

namespace {
struct ListenerLog {
    std::atomic<int> calls{0};
    std::atomic<float> last{-1};
    std::atomic<bool> offMain{true};
};
void volumeListener(void* clientData, AudioSessionPropertyID, uint32_t size, const void* data) {
    auto* log = static_cast<ListenerLog*>(clientData);
    if (size == sizeof(float)) {
        log->last = *static_cast<const float*>(data);
    }
    if (NSThread::isMainThread()) {
        log->offMain = false;
    }
    ++log->calls;
}
} // namespace

TEST_F(AudioSystemTests, OutputVolumeListenersHearEveryChangeOffTheMainThreadUntilRemoved) {
    ListenerLog log;
    ASSERT_EQ(AudioSessionAddPropertyListener(kAudioSessionProperty_CurrentHardwareOutputVolume, volumeListener, &log),
              kAudioSessionNoError);
    audio.setOutputVolume(0.25f);
    audio.pressVolumeKey(true);
    ASSERT_TRUE(runUntil([&] { return log.calls == 2; }));
    EXPECT_FLOAT_EQ(log.last, 0.3125f);
    EXPECT_TRUE(log.offMain);

    AudioSessionRemovePropertyListenerWithUserData(kAudioSessionProperty_CurrentHardwareOutputVolume, volumeListener,
                                                   &log);
    audio.pressVolumeKey(true);
    runUntilIdle();
    EXPECT_EQ(log.calls, 2);
    EXPECT_EQ(AudioSessionAddPropertyListener(0x61626364, volumeListener, &log), kAudioSessionUnsupportedPropertyError);
}

TEST_F(AudioSystemTests, UserInterfaceSoundsAreSilencedByTheSwitch) {
    SystemSoundID sound = 0;
    ASSERT_EQ(
        AudioServicesCreateSystemSoundID(NSURL::fileURLWithPath(NSString::from(writeTone("probe.caf", 0.5))), &sound),
        noErr);
    uint32_t yes = 1;
    ASSERT_EQ(AudioServicesSetProperty(kAudioServicesPropertyIsUISound, sizeof sound, &sound, sizeof yes, &yes), noErr);
    EXPECT_EQ(AudioServicesSetProperty(kAudioServicesPropertyIsUISound, 2, &sound, sizeof yes, &yes),
              kAudioServicesBadSpecifierSizeError);

    // Ringing: the probe sounds for its length, on the loudspeaker.
    double start = elapsed();
    double done = -1;
    AudioServicesPlaySystemSoundWithCompletion(sound, [&] { done = elapsed(); });
    double t0 = DispatchClock::uptime();
    ASSERT_TRUE(runUntil([&] { return done >= 0; }));
    EXPECT_NEAR(done - start, 0.5, 0.01);
    EXPECT_GT(audio.playedLevel(Part::Speaker, t0, t0 + 0.5), 0.1);

    // Silent: it completes at once and plays nothing.
    audio.setRingerSilent(true);
    done = -1;
    start = elapsed();
    t0 = DispatchClock::uptime();
    AudioServicesPlaySystemSoundWithCompletion(sound, [&] { done = elapsed(); });
    ASSERT_TRUE(runUntil([&] { return done >= 0; }));
    EXPECT_LT(done - start, 0.1);
    advance(0.5);
    EXPECT_FALSE(audio.heard(t0, t0 + 0.5));

    // Disposed: the registered completion no longer runs.
    AudioServicesDisposeSystemSoundID(sound);
    EXPECT_EQ(AudioServicesCreateSystemSoundID(url("missing.caf"), &sound), kAudioServicesSystemSoundUnspecifiedError);
}

namespace {
void countCompletion(SystemSoundID, void* clientData) {
    ++*static_cast<int*>(clientData);
}
} // namespace

TEST_F(AudioSystemTests, ABrokenSwitchStaysWhereItWasAndDisposedSoundsCompleteNoMore) {
    audio.setState(Part::RingerSwitch, SimAudio::State::Dead);
    audio.setRingerSilent(true);
    EXPECT_FALSE(audio.ringerSilent());

    SystemSoundID sound = 0;
    ASSERT_EQ(AudioServicesCreateSystemSoundID(NSURL::fileURLWithPath(NSString::from(writeTone("s.wav", 0.3))), &sound),
              noErr);
    int completions = 0;
    ASSERT_EQ(AudioServicesAddSystemSoundCompletion(sound, nullptr, nullptr, countCompletion, &completions), noErr);
    AudioServicesPlaySystemSound(sound);
    advance(0.31);
    EXPECT_EQ(completions, 1);
    AudioServicesPlaySystemSound(sound);
    AudioServicesDisposeSystemSoundID(sound);
    advance(0.5);
    EXPECT_EQ(completions, 1);
}

TEST_F(AudioSystemTests, ADeadSpeakerPlaysNothingAndMicrophonesHearWhatReachedThem) {
    auto samples = std::make_shared<const std::vector<float>>(audio_test::tone(1.0, 1000).samples);
    double t0 = DispatchClock::uptime();
    audio.startEmission(Part::Speaker, samples, t0);
    EXPECT_GT(audio.playedLevel(Part::Speaker, t0, t0 + 1), 0.3);
    EXPECT_TRUE(audio.heard(t0, t0 + 1));
    double bottom = audio_test::rms(audio.capture(Part::BottomMicrophone, t0, 44100));
    double front = audio_test::rms(audio.capture(Part::FrontMicrophone, t0, 44100));
    EXPECT_GT(bottom, front);
    EXPECT_GT(front, 10 * SimAudio::kNoiseLevel);
    // Before it played, only the noise.
    EXPECT_LT(audio_test::rms(audio.capture(Part::BottomMicrophone, t0 - 1, 44100)), 2 * SimAudio::kNoiseLevel);

    audio.setState(Part::BottomMicrophone, SimAudio::State::Dead);
    EXPECT_EQ(audio_test::rms(audio.capture(Part::BottomMicrophone, t0, 44100)), 0.0);

    audio.setState(Part::Speaker, SimAudio::State::Dead);
    double t1 = t0 + 2;
    audio.startEmission(Part::Speaker, samples, t1);
    EXPECT_EQ(audio.playedLevel(Part::Speaker, t1, t1 + 1), 0.0);
    EXPECT_FALSE(audio.heard(t1, t1 + 1));
    EXPECT_LT(audio_test::rms(audio.capture(Part::FrontMicrophone, t1, 44100)), 2 * SimAudio::kNoiseLevel);
}

TEST_F(AudioSystemTests, EmissionsLoopUntilStopped) {
    auto samples = std::make_shared<const std::vector<float>>(audio_test::tone(0.1, 500).samples);
    double t0 = DispatchClock::uptime();
    uint64_t id = audio.startEmission(Part::Receiver, samples, t0, -1, 0.5f);
    EXPECT_GT(audio.playedLevel(Part::Receiver, t0 + 5, t0 + 6), 0.1);
    audio.stopEmission(id, t0 + 3);
    EXPECT_GT(audio.playedLevel(Part::Receiver, t0 + 2, t0 + 3), 0.1);
    EXPECT_EQ(audio.playedLevel(Part::Receiver, t0 + 3, t0 + 4), 0.0);
}

TEST_F(AudioSystemTests, FaultsOverlaysBreakPartsAndRejectUnknownStates) {
    std::string error;
    EXPECT_TRUE(audio.applyFaults(R"({"speaker": "dead", "frontMicrophone": "absent", "gyroscope": "stuck"})", &error))
        << error;
    EXPECT_EQ(audio.state(Part::Speaker), SimAudio::State::Dead);
    EXPECT_FALSE(audio.isPresent(Part::FrontMicrophone));
    EXPECT_FALSE(audio.applyFaults(R"({"receiver": "crackly", "ringerSwitch": "dead"})", &error));
    EXPECT_NE(error.find("crackly"), std::string::npos);
    EXPECT_TRUE(audio.isWorking(Part::RingerSwitch)); // nothing of a rejected overlay applies
    EXPECT_FALSE(audio.applyFaults("[]", &error));
    EXPECT_FALSE(audio.loadFaults(path("none.json"), &error));

    // The front microphone is gone from the built-in microphone's data sources.
    auto route = AVAudioSession::sharedInstance()->currentRoute();
    auto mic = cast<AVAudioSessionPortDescription>(route->inputs()->firstObject());
    ASSERT_TRUE(mic);
    EXPECT_EQ(mic->dataSources()->count(), 1u);
}

TEST_F(AudioSystemTests, PluggingAHeadsetChangesTheRouteWithItsReasons) {
    auto session = AVAudioSession::sharedInstance();
    std::vector<std::pair<NSUInteger, bool>> changes; // reason, headphones in the previous route
    std::atomic<int> count{0};
    id token = NSNotificationCenter::defaultCenter()->addObserverForNameObjectQueueUsingBlock(
        AVAudioSessionRouteChangeNotification(), nullptr, nullptr, [&](const Ref<NSNotification>& n) {
            auto reason = unbox<NSUInteger>(n->userInfo()->objectForKey(AVAudioSessionRouteChangeReasonKey()));
            auto previous = cast<AVAudioSessionRouteDescription>(
                n->userInfo()->objectForKey(AVAudioSessionRouteChangePreviousRouteKey()));
            auto out = cast<AVAudioSessionPortDescription>(previous->outputs()->firstObject());
            changes.emplace_back(reason, out->portType()->isEqualToString(AVAudioSessionPortHeadphones()));
            ++count;
        });
    audio.scheduleHeadset(2.0, true);
    audio.scheduleHeadset(5.0, false);
    advance(1.9);
    EXPECT_EQ(count, 0);
    advance(0.2);
    ASSERT_TRUE(runUntil([&] { return count == 1; }));
    auto outputs = session->currentRoute()->outputs();
    EXPECT_TRUE(cast<AVAudioSessionPortDescription>(outputs->firstObject())
                    ->portType()
                    ->isEqualToString(AVAudioSessionPortHeadphones()));
    EXPECT_TRUE(cast<AVAudioSessionPortDescription>(session->currentRoute()->inputs()->firstObject())
                    ->portType()
                    ->isEqualToString(AVAudioSessionPortHeadsetMic()));
    advance(3.0);
    ASSERT_TRUE(runUntil([&] { return count == 2; }));
    EXPECT_EQ(changes[0], std::make_pair(NSUInteger{1}, false));
    EXPECT_EQ(changes[1], std::make_pair(NSUInteger{2}, true));

    // A category change is announced with reason 3.
    ASSERT_TRUE(session->setCategoryError(AVAudioSessionCategoryPlayAndRecord(), nullptr));
    ASSERT_TRUE(runUntil([&] { return count == 3; }));
    EXPECT_EQ(changes[2].first, 3u);
    EXPECT_FALSE(session->setCategoryError("NoSuchCategory"_ns, nullptr));
    NSNotificationCenter::defaultCenter()->removeObserver(token);
}

TEST_F(AudioSystemTests, ADeadJackNeverSeesTheHeadsetAndDeadKeysSendNothing) {
    std::string error;
    EXPECT_FALSE(audio.applyFaults(R"({"headsetJack": "absent"})", &error)) << "a headset jack is never absent";
    EXPECT_FALSE(audio.applyFaults(R"({"headsetKeys": "loose"})", &error));
    ASSERT_TRUE(audio.applyFaults(R"({"headsetJack": "dead"})", &error)) << error;
    audio.plugHeadset(true);
    EXPECT_TRUE(audio.headsetInserted()) << "the plug is in";
    EXPECT_FALSE(audio.headsetPlugged()) << "but the device does not see it";
    EXPECT_FALSE(audio.pressHeadsetKey(SimAudio::HeadsetKey::PlayPause));
    // Mended, the jack finds the plug that is in it; broken again, the device loses it.
    audio.setState(Part::HeadsetJack, SimAudio::State::Working);
    EXPECT_TRUE(audio.headsetPlugged());
    audio.setState(Part::HeadsetJack, SimAudio::State::Dead);
    EXPECT_FALSE(audio.headsetPlugged());
    audio.setState(Part::HeadsetJack, SimAudio::State::Working);

    ASSERT_TRUE(audio.applyFaults(R"({"headsetKeys": "dead"})", &error)) << error;
    float volume = audio.outputVolume();
    EXPECT_FALSE(audio.pressHeadsetKey(SimAudio::HeadsetKey::VolumeUp));
    EXPECT_EQ(audio.outputVolume(), volume) << "a dead volume key moves nothing";
    audio.setState(Part::HeadsetKeys, SimAudio::State::Working);
    EXPECT_TRUE(audio.pressHeadsetKey(SimAudio::HeadsetKey::VolumeUp));
    EXPECT_GT(audio.outputVolume(), volume);
    audio.plugHeadset(false);
    EXPECT_FALSE(audio.headsetInserted());
    EXPECT_FALSE(audio.headsetPlugged());
}

TEST_F(AudioSystemTests, TheDeviceIsBuiltWithThePartsOfItsProfile) {
    EXPECT_TRUE(audio.fitted(Part::Receiver));
    audio.setState(Part::Receiver, SimAudio::State::Absent);
    EXPECT_TRUE(audio.fitted(Part::Receiver)) << "a fault takes a part out; the device was built with it";
    ASSERT_TRUE(SimDevice::current().loadProfile("iPad7,5"));
    EXPECT_FALSE(audio.fitted(Part::Receiver));
    EXPECT_FALSE(audio.fitted(Part::RingerSwitch));
    EXPECT_TRUE(audio.fitted(Part::HeadsetJack));
    ASSERT_TRUE(SimDevice::current().loadProfile(SimDevice::defaultProfile));
}

TEST_F(AudioSystemTests, TheSpeakerOverrideAndDataSourcesChooseTheParts) {
    auto session = AVAudioSession::sharedInstance();
    ASSERT_TRUE(session->setCategoryError(AVAudioSessionCategoryPlayAndRecord(), nullptr));
    auto out = [&] {
        return cast<AVAudioSessionPortDescription>(session->currentRoute()->outputs()->firstObject())
            ->portType()
            ->str();
    };
    EXPECT_EQ(out(), "Receiver");
    ASSERT_TRUE(session->overrideOutputAudioPortError(AVAudioSessionPortOverrideSpeaker, nullptr));
    EXPECT_EQ(out(), "Speaker");
    uint32_t none = kAudioSessionOverrideAudioRoute_None;
    ASSERT_EQ(AudioSessionSetProperty(kAudioSessionProperty_OverrideAudioRoute, sizeof none, &none), noErr);
    EXPECT_EQ(out(), "Receiver");

    auto mic = cast<AVAudioSessionPortDescription>(session->currentRoute()->inputs()->firstObject());
    EXPECT_EQ(mic->selectedDataSource()->dataSourceName()->str(), "Bottom");
    auto front = cast<AVAudioSessionDataSourceDescription>(mic->dataSources()->objectAtIndex(1));
    Ref<NSError> error;
    ASSERT_TRUE(mic->setPreferredDataSourceError(front, &error));
    EXPECT_EQ(mic->selectedDataSource()->dataSourceName()->str(), "Front");

    audio.setDataSourceSelectionFails(true);
    auto bottom = cast<AVAudioSessionDataSourceDescription>(mic->dataSources()->objectAtIndex(0));
    EXPECT_FALSE(mic->setPreferredDataSourceError(bottom, &error));
    EXPECT_TRUE(error);
    EXPECT_EQ(mic->selectedDataSource()->dataSourceName()->str(), "Front");
}

TEST_F(AudioSystemTests, ThePermissionPromptIsAnsweredOffTheMainThread) {
    auto session = AVAudioSession::sharedInstance();
    EXPECT_EQ(session->recordPermission(), AVAudioSessionRecordPermissionUndetermined);
    audio.setPermissionPromptAnswer(SimAudio::PromptAnswer::Deny, 2.0);
    std::atomic<int> answers{0};
    std::atomic<bool> granted{true}, offMain{false};
    session->requestRecordPermission([&](bool g) {
        granted = g;
        offMain = !NSThread::isMainThread();
        ++answers;
    });
    EXPECT_TRUE(audio.permissionPromptShowing());
    advance(1.9);
    EXPECT_EQ(answers, 0);
    advance(0.2);
    ASSERT_TRUE(runUntil([&] { return answers == 1; }));
    EXPECT_FALSE(granted);
    EXPECT_TRUE(offMain);
    EXPECT_EQ(session->recordPermission(), AVAudioSessionRecordPermissionDenied);
    // Decided: the next request answers at once, without a prompt.
    session->requestRecordPermission([&](bool g) {
        granted = g;
        ++answers;
    });
    ASSERT_TRUE(runUntil([&] { return answers == 2; }, 0.01));
    EXPECT_FALSE(audio.permissionPromptShowing());
}

TEST_F(AudioSystemTests, ActivationCanBeRefused) {
    audio.setActivationError(561017449); // '!int'
    Ref<NSError> error;
    EXPECT_FALSE(AVAudioSession::sharedInstance()->setActiveError(true, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 561017449);
    EXPECT_FALSE(AVAudioSession::sharedInstance()->isActive());
    EXPECT_TRUE(AVAudioSession::sharedInstance()->setActiveError(false, nullptr));
}

TEST_F(AudioSystemTests, TheNextTestFindsTheSessionAsAFreshProcessHasIt) {
    auto session = AVAudioSession::sharedInstance();
    float fresh = session->outputVolume();
    ASSERT_TRUE(session->setCategoryError(AVAudioSessionCategoryPlayAndRecord(), nullptr));
    ASSERT_TRUE(session->setModeError(AVAudioSessionModeMeasurement(), nullptr));
    ASSERT_TRUE(session->setActiveError(true, nullptr));
    ASSERT_TRUE(session->overrideOutputAudioPortError(AVAudioSessionPortOverrideSpeaker, nullptr));
    ASSERT_TRUE(audio.pressVolumeKey(true));
    ASSERT_TRUE(runUntil([&] { return session->outputVolume() != fresh; }));
    // What one test's session decided stays with that test.
    DispatchClock::endTest();
    EXPECT_EQ(session->category()->str(), "AVAudioSessionCategorySoloAmbient");
    EXPECT_EQ(session->mode()->str(), "AVAudioSessionModeDefault");
    EXPECT_FALSE(session->isActive());
    EXPECT_FLOAT_EQ(session->outputVolume(), SimAudio::current().outputVolume());
    EXPECT_FLOAT_EQ(session->outputVolume(), fresh);
    // The override to the speaker went with it: play-and-record uses the receiver again.
    ASSERT_TRUE(session->setCategoryError(AVAudioSessionCategoryPlayAndRecord(), nullptr));
    auto outputs = session->currentRoute()->outputs();
    ASSERT_EQ(outputs->count(), 1u);
    EXPECT_EQ(cast<AVAudioSessionPortDescription>(outputs->objectAtIndex(0))->portType()->str(),
              AVAudioSessionPortBuiltInReceiver()->str());
}
