#include <Diagnostics/Audio/MicLoopBackViewController.h>

#include "AudioScreenSupport.h"

#include <AVFoundation/AVAudioSession.h>
#include <Categorys/DXLocalizedString.h>
#include <Diagnostics/Sensors/SensorLayout.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSLog.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIImage.h>

NS_IMPLEMENT_CLASS(MicLoopBackViewController, DXBaseViewController) {
    using M = MicLoopBackViewController;
    b.property("speakerMicLabel", &M::speakerMicLabel, &M::setSpeakerMicLabel, "weak");
    b.property("primarySpeakerLabel", &M::primarySpeakerLabel, &M::setPrimarySpeakerLabel, "weak");
    b.property("secondMicLabel", &M::secondMicLabel, &M::setSecondMicLabel, "weak");
    b.property("loudSpeakerLabel", &M::loudSpeakerLabel, &M::setLoudSpeakerLabel, "weak");
    b.property("questionLabel", &M::questionLabel, &M::setQuestionLabel, "weak");
    b.property("step1", &M::step1, &M::setStep1, "weak");
    b.property("step2", &M::step2, &M::setStep2, "weak");
    b.property("step3", &M::step3, &M::setStep3, "weak");
    b.property("step4", &M::step4, &M::setStep4, "weak");
    b.property("audioProcessor1", &M::audioProcessor1, &M::setAudioProcessor1);
    b.property("audioProcessor2", &M::audioProcessor2, &M::setAudioProcessor2);
    b.property("audioPlayer", &M::audioPlayer, &M::setAudioPlayer);
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_sensors;
    registerLayout("MicLoopBackViewController", {{"labelTitle", Kind::Label},
                                                 {"speakerMicLabel", Kind::Label},
                                                 {"step1", Kind::Mark},
                                                 {"primarySpeakerLabel", Kind::Label},
                                                 {"step2", Kind::Mark},
                                                 {"secondMicLabel", Kind::Label},
                                                 {"step3", Kind::Mark},
                                                 {"loudSpeakerLabel", Kind::Label},
                                                 {"step4", Kind::Mark},
                                                 {"questionLabel", Kind::Label}});
    return true;
}();

constexpr const char* kSuccess = "SUCCESS";
constexpr const char* kFail = "FAIL";
constexpr const char* kUnknown = "UNKNOWN";

void setText(const Ref<UILabel>& label, const char* key) {
    if (label) {
        label->setText(DXLocalizedString(key));
    }
}

} // namespace

void MicLoopBackViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    setText(speakerMicLabel(), "MICLOOPBACK_SPEAKER_MAIN_LABEL");
    setText(primarySpeakerLabel(), "MICLOOPBACK_PRIMARY_SPEAKER_LBAEL");
    setText(secondMicLabel(), "MICLOOPBACK_SECOND_SPEAKER_LABEL");
    setText(loudSpeakerLabel(), "MICLOOPBACK_LOUD_SPEAKER");
    auto session = AVAudioSession::sharedInstance();
    session->setCategoryError(AVAudioSessionCategoryPlayAndRecord(), nullptr);
    session->setActiveError(true, nullptr);
    // Using the microphone asks for its permission the first time.
    session->requestRecordPermission(nullptr);
    startPhase({"Bottom", "AUDIO_TEST_MAIN_MIC", "AUDIO_TEST_PRIMARY_SPEAKER", false, 1, 2});
}

void MicLoopBackViewController::viewWillDisappear(bool animated) {
    DXBaseViewController::viewWillDisappear(animated);
    stopProcessors();
    if (auto player = audioPlayer()) {
        player->stop();
    }
    restoreRoute();
    AVAudioSession::sharedInstance()->setActiveError(false, nullptr);
}

bool MicLoopBackViewController::useMicrophoneWithOrientation(const Ref<NSString>& orientation) {
    auto inputs = AVAudioSession::sharedInstance()->availableInputs();
    auto input = inputs && inputs->count() ? cast<AVAudioSessionPortDescription>(inputs->firstObject()) : nullptr;
    if (!input || !input->dataSources()) {
        return false;
    }
    auto sources = input->dataSources();
    for (NSUInteger i = 0; i < sources->count(); ++i) {
        auto source = cast<AVAudioSessionDataSourceDescription>(sources->objectAtIndex(i));
        if (source && source->orientation()->isEqualToString(orientation)) {
            Ref<NSError> error;
            if (input->setPreferredDataSourceError(source, &error) && !error) {
                return true;
            }
        }
    }
    return false;
}

Ref<RXSignal> MicLoopBackViewController::playMusicSignalWithType(NSInteger) {
    Weak<MicLoopBackViewController> weak(this);
    auto pass = dx_audio::playPass(
        Ref<NSObject>(this),
        [weak]() -> Ref<AVAudioPlayer> {
            auto self = weak.lock();
            if (!self) {
                return nullptr;
            }
            self->setAudioPlayer(dx_audio::bundlePlayer("audiotest", "mp3"));
            return self->audioPlayer();
        },
        [](const Ref<AVAudioPlayer>& player) {
            if (player && player->isPlaying()) {
                player->stop();
            }
        });
    return pass->repeat()->takeUntilReplacement(choose());
}

void MicLoopBackViewController::startPhase(const Phase& phase) {
    if (auto label = questionLabel()) {
        label->setHidden(false);
    }
    setText(questionLabel(), "MICLOOPBACK_CONTROLLER_ANSWER2");
    auto session = AVAudioSession::sharedInstance();
    bool selected = useMicrophoneWithOrientation(NSString::from(phase.orientation));
    if (!selected) {
        NSLog("the %@ microphone cannot be selected", NSString::from(phase.orientation));
        phaseAnswered(phase, false, false);
        return;
    }
    setAudioProcessor1(make<AudioProcessor>());
    session->overrideOutputAudioPortError(
        phase.speaker ? AVAudioSessionPortOverrideSpeaker : AVAudioSessionPortOverrideNone, nullptr);
    audioProcessor1()->setGain(1.0f);
    audioProcessor1()->start();
    Weak<MicLoopBackViewController> weak(this);
    Phase copy = phase;
    choose()->subscribeNext([weak, copy](const id& value) {
        if (auto self = weak.lock()) {
            self->phaseAnswered(copy, unbox<bool>(value), true);
        }
    });
}

void MicLoopBackViewController::phaseAnswered(const Phase& phase, bool yes, bool selected) {
    if (auto processor = audioProcessor1()) {
        processor->stop();
        setAudioProcessor1(nullptr);
    }
    if (!phase.speaker) {
        // Phase 2 hides the question once answered; phase 1 keeps it for the music check.
    } else if (auto label = questionLabel()) {
        label->setHidden(true);
    }
    setSub(phase.micKey, yes ? kSuccess : kFail);
    if (yes) {
        setStep(phase.micStep, true);
        setStep(phase.outputStep, true);
        setSub(phase.outputKey, kSuccess);
        next(phase);
        return;
    }
    setStep(phase.micStep, false);
    if (auto label = questionLabel()) {
        label->setHidden(false);
    }
    setText(questionLabel(), "MICLOOPBACK_CONTROLLER_ANSWER");
    // The music check plays on the phase's output.
    AVAudioSession::sharedInstance()->overrideOutputAudioPortError(
        phase.speaker ? AVAudioSessionPortOverrideSpeaker : AVAudioSessionPortOverrideNone, nullptr);
    Weak<MicLoopBackViewController> weak(this);
    Phase copy = phase;
    playMusicSignalWithType(phase.speaker ? 2 : 1)->subscribeNext([weak, copy, selected](const id& value) {
        if (auto self = weak.lock()) {
            self->musicAnswered(copy, unbox<bool>(value), selected);
        }
    });
}

void MicLoopBackViewController::musicAnswered(const Phase& phase, bool yes, bool micSelected) {
    setSub(phase.outputKey, yes ? kSuccess : kFail);
    setStep(phase.outputStep, yes);
    if (!yes && micSelected) {
        // Nothing came out: the microphone may be fine.
        setSub(phase.micKey, kUnknown);
    }
    if (phase.speaker) {
        info()->setResult(2);
        restoreRoute();
        gotoResultView();
        return;
    }
    next(phase);
}

void MicLoopBackViewController::next(const Phase& phase) {
    if (!phase.speaker) {
        startPhase({"Front", "AUDIO_TEST_2ND_MIC", "AUDIO_TEST_LOUD_SPEAKER", true, 3, 4});
        return;
    }
    info()->setResult(1);
    restoreRoute();
    gotoResultView();
}

void MicLoopBackViewController::setSub(const char* key, const char* value) {
    auto results = info() ? cast<NSMutableDictionary>(info()->subTestItemsResult()) : nullptr;
    if (results) {
        results->setObjectForKey(NSString::from(value), NSString::from(key));
    }
}

void MicLoopBackViewController::setStep(int step, bool success) {
    Ref<UIImageView> views[] = {step1(), step2(), step3(), step4()};
    if (step >= 1 && step <= 4 && views[step - 1]) {
        views[step - 1]->setImage(
            UIImage::imageNamed(NSString::from(success ? "icon_success_shape" : "icon_fail_shape")));
    }
}

void MicLoopBackViewController::stopProcessors() {
    if (auto p = audioProcessor1()) {
        p->stop();
    }
    if (auto p = audioProcessor2()) {
        p->stop();
    }
}

void MicLoopBackViewController::restoreRoute() {
    auto session = AVAudioSession::sharedInstance();
    session->overrideOutputAudioPortError(AVAudioSessionPortOverrideNone, nullptr);
    useMicrophoneWithOrientation("Bottom"_ns);
}
