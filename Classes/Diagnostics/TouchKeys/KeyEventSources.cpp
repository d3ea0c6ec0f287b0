// KeyEventSources: the lock observer and the application-state signals of the key screens.
#include <Diagnostics/TouchKeys/KeyEventSources.h>

#include <AVFoundation/AVAudioSession.h>
#include <AudioToolbox/AudioSession.h>
#include <CoreFoundation/CFNotificationCenter.h>
#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSDictionary.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSUserDefaults.h>
#include <Reactive/NSNotificationCenter+RXSupport.h>
#include <UIKit/UIApplication.h>

#include <cmath>

#include <map>
#include <mutex>

const Ref<NSString>& DXDisplayStatusLockedKey() {
    static const Ref<NSString> key = NSString::from("kDisplayStatusLocked");
    return key;
}

namespace {

const Ref<NSString>& lockName() {
    static const Ref<NSString> name = NSString::from("com.apple.springboard.lockcomplete");
    return name;
}

// The observer identifier of the lock observer.
const char kObserverIdentifier[] = "observer identifier";

void displayStatusChanged(CFNotificationCenterRef, void*, CFStringRef name, const void*, CFDictionaryRef) {
    NSLog("displayStatusChanged %@", Ref<NSString>(const_cast<NSString*>(name)));
    if (name && name->str() == lockName()->str()) {
        KeyEventSources::setDisplayStatusLocked(true);
    }
}

// The output-volume listeners by token: the audio session's queue looks its handler up here, so a
// listener removed meanwhile (its screen gone) finds nothing.
std::mutex listenersMutex;
std::map<uintptr_t, std::shared_ptr<std::function<void(float)>>>& volumeListeners() {
    static auto* listeners = new std::map<uintptr_t, std::shared_ptr<std::function<void(float)>>>;
    return *listeners;
}
uintptr_t nextListenerToken = 1;

void volumeListenerCallback(void* clientData, AudioSessionPropertyID, uint32_t dataSize, const void* data) {
    if (!data || dataSize < sizeof(float)) {
        return;
    }
    float volume = *static_cast<const float*>(data);
    auto token = reinterpret_cast<uintptr_t>(clientData);
    dispatch_async(dispatch_get_main_queue(), [token, volume] {
        std::shared_ptr<std::function<void(float)>> handler;
        {
            std::lock_guard lock(listenersMutex);
            auto it = volumeListeners().find(token);
            if (it == volumeListeners().end()) {
                return;
            }
            handler = it->second;
        }
        NSLog("volumeListenerCallback ==> current volume = %f", static_cast<double>(volume));
        (*handler)(volume);
    });
}

bool counts(const Ref<NSString>& category, const Ref<NSString>& reason) {
    if (!category || !reason) {
        return false;
    }
    const std::string& c = category->str();
    return (c == "Audio/Video" || c == "Ringtone" || c == "PhoneCall") && reason->str() == "ExplicitVolumeChange";
}

} // namespace

KeyEventSources::~KeyEventSources() {
    if (observing_) {
        addORremoveLockObserver(false);
    }
    removeVolumeListener();
}

Ref<RXSignal> KeyEventSources::volumeKeyChanges() {
    Ref<NSError> ignored;
    (void)AVAudioSession::sharedInstance()->setActiveError(true, &ignored);
    UIApplication::sharedApplication()->beginReceivingRemoteControlEvents();
    return rx_addObserverForNameObject(NSNotificationCenter::defaultCenter(),
                                       AVSystemController_SystemVolumeDidChangeNotification(), nullptr)
        ->takeUntil(disappear_)
        ->filter([](const id& value) {
            auto note = cast<NSNotification>(value);
            auto info = note ? note->userInfo() : nullptr;
            if (!info) {
                return false;
            }
            auto category = cast<NSString>(info->objectForKey(AVSystemController_AudioCategoryNotificationParameter()));
            auto reason =
                cast<NSString>(info->objectForKey(AVSystemController_AudioVolumeChangeReasonNotificationParameter()));
            NSLog("monitorVolumeKeyEvent ==> %@, %@", category, reason);
            auto volume = cast<NSNumber>(info->objectForKey(AVSystemController_AudioVolumeNotificationParameter()));
            return counts(category, reason) && volume && std::isfinite(volume->floatValue());
        })
        ->map([](const id& value) -> id {
            auto info = cast<NSNotification>(value)->userInfo();
            return info->objectForKey(AVSystemController_AudioVolumeNotificationParameter());
        });
}

Ref<RXSignal> KeyEventSources::screenshot() {
    return rx_addObserverForNameObject(NSNotificationCenter::defaultCenter(),
                                       UIApplicationUserDidTakeScreenshotNotification(), nullptr)
        ->takeUntil(disappear_)
        ->take(1);
}

void KeyEventSources::setVolumeHidden(bool hidden) {
    // The private switch of the system overlay, named in pieces; applications without it keep the
    // overlay as it is.
    std::string name = std::string("setSystem") + "Volume" + "HUDEnabled:" + "forAudioCategory:";
    auto app = UIApplication::sharedApplication();
    SEL selector(name.c_str());
    if (app->respondsToSelector(selector)) {
        app->performSelectorWithArguments(selector, {NSNumber::numberWithBool(!hidden), "Ringtone"_ns});
    }
}

void KeyEventSources::addVolumeListener(std::function<void(float volume)> handler) {
    removeVolumeListener();
    NSLog("initializeVolumeButtonStealer");
    {
        std::lock_guard lock(listenersMutex);
        listenerToken_ = nextListenerToken++;
        volumeListeners()[listenerToken_] = std::make_shared<std::function<void(float)>>(std::move(handler));
    }
    (void)AudioSessionAddPropertyListener(kAudioSessionProperty_CurrentHardwareOutputVolume, volumeListenerCallback,
                                          reinterpret_cast<void*>(listenerToken_));
}

void KeyEventSources::removeVolumeListener() {
    if (!listenerToken_) {
        return;
    }
    (void)AudioSessionRemovePropertyListenerWithUserData(kAudioSessionProperty_CurrentHardwareOutputVolume,
                                                         volumeListenerCallback,
                                                         reinterpret_cast<void*>(listenerToken_));
    std::lock_guard lock(listenersMutex);
    volumeListeners().erase(listenerToken_);
    listenerToken_ = 0;
}

bool KeyEventSources::displayStatusLocked() {
    return NSUserDefaults::standardUserDefaults()->boolForKey(DXDisplayStatusLockedKey());
}

void KeyEventSources::setDisplayStatusLocked(bool locked) {
    auto defaults = NSUserDefaults::standardUserDefaults();
    defaults->setBoolForKey(locked, DXDisplayStatusLockedKey());
    (void)defaults->synchronize();
}

void KeyEventSources::addORremoveLockObserver(bool add) {
    NSLog("addORremoveLockObserver");
    auto center = CFNotificationCenterGetDarwinNotifyCenter();
    if (add) {
        NSLog("addLockObserver");
        setDisplayStatusLocked(false);
        CFNotificationCenterAddObserver(center, kObserverIdentifier, displayStatusChanged, lockName().get(), nullptr,
                                        CFNotificationSuspensionBehaviorDeliverImmediately);
        observing_ = true;
    } else {
        NSLog("removeLockObserver");
        CFNotificationCenterRemoveObserver(center, kObserverIdentifier, lockName().get(), nullptr);
        observing_ = false;
    }
}

Ref<RXSignal> KeyEventSources::enterToBackgound2() {
    if (!background_) {
        background_ = rx_addObserverForNameObject(NSNotificationCenter::defaultCenter(),
                                                  UIApplicationDidEnterBackgroundNotification(), nullptr)
                          ->mapReplace(NSNumber::numberWithBool(true))
                          ->takeUntil(disappear_);
    }
    return background_;
}

Ref<RXSignal> KeyEventSources::enterToForeground2() {
    if (!foreground_) {
        foreground_ = rx_addObserverForNameObject(NSNotificationCenter::defaultCenter(),
                                                  UIApplicationWillEnterForegroundNotification(), nullptr)
                          ->mapReplace(NSNumber::numberWithBool(true))
                          ->takeUntil(disappear_);
    }
    return foreground_;
}
