#include <Reactive/NSObject+RXDeallocating.h>

#include <Reactive/NSObject+RXDeallocatingPrivate.h>

#include <Reactive/RXReplaySubject.h>
#include <Reactive/RXScopedDisposable.h>
#include <Reactive/RXSubject.h>

namespace {
// The association keys: addresses private to this file.
char deallocDisposableKey;
char willDeallocSignalKey;
} // namespace

Ref<RXCompoundDisposable> rx_deallocDisposable(const id& object) {
    if (!object) {
        return nullptr;
    }
    NS_SYNCHRONIZED(object) {
        if (auto existing = cast<RXCompoundDisposable>(object->associatedObject(&deallocDisposableKey))) {
            return existing;
        }
        auto disposable = RXCompoundDisposable::compoundDisposable();
        object->setAssociatedObject(&deallocDisposableKey, disposable, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
        // The hook reads the association back rather than capturing the disposable, so that the
        // object's hook list holds nothing alive. Associations outlive the hooks.
        object->addDeallocHook([](NSObject* dying) {
            if (auto disposable = cast<RXCompoundDisposable>(dying->associatedObject(&deallocDisposableKey))) {
                disposable->dispose();
            }
        });
        if (object->isDeallocating()) {
            // Made while the hooks already run: the hook added above still runs in this deallocation,
            // but dispose now so that the caller sees the final state at once.
            disposable->dispose();
        }
        return disposable;
    }
    return nullptr;
}

void rx_addDeallocDisposable(const id& object, const Ref<RXDisposable>& disposable) {
    if (auto compound = rx_deallocDisposable(object)) {
        compound->addDisposable(disposable);
    }
}

Ref<RXSignal> rx_willDeallocSignal(const id& object) {
    if (!object) {
        return nullptr;
    }
    NS_SYNCHRONIZED(object) {
        if (auto existing = cast<RXReplaySubject>(object->associatedObject(&willDeallocSignalKey))) {
            return existing;
        }
        auto subject = RXReplaySubject::subject();
        object->setAssociatedObject(&willDeallocSignalKey, subject, OBJC_ASSOCIATION_RETAIN);
        rx_addDeallocDisposable(object, RXDisposable::disposableWithBlock([subject] { subject->sendCompleted(); }));
        return subject;
    }
    return nullptr;
}

Ref<RXSignal> rx_didDeallocSignal(const id& object) {
    if (!object) {
        return nullptr;
    }
    auto subject = RXSubject::subject();
    Ref<RXScopedDisposable> scoped =
        RXDisposable::disposableWithBlock([subject] { subject->sendCompleted(); })->asScopedDisposable();
    // Keyed by its own address; released with the object's other associations, after the object.
    object->setAssociatedObject(scoped.get(), scoped, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    return subject;
}

Ref<RXSignal> rx_detail::deallocationSignal(const std::vector<id>& objects) {
    std::vector<Weak<NSObject>> watched;
    for (const id& object : objects) {
        if (object) {
            watched.emplace_back(object);
        }
    }
    return RXSignal::createSignal([watched](const Ref<RXSubscriber>& subscriber) -> Ref<RXDisposable> {
        auto onDealloc = RXDisposable::disposableWithBlock([subscriber] { subscriber->sendCompleted(); });
        std::vector<Weak<NSObject>> registered;
        for (const auto& weak : watched) {
            Ref<NSObject> object = weak.lock();
            if (!object) {
                onDealloc->dispose();
                break;
            }
            rx_addDeallocDisposable(object, onDealloc);
            registered.push_back(weak);
        }
        if (onDealloc->isDisposed()) {
            for (const auto& weak : registered) {
                if (Ref<NSObject> object = weak.lock()) {
                    rx_deallocDisposable(object)->removeDisposable(onDealloc);
                }
            }
            return nullptr;
        }
        return RXDisposable::disposableWithBlock([registered, onDealloc] {
            for (const auto& weak : registered) {
                if (Ref<NSObject> object = weak.lock()) {
                    rx_deallocDisposable(object)->removeDisposable(onDealloc);
                }
            }
        });
    });
}
