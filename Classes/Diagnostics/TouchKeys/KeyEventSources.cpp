// KeyEventSources: the lock observer and the application-state signals of the key screens.
#include <Diagnostics/TouchKeys/KeyEventSources.h>

#include <CoreFoundation/CFNotificationCenter.h>
#include <Foundation/NSLog.h>
#include <Foundation/NSNotificationCenter.h>
#include <Foundation/NSNumber.h>
#include <Foundation/NSUserDefaults.h>
#include <Reactive/NSNotificationCenter+RXSupport.h>
#include <UIKit/UIApplication.h>

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

} // namespace

KeyEventSources::~KeyEventSources() {
    if (observing_) {
        addORremoveLockObserver(false);
    }
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
