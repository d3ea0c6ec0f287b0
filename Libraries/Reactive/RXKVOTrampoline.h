// RXKVOTrampoline: one key-value observation registered with the runtime through the shared
// RXKVOProxy. It is a disposable: disposing it ends the registration. It is also added to the
// rx_deallocDisposable of the observed object and of the observer, so the registration ends
// automatically when either begins to deallocate.
//
// The target and the observer are held weakly; the block receives (target, observer, change) on
// the thread that made the change, outside any lock of the trampoline.
#pragma once

#include <Foundation/NSDictionary.h>
#include <Reactive/RXDisposable.h>

#include <functional>
#include <mutex>

using RXKVOBlock = std::function<void(const id& target, const id& observer, const Ref<NSDictionary>& change)>;

class RXKVOTrampoline : public RXDisposable {
    NS_OBJECT(RXKVOTrampoline, RXDisposable)
public:
    // `initWithTarget:observer:keyPath:options:block:`: registers the observation at once (with
    // NSKeyValueObservingOptionInitial the block runs before the constructor returns). When the
    // target is nil or already deallocating nothing is registered and the trampoline starts out
    // disposed. Raises as the runtime does for an empty key path component.
    RXKVOTrampoline(const id& target, const id& observer, const Ref<NSString>& keyPath,
                    NSKeyValueObservingOptions options, RXKVOBlock block);
    ~RXKVOTrampoline() override;

    Ref<NSString> keyPath() const { return keyPath_; }
    Ref<NSObject> weakTarget() const { return weakTarget_.lock(); }
    Ref<NSObject> observer() const { return observer_.lock(); }

    // Ends the registration; safe to repeat and to call from any thread.
    void dispose() override;
    bool isDisposed() const override;

    // The runtime's callback, through the proxy.
    void observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath, const id& object,
                                                     const Ref<NSDictionary>& change, void* context) override;

private:
    Ref<NSString> keyPath_;
    mutable std::mutex lock_; // guards the fields below
    RXKVOBlock block_;
    Weak<NSObject> weakTarget_;
    Weak<NSObject> observer_;
    bool registered_ = false;
};

// `-[NSObject rx_addObserver:forKeyPath:options:block:]`: a new trampoline observing the key path
// of the receiver on behalf of the observer (which may be nil); nil when the receiver is nil or
// deallocating.
Ref<RXKVOTrampoline> rx_addObserverForKeyPathOptionsBlock(const id& receiver, const id& observer,
                                                          const Ref<NSString>& keyPath,
                                                          NSKeyValueObservingOptions options, RXKVOBlock block);
