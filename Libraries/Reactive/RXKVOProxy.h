// RXKVOProxy: the one object registered with the runtime as the key-value observer of every
// RXKVOTrampoline. It maps each registration's context (the trampoline's address) to the trampoline,
// held weakly, and hands each notification to the trampoline it belongs to.
#pragma once

#include <Foundation/NSString.h>

#include <mutex>
#include <unordered_map>

class RXKVOTrampoline;

class RXKVOProxy : public NSObject {
    NS_OBJECT(RXKVOProxy, NSObject)
public:
    RXKVOProxy() = default;

    // The shared proxy, made once per process.
    static const Ref<RXKVOProxy>& sharedProxy();

    // Routes the notifications of `context` to `observer` (held weakly).
    void addObserverForContext(RXKVOTrampoline* observer, void* context);
    // Forgets the entry of `context`.
    void removeObserverForContext(RXKVOTrampoline* observer, void* context);

    // Hands the notification to the trampoline of the context; a context with no live trampoline
    // is ignored. Runs outside the proxy's lock.
    void observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath, const id& object,
                                                     const Ref<NSDictionary>& change, void* context) override;

    // The number of live entries (for tests and diagnostics).
    NSUInteger trampolineCount() const;

private:
    mutable std::mutex lock_; // guards trampolines_ only; never held while a trampoline runs
    std::unordered_map<void*, Weak<RXKVOTrampoline>> trampolines_;
};
