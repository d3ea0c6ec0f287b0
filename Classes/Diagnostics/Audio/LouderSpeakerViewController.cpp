#include <Diagnostics/Audio/AudioOperatorCheckViewController.h>
#include <Diagnostics/Audio/LouderSpeakerViewController.h>

#include "AudioScreenSupport.h"

#include <AVFoundation/AVAudioSession.h>
#include <Categorys/DXLocalizedString.h>
#include <Diagnostics/Sensors/SensorLayout.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(LouderSpeakerViewController, DXBaseViewController) {
    using L = LouderSpeakerViewController;
    b.property("labelTips", &L::labelTips, &L::setLabelTips, "weak");
    b.property("avAudioPlayer", &L::avAudioPlayer, &L::setAvAudioPlayer);
    b.property("category", &L::category, &L::setCategory);
    b.property("launchVolume", &L::launchVolume, &L::setLaunchVolume);
    b.method("actionWhenTestFailed", &L::actionWhenTestFailed);
}

NS_IMPLEMENT_CLASS(AudioOperatorCheckViewController, DXBaseViewController) {
    using A = AudioOperatorCheckViewController;
    b.property("labelTips", &A::labelTips, &A::setLabelTips, "weak");
    b.property("avAudioPlayer", &A::avAudioPlayer, &A::setAvAudioPlayer);
    b.property("category", &A::category, &A::setCategory);
    b.property("launchVolume", &A::launchVolume, &A::setLaunchVolume);
    b.method("actionWhenTestFailed", &A::actionWhenTestFailed);
}

namespace {

const bool layoutsRegistered = [] {
    using namespace dx_sensors;
    for (const char* name : {"LouderSpeakerViewController", "AudioOperatorCheckViewController"}) {
        registerLayout(name, {{"labelTitle", Kind::Label}, {"labelTips", Kind::Label}});
    }
    return true;
}();

template <class Screen>
void setTexts(Screen* screen) {
    if (auto label = screen->labelTitle()) {
        label->setText(DXLocalizedString("LOUDERSPEAKER_CONTROLLER_TITLE"));
    }
    if (auto label = screen->labelTips()) {
        label->setText(DXLocalizedString("LOUDERSPEAKER_CONTROLLER_ANSWER"));
    }
}

// The answer decides the result: YES is `yes`, NO the other one; then the test ends.
void answer(DXBaseViewController* screen, NSInteger yes) {
    Weak<DXBaseViewController> weak(screen);
    screen->choose()->subscribeNext([weak, yes](const id& value) {
        if (auto self = weak.lock()) {
            self->info()->setResult(unbox<bool>(value) ? yes : 3 - yes);
            self->gotoResultView();
        }
    });
}

} // namespace

void LouderSpeakerViewController::viewDidLoad() {
    (void)layoutsRegistered;
    DXBaseViewController::viewDidLoad();
    setTexts(this);
    bool audit = info() && info()->fakeTest();
    answer(this, audit ? 2 : 1);
    if (audit) {
        return;
    }
    setAvAudioPlayer(dx_audio::bundlePlayer("audiotest", "mp3"));
    Weak<LouderSpeakerViewController> weak(this);
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        auto session = AVAudioSession::sharedInstance();
        if (unbox<bool>(value)) {
            self->setCategory(session->category());
            session->setCategoryError(AVAudioSessionCategoryPlayback(), nullptr);
            session->overrideOutputAudioPortError(AVAudioSessionPortOverrideSpeaker, nullptr);
            session->setActiveError(true, nullptr);
            if (auto player = self->avAudioPlayer()) {
                player->setCurrentTime(0);
                player->play();
            }
            return;
        }
        if (auto player = self->avAudioPlayer()) {
            player->stop();
        }
        if (auto saved = self->category()) {
            session->setCategoryError(saved, nullptr);
        }
        session->overrideOutputAudioPortError(AVAudioSessionPortOverrideNone, nullptr);
        session->setActiveError(false, nullptr);
    });
}

void LouderSpeakerViewController::actionWhenTestFailed() {
    if (auto player = avAudioPlayer()) {
        player->stop();
    }
}

void AudioOperatorCheckViewController::viewDidLoad() {
    (void)layoutsRegistered;
    DXBaseViewController::viewDidLoad();
    setTexts(this);
    // Nothing plays here: the operator says whether the loudspeaker played the music, and the
    // answer counts as given.
    answer(this, 1);
}
