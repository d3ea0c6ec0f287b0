#include <Diagnostics/Audio/MicrophoneRecordViewController.h>

#include <AVFoundation/AVAudioSession.h>
#include <Categorys/DXLocalizedString.h>
#include <Categorys/UIAlertView+Blocks.h>
#include <Diagnostics/Sensors/SensorLayout.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSFileManager.h>
#include <Foundation/NSLog.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXDisposable.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/RXTuple.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIImage.h>

#include "AudioScreenSupport.h"

#include <filesystem>

NS_IMPLEMENT_CLASS(DXMicrophoneRecordScreen, DXBaseViewController) {
    using S = DXMicrophoneRecordScreen;
    b.property("step1", &S::step1, &S::setStep1, "weak");
    b.property("step2", &S::step2, &S::setStep2, "weak");
    b.property("number", &S::number, &S::setNumber, "weak");
    b.property("label", &S::label, &S::setLabel, "weak");
    b.property("recorder", &S::recorder, &S::setRecorder);
    b.property("player1", &S::player1, &S::setPlayer1);
    b.classMethod("recordSettings", [] { return DXMicrophoneRecordScreen::recordSettings(); });
    b.classMethod("isHeadsetPluggedIn", [] { return box(DXMicrophoneRecordScreen::isHeadsetPluggedIn()); });
}

NS_IMPLEMENT_CLASS(MicrophoneLoopBackViewController, DXMicrophoneRecordScreen) {
    using S = MicrophoneLoopBackViewController;
    b.property("steplabel", &S::steplabel, &S::setSteplabel, "weak");
    b.property("steplable2", &S::steplable2, &S::setSteplable2, "weak");
    b.classMethod("extraMessage", [] {
        return DXMicrophoneRecordScreen::isHeadsetPluggedIn() ? DXLocalizedString("MICROPHONERECORD_CONTROLLER_WARRING")
                                                              : nullptr;
    });
}

NS_IMPLEMENT_CLASS(MicrophoneRecordViewController, DXMicrophoneRecordScreen) {
    using S = MicrophoneRecordViewController;
    b.property("stepSpeakIntoMicrophone", &S::stepSpeakIntoMicrophone, &S::setStepSpeakIntoMicrophone, "weak");
    b.property("stepPlayingBackAudio", &S::stepPlayingBackAudio, &S::setStepPlayingBackAudio, "weak");
    b.classMethod("extraMessage", [] {
        return DXMicrophoneRecordScreen::isHeadsetPluggedIn() ? DXLocalizedString("MICROPHONERECORD_CONTROLLER_WARRING")
                                                              : nullptr;
    });
}

namespace {

const bool layoutsRegistered = [] {
    using namespace dx_sensors;
    registerLayout("MicrophoneLoopBackViewController", {{"labelTitle", Kind::Label, true},
                                                        {"steplabel", Kind::Label},
                                                        {"step1", Kind::Image},
                                                        {"steplable2", Kind::Label},
                                                        {"step2", Kind::Image},
                                                        {"number", Kind::Label},
                                                        {"label", Kind::Label, true}});
    registerLayout("MicrophoneRecordViewController", {{"labelTitle", Kind::Label, true},
                                                      {"stepSpeakIntoMicrophone", Kind::Label},
                                                      {"step1", Kind::Image},
                                                      {"stepPlayingBackAudio", Kind::Label},
                                                      {"step2", Kind::Image},
                                                      {"number", Kind::Label},
                                                      {"label", Kind::Label, true}});
    return true;
}();

void setText(const Ref<UILabel>& label, const Ref<NSString>& text) {
    if (label) {
        label->setText(text);
    }
}

void show(const Ref<UIView>& view, bool shown) {
    if (view) {
        view->setHidden(!shown);
    }
}

void setIcon(const Ref<UIImageView>& view, bool success) {
    if (view) {
        view->setImage(UIImage::imageNamed(NSString::from(success ? "icon_success_shape" : "icon_fail_shape")));
    }
}

Ref<NSString> counted(const char* key, NSInteger n) {
    return NSString::stringWithFormat(DXLocalizedString(key)->str(), static_cast<int>(n));
}

Ref<NSError> exitError() {
    return NSError::errorWithDomainCodeUserInfo(NSString::from("MicrophoneRecord"), 1, nullptr);
}

} // namespace

Ref<NSDictionary> DXMicrophoneRecordScreen::recordSettings() {
    auto settings = NSMutableDictionary::dictionary();
    settings->setObjectForKey(box(kAudioFormatMPEG4AAC), AVFormatIDKey());
    settings->setObjectForKey(box(44100.0), AVSampleRateKey());
    settings->setObjectForKey(box(2), AVNumberOfChannelsKey());
    return settings;
}

bool DXMicrophoneRecordScreen::isHeadsetPluggedIn() {
    auto outputs = AVAudioSession::sharedInstance()->currentRoute()->outputs();
    for (NSUInteger i = 0; i < outputs->count(); ++i) {
        auto port = cast<AVAudioSessionPortDescription>(outputs->objectAtIndex(i));
        if (port && port->portType()->isEqualToString(AVAudioSessionPortHeadphones())) {
            return true;
        }
    }
    return false;
}

Ref<NSURL> DXMicrophoneRecordScreen::recordingURL() {
    return NSURL::fileURLWithPath(NSString::from(NSSandbox::documentsPath()->str() + "/sound1.m4a"));
}

Ref<RXSignal> DXMicrophoneRecordScreen::willDisappear() {
    if (!willDisappear_) {
        willDisappear_ = rx_signalForSelector(Ref<NSObject>(this), "viewWillDisappear:")->mapReplace(box(true));
    }
    return willDisappear_;
}

void DXMicrophoneRecordScreen::viewDidLoad() {
    (void)layoutsRegistered;
    DXBaseViewController::viewDidLoad();
    bool loopBack = variant().loopBack;
    setSubItemlist(dx_sensors::subItems({"Record voice", "Play record voice"}));
    Weak<DXMicrophoneRecordScreen> weak(this);
    bool audit = loopBack && info() && info()->fakeTest();
    if (audit) {
        // Nothing is recorded or played: an honest operator hears nothing and answers NO.
        choose()->subscribeNext([weak](const id& value) {
            if (auto self = weak.lock()) {
                self->info()->setResult(unbox<bool>(value) ? 2 : 1);
                self->gotoResultView();
            }
        });
        return;
    }
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        if (auto self = weak.lock()) {
            if (unbox<bool>(value)) {
                self->hidenButtons(true);
            } else {
                AVAudioSession::sharedInstance()->setActiveError(false, nullptr);
            }
        }
    });
    if (auto self = cast<MicrophoneLoopBackViewController>(Ref<NSObject>(this))) {
        setText(self->steplabel(), DXLocalizedString("MICROPHONELOOPBACK_CONTROLLER_STEP1"));
        setText(self->steplable2(), DXLocalizedString("MICROPHONELOOPBACK_CONTROLLER_STEP2"));
        setText(label(), DXLocalizedString("MICROPHONELOOPBACK_CONTROLLER_HEAR"));
    } else if (auto self = cast<MicrophoneRecordViewController>(Ref<NSObject>(this))) {
        setText(self->stepSpeakIntoMicrophone(), DXLocalizedString("MICROPHONERECORD_CONTROLLER_TITLE_SPEAK"));
        setText(self->stepPlayingBackAudio(), DXLocalizedString("MICROPHONERECORD_CONTROLLER_TITLE_PLAY"));
        setText(label(), DXLocalizedString("HEADSET_CONTROLLER_ANSWER_SOUND"));
    }
    setText(labelTitle(), DXLocalizedString("MICROPHONERECORD_CONTROLLER_TITLE_INIT"));
    show(labelTitle(), true);
    willDisappear(); // installed now, so that every later disappearance is seen

    AVAudioSession::sharedInstance()->requestRecordPermission([weak](bool granted) {
        dispatch_async(dispatch_get_main_queue(), [weak, granted] {
            if (auto self = weak.lock()) {
                self->permissionAnswered(granted);
            }
        });
    });
}

void DXMicrophoneRecordScreen::permissionAnswered(bool granted) {
    Weak<DXMicrophoneRecordScreen> weak(this);
    if (!granted) {
        auto message = NSString::stringWithFormat(
            DXLocalizedString("MICROPHONERECORD_CONTROLLER_AUTHORIZATION_ALERT")->str(), "Celvix"_ns);
        showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(
            NSString::string(), message, DXLocalizedString("BASETEST_CONTROLLER_YES"), nullptr,
            [weak](const Ref<UIAlertView>&, NSInteger) {
                if (auto self = weak.lock()) {
                    dx_sensors::markSubItem(self->subItemlist(), 0, 2);
                    dx_sensors::markSubItem(self->subItemlist(), 1, 2);
                    self->info()->setResult(2);
                    self->gotoResultView();
                }
            });
        return;
    }
    procedure_ = waitSignal()
                     ->concat(recordSignal())
                     ->concat(RXSignal::defer([weak]() -> Ref<RXSignal> {
                         if (auto self = weak.lock()) {
                             setIcon(self->step1(), true);
                             return self->answerSignal();
                         }
                         return RXSignal::empty();
                     }))
                     ->subscribeNextError(
                         [weak](const id& answer) {
                             if (auto self = weak.lock()) {
                                 self->finishWith(unbox<bool>(answer));
                             }
                         },
                         [](const Ref<NSError>&) { NSLog("error"); });
}

Ref<RXSignal> DXMicrophoneRecordScreen::waitSignal() {
    Weak<DXMicrophoneRecordScreen> weak(this);
    NSInteger waiting = info() ? info()->waitingTime() : -1;
    NSInteger n = waiting == -1 ? 3 : std::max<NSInteger>(0, waiting);
    return RXSignal::createSignal([weak, n](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        auto self = weak.lock();
        if (!self) {
            subscriber->sendCompleted();
            return nullptr;
        }
        setText(self->number(), counted("MICROPHONERECORD_CONTROLLER_WAIT", n));
        show(self->number(), true);
        auto compound = RXCompoundDisposable::compoundDisposable();
        compound->addDisposable(self->willDisappear()->take(1)->subscribeNext([subscriber](const id&) {
            NSLog("has exit.");
            subscriber->sendError(exitError());
        }));
        auto left = std::make_shared<NSInteger>(n);
        compound->addDisposable(RXSignal::intervalOnScheduler(1.0, RXScheduler::mainThreadScheduler())
                                    ->take(static_cast<NSUInteger>(n))
                                    ->subscribeNextCompleted(
                                        [weak, left](const id&) {
                                            --*left;
                                            NSLog("second == %ld", static_cast<long>(*left));
                                            if (auto s = weak.lock()) {
                                                setText(s->number(),
                                                        counted("MICROPHONERECORD_CONTROLLER_WAIT", *left));
                                            }
                                        },
                                        [subscriber] { subscriber->sendCompleted(); }));
        return compound;
    });
}

Ref<RXSignal> DXMicrophoneRecordScreen::recordSignal() {
    Weak<DXMicrophoneRecordScreen> weak(this);
    bool loopBack = variant().loopBack;
    return RXSignal::createSignal([weak, loopBack](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        auto self = weak.lock();
        if (!self) {
            subscriber->sendCompleted();
            return nullptr;
        }
        self->recordTicksDone_ = false;
        setText(self->labelTitle(), DXLocalizedString(loopBack ? "MICROPHONELOOPBACK_CONTROLLER_STEP1"
                                                               : "MICROPHONERECORD_CONTROLLER_TITLE_SPEAK"));
        auto session = AVAudioSession::sharedInstance();
        session->setCategoryError(AVAudioSessionCategoryRecord(), nullptr);
        session->setActiveError(true, nullptr);
        // Never play back an earlier run's clip as if this microphone had recorded it.
        auto url = recordingURL();
        std::error_code ec;
        std::filesystem::remove(url->path()->str(), ec);
        auto recorder = AVAudioRecorder::recorderWithURLSettingsError(url, recordSettings(), nullptr);
        self->setRecorder(recorder);
        auto compound = RXCompoundDisposable::compoundDisposable();
        if (recorder) {
            if (loopBack) {
                recorder->setDelegate(self);
                // A recording that ends before its two seconds fails the test.
                compound->addDisposable(rx_signalForSelectorFromProtocol(
                                            Ref<NSObject>(self), "audioRecorderDidFinishRecording:successfully:",
                                            NS_PROTOCOL(AVAudioRecorderDelegate))
                                            ->take(1)
                                            ->subscribeNext([weak, subscriber](const id&) {
                                                auto s = weak.lock();
                                                if (s && !s->recordTicksDone_ && !s->recordingFailed_) {
                                                    s->failRecording();
                                                    subscriber->sendError(exitError());
                                                }
                                            }));
            }
            recorder->prepareToRecord();
            recorder->record();
        }
        setText(self->number(), counted("MICROPHONERECORD_CONTROLLER_SPEAK", 2));
        show(self->number(), true);
        auto left = std::make_shared<NSInteger>(2);
        Ref<RXSignal> ticks = RXSignal::intervalOnScheduler(1.0, RXScheduler::mainThreadScheduler())->take(2);
        if (!loopBack) {
            ticks = ticks->takeUntil(self->willDisappear());
        }
        compound->addDisposable(ticks->subscribeNextCompleted(
            [weak, left](const id&) {
                --*left;
                NSLog("recording sec %ld", static_cast<long>(2 - *left));
                if (auto s = weak.lock()) {
                    setText(s->number(), counted("MICROPHONERECORD_CONTROLLER_SPEAK", *left));
                }
            },
            [weak, left, subscriber] {
                auto s = weak.lock();
                if (!s || *left > 0) {
                    NSLog("error");
                    subscriber->sendError(exitError());
                    return;
                }
                NSLog("record completed.");
                s->recordTicksDone_ = true;
                if (auto r = s->recorder()) {
                    r->stop();
                }
                show(s->number(), false);
                AVAudioSession::sharedInstance()->setActiveError(false, nullptr);
                subscriber->sendCompleted();
            }));
        return compound;
    });
}

Ref<RXSignal> DXMicrophoneRecordScreen::answerSignal() {
    Weak<DXMicrophoneRecordScreen> weak(this);
    bool loopBack = variant().loopBack;
    auto pass = dx_audio::playPass(
        Ref<NSObject>(this),
        [weak, loopBack]() -> Ref<AVAudioPlayer> {
            auto self = weak.lock();
            if (!self) {
                return nullptr;
            }
            show(self->number(), false);
            if (!loopBack) {
                NSLog("playback subscriber!!!");
            }
            auto session = AVAudioSession::sharedInstance();
            session->setCategoryError(
                loopBack ? AVAudioSessionCategoryPlayAndRecord() : AVAudioSessionCategoryPlayback(), nullptr);
            session->overrideOutputAudioPortError(
                loopBack ? AVAudioSessionPortOverrideNone : AVAudioSessionPortOverrideSpeaker, nullptr);
            session->setActiveError(true, nullptr);
            self->setPlayer1(AVAudioPlayer::playerWithContentsOfURLError(recordingURL(), nullptr));
            NSLog("start play voice.");
            setText(self->labelTitle(), DXLocalizedString(loopBack ? "MICROPHONELOOPBACK_CONTROLLER_STEP2"
                                                                   : "MICROPHONERECORD_CONTROLLER_TITLE_PLAY"));
            show(self->label(), true);
            self->hidenButtons(false);
            return self->player1();
        },
        [loopBack](const Ref<AVAudioPlayer>& player) {
            NSLog("play done");
            if (loopBack && player) {
                player->stop();
            }
        });
    auto answer = pass->repeat()->takeUntilReplacement(choose());
    if (loopBack) {
        return answer;
    }
    // Leaving the screen while the clip plays cuts the step with an error: no answer came.
    auto leaving = willDisappear()->take(1)->flattenMap([](const id&) { return RXSignal::error(exitError()); });
    return answer->takeUntilReplacement(leaving);
}

void DXMicrophoneRecordScreen::finishWith(bool yes) {
    // The sub-items first: the test ends at once after the result.
    setIcon(step2(), yes);
    dx_sensors::markSubItem(subItemlist(), 0, yes ? 1 : 2);
    dx_sensors::markSubItem(subItemlist(), 1, yes ? 1 : 2);
    info()->setResult(yes ? 1 : 2);
    gotoResultView();
}

void DXMicrophoneRecordScreen::failRecording() {
    recordingFailed_ = true;
    NSLog("the recording ended early");
    setIcon(step1(), false);
    show(number(), false);
    dx_sensors::markSubItem(subItemlist(), 0, 2);
    dx_sensors::markSubItem(subItemlist(), 1, 2);
    info()->setResult(2);
    gotoResultView();
}

void DXMicrophoneRecordScreen::viewWillDisappear(bool animated) {
    DXBaseViewController::viewWillDisappear(animated);
    if (!variant().loopBack) {
        if (auto r = recorder(); r && r->isRecording()) {
            NS_SYNCHRONIZED(r) {
                r->stop();
            }
        }
        if (auto p = player1(); p && p->isPlaying()) {
            NS_SYNCHRONIZED(p) {
                p->stop();
            }
        }
    }
    // The next test starts from the default route.
    AVAudioSession::sharedInstance()->overrideOutputAudioPortError(AVAudioSessionPortOverrideNone, nullptr);
}
