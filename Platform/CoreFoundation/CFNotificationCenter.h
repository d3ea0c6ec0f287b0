// CFNotificationCenter: the CoreFoundation notification centres. The Darwin centre carries the
// system's process-wide notifications by name only ("com.apple.springboard.lockcomplete" when the
// screen locks); an observer is a plain callback registered under an observer identifier (any
// pointer) for a name. The system posts them (the platform's hardware side); callbacks run on the
// main thread: at once when posted there, else through the main queue.
//
// Observer identifiers are compared as pointers; removing an observer that is not there does
// nothing. A null name in a removal removes the observer for every name.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Foundation/NSString.h>

class CFNotificationCenter;
using CFNotificationCenterRef = CFNotificationCenter*;
using CFStringRef = const NSString*;
using CFDictionaryRef = const NSDictionary*;

using CFNotificationCallback = void (*)(CFNotificationCenterRef center, void* observer, CFStringRef name,
                                        const void* object, CFDictionaryRef userInfo);

enum CFNotificationSuspensionBehavior : long {
    CFNotificationSuspensionBehaviorDrop = 1,
    CFNotificationSuspensionBehaviorCoalesce = 2,
    CFNotificationSuspensionBehaviorHold = 3,
    CFNotificationSuspensionBehaviorDeliverImmediately = 4,
};

// The process's Darwin notification centre.
CFNotificationCenterRef CFNotificationCenterGetDarwinNotifyCenter();

// Registers `callback` under `observer` for `name` (the Darwin centre ignores `object`). A second
// registration of the same observer and name replaces the callback.
void CFNotificationCenterAddObserver(CFNotificationCenterRef center, const void* observer,
                                     CFNotificationCallback callback, CFStringRef name, const void* object,
                                     CFNotificationSuspensionBehavior suspensionBehavior);
void CFNotificationCenterRemoveObserver(CFNotificationCenterRef center, const void* observer, CFStringRef name,
                                        const void* object);
void CFNotificationCenterRemoveEveryObserver(CFNotificationCenterRef center, const void* observer);
// Posts `name` to its observers (the Darwin centre carries neither object nor user info).
void CFNotificationCenterPostNotification(CFNotificationCenterRef center, CFStringRef name, const void* object,
                                          CFDictionaryRef userInfo, bool deliverImmediately);
// How many observers are registered for `name` (for tests).
size_t CFNotificationCenterObserverCount(CFNotificationCenterRef center, CFStringRef name);
