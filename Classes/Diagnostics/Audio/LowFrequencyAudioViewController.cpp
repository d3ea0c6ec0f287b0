#include <Diagnostics/Audio/LowFrequencyAudioViewController.h>

#include "AudioScreenSupport.h"

#include <AVFoundation/AVAudioSession.h>
#include <Categorys/DXLocalizedString.h>
#include <Diagnostics/Sensors/SensorLayout.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/RXDisposable.h>
#include <Reactive/RXScheduler.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(LowFrequencyAudioViewController, DXBaseViewController) {
    using L = LowFrequencyAudioViewController;
    b.property("labelTips", &L::labelTips, &L::setLabelTips, "weak");
    b.property("avAudioPlayer", &L::avAudioPlayer, &L::setAvAudioPlayer);
    b.property("category", &L::category, &L::setCategory);
    b.property("launchVolume", &L::launchVolume, &L::setLaunchVolume);
    b.method("actionWhenTestFailed", &L::actionWhenTestFailed);
}

namespace {

const bool layoutRegistered = [] {
    using namespace dx_sensors;
    registerLayout("LowFrequencyAudioViewController", {{"labelTitle", Kind::Label}, {"labelTips", Kind::Label}});
    return true;
}();

} // namespace

void LowFrequencyAudioViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (auto label = labelTitle()) {
        label->setText(DXLocalizedString("LOUDERSPEAKER_CONTROLLER_TITLE"));
        label->setHidden(true);
    }
    if (auto label = labelTips()) {
        label->setText(DXLocalizedString("LOW_REQ_AUDIO_QUESTION"));
    }
    Weak<LowFrequencyAudioViewController> weak(this);
    double limit = dx_sensors::timeLimit(info() ? info()->timeout() : 0);
    viewAppearSignal()
        ->timeoutOnScheduler(limit, RXScheduler::mainThreadScheduler())
        ->takeUntil(disappear())
        ->subscribeError([weak](const Ref<NSError>&) {
            if (auto self = weak.lock()) {
                NSLog("time out 30s");
                self->info()->setResult(3);
                self->gotoResultView();
            }
        });
    present()
        ->initially([] {})
        ->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))
        ->subscribeNext([weak](const id& value) {
            if (auto self = weak.lock()) {
                self->presented(unbox<bool>(value));
            }
        });
}

Ref<RXSignal> LowFrequencyAudioViewController::viewAppearSignal() {
    if (!viewAppearSignal_) {
        viewAppearSignal_ = rx_signalForSelector(Ref<NSObject>(this), "viewDidAppear:");
    }
    return viewAppearSignal_;
}

void LowFrequencyAudioViewController::actionWhenTestFailed() {
    if (auto player = avAudioPlayer()) {
        player->stop();
    }
}

Ref<RXSignal> LowFrequencyAudioViewController::playaudioRepeatSignal() {
    Weak<LowFrequencyAudioViewController> weak(this);
    auto pass = dx_audio::playPass(
        Ref<NSObject>(this),
        [weak]() -> Ref<AVAudioPlayer> {
            auto self = weak.lock();
            if (!self) {
                return nullptr;
            }
            AVAudioSession::sharedInstance()->setActiveError(true, nullptr);
            NSLog("start play voice.");
            return self->avAudioPlayer();
        },
        [](const Ref<AVAudioPlayer>& player) {
            NSLog("play done");
            if (player) {
                player->stop();
            }
            AVAudioSession::sharedInstance()->setActiveError(false, nullptr);
        });
    return pass->repeat()->takeUntilReplacement(choose());
}

void LowFrequencyAudioViewController::presented(bool shown) {
    auto session = AVAudioSession::sharedInstance();
    if (shown) {
        setAvAudioPlayer(dx_audio::bundlePlayer("lowfreqaudio", "wav"));
        setCategory(session->category());
        session->setCategoryError(AVAudioSessionCategoryPlayAndRecord(), nullptr);
        NSLog("old volume : %f", launchVolume());
        if (auto old = repeate()) {
            old->dispose();
        }
        Weak<LowFrequencyAudioViewController> weak(this);
        setRepeate(playaudioRepeatSignal()->subscribeNextCompleted(
            [weak](const id& answer) {
                if (auto self = weak.lock()) {
                    NSLog("playaudioRepeatSignal subscribeNext : user press the button: %@", answer);
                    self->info()->setResult(unbox<bool>(answer) ? 1 : 2);
                }
            },
            [weak] {
                if (auto self = weak.lock()) {
                    NSLog("playaudioRepeatSignal completed : [self gotoResultView]");
                    self->gotoResultView();
                }
            }));
        return;
    }
    if (auto loop = repeate()) {
        loop->dispose();
        setRepeate(nullptr);
    }
    if (auto player = avAudioPlayer(); player && player->isPlaying()) {
        NSLog("avAudioPlayer stop");
        player->stop();
    }
    NSLog("recover : %f", launchVolume());
    if (auto saved = category()) {
        session->setCategoryError(saved, nullptr);
    }
}
