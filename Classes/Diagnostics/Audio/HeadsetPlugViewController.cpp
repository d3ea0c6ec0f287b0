#include <Diagnostics/Audio/HeadsetPlugViewController.h>

#include "AudioScreenSupport.h"

#include <AVFoundation/AVAsset.h>
#include <AVFoundation/AVAudioSession.h>
#include <Categorys/DXLocalizedString.h>
#include <Categorys/NSObject+AssociatedObject.h>
#include <Categorys/RXSignal+TakeUntil.h>
#include <Categorys/UIAlertView+Blocks.h>
#include <Core/AdditionalTestManager.h>
#include <Core/DXLayoutResource.h>
#include <Diagnostics/Sensors/SensorLayout.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <MediaPlayer/MPMusicPlayerController.h>
#include <MediaPlayer/MPNowPlayingInfoCenter.h>
#include <Reactive/NSNotificationCenter+RXSupport.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXDisposable.h>
#include <Reactive/RXScheduler.h>
#include <Reactive/UIControl+RXSignalSupport.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/NSText.h>
#include <UIKit/UIApplication.h>
#include <UIKit/UIEvent.h>
#include <UIKit/UIFont.h>
#include <UIKit/UIImage.h>
#include <UIKit/UINib.h>
#include <UIKit/UIScreen.h>
#include <UIKit/UIWindow.h>
#include <UISupport/STProgressHUD.h>

#include <cmath>
#include <limits>

NS_IMPLEMENT_CLASS(HeadsetPlugViewController, DXBaseViewController) {
    using H = HeadsetPlugViewController;
    for (auto [name, getter, setter] : {std::tuple{"step1", &H::step1, &H::setStep1},
                                        {"step2", &H::step2, &H::setStep2},
                                        {"step3", &H::step3, &H::setStep3},
                                        {"step4", &H::step4, &H::setStep4},
                                        {"step5", &H::step5, &H::setStep5},
                                        {"step6", &H::step6, &H::setStep6},
                                        {"step7", &H::step7, &H::setStep7},
                                        {"step8", &H::step8, &H::setStep8},
                                        {"step9", &H::step9, &H::setStep9}}) {
        b.property(name, getter, setter, "weak");
    }
    b.property("button1", &H::button1, &H::setButton1, "weak");
    b.property("button6", &H::button6, &H::setButton6, "weak");
    b.property("button7", &H::button7, &H::setButton7, "weak");
    b.property("button8", &H::button8, &H::setButton8, "weak");
    b.property("tipLabel", &H::tipLabel, &H::setTipLabel, "weak");
    for (auto [name, getter, setter] :
         {std::tuple{"stepInsertHeadset", &H::stepInsertHeadset, &H::setStepInsertHeadset},
          {"stepSpeakIntoHeadsetMic", &H::stepSpeakIntoHeadsetMic, &H::setStepSpeakIntoHeadsetMic},
          {"stepPlayingBack", &H::stepPlayingBack, &H::setStepPlayingBack},
          {"stepPlayingMusic", &H::stepPlayingMusic, &H::setStepPlayingMusic},
          {"stepLeftChannel", &H::stepLeftChannel, &H::setStepLeftChannel},
          {"stepRightChannel", &H::stepRightChannel, &H::setStepRightChannel},
          {"stepVolumeUpChannel", &H::stepVolumeUpChannel, &H::setStepVolumeUpChannel},
          {"stepVolumeDownChannel", &H::stepVolumeDownChannel, &H::setStepVolumeDownChannel},
          {"stepMediaButtonChannel", &H::stepMediaButtonChannel, &H::setStepMediaButtonChannel},
          {"stepUnplugHeadset", &H::stepUnplugHeadset, &H::setStepUnplugHeadset}}) {
        b.property(name, getter, setter, "weak");
    }
    b.property("launchVolume", &H::launchVolume, &H::setLaunchVolume);
    b.method("stepButton:", &H::stepButton);
    b.classMethod("extraMessage", [] {
        return HeadsetPlugViewController::isHeadsetPluggedIn() ? DXLocalizedString("HEADSET_CONTROLLER_WARRING")
                                                               : nullptr;
    });
}

namespace {

// The steps in the order they run: the caption (its outlet and text), the mark of its result and
// the fail button, where it has them.
struct StepRow {
    const char* caption;
    const char* text;
    const char* mark;
    const char* button;
};
const StepRow kStepRows[] = {
    {"stepInsertHeadset", "HEADSET_CONTROLLER_INSRT_HEADSET", "step1", "button1"},
    {"stepSpeakIntoHeadsetMic", "HEADSET_CONTROLLER_SPEAK_INTO", "step2", nullptr},
    {"stepPlayingBack", "HEADSET_CONTROLLER_PLAY_AUDIO", nullptr, nullptr},
    {"stepPlayingMusic", "HEADSET_CONTROLLER_PLAY_MUSIC", "step3", nullptr},
    {"stepLeftChannel", "HEADSET_CONTROLLER_LEFT_CHANNEL", "step4", nullptr},
    {"stepRightChannel", "HEADSET_CONTROLLER_RIGHT_CHANNEL", "step5", nullptr},
    {"stepVolumeUpChannel", "HEADSET_CONTROLLER_VOLUME_UP", "step6", "button6"},
    {"stepVolumeDownChannel", "HEADSET_CONTROLLER_VOLUME_DOWN", "step7", "button7"},
    {"stepMediaButtonChannel", "HEADSET_CONTROLLER_MEDIABUTTON_CHANNEL", "step8", "button8"},
    {"stepUnplugHeadset", "HEADSET_CONTROLLER_UNPLUG", "step9", nullptr},
};

// The layout: the title (hidden) and the instruction, then one compact row per step: its mark at
// the left, its caption, its fail button at the right. Every row fits above the answer bar on the
// smallest screen (320 x 568).
const bool layoutRegistered = [] {
    UINib::registerNibNamed("HeadsetPlugViewController", [](const id& owner) -> Ref<NSArray> {
        using namespace dx_layout;
        CGRect screen = UIScreen::mainScreen()->bounds();
        auto root = make<UIView>(screen);
        root->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        auto connect = [&](const Ref<UIView>& view, const char* key) {
            if (owner) {
                owner->setValueForKey(view, NSString::from(key));
            }
        };
        auto label = [&](CGFloat fontSize, NSTextAlignment alignment, CGFloat left, CGFloat right) {
            auto l = make<UILabel>();
            l->setNumberOfLines(0);
            l->setTextAlignment(alignment);
            l->setFont(UIFont::systemFontOfSize(fontSize));
            l->setPreferredMaxLayoutWidth(screen.size.width - left - right);
            place(root, l);
            pin(root, l, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, left);
            pin(root, l, NSLayoutAttributeRight, root, NSLayoutAttributeRight, -right);
            return l;
        };
        auto title = label(24, NSTextAlignmentCenter, 24, 24);
        title->setHidden(true);
        pin(root, title, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 16);
        connect(title, "labelTitle");
        auto tip = label(15, NSTextAlignmentCenter, 24, 24);
        pin(root, tip, NSLayoutAttributeTop, title, NSLayoutAttributeBottom, 8);
        connect(tip, "tipLabel");
        Ref<UIView> above = tip;
        for (const auto& row : kStepRows) {
            auto caption = label(12, NSTextAlignmentLeft, 40, 72);
            pin(root, caption, NSLayoutAttributeTop, above, NSLayoutAttributeBottom, above == tip ? 12 : 6);
            connect(caption, row.caption);
            if (row.mark) {
                auto mark = make<UIImageView>();
                mark->setHidden(true);
                place(root, mark);
                size(root, mark, NSLayoutAttributeWidth, 22);
                size(root, mark, NSLayoutAttributeHeight, 22);
                pin(root, mark, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 10);
                pin(root, mark, NSLayoutAttributeCenterY, caption, NSLayoutAttributeCenterY, 0);
                connect(mark, row.mark);
            }
            if (row.button) {
                auto button = UIButton::buttonWithType(UIButtonTypeSystem);
                place(root, button);
                pin(root, button, NSLayoutAttributeRight, root, NSLayoutAttributeRight, -10);
                pin(root, button, NSLayoutAttributeCenterY, caption, NSLayoutAttributeCenterY, 0);
                connect(button, row.button);
            }
            above = caption;
        }
        return NSArray::arrayWithObjects({root});
    });
    return true;
}();

constexpr const char* kSuccess = "SUCCESS";
constexpr const char* kFail = "FAIL";
const void* const kToggleKey = &kToggleKey;

Ref<NSError> error(const char* domain, NSInteger code) {
    return NSError::errorWithDomainCodeUserInfo(NSString::from(domain), code, nullptr);
}

double volumeIn(const Ref<NSNotification>& n, bool* keyPress) {
    auto info = n ? n->userInfo() : nullptr;
    auto text = [&](const Ref<NSString>& key) {
        auto t = info ? cast<NSString>(info->objectForKey(key)) : nullptr;
        return t ? t->str() : std::string();
    };
    std::string category = text(AVSystemController_AudioCategoryNotificationParameter());
    std::string reason = text(AVSystemController_AudioVolumeChangeReasonNotificationParameter());
    NSLog("monitorVolumeKeyEvent ==> %@, %@", NSString::from(category), NSString::from(reason));
    *keyPress = (category == "Audio/Video" || category == "Ringtone" || category == "PhoneCall") &&
                reason == "ExplicitVolumeChange";
    auto number =
        info ? cast<NSNumber>(info->objectForKey(AVSystemController_AudioVolumeNotificationParameter())) : nullptr;
    return number ? static_cast<float>(number->doubleValue()) : -1; // no reading: no volume
}

} // namespace

HeadsetPlugViewController::~HeadsetPlugViewController() {
    NSLog("HeadsetPlugViewController dealloc");
}

bool HeadsetPlugViewController::isHeadsetPluggedIn() {
    auto outputs = AVAudioSession::sharedInstance()->currentRoute()->outputs();
    for (NSUInteger i = 0; i < outputs->count(); ++i) {
        auto port = cast<AVAudioSessionPortDescription>(outputs->objectAtIndex(i));
        if (port && port->portType()->isEqualToString(AVAudioSessionPortHeadphones())) {
            return true;
        }
    }
    return false;
}

void HeadsetPlugViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    if (isHeadsetPluggedIn()) {
        STProgressHUD::showErrorWithStatusMaskType(DXLocalizedString("HEADSET_CONTROLLER_WARRING"),
                                                   static_cast<STProgressHUDMaskType>(3));
    }
    tip("HEADSET_CONTROLLER_INSRT_HEADSET");
    for (const auto& row : kStepRows) {
        if (auto caption = cast<UILabel>(valueForKey(NSString::from(row.caption)))) {
            caption->setText(DXLocalizedString(row.text));
        }
    }
    Ref<UIButton> buttons[] = {button1(), button6(), button7(), button8()};
    NSInteger tags[] = {100, 600, 700, 800};
    for (int i = 0; i < 4; ++i) {
        if (auto b = buttons[i]) {
            b->setTag(tags[i]);
            // The failed mark, as the toggle shows it again after an N/A (a title beside the toggle's
            // image would read "FAIL" next to the N/A sign).
            b->setImageForState(UIImage::imageNamed("icon_headset_failed"_ns), UIControlStateNormal);
            b->addTargetActionForControlEvents(Ref<NSObject>(this), "stepButton:", UIControlEventTouchUpInside);
            ::setAssociatedObject(b, box(0));
        }
    }
    setSubItemlist(dx_sensors::subItems(
        {"Plug in headset", "Record voice", "Play record voice", "Play audio", "Play out headset"}));
    setSubjectOfPlayPause(RXSubject::subject());
    auto removed = AdditionalTestManager::sharedInstance()->removeKeys();
    mediaRemoved_ = removed && removed->containsObject("HEADSET_TEST_MEDIABUTTON"_ns);
    if (mediaRemoved_) {
        setSub("HEADSET_TEST_MEDIABUTTON", "REMOVED");
        // The media-key row collapses.
        if (auto b = button8()) {
            b->setHidden(true);
        }
        if (auto caption = stepMediaButtonChannel()) {
            caption->setText(""_ns);
        }
        view()->setNeedsLayout();
    }
    auto session = AVAudioSession::sharedInstance();
    setLaunchVolume(session->outputVolume());
    Weak<HeadsetPlugViewController> weak(this);
    // Every appearance and disappearance, until the screen is freed: the disappearance (present NO)
    // must arrive, so the watch is not cut by `disappear`, which fires first.
    present()->takeUntil(rx_willDeallocSignal(Ref<NSObject>(this)))->subscribeNext([weak](const id& value) {
        auto self = weak.lock();
        if (!self) {
            return;
        }
        bool shown = unbox<bool>(value);
        if (!shown) {
            self->stopEverything();
            if (auto v = self->volumeView()) {
                v->setHidden(false);
                v->removeFromSuperview();
            }
        }
        AVAudioSession::sharedInstance()->setActiveError(shown, nullptr);
    });
    // Out of sight: at the far left of the first window, without a size.
    setVolumeView(make<MPVolumeView>(CGRectMake(std::numeric_limits<double>::lowest(), 0, 0, 0)));
    auto windows = UIApplication::sharedApplication()->windows();
    if (windows && windows->count() > 0) {
        if (auto window = cast<UIWindow>(windows->objectAtIndex(0))) {
            window->addSubview(volumeView());
        }
    }
    hidenButtons(true);
    session->setCategoryError(AVAudioSessionCategoryPlayAndRecord(), nullptr);
    session->requestRecordPermission([weak](bool granted) {
        dispatch_async(dispatch_get_main_queue(), [weak, granted] {
            if (auto self = weak.lock()) {
                self->permissionAnswered(granted);
            }
        });
    });
}

void HeadsetPlugViewController::permissionAnswered(bool granted) {
    Weak<HeadsetPlugViewController> weak(this);
    if (!granted) {
        auto message =
            NSString::stringWithFormat(DXLocalizedString("HEADSET_CONTROLLER_AUTHORIZATION_ALERT")->str(), "Celvix"_ns);
        showWithTitleMessageCancelButtonTitleOtherButtonTitlesTapBlock(
            NSString::string(), message, DXLocalizedString("BASETEST_CONTROLLER_YES"), nullptr,
            [weak](const Ref<UIAlertView>&, NSInteger) {
                if (auto self = weak.lock()) {
                    for (NSUInteger i = 0; i < 5; ++i) {
                        dx_sensors::markSubItem(self->subItemlist(), i, 2);
                    }
                    self->info()->setResult(2);
                    self->gotoResultView();
                }
            });
        return;
    }
    NSInteger timeout = info() && info()->timeout() > 0 ? info()->timeout() : 21600;
    pluginWithTimeout(timeout)->subscribeErrorCompleted(
        [weak](const Ref<NSError>&) {
            if (auto self = weak.lock()) {
                self->info()->setResult(3);
                self->gotoResultView();
            }
        },
        [weak] {
            if (auto self = weak.lock()) {
                self->pluggedIn();
            }
        });
}

void HeadsetPlugViewController::pluggedIn() {
    if (isCompleted()) {
        return;
    }
    becomeFirstResponder();
    if (auto b = button1()) {
        b->setHidden(true);
    }
    setSub("HEADSET_TEST_PLUG", kSuccess);
    mark(step1(), true);
    tip("HEADSET_CONTROLLER_SPEAK_INTO");
    Weak<HeadsetPlugViewController> weak(this);
    auto side = [weak](std::function<void(HeadsetPlugViewController*, bool)> effect) {
        return [weak, effect](const id& value) {
            if (auto self = weak.lock()) {
                effect(self.get(), unbox<bool>(value));
            }
        };
    };
    auto step2 = loopbackSignal()->doNext(side([](HeadsetPlugViewController* s, bool yes) {
        s->setSub("HEADSET_TEST_RECORD", yes ? kSuccess : kFail);
        s->mark(s->step2(), yes);
        s->tip("HEADSET_CONTROLLER_PLAY_MUSIC");
        if (auto p = s->audioProcessor()) {
            p->stop();
            s->setAudioProcessor(nullptr);
        }
    }));
    auto step3 = RXSignal::defer([weak] {
                     return weak.lock() ? weak.lock()->playAudioSignal() : RXSignal::empty();
                 })->doNext(side([](HeadsetPlugViewController* s, bool yes) {
        s->setSub("HEADSET_TEST_STEREO_AUDIO", yes ? kSuccess : kFail);
        s->mark(s->step3(), yes);
        s->tip("HEADSET_CONTROLLER_LEFT_CHANNEL");
        if (!yes) {
            s->setSub("HEADSET_TEST_RECORD", "UNKNOWN");
        }
    }));
    auto step4 = makeStereoPlayerSignalWithChannel(0)->doNext(side([](HeadsetPlugViewController* s, bool yes) {
        s->setSub("HEADSET_TEST_LEFT_AUDIO", yes ? kSuccess : kFail);
        s->mark(s->step4(), yes);
        s->tip("HEADSET_CONTROLLER_RIGHT_CHANNEL");
    }));
    auto step5 = makeStereoPlayerSignalWithChannel(1)->doNext(side([](HeadsetPlugViewController* s, bool yes) {
        s->setSub("HEADSET_TEST_RIGHT_AUDIO", yes ? kSuccess : kFail);
        s->mark(s->step5(), yes);
        s->tip("HEADSET_CONTROLLER_VOLUME_UP");
        s->hidenButtons(true);
        float volume = AVAudioSession::sharedInstance()->outputVolume();
        NSLog("volume = %f", volume);
        if (volume == 1.0f) {
            MPMusicPlayerController::applicationMusicPlayer()->setVolume(0.5f);
        }
    }));
    auto keyStep = [this, side](NSInteger type, const Ref<UIButton>& button, const char* key, int stepIndex,
                                const char* nextTip) {
        auto signal = takeUntilWithSignal(detectMediaButtonEventWithType(type), detectTapWithButton(button));
        return signal->doNext(side([key, stepIndex, nextTip, button](HeadsetPlugViewController* s, bool yes) {
            s->setSub(key, yes ? kSuccess : kFail);
            Ref<UIImageView> marks[] = {s->step6(), s->step7(), s->step8()};
            s->mark(marks[stepIndex], yes);
            if (yes && button) {
                button->setHidden(true);
            }
            s->tip(nextTip);
            if (stepIndex == 0 && AVAudioSession::sharedInstance()->outputVolume() <= 0.1f) {
                MPMusicPlayerController::applicationMusicPlayer()->setVolume(0.5f);
            }
        }));
    };
    auto step6 = keyStep(0, button6(), "HEADSET_TEST_VOLUMEUP", 0, "HEADSET_CONTROLLER_VOLUME_DOWN");
    auto step7 = keyStep(1, button7(), "HEADSET_TEST_VOLUMEDOWN", 1, "HEADSET_CONTROLLER_MEDIABUTTON_CHANNEL");
    auto step8 = keyStep(2, button8(), "HEADSET_TEST_MEDIABUTTON", 2, "HEADSET_CONTROLLER_UNPLUG")
                     ->catch_([weak](const Ref<NSError>&) {
                         // Nobody pressed play/pause in time: the key fails, and the test goes on.
                         if (auto s = weak.lock()) {
                             s->setSub("HEADSET_TEST_MEDIABUTTON", kFail);
                             s->mark(s->step8(), false);
                             s->tip("HEADSET_CONTROLLER_UNPLUG");
                         }
                         return RXSignal::return_(box(false));
                     });

    // Every volume change the system announces moves the reference of the key steps, except the
    // key presses themselves, which each step measures on its own.
    volumeWatch_ = rx_addObserverForNameObject(NSNotificationCenter::defaultCenter(),
                                               AVSystemController_SystemVolumeDidChangeNotification(), nullptr)
                       ->subscribeNext([weak](const id& value) {
                           bool key = false;
                           double volume = volumeIn(cast<NSNotification>(value), &key);
                           auto self = weak.lock();
                           if (self && !key && volume >= 0) {
                               self->setLaunchVolume(volume);
                           }
                       });
    earlyUnplug_ = plugSignalWithInOutNeedContinuous(false, false)->subscribeError([weak](const Ref<NSError>&) {
        dispatch_async(dispatch_get_main_queue(), [weak] {
            if (auto self = weak.lock()) {
                self->stopEverything();
                self->info()->setResult(2);
                self->gotoResultView();
            }
        });
    });
    std::vector<Ref<RXSignal>> rest;
    rest.push_back(step4);
    rest.push_back(step5);
    rest.push_back(step6);
    rest.push_back(step7);
    if (!mediaRemoved_) {
        rest.push_back(step8);
    }
    auto afterLoopback = [weak, step3, rest](const id& value) -> Ref<RXSignal> {
        std::vector<Ref<RXSignal>> sequence;
        if (unbox<bool>(value)) {
            if (auto s = weak.lock()) {
                s->setSub("HEADSET_TEST_STEREO_AUDIO", kSuccess);
                s->mark(s->step3(), true);
                s->tip("HEADSET_CONTROLLER_LEFT_CHANNEL");
            }
        } else {
            sequence.push_back(step3);
        }
        sequence.insert(sequence.end(), rest.begin(), rest.end());
        return RXSignal::concat(sequence);
    };
    steps_ = step2->take(1)->flattenMap(afterLoopback)->subscribeCompleted([weak] {
        if (auto self = weak.lock()) {
            self->finishSteps();
        }
    });
}

void HeadsetPlugViewController::finishSteps() {
    NSLog("all finish.");
    if (earlyUnplug_) {
        earlyUnplug_->dispose();
        earlyUnplug_ = nullptr;
    }
    Weak<HeadsetPlugViewController> weak(this);
    plugSignalWithInOutNeedContinuous(false, true)->subscribeCompleted([weak] {
        dispatch_async(dispatch_get_main_queue(), [weak] {
            auto self = weak.lock();
            if (!self || self->isCompleted()) {
                return;
            }
            self->setSub("HEADSET_TEST_UNPLUG", kSuccess);
            self->mark(self->step9(), true);
            bool failed = false;
            if (auto results = self->info()->subTestItemsResult()) {
                for (NSUInteger i = 0; i < results->count(); ++i) {
                    auto v = cast<NSString>(results->objectForKey(results->allKeys()->objectAtIndex(i)));
                    failed = failed || (v && v->str() == kFail);
                }
            }
            self->info()->setResult(failed ? 2 : 1);
            self->gotoResultView();
        });
    });
}

void HeadsetPlugViewController::remoteControlReceivedWithEvent(const Ref<UIEvent>& event) {
    if (event && event->type() == UIEventTypeRemoteControl &&
        event->subtype() == UIEventSubtypeRemoteControlTogglePlayPause) {
        if (auto subject = subjectOfPlayPause()) {
            subject->sendNext(box(true));
            subject->sendCompleted();
        }
        UIApplication::sharedApplication()->registerForRemoteNotifications();
    }
}

void HeadsetPlugViewController::stepButton(const id& sender) {
    auto button = cast<UIButton>(sender);
    if (!button) {
        return;
    }
    switch (button->tag()) {
    case 100:
        setSub("HEADSET_TEST_PLUG", kFail);
        info()->setResult(2);
        gotoResultView();
        return;
    case 600:
        updateSubState(button, "HEADSET_TEST_VOLUMEUP", step6());
        break;
    case 700:
        updateSubState(button, "HEADSET_TEST_VOLUMEDOWN", step7());
        break;
    default:
        updateSubState(button, "HEADSET_TEST_MEDIABUTTON", step8());
        break;
    }
}

void HeadsetPlugViewController::updateSubState(const Ref<UIButton>& button, const char* key,
                                               const Ref<UIImageView>& markView) {
    auto number = cast<NSNumber>(::associatedObject(button));
    bool first = !number || number->integerValue() == 0;
    if (markView) {
        markView->setImage(UIImage::imageNamed(NSString::from(first ? "icon_fail_shape" : "na")));
        markView->setHidden(false);
    }
    setSub(key, first ? kFail : "NA");
    button->setImageForState(UIImage::imageNamed(NSString::from(first ? "icon_headset_na" : "icon_headset_failed")),
                             UIControlStateNormal);
    ::setAssociatedObject(button, box(first ? 1 : 0));
}

Ref<RXSignal> HeadsetPlugViewController::plugSignalWithInOutNeedContinuous(bool inOut, bool needContinuous) {
    Weak<HeadsetPlugViewController> weak(this);
    auto gone = disappear();
    return RXSignal::createSignal([inOut, needContinuous, gone](const Ref<RXSubscriber>& subscriber) {
               auto compound = RXCompoundDisposable::compoundDisposable();
               auto changes = rx_addObserverForNameObject(NSNotificationCenter::defaultCenter(),
                                                          AVAudioSessionRouteChangeNotification(), nullptr)
                                  ->deliverOnMainThread();
               compound->addDisposable(changes->subscribeNext([subscriber, inOut, needContinuous](const id& value) {
                   auto n = cast<NSNotification>(value);
                   auto number = n && n->userInfo()
                                     ? cast<NSNumber>(n->userInfo()->objectForKey(AVAudioSessionRouteChangeReasonKey()))
                                     : nullptr;
                   NSInteger reason = number ? number->integerValue() : 0;
                   if (reason == 1) {
                       NSLog("AVAudioSessionRouteChangeReasonNewDeviceAvailable");
                   } else if (reason == 2) {
                       NSLog("AVAudioSessionRouteChangeReasonOldDeviceUnavailable");
                   } else {
                       if (reason == 3) {
                           NSLog("AVAudioSessionRouteChangeReasonCategoryChange");
                       }
                       NSLog("reason = %d", static_cast<int>(reason));
                   }
                   if (inOut && reason == 1) {
                       subscriber->sendCompleted();
                   } else if (!inOut && reason == 2) {
                       if (needContinuous) {
                           subscriber->sendCompleted();
                       } else {
                           subscriber->sendError(error("pluggout", 100));
                       }
                   }
               }));
               // Leaving the screen ends the watch without a verdict: it is no route change.
               compound->addDisposable(gone->take(1)->subscribeNext([compound](const id&) { compound->dispose(); }));
               return Ref<RXDisposable>(compound);
           })
        ->deliverOnMainThread();
}

Ref<RXSignal> HeadsetPlugViewController::pluginWithTimeout(NSInteger seconds) {
    return plugSignalWithInOutNeedContinuous(true, true)
        ->timeoutOnScheduler(static_cast<double>(seconds), RXScheduler::mainThreadScheduler())
        ->catch_([](const Ref<NSError>&) { return RXSignal::error(error("Celvix", 101)); });
}

Ref<RXSignal> HeadsetPlugViewController::loopbackSignal() {
    hidenButtons(false);
    setAudioProcessor(make<AudioProcessor>());
    audioProcessor()->setGain(1.0f);
    audioProcessor()->start();
    return choose();
}

Ref<RXSignal> HeadsetPlugViewController::loopedPlayer(const char* name, bool stereo) {
    Weak<HeadsetPlugViewController> weak(this);
    std::string file = name;
    auto pass = dx_audio::playPass(
        Ref<NSObject>(this),
        [weak, file, stereo]() -> Ref<AVAudioPlayer> {
            auto self = weak.lock();
            if (!self) {
                return nullptr;
            }
            self->hidenButtons(false);
            auto player = dx_audio::bundlePlayer(file.c_str(), "m4a");
            stereo ? self->setPlayer2(player) : self->setPlayer1(player);
            return player;
        },
        [](const Ref<AVAudioPlayer>& player) {
            if (player && player->isPlaying()) {
                player->stop();
            }
        });
    return pass->repeat()->takeUntilReplacement(choose());
}

Ref<RXSignal> HeadsetPlugViewController::playAudioSignal() {
    return loopedPlayer("sample", false);
}

Ref<RXSignal> HeadsetPlugViewController::makeStereoPlayerSignalWithChannel(NSInteger channel) {
    Weak<HeadsetPlugViewController> weak(this);
    return RXSignal::defer([weak, channel]() -> Ref<RXSignal> {
               auto self = weak.lock();
               return self ? self->loopedPlayer(channel == 0 ? "audiotest_leftSpeaker" : "audiotest_rightSpeaker", true)
                           : RXSignal::empty();
           })
        ->take(1);
}

Ref<RXSignal> HeadsetPlugViewController::detectMediaButtonEventWithType(NSInteger type) {
    AVAudioSession::sharedInstance()->setActiveError(true, nullptr);
    UIApplication::sharedApplication()->beginReceivingRemoteControlEvents();
    Weak<HeadsetPlugViewController> weak(this);
    auto gone = disappear();
    if (type == 0 || type == 1) {
        bool up = type == 0;
        return RXSignal::createSignal([weak, up, gone](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
            auto self = weak.lock();
            if (!self) {
                return nullptr;
            }
            // The step's own reference, read before it listens: a press made now is measured from it.
            auto reference = std::make_shared<double>(AVAudioSession::sharedInstance()->outputVolume());
            self->setLaunchVolume(*reference);
            return rx_addObserverForNameObject(NSNotificationCenter::defaultCenter(),
                                               AVSystemController_SystemVolumeDidChangeNotification(), nullptr)
                ->takeUntil(gone)
                ->subscribeNext([weak, up, reference, subscriber](const id& value) {
                    bool key = false;
                    double volume = volumeIn(cast<NSNotification>(value), &key);
                    if (volume < 0) {
                        return; // no reading
                    }
                    if (!key) {
                        *reference = volume;
                        return;
                    }
                    NSLog("monitorVolumeKeyEvent ==> current volume = %f launchVolume = %f", volume, *reference);
                    if (up ? *reference < volume : *reference > volume) {
                        *reference = volume;
                        if (auto s = weak.lock()) {
                            s->setLaunchVolume(volume);
                        }
                        UIApplication::sharedApplication()->registerForRemoteNotifications();
                        subscriber->sendNext(box(true));
                        subscriber->sendCompleted();
                    }
                });
        });
    }
    NSInteger limit = info() && info()->timeout() > 0 ? info()->timeout() : 21600;
    auto key = RXSignal::createSignal([weak](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        auto self = weak.lock();
        if (!self) {
            return nullptr;
        }
        // The silence that keeps the application the target of the play/pause key loops while the
        // step waits.
        auto silence = dx_audio::bundlePlayer("10-seconds-of-silence", "mp3");
        if (silence) {
            silence->setNumberOfLoops(-1);
            silence->prepareToPlay();
            silence->play();
        }
        self->showMusicInfo();
        self->setPlayer4(silence);
        auto pressed = self->subjectOfPlayPause()->take(1)->subscribeNext([subscriber](const id&) {
            UIApplication::sharedApplication()->registerForRemoteNotifications();
            subscriber->sendNext(box(true));
            subscriber->sendCompleted();
        });
        return RXDisposable::disposableWithBlock([pressed, silence] {
            pressed->dispose();
            if (silence && silence->isPlaying()) {
                silence->stop();
            }
        });
    });
    return key->timeoutOnScheduler(static_cast<double>(limit), RXScheduler::mainThreadScheduler())->take(1);
}

Ref<RXSignal> HeadsetPlugViewController::detectTapWithButton(const Ref<UIButton>& button) {
    if (!button) {
        return RXSignal::never();
    }
    return rx_signalForControlEvents(button, UIControlEventTouchUpInside)->mapReplace(box(false))->take(1);
}

void HeadsetPlugViewController::setSub(const char* key, const char* value) {
    if (auto results = info() ? info()->subTestItemsResult() : nullptr) {
        results->setObjectForKey(NSString::from(value), NSString::from(key));
    }
}

void HeadsetPlugViewController::mark(const Ref<UIImageView>& view, bool success) {
    if (view) {
        view->setImage(UIImage::imageNamed(NSString::from(success ? "icon_success_shape" : "icon_fail_shape")));
        view->setHidden(false);
    }
}

void HeadsetPlugViewController::tip(const char* key) {
    if (auto label = tipLabel()) {
        label->setText(DXLocalizedString(key));
    }
}

void HeadsetPlugViewController::stopEverything() {
    if (auto p = audioProcessor()) {
        p->stop();
        setAudioProcessor(nullptr);
    }
    for (auto& d : {steps_, earlyUnplug_, volumeWatch_}) {
        if (d) {
            d->dispose();
        }
    }
    for (const auto& p : {player1(), player2(), player4()}) {
        if (p && p->isPlaying()) {
            p->stop();
        }
    }
}

void HeadsetPlugViewController::showMusicInfo() {
    DX_ASSERT_MAIN_THREAD();
    auto asset = AVURLAsset::URLAssetWithURLOptions(dx_audio::bundleSound("10-seconds-of-silence", "mp3"));
    double duration = CMTimeGetSeconds(asset->duration());
    Ref<UIImage> image;
    Ref<NSString> title;
    Ref<NSString> artist;
    Ref<NSString> album;
    Ref<NSArray> formats = asset->availableMetadataFormats();
    for (const id& format : *formats) {
        Ref<NSArray> items = asset->metadataForFormat(cast<NSString>(format));
        for (const id& entry : *items) {
            auto item = cast<AVMetadataItem>(entry);
            const Ref<NSString>& key = item ? item->commonKey() : Ref<NSString>();
            if (!key) {
                continue;
            }
            if (key->isEqualToString(AVMetadataCommonKeyArtwork())) {
                if (auto data = item->dataValue()) {
                    image = UIImage::imageWithData(data);
                }
            } else if (key->isEqualToString(AVMetadataCommonKeyTitle())) {
                title = item->stringValue();
            } else if (key->isEqualToString(AVMetadataCommonKeyArtist())) {
                artist = item->stringValue();
            } else if (key->isEqualToString(AVMetadataCommonKeyAlbumName())) {
                album = item->stringValue();
            }
        }
    }
    auto info = NSMutableDictionary::dictionary();
    if (title) {
        info->setObjectForKey(title, MPMediaItemPropertyTitle());
    }
    if (album) {
        info->setObjectForKey(album, MPMediaItemPropertyAlbumTitle());
    }
    if (artist) {
        info->setObjectForKey(artist, MPMediaItemPropertyAlbumArtist());
    }
    // Artwork that does not decode as an image is left out like a missing one.
    if (image) {
        info->setObjectForKey(make<MPMediaItemArtwork>(image), MPMediaItemPropertyArtwork());
    }
    // An unreadable sound has no duration; announcing 0 or NaN seconds would be wrong.
    if (std::isfinite(duration) && duration > 0) {
        info->setObjectForKey(box(duration), MPMediaItemPropertyPlaybackDuration());
    }
    MPNowPlayingInfoCenter::defaultCenter()->setNowPlayingInfo(info);
}
