// Internal helpers shared by the signal library's classes. Not part of its interface.
#pragma once

#include <Reactive/RXCompoundDisposable.h>

class RXBlockSubscriber;
class RXSubject;

namespace rx_detail {

// Disposing it removes `member` from `owner`: added to a subscription's compound (the member itself)
// so that the subscription leaves the compound of the object it was reported to once it ends. Only
// the member disposes it, while it is alive, so the member is known by address; the owner is held
// weakly (a subject's compound) or strongly (a block subscriber's own compound, which then lives
// until the subscription ends or the subscriber disposes it, whichever comes first).
// Only the subscribers that report their subscriptions (subjects and block subscribers) make one:
// they alone hold the key its constructor asks for.
class RemovalDisposable final : public RXDisposable {
public:
    enum class Owner { Weak, Strong };
    class Key {
        friend class ::RXBlockSubscriber;
        friend class ::RXSubject;
        Key() = default;
    };
    RemovalDisposable(Key, const Ref<RXCompoundDisposable>& owner, const Ref<RXCompoundDisposable>& member, Owner hold)
        : member_(member.get()) {
        if (hold == Owner::Strong) {
            strongOwner_ = owner;
        } else {
            weakOwner_ = owner;
        }
    }
    bool isDisposed() const override { return done_.load(std::memory_order_acquire); }
    void dispose() override {
        if (done_.exchange(true, std::memory_order_acq_rel)) {
            return;
        }
        Ref<RXCompoundDisposable> owner = strongOwner_ ? std::move(strongOwner_) : weakOwner_.lock();
        if (owner) {
            owner->removeDisposable(Ref<RXDisposable>(member_));
        }
    }

private:
    std::atomic<bool> done_{false};
    Ref<RXCompoundDisposable> strongOwner_;
    Weak<RXCompoundDisposable> weakOwner_;
    RXCompoundDisposable* member_; // the compound this is a member of
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
