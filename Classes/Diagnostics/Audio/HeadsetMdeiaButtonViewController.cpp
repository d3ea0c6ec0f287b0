#include <Diagnostics/Audio/HeadsetMdeiaButtonViewController.h>

#include "AudioScreenSupport.h"

#include <AVFoundation/AVAudioSession.h>
#include <Categorys/DXLocalizedString.h>
#include <Diagnostics/Sensors/SensorLayout.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Reactive/NSNotificationCenter+RXSupport.h>
#include <Runtime/ClassBuilder.h>
#include <UIKit/UIApplication.h>

NS_IMPLEMENT_CLASS(HeadsetMdeiaButtonViewController, DXBaseViewController) {
    using H = HeadsetMdeiaButtonViewController;
    b.property("player", &H::player, &H::setPlayer);
    b.property("launchVolume", &H::launchVolume, &H::setLaunchVolume);
    b.method("volumeUp", &H::volumeUp);
    b.method("volumeDown", &H::volumeDown);
    b.method("monitorVolumeKeyEvent", &H::monitorVolumeKeyEvent);
}

namespace {

const bool layoutRegistered = [] {
    dx_sensors::registerLayout("HeadsetMdeiaButtonViewController", {{"labelTitle", dx_sensors::Kind::Label}});
    return true;
}();

std::string textOf(const Ref<NSDictionary>& info, const Ref<NSString>& key) {
    auto text = info ? cast<NSString>(info->objectForKey(key)) : nullptr;
    return text ? text->str() : std::string();
}

} // namespace

void HeadsetMdeiaButtonViewController::viewDidLoad() {
    (void)layoutRegistered;
    DXBaseViewController::viewDidLoad();
    // What to do: the test passes by itself once both keys were pressed, so the answer bar, which
    // would answer nothing here, stays hidden (Skip in the header ends a test whose keys fail).
    if (auto title = labelTitle()) {
        title->setText(DXLocalizedString("HEADSET_MEDIA_BUTTON_TIP"));
    }
    hidenButtons(true);
    setPlayer(dx_audio::bundlePlayer("30-seconds-of-silence", "mp3"));
    monitorVolumeKeyEvent();
}

void HeadsetMdeiaButtonViewController::viewWillAppear(bool animated) {
    DXBaseViewController::viewWillAppear(animated);
    hidenButtons(true);
    if (auto p = player()) {
        p->play();
    }
}

void HeadsetMdeiaButtonViewController::viewWillDisappear(bool animated) {
    DXBaseViewController::viewWillDisappear(animated);
    if (auto p = player()) {
        p->stop();
    }
}

void HeadsetMdeiaButtonViewController::monitorVolumeKeyEvent() {
    auto session = AVAudioSession::sharedInstance();
    session->setActiveError(true, nullptr);
    UIApplication::sharedApplication()->beginReceivingRemoteControlEvents();
    // The reference is the volume now, before any notification can arrive.
    setLaunchVolume(session->outputVolume());
    Weak<HeadsetMdeiaButtonViewController> weak(this);
    rx_addObserverForNameObject(NSNotificationCenter::defaultCenter(),
                                AVSystemController_SystemVolumeDidChangeNotification(), nullptr)
        ->takeUntil(disappear())
        ->subscribeNext([weak](const id& value) {
            auto self = weak.lock();
            auto notification = cast<NSNotification>(value);
            if (!self || !notification) {
                return;
            }
            auto info = notification->userInfo();
            std::string category = textOf(info, AVSystemController_AudioCategoryNotificationParameter());
            std::string reason = textOf(info, AVSystemController_AudioVolumeChangeReasonNotificationParameter());
            NSLog("monitorVolumeKeyEvent ==> %@, %@", NSString::from(category), NSString::from(reason));
            auto number = cast<NSNumber>(info->objectForKey(AVSystemController_AudioVolumeNotificationParameter()));
            if (!number) {
                return; // no reading is not a volume of 0
            }
            if ((category != "Audio/Video" && category != "Ringtone" && category != "PhoneCall") ||
                reason != "ExplicitVolumeChange") {
                // Not a key, but the level moved: the next press is measured from here.
                self->setLaunchVolume(static_cast<float>(number->doubleValue()));
                return;
            }
            double now = static_cast<float>(number->doubleValue());
            NSLog("monitorVolumeKeyEvent ==> current volume = %f launchVolume = %f", now, self->launchVolume());
            if (self->launchVolume() < now) {
                self->setLaunchVolume(now);
                self->volumeUp();
            } else if (self->launchVolume() > now) {
                self->setLaunchVolume(now);
                self->volumeDown();
            }
        });
}

void HeadsetMdeiaButtonViewController::volumeUp() {
    NSLog("volumeUp");
    pressed(true);
}

void HeadsetMdeiaButtonViewController::volumeDown() {
    NSLog("volumeDown");
    pressed(false);
}

void HeadsetMdeiaButtonViewController::pressed(bool up) {
    (up ? sawUp_ : sawDown_) = true;
    if (sawUp_ && sawDown_ && !isCompleted()) {
        info()->setResult(1);
        gotoResultView();
    }
}
