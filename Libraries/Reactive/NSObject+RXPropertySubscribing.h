// Property subscribing: key-value observation as signals. Category methods of NSObject, as free
// functions taking the receiver first.
//
// The observation form that screens write, `RXObserve(TARGET, KEYPATH)`, is the macro below: the
// values of the target's key path, the current value first, observed on behalf of the calling
// object (`this`), so the signal completes when either the target or the caller begins to
// deallocate:
//
//     RXObserve(self->player, "rate")->subscribeNext(...);   // inside a member function
//     rx_valuesForKeyPathObserver(player, "rate"_ns, owner);  // anywhere, naming the observer
//
// Values arrive on the thread that changed the property; the current value on the subscribing
// thread during subscription.
#pragma once

#include <Reactive/RXSignal.h>

// `-rx_valuesAndChangesForKeyPath:options:observer:`: a signal of RXTuple (value, change
// dictionary) for the key path of the receiver, observed with the options on behalf of the
// observer (held weakly; may be nil). It completes when the receiver or the observer begins to
// deallocate; disposing a subscription ends its observation without sending anything.
Ref<RXSignal> rx_valuesAndChangesForKeyPathOptionsObserver(const id& receiver, const Ref<NSString>& keyPath,
                                                           NSKeyValueObservingOptions options, const id& observer);
// `-rx_valuesForKeyPath:observer:` (RXObserve): the values of the key path, the current one first.
Ref<RXSignal> rx_valuesForKeyPathObserver(const id& receiver, const Ref<NSString>& keyPath, const id& observer);

// The signal forms built directly on trampolines. `+rx_signalWithChangesFor:keyPath:options:observer:`
// sends the change dictionaries of each change; a subscription completes when the object or the
// observer begins to deallocate.
Ref<RXSignal> rx_signalWithChangesForKeyPathOptionsObserver(const id& object, const Ref<NSString>& keyPath,
                                                            NSKeyValueObservingOptions options, const id& observer);
// `rx_signalFor:keyPath:observer:` and `-rx_signalForKeyPath:observer:`: the object's value of the
// key path after each change.
Ref<RXSignal> rx_signalForKeyPathObserver(const id& object, const Ref<NSString>& keyPath, const id& observer);
// `rx_signalWithStartingValueFor:keyPath:observer:` and `-rx_signalWithStartingValueForKeyPath:observer:`:
// the same, starting with the current value.
Ref<RXSignal> rx_signalWithStartingValueForKeyPathObserver(const id& object, const Ref<NSString>& keyPath,
                                                           const id& observer);
// `-rx_deriveProperty:from:`: binds the signal to the receiver's key path (setKeyPathOnObject) and
// answers the binding's disposable.
Ref<RXDisposable> rx_derivePropertyFrom(const id& receiver, const Ref<NSString>& keyPath, const Ref<RXSignal>& signal);

namespace rx_detail {
inline Ref<NSString> keyPathString(const char* keyPath) {
    return NSString::from(keyPath);
}
inline const Ref<NSString>& keyPathString(const Ref<NSString>& keyPath) {
    return keyPath;
}
} // namespace rx_detail

// RXObserve(TARGET, KEYPATH): KEYPATH is a string literal or an NSString; the observer is `this`.
#define RXObserve(TARGET, KEYPATH) ::rx_valuesForKeyPathObserver((TARGET), ::rx_detail::keyPathString(KEYPATH), this)
