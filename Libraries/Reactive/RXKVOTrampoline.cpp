#include <Reactive/RXKVOTrampoline.h>

#include <Reactive/NSObject+RXDeallocating.h>
#include <Reactive/RXKVOProxy.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXKVOTrampoline, RXDisposable) {
    b.readonlyProperty("keyPath", &RXKVOTrampoline::keyPath);
}

RXKVOTrampoline::RXKVOTrampoline(const id& target, const id& observer, const Ref<NSString>& keyPath,
                                 NSKeyValueObservingOptions options, RXKVOBlock block)
    : keyPath_(keyPath ? cast<NSString>(keyPath->copy()) : nullptr) {
    if (!target || target->isDeallocating() || !keyPath_) {
        RXDisposable::dispose();
        return;
    }
    block_ = std::move(block);
    weakTarget_ = target;
    observer_ = observer;
    registered_ = true;

    const auto& proxy = RXKVOProxy::sharedProxy();
    proxy->addObserverForContext(this, this);
    try {
        target->addObserverForKeyPathOptionsContext(proxy.get(), keyPath_, options, this);
    } catch (...) {
        proxy->removeObserverForContext(this, this);
        throw;
    }
    // From here the trampoline is reachable from the target and the observer: either one's
    // deallocation disposes it.
    Ref<RXKVOTrampoline> self(this);
    rx_addDeallocDisposable(target, self);
    if (observer) {
        rx_addDeallocDisposable(observer, self);
    }
}

RXKVOTrampoline::~RXKVOTrampoline() {
    // Nothing holds a trampoline that is still registered but its target and observer: being freed
    // means both have let go (they dispose it first). Dispose anyway for a trampoline made with a
    // target that held on to nothing.
    dispose();
}

bool RXKVOTrampoline::isDisposed() const {
    return RXDisposable::isDisposed();
}

void RXKVOTrampoline::dispose() {
    Ref<NSObject> target;
    Ref<NSObject> observer;
    bool wasRegistered;
    RXKVOBlock block; // released outside the lock
    {
        std::lock_guard<std::mutex> guard(lock_);
        wasRegistered = registered_;
        registered_ = false;
        block = std::move(block_);
        block_ = nullptr;
        target = weakTarget_.lock();
        observer = observer_.lock();
        weakTarget_ = nullptr;
        observer_ = nullptr;
    }
    RXDisposable::dispose();
    if (!wasRegistered) {
        return;
    }
    // A target that no longer resolves is deallocating: the runtime drops its registrations with it,
    // and its dealloc disposable is being disposed (which is what called us).
    bool alive = retainCount() > 0;
    if (target) {
        if (alive) {
            rx_deallocDisposable(target)->removeDisposable(Ref<RXDisposable>(this));
        }
        try {
            target->removeObserverForKeyPathContext(RXKVOProxy::sharedProxy().get(), keyPath_, this);
        } catch (const NSException&) {
            // Already gone with a deallocating intermediate or observer: nothing left to remove.
        }
    }
    if (observer && alive) {
        rx_deallocDisposable(observer)->removeDisposable(Ref<RXDisposable>(this));
    }
    RXKVOProxy::sharedProxy()->removeObserverForContext(this, this);
}

void RXKVOTrampoline::observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>&, const id&,
                                                                  const Ref<NSDictionary>& change, void* context) {
    if (context != this) {
        return;
    }
    RXKVOBlock block;
    Ref<NSObject> target;
    Ref<NSObject> observer;
    {
        std::lock_guard<std::mutex> guard(lock_);
        block = block_;
        target = weakTarget_.lock();
        observer = observer_.lock();
    }
    if (block && target) {
        block(target, observer, change);
    }
}

Ref<RXKVOTrampoline> rx_addObserverForKeyPathOptionsBlock(const id& receiver, const id& observer,
                                                          const Ref<NSString>& keyPath,
                                                          NSKeyValueObservingOptions options, RXKVOBlock block) {
    auto trampoline = make<RXKVOTrampoline>(receiver, observer, keyPath, options, std::move(block));
    return trampoline->isDisposed() ? nullptr : trampoline;
}
