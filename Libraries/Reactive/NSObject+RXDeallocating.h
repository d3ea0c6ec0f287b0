// Deallocation signals: the per-object disposable that is disposed, and the signal that completes,
// when an object begins to deallocate. Signals tied to an object's life (`takeUntil` its
// rx_willDeallocSignal) and key-value observations end this way.
//
// These are the category methods of NSObject, as free functions taking the receiver first:
//
//     rx_addDeallocDisposable(self, subscription);
//     signal->takeUntil(rx_willDeallocSignal(self));
//
// The runtime runs an object's deallocation hooks when its last strong reference goes, after its
// weak references have stopped resolving and while the object is still whole; the dealloc
// disposable is disposed there, on the deallocating thread.
#pragma once

#include <Reactive/RXCompoundDisposable.h>

class RXSignal;

// The object's RXCompoundDisposable, made on first use under the object's monitor. Disposed at the
// start of the object's deallocation; anything added after that is disposed at once.
Ref<RXCompoundDisposable> rx_deallocDisposable(const id& object);
// Adds the disposable to the object's rx_deallocDisposable.
void rx_addDeallocDisposable(const id& object, const Ref<RXDisposable>& disposable);
// The object's will-dealloc signal (one per object, made on first use): it never sends a value and
// completes at the start of the object's deallocation. Asked for during deallocation, it completes
// at once.
Ref<RXSignal> rx_willDeallocSignal(const id& object);
// A new signal on every call that completes once the object has been freed (after its destructors
// and its associated objects), on the deallocating thread.
Ref<RXSignal> rx_didDeallocSignal(const id& object);
