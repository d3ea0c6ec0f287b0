#include <Reactive/UIKit+RXSignalSupportPrivate.h>

#include <Dispatch/DispatchQueue.h>
#include <Foundation/NSThread.h>
#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/NSObject+RXSelectorSignal.h>
#include <Reactive/RXCompoundDisposable.h>
#include <Reactive/RXUnit.h>

#include <memory>
#include <mutex>
#include <set>

namespace {
// The association key of a command's enabled binding: an address private to this file.
char commandBindingKey;

const void* commandKey() {
    return SEL("rx_command").key();
}
} // namespace

Ref<RXSignal> rx_targetActionSignal(const id& object, RXTargetActionEdit add, RXTargetActionEdit remove) {
    Weak<NSObject> weakObject(object);
    return RXSignal::createSignal([weakObject, add = std::move(add), remove = std::move(remove)](
                                      const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        Ref<NSObject> object = weakObject.lock();
        if (!object) {
            // Gone already: this is the end it would have sent when it deallocated.
            subscriber->sendCompleted();
            return nullptr;
        }
        // The platform sends actions by selector, and the subscriber itself need not answer
        // `sendNext:`: a stand-in target passes each sender on.
        id target = rx_actionTarget("sendNext:", [subscriber](const id& sender) { subscriber->sendNext(sender); });
        // Targets are held weakly by the platform: the completion below keeps the subscriber (and
        // through the clean-up, the target) alive while the subscription lasts. When the object
        // deallocates, the completion also runs the clean-up, so that the subscription lets go of
        // its target even for a subscriber that does not dispose on completion.
        auto cleanupHolder = std::make_shared<Weak<RXDisposable>>();
        Ref<RXDisposable> completion = RXDisposable::disposableWithBlock([subscriber, cleanupHolder] {
            subscriber->sendCompleted();
            if (Ref<RXDisposable> cleanup = cleanupHolder->lock()) {
                cleanup->dispose();
            }
        });
        Ref<RXCompoundDisposable> deallocDisposable = rx_deallocDisposable(object);
        Weak<RXCompoundDisposable> weakDeallocDisposable(deallocDisposable);
        Ref<RXDisposable> cleanup =
            RXDisposable::disposableWithBlock([weakObject, weakDeallocDisposable, completion, target, remove] {
                // Taken out of the deallocation disposable, the completion (and with it the
                // subscriber) is released: subscribing and disposing again and again leaves nothing.
                if (auto compound = weakDeallocDisposable.lock()) {
                    compound->removeDisposable(completion);
                }
                rx_performOnMainThread([weakObject, target, remove] {
                    if (Ref<NSObject> object = weakObject.lock()) {
                        remove(object, target);
                    }
                });
            });
        *cleanupHolder = cleanup; // before the object can deallocate: this block holds it
        add(object, target);
        deallocDisposable->addDisposable(completion);
        return cleanup;
    });
}

id rx_actionTarget(SEL action, std::function<void(const id& sender)> block) {
    auto target = make<NSObject>();
    // An observer that answers a selector the class lacks: nothing but the block runs, and no lock
    // is held while it does.
    target->addInvocationObserver(
        action,
        [block = std::move(block)](NSObject*, const std::vector<id>& arguments) {
            block(arguments.empty() ? nullptr : arguments[0]);
        },
        true);
    return target;
}

void rx_performOnMainThread(std::function<void()> block) {
    if (NSThread::isMainThread()) {
        block();
    } else {
        dispatch_async(dispatch_get_main_queue(), std::move(block));
    }
}

Ref<RXDelegateProxy> rx_associatedDelegateProxy(const id& object, Protocol* protocol) {
    const void* key = SEL("rx_delegateProxy").key();
    NS_SYNCHRONIZED(object) {
        if (auto proxy = cast<RXDelegateProxy>(object->associatedObject(key))) {
            return proxy;
        }
        auto proxy = make<RXDelegateProxy>(protocol);
        object->setAssociatedObject(key, proxy, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        return proxy;
    }
    return nullptr;
}

Ref<RXSignal> rx_associatedPrepareForReuseSignal(const id& view) {
    const void* key = SEL("rx_prepareForReuseSignal").key();
    NS_SYNCHRONIZED(view) {
        if (auto signal = cast<RXSignal>(view->associatedObject(key))) {
            return signal;
        }
        Ref<RXSignal> signal = rx_signalForSelector(view, "prepareForReuse")
                                   ->mapReplace(RXUnit::defaultUnit())
                                   ->named("%@ -rx_prepareForReuseSignal", rx_description(view));
        view->setAssociatedObject(key, signal, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        return signal;
    }
    return nullptr;
}

Ref<RXCommand> rx_associatedCommand(const id& object) {
    return cast<RXCommand>(object->associatedObject(commandKey()));
}

void rx_associateCommand(const id& object, const Ref<RXCommand>& command,
                         const std::function<Ref<RXDisposable>()>& more) {
    object->setAssociatedObject(commandKey(), command, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    if (auto previous = cast<RXDisposable>(object->associatedObject(&commandBindingKey))) {
        previous->dispose();
    }
    Ref<RXDisposable> binding;
    if (command) {
        Ref<RXDisposable> enabled = command->enabled()->setKeyPathOnObject("enabled"_ns, object);
        Ref<RXDisposable> extra = more ? more() : nullptr;
        binding = extra ? Ref<RXDisposable>(RXCompoundDisposable::compoundDisposableWithDisposables({enabled, extra}))
                        : enabled;
    }
    object->setAssociatedObject(&commandBindingKey, binding, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
}

void rx_commandPerformAction(const id& object, const id& sender) {
    if (Ref<RXCommand> command = rx_associatedCommand(object)) {
        command->execute(sender);
    }
}

SEL rx_commandPerformActionSelector() {
    static const SEL action("rx_commandPerformAction:");
    return action;
}

void rx_addCommandPerformAction(Class cls) {
    static std::mutex mutex;
    static std::set<Class> done;
    std::lock_guard lock(mutex);
    if (!done.insert(cls).second) {
        return;
    }
    cls->addInstanceMethod(
        rx_commandPerformActionSelector(),
        [](NSObject* self, const std::vector<id>& arguments) -> id {
            rx_commandPerformAction(id(self), arguments.empty() ? nullptr : arguments[0]);
            return nullptr;
        },
        "v@:@");
}
