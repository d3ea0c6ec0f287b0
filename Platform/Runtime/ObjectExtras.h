// Internal: the per-object state that most objects never need, made on first use.
#pragma once

#include <Runtime/NSObject.h>

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace objc_detail {

struct WeakControl {
    std::mutex mutex;
    NSObject* object; // cleared when the object starts to deallocate
    std::atomic<long> count{1};
    explicit WeakControl(NSObject* o) : object(o) {}
};

struct Association {
    id strong;
    Weak<NSObject> weak;
    bool isWeak = false;
};

struct InvocationObservation {
    uint64_t token;
    SEL selector;
    std::shared_ptr<InvocationObserver> observer;
    bool respondIfMissing;
};

// Key-value observing state of one observed object; defined with the observing code.
struct KVOState;
void destroyKVOState(KVOState* state) noexcept;

struct ObjectExtras {
    std::mutex lock; // guards every field below but the monitor
    std::recursive_mutex monitor;
    std::unordered_map<const void*, Association> associations;
    std::vector<InvocationObservation> observers;
    std::vector<std::pair<uint64_t, std::function<void(NSObject*)>>> deallocHooks;
    std::atomic<KVOState*> kvo{nullptr}; // made on first use, like the extras themselves
    ~ObjectExtras() { destroyKVOState(kvo.load(std::memory_order_acquire)); }
};

uint64_t nextToken() noexcept;

} // namespace objc_detail
