// Shared machinery of the user-interface bridges: target-action signals (controls and gesture
// recognizers) and their stand-in targets, main-thread clean-up, the cell-reuse signal, command
// bindings, and the delegate proxies that alert, action-sheet, text-view and image-picker signals
// install.
#pragma once

#include <Reactive/RXCommand.h>
#include <Reactive/RXDelegateProxy.h>
#include <Reactive/RXSignal.h>

#include <functional>

// Adds or removes `target` (an object that answers `sendNext:`) as a target of `object`.
using RXTargetActionEdit = std::function<void(const id& object, const id& target)>;

// A signal that, for each subscription, registers a new target on `object` with `add` and sends
// every object that the target's `sendNext:` action receives (the sender). The object is held
// weakly. The subscription completes when the object begins to deallocate (at once when it is
// already gone). Disposing removes the target with `remove` (on the main thread, where the
// platform keeps its targets) and takes the completion out of the object's rx_deallocDisposable,
// so that subscribing and disposing again and again does not make that disposable grow.
Ref<RXSignal> rx_targetActionSignal(const id& object, RXTargetActionEdit add, RXTargetActionEdit remove);

// A new object that answers the action (with the sender as its one argument, or none) by calling
// the block with the sender. Controls and recognizers hold their targets weakly: keep it.
id rx_actionTarget(SEL action, std::function<void(const id& sender)> block);

// Runs the block now on the main thread, or queues it on the main queue from any other thread.
void rx_performOnMainThread(std::function<void()> block);

// The view's prepare-for-reuse signal: `[RXUnit defaultUnit]` at every prepareForReuse sent to it.
// Made on first use and associated with the view (retained, under the selector
// `rx_prepareForReuseSignal`), so every call answers the same signal.
Ref<RXSignal> rx_associatedPrepareForReuseSignal(const id& view);

// Commands of buttons, bar button items and refresh controls. The command is associated with the
// object (retained, under the selector `rx_command`).
Ref<RXCommand> rx_associatedCommand(const id& object);
// Associates the command and disposes the previous binding. With a command, binds the command's
// `enabled` to the object's "enabled" and keeps that binding, together with what `more` returns
// (nil for nothing), as the binding to dispose next time. Main thread.
void rx_associateCommand(const id& object, const Ref<RXCommand>& command,
                         const std::function<Ref<RXDisposable>()>& more = nullptr);
// The `rx_commandPerformAction:` action: executes the object's current command with the sender;
// does nothing without a command.
void rx_commandPerformAction(const id& object, const id& sender);
// The selector `rx_commandPerformAction:`.
SEL rx_commandPerformActionSelector();
// Makes instances of `cls` answer `rx_commandPerformAction:` (once per class).
void rx_addCommandPerformAction(Class cls);

// The object's delegate proxy for the protocol: made on first use and associated with the object
// (retained, under the selector `rx_delegateProxy`).
Ref<RXDelegateProxy> rx_associatedDelegateProxy(const id& object, Protocol* protocol);

// Makes the proxy the object's delegate unless it already is: the current delegate becomes the
// proxy's real delegate, which keeps receiving every call that has no signal.
template <class T>
void rx_installDelegateProxy(const Ref<T>& object, const Ref<RXDelegateProxy>& proxy) {
    id current = object->delegate();
    if (current.get() == static_cast<NSObject*>(proxy.get())) {
        return;
    }
    proxy->setRx_proxiedDelegate(current);
    object->setDelegate(proxy);
}
