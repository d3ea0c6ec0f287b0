// Notifications as a signal. A category method of NSNotificationCenter, as a free function taking
// the center first:
//
//     rx_addObserverForNameObject(NSNotificationCenter::defaultCenter(), UIApplicationDidBecomeActiveNotification(),
//     nullptr)
//         ->takeUntil(rx_willDeallocSignal(self))
//         ->subscribeNext(...);
#pragma once

#include <Foundation/NSNotificationCenter.h>
#include <Reactive/RXSignal.h>

// `-rx_addObserverForName:object:`: every notification of that name (nil: any name) posted by the
// object (nil: any sender), delivered synchronously on the posting thread. Each subscription
// registers its own observer and removes it when disposed. Never completes or errs. The object is
// not retained.
Ref<RXSignal> rx_addObserverForNameObject(const Ref<NSNotificationCenter>& center, const Ref<NSString>& name,
                                          const id& object);
