#include <Reactive/NSObject+RXPropertySubscribing.h>

#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/NSObject+RXDeallocatingPrivate.h>
#include <Reactive/NSObject+RXDescription.h>
#include <Reactive/NSObject+RXKVOWrapper.h>
#include <Reactive/RXKVOTrampoline.h>
#include <Reactive/RXTuple.h>

#include <memory>

Ref<RXSignal> rx_valuesAndChangesForKeyPathOptionsObserver(const id& receiver, const Ref<NSString>& keyPath,
                                                           NSKeyValueObservingOptions options, const id& observer) {
    if (!receiver || !keyPath) {
        NSException::raise(NSInvalidArgumentException,
                           "rx_valuesAndChangesForKeyPath:options:observer: needs a receiver and a key path");
    }
    Ref<NSString> path = cast<NSString>(keyPath->copy());
    // Both are held weakly. A setup loads them strongly, so neither can begin to deallocate while a
    // subscription is being set up; one that has begun no longer loads, and the subscription then
    // completes at once.
    Weak<NSObject> weakReceiver(receiver);
    Weak<NSObject> weakObserver(observer);
    bool hasObserver = static_cast<bool>(observer);

    // Completes when either begins to deallocate.
    Ref<RXSignal> end = rx_detail::deallocationSignal({receiver, observer});

    return RXSignal::createSignal([weakReceiver, weakObserver, hasObserver, path,
                                   options](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
               Ref<NSObject> observer = weakObserver.lock();
               Ref<NSObject> receiver = weakReceiver.lock();
               if (!receiver || (hasObserver && !observer)) {
                   subscriber->sendCompleted();
                   return nullptr;
               }
               return rx_observeKeyPathOptionsObserverBlock(
                   receiver, path, options, observer,
                   [subscriber](const id& value, const Ref<NSDictionary>& change, bool, bool) {
                       subscriber->sendNext(RXTuple::tupleWithObjects({value, change}));
                   });
           })
        ->takeUntil(end)
        ->named("%@ -rx_valueAndChangesForKeyPath: %@ options: %lu observer: %@", rx_description(receiver), path,
                options, rx_description(observer));
}

Ref<RXSignal> rx_valuesForKeyPathObserver(const id& receiver, const Ref<NSString>& keyPath, const id& observer) {
    return rx_valuesAndChangesForKeyPathOptionsObserver(receiver, keyPath, NSKeyValueObservingOptionInitial, observer)
        ->map([](const id& value) -> id {
            auto tuple = cast<RXTuple>(value);
            return tuple ? tuple->first() : nullptr;
        })
        ->named("RXObserve(%@, %@)", rx_description(receiver), keyPath);
}

Ref<RXSignal> rx_signalWithChangesForKeyPathOptionsObserver(const id& object, const Ref<NSString>& keyPath,
                                                            NSKeyValueObservingOptions options, const id& observer) {
    Weak<NSObject> weakObject(object);
    Weak<NSObject> weakObserver(observer);
    Ref<NSString> path = keyPath ? cast<NSString>(keyPath->copy()) : nullptr;
    return RXSignal::createSignal(
               [weakObject, weakObserver, path, options](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
                   Ref<NSObject> object = weakObject.lock();
                   Ref<NSObject> observer = weakObserver.lock();
                   if (!object) {
                       subscriber->sendCompleted();
                       return nullptr;
                   }
                   // The deallocation disposable goes in before the trampoline, so that it runs while the
                   // trampoline still holds the subscriber: either one's deallocation ends the subscription
                   // with completion.
                   auto holder = std::make_shared<Ref<RXKVOTrampoline>>();
                   Weak<NSObject> weakSubscriber(subscriber.object());
                   auto onDealloc = RXDisposable::disposableWithBlock([holder, weakSubscriber] {
                       Ref<NSObject> s = weakSubscriber.lock();
                       if (*holder) {
                           (*holder)->dispose();
                       }
                       if (auto* live = dynamic_cast<RXSubscriber*>(s.get())) {
                           live->sendCompleted();
                       }
                   });
                   rx_addDeallocDisposable(observer, onDealloc);
                   rx_addDeallocDisposable(object, onDealloc);
                   Ref<RXKVOTrampoline> trampoline = rx_addObserverForKeyPathOptionsBlock(
                       object, observer, path, options,
                       [subscriber](const id&, const id&, const Ref<NSDictionary>& change) {
                           subscriber->sendNext(change);
                       });
                   *holder = trampoline;
                   if (!trampoline) {
                       onDealloc->dispose();
                       return nullptr;
                   }
                   Weak<NSObject> weakTarget(object);
                   Weak<NSObject> weakWatcher(observer);
                   return RXDisposable::disposableWithBlock([trampoline, onDealloc, weakTarget, weakWatcher] {
                       if (Ref<NSObject> o = weakWatcher.lock()) {
                           rx_deallocDisposable(o)->removeDisposable(onDealloc);
                       }
                       if (Ref<NSObject> t = weakTarget.lock()) {
                           rx_deallocDisposable(t)->removeDisposable(onDealloc);
                       }
                       trampoline->dispose();
                   });
               })
        ->named("RXAble(%@, %@)", rx_description(object), path);
}

namespace {
Ref<RXSignal> valuesOfChanges(const id& object, const Ref<NSString>& keyPath, NSKeyValueObservingOptions options,
                              const id& observer) {
    Weak<NSObject> weakObject(object);
    Ref<NSString> path = keyPath ? cast<NSString>(keyPath->copy()) : nullptr;
    return rx_signalWithChangesForKeyPathOptionsObserver(object, keyPath, options, observer)
        ->map([weakObject, path](const id&) -> id {
            Ref<NSObject> o = weakObject.lock();
            return o ? o->valueForKeyPath(path) : nullptr;
        });
}
} // namespace

Ref<RXSignal> rx_signalForKeyPathObserver(const id& object, const Ref<NSString>& keyPath, const id& observer) {
    return valuesOfChanges(object, keyPath, 0, observer);
}

Ref<RXSignal> rx_signalWithStartingValueForKeyPathObserver(const id& object, const Ref<NSString>& keyPath,
                                                           const id& observer) {
    return valuesOfChanges(object, keyPath, NSKeyValueObservingOptionInitial, observer);
}

Ref<RXDisposable> rx_derivePropertyFrom(const id& receiver, const Ref<NSString>& keyPath, const Ref<RXSignal>& signal) {
    return signal->setKeyPathOnObject(keyPath, receiver);
}
