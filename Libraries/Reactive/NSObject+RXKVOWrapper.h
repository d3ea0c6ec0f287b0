// The key-path wrapper: observes a dotted key path component by component, re-attaching to each new
// intermediate value, and reports when the value of a weak property deallocates. A category method
// of NSObject, as a free function taking the receiver first.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Reactive/RXDisposable.h>

#include <functional>

// The callback of an observation:
// - value: the current value of the whole key path (nil allowed);
// - change: the runtime's change dictionary, or one made here holding exactly the kind
//   (NSKeyValueChangeSetting) and the new value (NSNull for nil);
// - causedByDealloc: YES only when the call reports that the value of a weak property deallocated
//   (the value is then nil);
// - affectedOnlyLastComponent: YES when only the last component of the key path changed.
using RXKVOObservationBlock = std::function<void(const id& value, const Ref<NSDictionary>& change, bool causedByDealloc,
                                                 bool affectedOnlyLastComponent)>;

// `-[NSObject rx_observeKeyPath:options:observer:block:]`. Observes the key path of the receiver on
// behalf of the observer (held weakly; may be nil). The observation lives until the returned
// disposable is disposed or the receiver or the observer begins to deallocate. Values arrive on the
// thread that made the change; with NSKeyValueObservingOptionInitial the current value is reported
// before the call returns, with NSKeyValueObservingOptionPrior the value before each change too.
Ref<RXDisposable> rx_observeKeyPathOptionsObserverBlock(const id& receiver, const Ref<NSString>& keyPath,
                                                        NSKeyValueObservingOptions options, const id& observer,
                                                        RXKVOObservationBlock block);
