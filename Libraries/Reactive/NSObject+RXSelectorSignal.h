// Selector signals: a signal of the arguments of every call of one method on one object. Category
// methods of NSObject, as free functions taking the receiver first:
//
//     rx_signalForSelector(self, "viewWillAppear:")->subscribeNext([](const id& arguments) { ... });
//
// The signal sends an RXTuple of the call's arguments (boxed as the runtime passes them: an NSNumber
// for a scalar, an NSValue for a struct, nil as a nil element) after the method itself has run, on
// the calling thread, and completes when the object begins to deallocate. It observes the calls
// that the runtime dispatches by selector (performSelector and friends, which is how the platform
// sends life-cycle and delegate messages); a plain C++ call of a member function is not seen.
//
// A selector that the object's class does not implement is added for this one object: the object
// then answers respondsToSelector YES, and a call only notifies the signal.
#pragma once

#include <Reactive/RXSignal.h>

// The error domain of selector signals and its code.
const Ref<NSString>& RXSelectorSignalErrorDomain();
enum : NSInteger {
    // The signal cannot be installed: the selector is empty, or the object has begun to deallocate.
    RXSelectorSignalErrorMethodSwizzlingRace = 1,
};

// The object's signal for the selector: the same signal on every call for one object and selector.
// A nil object answers nil; an empty selector or a deallocating object answers an error signal of
// RXSelectorSignalErrorDomain, code 1.
Ref<RXSignal> rx_signalForSelector(const id& object, SEL selector);
// The same for a method of the protocol (typically an optional delegate method that the object does
// not implement).
Ref<RXSignal> rx_signalForSelectorFromProtocol(const id& object, SEL selector, Protocol* protocol);
