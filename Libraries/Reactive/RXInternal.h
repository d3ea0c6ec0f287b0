// Internal helpers shared by the signal library's classes. Not part of its interface.
#pragma once

#include <Reactive/RXCompoundDisposable.h>

namespace rx_detail {

// Disposing it removes `member` from `owner` (both held weakly): added to a subscription's
// compound so that the subscription leaves the compound of the object it was reported to once it
// ends.
class RemovalDisposable final : public RXDisposable {
public:
    RemovalDisposable(const Ref<RXCompoundDisposable>& owner, const Ref<RXCompoundDisposable>& member)
        : owner_(owner), member_(member) {}
    bool isDisposed() const override { return done_.load(std::memory_order_acquire); }
    void dispose() override {
        if (done_.exchange(true, std::memory_order_acq_rel)) {
            return;
        }
        auto owner = owner_.lock();
        auto member = member_.lock();
        if (owner && member) {
            owner->removeDisposable(member);
        }
    }

private:
    std::atomic<bool> done_{false};
    Weak<RXCompoundDisposable> owner_;
    Weak<RXCompoundDisposable> member_;
};

} // namespace rx_detail

namespace rx_detail {
// Disposes a subscription's disposable; subscribing may answer nil (when the work ran at once).
inline void dispose(const Ref<RXDisposable>& disposable) {
    if (disposable) {
        disposable->dispose();
    }
}
} // namespace rx_detail
