#include <Reactive/RXKVOProxy.h>

#include <Reactive/RXKVOTrampoline.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXKVOProxy, NSObject) {
    b.classMethod("sharedProxy", [] { return RXKVOProxy::sharedProxy(); });
}

const Ref<RXKVOProxy>& RXKVOProxy::sharedProxy() {
    // Never freed: registrations on objects that outlive static destruction keep a live observer.
    static const Ref<RXKVOProxy>& proxy = *new Ref<RXKVOProxy>(make<RXKVOProxy>());
    return proxy;
}

void RXKVOProxy::addObserverForContext(RXKVOTrampoline* observer, void* context) {
    Weak<RXKVOTrampoline> entry(observer);
    std::lock_guard<std::mutex> guard(lock_);
    trampolines_[context] = std::move(entry);
}

void RXKVOProxy::removeObserverForContext(RXKVOTrampoline*, void* context) {
    Weak<RXKVOTrampoline> gone; // released outside the lock
    std::lock_guard<std::mutex> guard(lock_);
    auto it = trampolines_.find(context);
    if (it != trampolines_.end()) {
        gone = std::move(it->second);
        trampolines_.erase(it);
    }
}

void RXKVOProxy::observeValueForKeyPathOfObjectChangeContext(const Ref<NSString>& keyPath, const id& object,
                                                             const Ref<NSDictionary>& change, void* context) {
    Ref<RXKVOTrampoline> trampoline;
    {
        std::lock_guard<std::mutex> guard(lock_);
        auto it = trampolines_.find(context);
        if (it != trampolines_.end()) {
            trampoline = it->second.lock();
        }
    }
    if (trampoline) {
        trampoline->observeValueForKeyPathOfObjectChangeContext(keyPath, object, change, context);
    }
}

NSUInteger RXKVOProxy::trampolineCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return trampolines_.size();
}
